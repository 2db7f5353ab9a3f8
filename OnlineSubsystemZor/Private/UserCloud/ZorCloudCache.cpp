#include "UserCloud/ZorCloudCache.h"

#include "Core/FileManager.h"
#include "Core/Paths.h"
#include "Core/SecureHash.h"

#include <string>
#include <unordered_map>

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

void FZorCloudCache::AddKeptNames(const FCloudFileHeader& Header, TArray<FString>& OutNames)
{
    if (!Header.FileName.IsEmpty())
    {
        OutNames.Add(Header.FileName);
    }
    if (!Header.DLName.IsEmpty() && !Header.DLName.Equals(Header.FileName, ESearchCase::CaseSensitive))
    {
        OutNames.Add(Header.DLName);
    }
}

TArray<FString> FZorCloudCache::NamesToSweep(const TArray<FString>& Listed, const TArray<FString>& Kept)
{
    // Where letter case counts on disk, two copies may differ only in case: each is kept by the name that
    // gives it letter for letter, and only a name without such a copy falls back to one equal ignoring case.
    std::unordered_map<std::string, int32> ExactLeft;
    for (const FString& Name : Kept)
    {
        ++ExactLeft[std::string(Name.View())];
    }
    TArray<FString> NotExact;
    for (const FString& Name : Listed)
    {
        const auto Found = ExactLeft.find(std::string(Name.View()));
        if (Found != ExactLeft.end() && Found->second > 0)
        {
            --Found->second;
            continue;
        }
        NotExact.Add(Name);
    }
    TMap<FString, int32> LeftIgnoringCase; // FString keys compare ignoring case
    for (const auto& [Name, Count] : ExactLeft)
    {
        LeftIgnoringCase.FindOrAdd(FString(Name)) += Count;
    }
    TArray<FString> Swept;
    for (const FString& Name : NotExact)
    {
        int32* Count = LeftIgnoringCase.Find(Name);
        if (Count && *Count > 0)
        {
            --*Count;
            continue;
        }
        Swept.Add(Name);
    }
    return Swept;
}

TArray<FString> FZorCloudCache::Sweep(const FString& Folder, const TArray<FString>& Kept)
{
    TArray<FString> Deleted;
    if (!IsSafeName(Folder))
    {
        return Deleted;
    }
    const FString Dir = FPaths::CloudDir() + Folder + "/";
    TArray<FString> Listed;
    IFileManager::Get().FindFiles(Listed, *Dir, "*.*");
    for (const FString& Name : NamesToSweep(Listed, Kept))
    {
        const FString Path = Dir + Name;
        if (IFileManager::Get().Delete(*Path, false, false, false))
        {
            Deleted.Add(Path);
        }
    }
    return Deleted;
}
