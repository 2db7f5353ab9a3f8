#include "TitleFile/OnlineTitleFileZor.h"

#include "Core/Config.h"
#include "Core/FileHelper.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/ZorCloudCache.h"
#include "UserCloud/ZorCloudFileList.h"

const FString FOnlineTitleFileZor::SectionName("OnlineSubsystemZor.OnlineTitleFileZor");
const FString FOnlineTitleFileZor::CacheFolder("QVR");

FOnlineTitleFileZor::FOnlineTitleFileZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName), EnumerateFilesUrl("/api/cloudstorage/system"),
      FileUrl("/api/cloudstorage/system/`filename")
{
    GConfig->GetString(*SectionName, "EnumerateFilesUrl", EnumerateFilesUrl, GEngineIni);
    GConfig->GetString(*SectionName, "FileUrl", FileUrl, GEngineIni);
    bCacheFiles = !(InSubsystem && InSubsystem->IsDedicated());
    GConfig->GetBool(*SectionName, "bCacheFiles", bCacheFiles, GEngineIni);
}

bool FOnlineTitleFileZor::GetFileContents(const FString& FileName, TArray<uint8>& FileContents)
{
    const FCloudFile* File = GetCloudFile(FileName, false);
    if (!File)
    {
        return false;
    }
    FileContents = File->Data;
    return true;
}

bool FOnlineTitleFileZor::ClearFiles()
{
    for (const FCloudFile& File : DownloadedFiles)
    {
        if (File.AsyncState == ECloudFileState::InProgress)
        {
            UE_LOG_ONLINE(Warning, "Cant clear files. Pending file op for %s", *File.FileName);
            return false;
        }
    }
    DownloadedFiles.Reset();
    return true;
}

bool FOnlineTitleFileZor::ClearFile(const FString& FileName)
{
    for (int32 Index = 0; Index < DownloadedFiles.Num(); ++Index)
    {
        const FCloudFile& File = DownloadedFiles[Index];
        if (File.FileName != FileName)
        {
            continue;
        }
        if (File.AsyncState == ECloudFileState::InProgress)
        {
            UE_LOG_ONLINE(Warning, "Cant clear file. Pending file op for %s", *File.FileName);
            return false;
        }
        DownloadedFiles.RemoveAt(Index);
        return true;
    }
    return false;
}

FCloudFile* FOnlineTitleFileZor::GetCloudFile(const FString& FileName, bool bCreate)
{
    for (FCloudFile& File : DownloadedFiles)
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
    DownloadedFiles.Add(FCloudFile(FileName));
    return &DownloadedFiles.Last();
}

const FCloudFileHeader* FOnlineTitleFileZor::GetCloudFileHeader(const FString& FileName) const
{
    return FZorCloudFileList::FindByDLName(TitleFiles, FileName);
}

FString FOnlineTitleFileZor::GetLocalFilePath(const FString& FileName) const
{
    return FZorCloudCache::GetPath(CacheFolder, FileName);
}

bool FOnlineTitleFileZor::SaveLocalFile(const FString& FileName, const TArray<uint8>& Data) const
{
    const FString Path = GetLocalFilePath(FileName);
    if (Path.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Local file cache skipped for unsafe name filename=%s", *FileName);
        return false;
    }
    if (!FFileHelper::SaveArrayToFile(Data, *Path))
    {
        UE_LOG_ONLINE(Warning, "ReadFile request complete. Local file cache failed to update =%s", *Path);
        return false;
    }
    UE_LOG_ONLINE(Verbose, "ReadFile request complete. Local file cache updated =%s", *Path);
    return true;
}

bool FOnlineTitleFileZor::LoadFromCache(const FString& FileName)
{
    FCloudFile* File = GetCloudFile(FileName, true);
    const FString Path = GetLocalFilePath(File->FileName);
    if (Path.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Local file cache skipped for unsafe name filename=%s", *File->FileName);
        return false;
    }
    if (!FFileHelper::LoadFileToArray(File->Data, *Path, FILEREAD_Silent))
    {
        UE_LOG_ONLINE(Verbose, "ReadFile request. Local file failed to read from cache =%s", *Path);
        File->Data.Reset();
        return false;
    }
    UE_LOG_ONLINE(Verbose, "ReadFile request. Local file read from cache =%s", *Path);
    const FCloudFileHeader* Header = GetCloudFileHeader(FileName);
    if (!Header || !FZorCloudCache::HashMatches(File->Data, Header->Hash))
    {
        File->Data.Reset();
        return false;
    }
    UE_LOG_ONLINE(Verbose, "Local file hash matches cloud header. No need to download for filename=%s",
                  *FileName);
    File->AsyncState = ECloudFileState::Done;
    return true;
}

void FOnlineTitleFileZor::FailEntry(const FString& FileName)
{
    FCloudFile* File = GetCloudFile(FileName, true);
    File->AsyncState = ECloudFileState::Failed;
    File->Data.Reset();
}
