#pragma once

#include "Http.h"
#include "Online/OnlineTitleFileInterface.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;

/**
 * Title files over the game service, on the client road under the application's id: the list is gathered
 * page by page, files are read by name and, when caching, kept on disk and served again while their SHA1
 * still matches the list. Game thread only.
 */
class FOnlineTitleFileZor : public IOnlineTitleFile, public FGameServiceZor
{
public:
    static const FString SectionName;
    /** The cache folder under the cloud directory. */
    static const FString CacheFolder;

    explicit FOnlineTitleFileZor(FOnlineSubsystemZor* InSubsystem);

    bool GetFileContents(const FString& FileName, TArray<uint8>& FileContents) override;
    bool ClearFiles() override;
    bool ClearFile(const FString& FileName) override;
    bool EnumerateFiles(const FPagedQuery& Page = FPagedQuery()) override;
    void GetFileList(TArray<FCloudFileHeader>& Files) override { Files = TitleFiles; }
    bool ReadFile(const FString& FileName) override;

    /** The entry of that name (ignoring case); created NotStarted when missing and bCreate is set. */
    FCloudFile* GetCloudFile(const FString& FileName, bool bCreate);
    const FCloudFileHeader* GetCloudFileHeader(const FString& FileName) const;
    /** Cloud directory + "QVR/" + file name; empty for a name that would leave that folder. */
    FString GetLocalFilePath(const FString& FileName) const;
    bool SaveLocalFile(const FString& FileName, const TArray<uint8>& Data) const;

    bool IsCachingFiles() const { return bCacheFiles; }
    const FString& GetEnumerateFilesUrl() const { return EnumerateFilesUrl; }
    const FString& GetFileUrl() const { return FileUrl; }

private:
    bool LoadFromCache(const FString& FileName);
    void FailEntry(const FString& FileName);
    void FinishEnumerate(bool bWasSuccessful, const FString& Error);
    void FinishRead(bool bWasSuccessful, const FString& FileName, const FString& Error);

    void OnEnumerateReply(FZorReply& Reply, const FPagedQuery& Page);
    void OnReadReply(FZorReply& Reply, const FString& FileName);

    FString EnumerateFilesUrl;
    FString FileUrl;
    bool bCacheFiles = true;

    TArray<FCloudFileHeader> TitleFiles;
    TArray<FCloudFile> DownloadedFiles;
};
