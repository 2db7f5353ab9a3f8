#include "UserCloud/ZorCloudFileList.h"

#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/ZorCloudCache.h"
#include "Json/Json.h"

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
    // FString keys compare ignoring case; only a name's first header is indexed, as a scan would find it.
    TMap<FString, int32> FirstByName;
    FirstByName.Reserve(List.Num() + Headers.Num());
    for (int32 Index = 0; Index < List.Num(); ++Index)
    {
        if (!FirstByName.Contains(List[Index].DLName))
        {
            FirstByName.Add(List[Index].DLName, Index);
        }
    }
    for (const FCloudFileHeader& Header : Headers)
    {
        if (const int32* Found = FirstByName.Find(Header.DLName))
        {
            List[*Found] = Header;
            continue;
        }
        FirstByName.Add(Header.DLName, List.Num());
        List.Add(Header);
    }
}

const FCloudFileHeader* FZorCloudFileList::FindByDLName(const TArray<FCloudFileHeader>& List,
                                                        const FString& DLName)
{
    for (const FCloudFileHeader& Header : List)
    {
        if (Header.DLName == DLName)
        {
            return &Header;
        }
    }
    return nullptr;
}
