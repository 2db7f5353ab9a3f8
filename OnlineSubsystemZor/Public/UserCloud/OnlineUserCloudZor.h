#pragma once

#include <string>

#include "Http.h"
#include "Online/OnlineUserCloudInterface.h"
#include "Subsystem/BaseServiceZor.h"

/**
 * Per-user cloud files over the game service, on the user road: lists, reads, writes and deletes a user's
 * files, keeps the bytes per user and, when caching, a disk copy that a later read whose SHA1 still matches
 * the list serves without a download. Game thread only.
 *
 * User ids are kept by their exact text (two ids that differ in letter case are two users); file names
 * compare ignoring case.
 */
class FOnlineUserCloudZor : public IOnlineUserCloud,
                            public FGameServiceZor,
                            public TSharedFromThis<FOnlineUserCloudZor>
{
public:
    static const FString SectionName;

    explicit FOnlineUserCloudZor(FOnlineSubsystemZor* InSubsystem);

    bool GetFileContents(const FUniqueNetId& UserId, const FString& FileName,
                         TArray<uint8>& FileContents) override;
    bool ClearFiles(const FUniqueNetId& UserId) override;
    bool ClearFile(const FUniqueNetId& UserId, const FString& FileName) override;
    void EnumerateUserFiles(const FUniqueNetId& UserId) override;
    void GetUserFileList(const FUniqueNetId& UserId, TArray<FCloudFileHeader>& UserFiles) override;
    bool ReadUserFile(const FUniqueNetId& UserId, const FString& FileName) override;
    bool WriteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                       TArray<uint8>& FileContents) override;
    bool DeleteUserFile(const FUniqueNetId& UserId, const FString& FileName, bool bShouldCloudDelete,
                        bool bShouldLocallyDelete) override;
    void DumpCloudState(const FUniqueNetId&) override {}
    void DumpCloudFileState(const FUniqueNetId&, const FString&) override {}

    /** The user's entry of that name (ignoring case); created NotStarted when missing and bCreate is set. */
    FCloudFile* GetCloudFile(const FUniqueNetId& UserId, const FString& FileName, bool bCreate);
    /** The first header of the user's list whose unique name equals FileName ignoring case. */
    const FCloudFileHeader* GetCloudFileHeader(const FUniqueNetId& UserId, const FString& FileName) const;
    /** Cloud directory + user id + "/" + file name; empty when either would leave the user's folder. */
    FString GetLocalFilePath(const FUniqueNetId& UserId, const FString& FileName) const;
    bool SaveLocalFile(const FUniqueNetId& UserId, const FString& FileName, const TArray<uint8>& Data) const;
    /** Deletes the user's local copies that the list keeps by neither display name nor unique name. */
    void SyncLocalFiles(const FUniqueNetId& UserId, const TArray<FCloudFileHeader>& Files) const;

    bool IsCachingFiles() const { return bCacheFiles; }
    const FString& GetEnumerateUserFilesUrl() const { return EnumerateUserFilesUrl; }
    const FString& GetUserFileUrl() const { return UserFileUrl; }
    const FString& GetWriteUserFileUrl() const { return WriteUserFileUrl; }

    /** Fires every pending operation's event (false), cancels its request and refuses later calls. */
    void Shutdown();

private:
    enum class EFileOp
    {
        Read,
        Write,
        Delete,
    };
    struct FPendingFile
    {
        std::string UserId;
        FString FileName;
        EFileOp Op = EFileOp::Read;
    };
    using FUserKey = std::string;

    static FUserKey KeyOf(const FUniqueNetId& UserId) { return UserId.ToString().ToStdString(); }
    FString StartCheck(const FUniqueNetId& UserId, const FString& FileName) const;
    bool IsFilePending(const FUserKey& User, const FString& FileName) const;
    FString MakeUrl(const FString& Template, const FUniqueNetId& UserId, const FString& FileName) const;
    FHttpRequestRef StartFileRequest(const FUniqueNetId& UserId, const FString& FileName, EFileOp Op,
                                     const FString& Url, const FString& Verb);
    bool SendFileRequest(const FUniqueNetId& UserId, const FHttpRequestRef& Request, FString& OutError);
    bool LoadFromCache(const FUniqueNetId& UserId, const FString& FileName);
    bool DeleteLocalFile(const FUniqueNetId& UserId, const FString& DiskName) const;
    void FailEntry(const FUniqueNetId& UserId, const FString& FileName);
    /** Logs a failure as "<Operation> request failed. <Error>" and fires the operation's event. */
    void FinishFileOp(EFileOp Op, bool bWasSuccessful, const FUniqueNetId& UserId, const FString& FileName,
                      const FString& Error);
    void FinishEnumerate(bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error);

    void EnumerateUserFiles_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                bool bSucceeded);
    void ReadUserFile_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                          bool bSucceeded);
    void WriteUserFile_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                           bool bSucceeded);
    void DeleteUserFile_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                            bool bSucceeded);

    FString EnumerateUserFilesUrl;
    FString UserFileUrl;
    FString WriteUserFileUrl;
    bool bCacheFiles = true;
    bool bShutDown = false;

    TMap<FUserKey, TArray<FCloudFileHeader>> CloudFileLists;
    TMap<FUserKey, TArray<FCloudFile>> DownloadedFiles;
    TMap<FHttpRequestPtr, FUserKey> PendingEnumerations;
    TMap<FHttpRequestPtr, FPendingFile> PendingFileRequests;
};
