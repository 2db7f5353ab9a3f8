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

/** The listed names by name ignoring case, so each keep strikes the first of its name still listed. */
class FListedIndex
{
public:
    explicit FListedIndex(const TArray<FString>& InListed) : Listed(InListed)
    {
        Next.SetNum(Listed.Num());
        Struck.SetNumZeroed(Listed.Num());
        FirstByName.Reserve(Listed.Num());
        // From the back, so each name's chain runs in listing order.
        for (int32 Index = Listed.Num() - 1; Index >= 0; --Index)
        {
            int32* First = FirstByName.Find(Listed[Index]);
            Next[Index] = First ? *First : INDEX_NONE;
            FirstByName.Add(Listed[Index], Index);
        }
    }

    void Keep(const FString& Name)
    {
        int32* First = FirstByName.Find(Name);
        if (!First || *First == INDEX_NONE)
        {
            return;
        }
        Struck[*First] = true;
        *First = Next[*First];
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
    const TArray<FString>& Listed;
    TMap<FString, int32> FirstByName;
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
    FListedIndex Index(Listed);
    for (const FCloudFileHeader& Header : Headers)
    {
        Index.Keep(Header.FileName);
        if (Header.DLName != Header.FileName)
        {
            Index.Keep(Header.DLName);
        }
    }
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
