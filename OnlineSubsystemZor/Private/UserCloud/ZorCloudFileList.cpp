#include "UserCloud/ZorCloudFileList.h"

#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/ZorCloudCache.h"
#include "Json/Json.h"

#include <string>
#include <unordered_map>

namespace
{
FString ReadText(const FJsonObject& Entry, const FString& Key)
{
    return Entry.HasTypedField<EJson::String>(Key) ? Entry.GetStringField(Key) : FString();
}

/** A length the service gives as anything but a whole number from 0 to the int32 limit counts as unknown. */
int32 ReadLength(const FJsonObject& Entry, const FString& DLName)
{
    if (!Entry.HasField("length") || Entry.HasTypedField<EJson::Null>("length"))
    {
        return 0;
    }
    int32 Length = 0;
    if (!Entry.TryGetNumberField("length", Length) || Length < 0)
    {
        UE_LOG_ONLINE(Warning, "Invalid file length=%s dlname=%s", *Entry.GetStringField("length"), *DLName);
        return 0;
    }
    return Length;
}

FCloudFileHeader ReadEntry(const FJsonObject& Entry)
{
    FCloudFileHeader Header;
    Header.Hash = ReadText(Entry, "hash");
    Header.DLName = ReadText(Entry, "uniqueFilename");
    Header.FileName = ReadText(Entry, "filename");
    if (Header.FileName.IsEmpty())
    {
        Header.FileName = Header.DLName;
    }
    Header.FileSize = ReadLength(Entry, Header.DLName);
    return Header;
}
} // namespace

bool FZorCloudFileList::Read(const FString& Body, FZorCloudListReply& OutReply, FString& OutPayload)
{
    OutReply = FZorCloudListReply();
    const FString Trimmed = Body.TrimStartAndEnd();
    OutPayload = Trimmed.StartsWith("[") ? Trimmed : "[" + Trimmed + "]";
    TSharedPtr<FJsonObject> Json;
    if (Trimmed.IsEmpty() ||
        !FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("{\"files\":" + OutPayload + "}"), Json) ||
        !Json)
    {
        return false;
    }
    const TArray<TSharedPtr<FJsonValue>>& Elements = Json->GetArrayField("files");
    for (const TSharedPtr<FJsonValue>& Value : Elements)
    {
        const TSharedPtr<FJsonObject>* Entry = nullptr;
        if (!Value || !Value->TryGetObject(Entry))
        {
            continue;
        }
        const FCloudFileHeader Header = ReadEntry(**Entry);
        FZorCloudCache::AddKeptNames(Header, OutReply.Named);
        if (Header.Hash.IsEmpty() || Header.DLName.IsEmpty())
        {
            UE_LOG_ONLINE(Warning, "Invalid file entry hash=%s dlname=%s filename=%s", *Header.Hash,
                          *Header.DLName, *Header.FileName);
            continue;
        }
        OutReply.Headers.Add(Header);
    }
    OutReply.bMaySweep = Elements.IsEmpty() || !OutReply.Headers.IsEmpty();
    return true;
}

void FZorCloudFileList::Merge(TArray<FCloudFileHeader>& List, const TArray<FCloudFileHeader>& Headers)
{
    // Only a name's first header is indexed, as a scan would find it; FString keys compare ignoring case.
    std::unordered_map<std::string, int32> FirstExact;
    TMap<FString, int32> FirstIgnoringCase;
    FirstExact.reserve(static_cast<size_t>(List.Num() + Headers.Num()));
    FirstIgnoringCase.Reserve(List.Num() + Headers.Num());
    const auto Index = [&FirstExact, &FirstIgnoringCase](const FString& DLName, int32 At)
    {
        FirstExact.try_emplace(std::string(DLName.View()), At);
        if (!FirstIgnoringCase.Contains(DLName))
        {
            FirstIgnoringCase.Add(DLName, At);
        }
    };
    for (int32 At = 0; At < List.Num(); ++At)
    {
        Index(List[At].DLName, At);
    }
    for (const FCloudFileHeader& Header : Headers)
    {
        const auto Exact = FirstExact.find(std::string(Header.DLName.View()));
        const int32* Found =
            Exact != FirstExact.end() ? &Exact->second : FirstIgnoringCase.Find(Header.DLName);
        if (Found)
        {
            const int32 At = *Found;
            List[At] = Header;
            Index(Header.DLName, At);
            continue;
        }
        Index(Header.DLName, List.Num());
        List.Add(Header);
    }
}

int32 FZorCloudFileList::IndexOfDLName(const TArray<FCloudFileHeader>& List, const FString& DLName)
{
    int32 IgnoringCase = INDEX_NONE;
    for (int32 At = 0; At < List.Num(); ++At)
    {
        if (List[At].DLName.Equals(DLName, ESearchCase::CaseSensitive))
        {
            return At;
        }
        if (IgnoringCase == INDEX_NONE && List[At].DLName == DLName)
        {
            IgnoringCase = At;
        }
    }
    return IgnoringCase;
}

const FCloudFileHeader* FZorCloudFileList::FindByDLName(const TArray<FCloudFileHeader>& List,
                                                        const FString& DLName)
{
    const int32 At = IndexOfDLName(List, DLName);
    return At == INDEX_NONE ? nullptr : &List[At];
}
