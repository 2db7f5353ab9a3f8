#include "UserCloud/ZorCloudFileList.h"

#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/Json.h"

namespace
{
/** A length the service gives as anything but a whole number from 0 to the int32 limit counts as unknown. */
int32 ReadLength(const FJsonObject& Entry)
{
    if (!Entry.HasField("length"))
    {
        return 0;
    }
    int32 Length = 0;
    if (!Entry.TryGetNumberField("length", Length) || Length < 0)
    {
        UE_LOG_ONLINE(Warning, "Invalid file length=%s dlname=%s", *Entry.GetStringField("length"),
                      *Entry.GetStringField("uniqueFilename"));
        return 0;
    }
    return Length;
}

/**
 * A reply that did not read well must not pass for a short list, since a list sweeps the local copies it does
 * not name: every element has to be an object naming its file, with its texts as texts.
 */
bool IsNamedEntry(const FJsonObject& Entry)
{
    return Entry.HasTypedField<EJson::String>("uniqueFilename") &&
           !Entry.GetStringField("uniqueFilename").IsEmpty() &&
           (!Entry.HasField("hash") || Entry.HasTypedField<EJson::String>("hash")) &&
           (!Entry.HasField("filename") || Entry.HasTypedField<EJson::String>("filename"));
}

bool ReadEntry(const FJsonObject& Entry, FCloudFileHeader& OutHeader)
{
    Entry.TryGetStringField("hash", OutHeader.Hash);
    Entry.TryGetStringField("uniqueFilename", OutHeader.DLName);
    Entry.TryGetStringField("filename", OutHeader.FileName);
    OutHeader.FileSize = ReadLength(Entry);
    if (OutHeader.FileName.IsEmpty())
    {
        OutHeader.FileName = OutHeader.DLName;
    }
    if (OutHeader.Hash.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Invalid file entry hash=%s dlname=%s filename=%s", *OutHeader.Hash,
                      *OutHeader.DLName, *OutHeader.FileName);
        return false;
    }
    return true;
}
} // namespace

bool FZorCloudFileList::Read(const FString& Body, TArray<FCloudFileHeader>& OutHeaders, FString& OutPayload)
{
    OutHeaders.Reset();
    const FString Trimmed = Body.TrimStartAndEnd();
    OutPayload = Trimmed.StartsWith("[") ? Trimmed : "[" + Trimmed + "]";
    TSharedPtr<FJsonObject> Json;
    if (Trimmed.IsEmpty() ||
        !FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("{\"files\":" + OutPayload + "}"), Json) ||
        !Json)
    {
        return false;
    }
    TArray<FCloudFileHeader> Headers;
    for (const TSharedPtr<FJsonValue>& Value : Json->GetArrayField("files"))
    {
        const TSharedPtr<FJsonObject>* Entry = nullptr;
        if (!Value || !Value->TryGetObject(Entry) || !IsNamedEntry(**Entry))
        {
            return false;
        }
        FCloudFileHeader Header;
        if (ReadEntry(**Entry, Header))
        {
            Headers.Add(Header);
        }
    }
    OutHeaders = std::move(Headers);
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
