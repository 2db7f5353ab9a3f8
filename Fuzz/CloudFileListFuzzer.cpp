// Untrusted file-list replies of the user-cloud and title-file services. Every header read keeps the reader's
// promises (a hash, a unique name, a file name and a size that is never negative) and keeps its copy from the
// sweep, only a reply without entries is barred from sweeping, and merging the list into itself changes
// nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "UserCloud/ZorCloudCache.h"
#include "UserCloud/ZorCloudFileList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    FZorCloudListReply Reply;
    FString Payload;
    if (!FZorCloudFileList::Read(Text, Reply, Payload))
    {
        if (Reply.Headers.Num() != 0 || Reply.Named.Num() != 0)
        {
            std::abort();
        }
        return 0;
    }
    const TArray<FCloudFileHeader>& Headers = Reply.Headers;
    if (!Reply.bMaySweep && Headers.Num() != 0)
    {
        std::abort();
    }
    TArray<FString> Listed;
    for (const FCloudFileHeader& Header : Headers)
    {
        Listed.Add(Header.FileName);
    }
    if (FZorCloudCache::NamesToSweep(Listed, Reply.Named).Num() != 0)
    {
        std::abort();
    }
    for (const FCloudFileHeader& Header : Headers)
    {
        if (Header.Hash.IsEmpty() || Header.DLName.IsEmpty() || Header.FileName.IsEmpty() ||
            Header.FileSize < 0)
        {
            std::abort();
        }
        // A name the service gives either stays inside its folder or never reaches the disk.
        const FString Path = FZorCloudCache::GetPath("user", Header.FileName);
        if (!Path.IsEmpty() && (Path.Contains("/../") || Path.Contains("\\")))
        {
            std::abort();
        }
    }
    TArray<FCloudFileHeader> Merged = Headers;
    FZorCloudFileList::Merge(Merged, Headers);
    if (Merged.Num() != Headers.Num())
    {
        std::abort();
    }
    return 0;
}
