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

/**
 * The listed names, each struck at most once by a name kept. On a disk where letter case counts, two copies
 * may differ only in case, and each belongs to the header that names it letter for letter; a name only
 * falls back to the first unstruck listing equal ignoring case when it has no exact one.
 */
class FListedIndex
{
public:
    explicit FListedIndex(const TArray<FString>& InListed) : Listed(InListed)
    {
        Next.SetNum(Listed.Num());
        Struck.SetNumZeroed(Listed.Num());
        FirstByName.Reserve(Listed.Num());
        Exact.reserve(static_cast<size_t>(Listed.Num()));
        // From the back, so each name's chain runs in listing order.
        for (int32 Index = Listed.Num() - 1; Index >= 0; --Index)
        {
            int32* First = FirstByName.Find(Listed[Index]);
            Next[Index] = First ? *First : INDEX_NONE;
            FirstByName.Add(Listed[Index], Index);
            Exact[std::string(Listed[Index].View())] = Index;
        }
    }

    /** Strikes the exact listing of each name; the names without one are kept ignoring case afterwards. */
    void Keep(const TArray<FString>& Names)
    {
        TArray<const FString*> Unmatched;
        for (const FString& Name : Names)
        {
            const auto Found = Exact.find(std::string(Name.View()));
            if (Found == Exact.end() || Struck[Found->second])
            {
                Unmatched.Add(&Name);
                continue;
            }
            Struck[Found->second] = true;
        }
        for (const FString* Name : Unmatched)
        {
            KeepIgnoringCase(*Name);
        }
    }

    TArray<FString> Remaining() const
    {
        TArray<FString> Names;
        for (int32 Index = 0; Index < Listed.Num(); ++Index)
        {
            if (!Struck[Index])
            {
                Names.Add(Listed[Index]);
            }
        }
        return Names;
    }

private:
    void KeepIgnoringCase(const FString& Name)
    {
        int32* First = FirstByName.Find(Name);
        if (!First)
        {
            return;
        }
        // Exact keeps strike out of chain order, so the head skips what they took.
        while (*First != INDEX_NONE && Struck[*First])
        {
            *First = Next[*First];
        }
        if (*First == INDEX_NONE)
        {
            return;
        }
        Struck[*First] = true;
        *First = Next[*First];
    }

    const TArray<FString>& Listed;
    TMap<FString, int32> FirstByName;
    std::unordered_map<std::string, int32> Exact;
    TArray<int32> Next;
    TArray<uint8> Struck;
};
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
    TArray<FString> Kept;
    Kept.Reserve(Headers.Num() * 2);
    for (const FCloudFileHeader& Header : Headers)
    {
        Kept.Add(Header.FileName);
        if (!Header.DLName.Equals(Header.FileName, ESearchCase::CaseSensitive))
        {
            Kept.Add(Header.DLName);
        }
    }
    FListedIndex Index(Listed);
    Index.Keep(Kept);
    return Index.Remaining();
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
