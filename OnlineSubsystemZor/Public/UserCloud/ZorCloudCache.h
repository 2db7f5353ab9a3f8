#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineCloudFile.h"

/**
 * The disk copies of cloud files under the cloud directory. Folder and file names come from the service, so a
 * name only reaches the disk when it cannot leave its folder; a safe name keeps the plain "folder/name" path
 * so copies written before stay valid.
 */
class FZorCloudCache
{
public:
    /** Longest name segment and whole name, in bytes. */
    static constexpr int32 MaxSegmentLength = 255;
    static constexpr int32 MaxNameLength = 1024;

    /**
     * True when every '/'-separated segment is non-empty, not "." or "..", short enough and free of
     * backslashes, colons and control characters (so no absolute path either).
     */
    static bool IsSafeName(const FString& Name);

    /** CloudDir + Folder + "/" + Name; empty when either is not safe. */
    static FString GetPath(const FString& Folder, const FString& Name);

    /** True when Hash is not empty and equals the SHA1 of Data in hexadecimal, ignoring case. */
    static bool HashMatches(const TArray<uint8>& Data, const FString& Hash);

    /** The names a header keeps a copy under: its file name, and its unique name when that differs. */
    static void AddKeptNames(const FCloudFileHeader& Header, TArray<FString>& OutNames);

    /**
     * The listed names that no kept name keeps. Each kept name keeps one listing: the one equal letter for
     * letter when there is one, else the first left that is equal ignoring case.
     */
    static TArray<FString> NamesToSweep(const TArray<FString>& Listed, const TArray<FString>& Kept);

    /**
     * Deletes the regular files directly in the folder that no kept name keeps (NamesToSweep). Nothing
     * happens for an unsafe folder. Returns the paths deleted.
     */
    static TArray<FString> Sweep(const FString& Folder, const TArray<FString>& Kept);
};
