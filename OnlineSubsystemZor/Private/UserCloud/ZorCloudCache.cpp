#include "UserCloud/ZorCloudCache.h"

#include "Core/FileManager.h"
#include "Core/Paths.h"
#include "Core/SecureHash.h"

namespace
{
bool IsSafeChar(char Ch)
{
    const unsigned char Byte = static_cast<unsigned char>(Ch);
    return Byte >= 0x20 && Byte != 0x7F && Ch != '\\' && Ch != ':';
}

bool IsSafeSegment(std::string_view Segment)
{
    if (Segment.empty() || Segment == "." || Segment == ".." ||
        Segment.size() > static_cast<size_t>(FZorCloudCache::MaxSegmentLength))
    {
        return false;
    }
    for (const char Ch : Segment)
    {
        if (!IsSafeChar(Ch))
        {
            return false;
        }
    }
    return true;
}

/** Strikes the first listed name equal to Name from Remaining. */
void Keep(TArray<FString>& Remaining, const FString& Name)
{
    for (int32 Index = 0; Index < Remaining.Num(); ++Index)
    {
        if (Remaining[Index] == Name)
        {
            Remaining.RemoveAt(Index);
            return;
        }
    }
}
} // namespace

bool FZorCloudCache::IsSafeName(const FString& Name)
{
    if (Name.IsEmpty() || Name.Len() > MaxNameLength)
    {
        return false;
    }
    std::string_view Rest = Name.View();
    while (true)
    {
        const size_t Slash = Rest.find('/');
        if (!IsSafeSegment(Rest.substr(0, Slash)))
        {
            return false;
        }
        if (Slash == std::string_view::npos)
        {
            return true;
        }
        Rest.remove_prefix(Slash + 1);
    }
}

FString FZorCloudCache::GetPath(const FString& Folder, const FString& Name)
{
    if (!IsSafeName(Folder) || !IsSafeName(Name))
    {
        return FString();
    }
    return FPaths::CloudDir() + Folder + "/" + Name;
}

bool FZorCloudCache::HashMatches(const TArray<uint8>& Data, const FString& Hash)
{
    return !Hash.IsEmpty() &&
           FSHA1::HashBuffer(Data.GetData(), static_cast<uint64>(Data.Num())).ToString() == Hash;
}

TArray<FString> FZorCloudCache::NamesToSweep(const TArray<FString>& Listed,
                                             const TArray<FCloudFileHeader>& Headers)
{
    TArray<FString> Remaining = Listed;
    for (const FCloudFileHeader& Header : Headers)
    {
        Keep(Remaining, Header.FileName);
        if (Header.DLName != Header.FileName)
        {
            Keep(Remaining, Header.DLName);
        }
    }
    return Remaining;
}

TArray<FString> FZorCloudCache::Sweep(const FString& Folder, const TArray<FCloudFileHeader>& Headers)
{
    TArray<FString> Deleted;
    if (!IsSafeName(Folder))
    {
        return Deleted;
    }
    const FString Dir = FPaths::CloudDir() + Folder + "/";
    TArray<FString> Listed;
    IFileManager::Get().FindFiles(Listed, *Dir, "*.*");
    for (const FString& Name : NamesToSweep(Listed, Headers))
    {
        const FString Path = Dir + Name;
        if (IFileManager::Get().Delete(*Path, false, false, false))
        {
            Deleted.Add(Path);
        }
    }
    return Deleted;
}
