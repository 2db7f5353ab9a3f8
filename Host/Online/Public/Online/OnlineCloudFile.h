#pragma once

#include "CoreMinimal.h"

/** Where a downloaded file entry stands. */
enum class ECloudFileState : int32
{
    NotStarted = 0,
    InProgress = 1,
    Done = 2,
    Failed = 3,
};

const char* LexToString(ECloudFileState State);

/** One entry of a cloud file list, as the service lists it. */
struct FCloudFileHeader
{
    FCloudFileHeader() = default;
    FCloudFileHeader(const FString& InFileName, const FString& InDLName, int32 InFileSize)
        : DLName(InDLName), FileName(InFileName), FileSize(InFileSize)
    {
    }

    /** SHA1 of the content as 40 hexadecimal digits; empty when not known. */
    FString Hash;
    /** The unique name on the service, by which headers are looked up. */
    FString DLName;
    /** The name shown to players. */
    FString FileName;
    int32 FileSize = 0;
};

/** One file as this process holds it: its state and, once read or written, its bytes. */
struct FCloudFile
{
    FCloudFile() = default;
    explicit FCloudFile(const FString& InFileName) : FileName(InFileName) {}
    virtual ~FCloudFile() = default;
    FCloudFile(const FCloudFile&) = default;
    FCloudFile& operator=(const FCloudFile&) = default;

    FString FileName;
    ECloudFileState AsyncState = ECloudFileState::NotStarted;
    TArray<uint8> Data;
};
