#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineCloudFile.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

DECLARE_MULTICAST_DELEGATE_TwoParams(FOnEnumerateUserFilesComplete, bool /*bWasSuccessful*/,
                                     const FUniqueNetId& /*UserId*/);
using FOnEnumerateUserFilesCompleteDelegate = FOnEnumerateUserFilesComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnReadUserFileComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*FileName*/);
using FOnReadUserFileCompleteDelegate = FOnReadUserFileComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnWriteUserFileComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*FileName*/);
using FOnWriteUserFileCompleteDelegate = FOnWriteUserFileComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnDeleteUserFileComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*FileName*/);
using FOnDeleteUserFileCompleteDelegate = FOnDeleteUserFileComplete::FDelegate;

/** The engine's per-user cloud file contract: list, read, write and delete a user's files. */
class IOnlineUserCloud
{
public:
    virtual ~IOnlineUserCloud() = default;

    /** The bytes of a file read or written earlier; false when the user has no entry of that name. */
    virtual bool GetFileContents(const FUniqueNetId& UserId, const FString& FileName,
                                 TArray<uint8>& FileContents) = 0;
    /** Drops every file entry of the user; false while one of them is being read or written. */
    virtual bool ClearFiles(const FUniqueNetId& UserId) = 0;
    virtual bool ClearFile(const FUniqueNetId& UserId, const FString& FileName) = 0;

    virtual void EnumerateUserFiles(const FUniqueNetId& UserId) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnEnumerateUserFilesComplete, bool, const FUniqueNetId&);
    virtual void GetUserFileList(const FUniqueNetId& UserId, TArray<FCloudFileHeader>& UserFiles) = 0;

    virtual bool ReadUserFile(const FUniqueNetId& UserId, const FString& FileName) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnReadUserFileComplete, bool, const FUniqueNetId&, const FString&);

    virtual bool WriteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                               TArray<uint8>& FileContents) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnWriteUserFileComplete, bool, const FUniqueNetId&, const FString&);

    virtual bool DeleteUserFile(const FUniqueNetId& UserId, const FString& FileName, bool bShouldCloudDelete,
                                bool bShouldLocallyDelete) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnDeleteUserFileComplete, bool, const FUniqueNetId&, const FString&);

    /** Diagnostics for the console; implementations may do nothing. */
    virtual void DumpCloudState(const FUniqueNetId& UserId) = 0;
    virtual void DumpCloudFileState(const FUniqueNetId& UserId, const FString& FileName) = 0;
};
