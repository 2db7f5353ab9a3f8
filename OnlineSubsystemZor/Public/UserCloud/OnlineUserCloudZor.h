#pragma once

#include <string>

#include "Http.h"
#include "Online/OnlineUserCloudInterface.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;
struct FZorCall;

/**
 * Per-user cloud files over the game service, on the user road: lists, reads, writes and deletes a user's
 * files, keeps the bytes per user and, when caching, a disk copy that a later read whose SHA1 still matches
 * the list serves without a download. Game thread only.
 *
 * User ids are kept by their exact text (two ids that differ in letter case are two users); file names
 * compare ignoring case. A list reply neither undoes a write or delete answered after its request was sent
 * nor sweeps a copy written or read since.
 */
class FOnlineUserCloudZor : public IOnlineUserCloud, public FGameServiceZor
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
    /** Deletes the user's local copies that no kept name keeps (FZorCloudCache::NamesToSweep). */
    void SyncLocalFiles(const FUniqueNetId& UserId, const TArray<FString>& Kept) const;

    bool IsCachingFiles() const { return bCacheFiles; }
    const FString& GetEnumerateUserFilesUrl() const { return EnumerateUserFilesUrl; }
    const FString& GetUserFileUrl() const { return UserFileUrl; }
    const FString& GetWriteUserFileUrl() const { return WriteUserFileUrl; }

private:
    enum class EFileOp
    {
        Read,
        Write,
        Delete,
    };
    using FUserKey = std::string;
    /** What a user's list reply in flight cannot know: what was answered after its request was sent. */
    struct FSinceListSent
    {
        /** Names of the local copies written or read. */
        TArray<FString> Copies;
        /** Unique names written or deleted on the service. */
        TArray<FString> Changed;
        /** Which list request it is: one of an ended login may still be answered after the next is sent. */
        int64 Serial = 0;
    };

    static FUserKey KeyOf(const FUniqueNetId& UserId) { return UserId.ToString().ToStdString(); }
    FString StartCheck(const FUniqueNetId& UserId, const FString& FileName) const;
    /** The owner key of a read, write or cloud delete: at most one in flight per user (letter for letter) and
     * file name (in any letter case). */
    static FString FileKey(const FUniqueNetId& UserId, const FString& FileName)
    {
        return "file:" + UserId.ToString() + "/" + FileName.ToLower();
    }
    FZorCall MakeCall(const char* Operation, const FString& Verb, const FString& Template,
                      const FUniqueNetId& UserId, const FString& FileName) const;
    /** Sends a file call on the user road; false after reporting when the road refused it. */
    bool SendFileCall(EFileOp Op, const FZorCall& Call, const FUniqueNetId& UserId, const FString& FileName,
                      TFunction<void(FZorReply&)> OnReply);
    bool LoadFromCache(const FUniqueNetId& UserId, const FString& FileName);
    bool DeleteLocalFile(const FUniqueNetId& UserId, const FString& DiskName) const;
    /** Fails the file while it waits on the request that failed: in progress, and no later request for it in
     * flight (a later login's, whose state it is). */
    void FailEntry(const FUniqueNetId& UserId, const FString& FileName);
    void NoteCopy(const FUserKey& User, const FString& DiskName);
    void NoteChange(const FUserKey& User, const FString& FileName);
    /** Logs a failure as "<Operation> request failed. <Error>" and fires the operation's event. */
    void FinishFileOp(EFileOp Op, bool bWasSuccessful, const FUniqueNetId& UserId, const FString& FileName,
                      const FString& Error);
    void FinishEnumerate(bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error);

    void OnEnumerateReply(FZorReply& Reply, const FUserKey& User, int64 Serial);
    /** The owner key of a user's list request. */
    static FString EnumerateKey(const FUniqueNetId& UserId) { return "list:" + UserId.ToString(); }
    void OnReadReply(FZorReply& Reply, const FUserKey& User, const FString& FileName);
    void OnWriteReply(FZorReply& Reply, const FUserKey& User, const FString& FileName);
    void OnDeleteReply(FZorReply& Reply, const FUserKey& User, const FString& FileName);

    FString EnumerateUserFilesUrl;
    FString UserFileUrl;
    FString WriteUserFileUrl;
    bool bCacheFiles = true;

    TMap<FUserKey, TArray<FCloudFileHeader>> CloudFileLists;
    TMap<FUserKey, TArray<FCloudFile>> DownloadedFiles;
    TMap<FUserKey, FSinceListSent> PendingEnumerations;
    int64 EnumerationSerial = 0;
};
