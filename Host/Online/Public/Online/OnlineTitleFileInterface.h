#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineCloudFile.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

DECLARE_MULTICAST_DELEGATE_OneParam(FOnEnumerateFilesComplete, bool /*bWasSuccessful*/);
using FOnEnumerateFilesCompleteDelegate = FOnEnumerateFilesComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnReadFileComplete, bool /*bWasSuccessful*/,
                                     const FString& /*FileName*/);
using FOnReadFileCompleteDelegate = FOnReadFileComplete::FDelegate;

/** The engine's title file contract: files of the game itself, listed page by page and read by name. */
class IOnlineTitleFile
{
public:
    virtual ~IOnlineTitleFile() = default;

    /** The bytes of a file read earlier; false when there is no entry of that name. */
    virtual bool GetFileContents(const FString& FileName, TArray<uint8>& FileContents) = 0;
    virtual bool ClearFiles() = 0;
    virtual bool ClearFile(const FString& FileName) = 0;

    virtual bool EnumerateFiles(const FPagedQuery& Page = FPagedQuery()) = 0;
    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnEnumerateFilesComplete, bool);
    virtual void GetFileList(TArray<FCloudFileHeader>& Files) = 0;

    virtual bool ReadFile(const FString& FileName) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnReadFileComplete, bool, const FString&);
};
