#include "UserCloud/OnlineUserCloudZor.h"

#include "Common/ZorCallSet.h"

#include "Core/Config.h"
#include "Core/FileHelper.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/ZorCloudCache.h"
#include "UserCloud/ZorCloudFileList.h"

const FString FOnlineUserCloudZor::SectionName("OnlineSubsystemZor.OnlineUserCloudZor");

FOnlineUserCloudZor::FOnlineUserCloudZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName), EnumerateUserFilesUrl("/api/cloudstorage/user/`id"),
      UserFileUrl("/api/cloudstorage/user/`id/`filename"),
      WriteUserFileUrl("/api/cloudstorage/user/`id/`uniquefilename?filename=`filename")
{
    GConfig->GetString(*SectionName, "EnumerateUserFilesUrl", EnumerateUserFilesUrl, GEngineIni);
    GConfig->GetString(*SectionName, "UserFileUrl", UserFileUrl, GEngineIni);
    GConfig->GetString(*SectionName, "WriteUserFileUrl", WriteUserFileUrl, GEngineIni);
    // The ini key when present, else every process but a dedicated server keeps copies.
    bCacheFiles = !(InSubsystem && InSubsystem->IsDedicated());
    GConfig->GetBool(*SectionName, "bCacheFiles", bCacheFiles, GEngineIni);
}

bool FOnlineUserCloudZor::GetFileContents(const FUniqueNetId& UserId, const FString& FileName,
                                          TArray<uint8>& FileContents)
{
    const FCloudFile* File = GetCloudFile(UserId, FileName, false);
    if (!File)
    {
        return false;
    }
    FileContents = File->Data;
    return true;
}

bool FOnlineUserCloudZor::ClearFiles(const FUniqueNetId& UserId)
{
    const TArray<FCloudFile>* Files = DownloadedFiles.Find(KeyOf(UserId));
    if (!Files)
    {
        return false;
    }
    for (const FCloudFile& File : *Files)
    {
        if (File.AsyncState == ECloudFileState::InProgress)
        {
            UE_LOG_ONLINE(Warning, "Cant clear files. Pending file op for %s", *File.FileName);
            return false;
        }
    }
    DownloadedFiles.Remove(KeyOf(UserId));
    return true;
}

bool FOnlineUserCloudZor::ClearFile(const FUniqueNetId& UserId, const FString& FileName)
{
    TArray<FCloudFile>* Files = DownloadedFiles.Find(KeyOf(UserId));
    if (!Files)
    {
        return false;
    }
    for (int32 Index = 0; Index < Files->Num(); ++Index)
    {
        const FCloudFile& File = (*Files)[Index];
        if (File.FileName != FileName)
        {
            continue;
        }
        if (File.AsyncState == ECloudFileState::InProgress)
        {
            UE_LOG_ONLINE(Warning, "Cant clear file. Pending file op for %s", *File.FileName);
            return false;
        }
        Files->RemoveAt(Index);
        return true;
    }
    return false;
}

void FOnlineUserCloudZor::GetUserFileList(const FUniqueNetId& UserId, TArray<FCloudFileHeader>& UserFiles)
{
    const TArray<FCloudFileHeader>* List = CloudFileLists.Find(KeyOf(UserId));
    UserFiles = List ? *List : TArray<FCloudFileHeader>();
}

FCloudFile* FOnlineUserCloudZor::GetCloudFile(const FUniqueNetId& UserId, const FString& FileName,
                                              bool bCreate)
{
    TArray<FCloudFile>& Files = DownloadedFiles.FindOrAdd(KeyOf(UserId));
    for (FCloudFile& File : Files)
    {
        if (File.FileName == FileName)
        {
            return &File;
        }
    }
    if (!bCreate)
    {
        return nullptr;
    }
    Files.Add(FCloudFile(FileName));
    return &Files.Last();
}

const FCloudFileHeader* FOnlineUserCloudZor::GetCloudFileHeader(const FUniqueNetId& UserId,
                                                                const FString& FileName) const
{
    const TArray<FCloudFileHeader>* List = CloudFileLists.Find(KeyOf(UserId));
    return List ? FZorCloudFileList::FindByDLName(*List, FileName) : nullptr;
}

FString FOnlineUserCloudZor::GetLocalFilePath(const FUniqueNetId& UserId, const FString& FileName) const
{
    return FZorCloudCache::GetPath(UserId.ToString(), FileName);
}

bool FOnlineUserCloudZor::SaveLocalFile(const FUniqueNetId& UserId, const FString& FileName,
                                        const TArray<uint8>& Data) const
{
    const FString Path = GetLocalFilePath(UserId, FileName);
    if (Path.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Local file cache skipped for unsafe name user=%s filename=%s",
                      *UserId.ToDebugString(), *FileName);
        return false;
    }
    if (!FFileHelper::SaveArrayToFile(Data, *Path))
    {
        UE_LOG_ONLINE(Warning, "WriteUserFile request complete. Local file cache failed to update =%s",
                      *Path);
        return false;
    }
    UE_LOG_ONLINE(Verbose, "WriteUserFile request complete. Local file cache updated =%s", *Path);
    return true;
}

void FOnlineUserCloudZor::SyncLocalFiles(const FUniqueNetId& UserId, const TArray<FString>& Kept) const
{
    FZorCloudCache::Sweep(UserId.ToString(), Kept);
}

bool FOnlineUserCloudZor::LoadFromCache(const FUniqueNetId& UserId, const FString& FileName)
{
    FCloudFile* File = GetCloudFile(UserId, FileName, true);
    const FString Path = GetLocalFilePath(UserId, File->FileName);
    if (Path.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Local file cache skipped for unsafe name user=%s filename=%s",
                      *UserId.ToDebugString(), *File->FileName);
        return false;
    }
    if (!FFileHelper::LoadFileToArray(File->Data, *Path, FILEREAD_Silent))
    {
        UE_LOG_ONLINE(Verbose, "ReadUserFile request. Local file failed to read from cache =%s", *Path);
        File->Data.Reset();
        return false;
    }
    NoteCopy(KeyOf(UserId), File->FileName);
    UE_LOG_ONLINE(Verbose, "ReadUserFile request. Local file read from cache =%s", *Path);
    const FCloudFileHeader* Header = GetCloudFileHeader(UserId, FileName);
    if (!Header || !FZorCloudCache::HashMatches(File->Data, Header->Hash))
    {
        File->Data.Reset();
        return false;
    }
    UE_LOG_ONLINE(Verbose,
                  "Local file hash matches cloud header. No need to download for user=%s filename=%s",
                  *UserId.ToDebugString(), *FileName);
    File->AsyncState = ECloudFileState::Done;
    return true;
}

bool FOnlineUserCloudZor::DeleteLocalFile(const FUniqueNetId& UserId, const FString& DiskName) const
{
    const FString Path = GetLocalFilePath(UserId, DiskName);
    if (Path.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Local file cache skipped for unsafe name user=%s filename=%s",
                      *UserId.ToDebugString(), *DiskName);
        return false;
    }
    if (!IFileManager::Get().Delete(*Path, false, true, true))
    {
        UE_LOG_ONLINE(Verbose, "DeleteUserFile request. Local file failed to delete from cache =%s", *Path);
        return false;
    }
    UE_LOG_ONLINE(Verbose, "DeleteUserFile request. Local file deleted from cache =%s", *Path);
    return true;
}

void FOnlineUserCloudZor::FailEntry(const FUniqueNetId& UserId, const FString& FileName)
{
    FCloudFile* File = GetCloudFile(UserId, FileName, true);
    if (File->AsyncState != ECloudFileState::InProgress ||
        GetCalls().IsPending(FileKey(UserId, FileName), ESearchCase::CaseSensitive))
    {
        return;
    }
    File->AsyncState = ECloudFileState::Failed;
    File->Data.Reset();
}

void FOnlineUserCloudZor::NoteCopy(const FUserKey& User, const FString& DiskName)
{
    if (FSinceListSent* Since = PendingEnumerations.Find(User))
    {
        Since->Copies.Add(DiskName);
    }
}

void FOnlineUserCloudZor::NoteChange(const FUserKey& User, const FString& FileName)
{
    if (FSinceListSent* Since = PendingEnumerations.Find(User))
    {
        Since->Changed.Add(FileName);
    }
}
