#include "Subsystem/OnlineSubsystemZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/ZorCloudFileList.h"
#include "UserCloud/ZorCloudUrl.h"

namespace
{
/** A query without paging asks for the whole list, so it replaces the list as a first page does. */
bool ReplacesList(const FPagedQuery& Page)
{
    return Page.Start <= 0 || Page.Count < 0;
}

FString CheckCode(const FHttpResponsePtr& Response, int32 LastGoodCode)
{
    const int32 Code = Response->GetResponseCode();
    if (Code >= 200 && Code <= LastGoodCode)
    {
        return FString();
    }
    return FString::Printf("Invalid response. code=%d error=%s", Code, *Response->GetContentAsString());
}
} // namespace

void FOnlineTitleFileZor::FinishEnumerate(bool bWasSuccessful, const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "EnumerateFiles request failed. %s", *Error);
    }
    TriggerOnEnumerateFilesCompleteDelegates(bWasSuccessful);
}

void FOnlineTitleFileZor::FinishRead(bool bWasSuccessful, const FString& FileName, const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "ReadFile request failed. %s", *Error);
    }
    TriggerOnReadFileCompleteDelegates(bWasSuccessful, FileName);
}

bool FOnlineTitleFileZor::EnumerateFiles(const FPagedQuery& Page)
{
    FString Error;
    if (bShutDown)
    {
        Error = "No response";
    }
    else if (PendingEnumerations.Num() > 0)
    {
        Error = "Request already in progress.";
    }
    else
    {
        const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        PendingEnumerations.Add(Request.ToSharedPtr(), Page);
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineTitleFileZor::EnumerateFiles_HttpRequestComplete);
        Request->SetURL(AppendPageUrl(GetBaseUrl() + EnumerateFilesUrl, Page));
        Request->SetVerb("GET");
        if (Subsystem->ProcessClientRequest(*this, Subsystem->GetAppId(), Request, Error))
        {
            return true;
        }
        PendingEnumerations.Remove(Request.ToSharedPtr());
    }
    FinishEnumerate(false, Error);
    return false;
}

void FOnlineTitleFileZor::EnumerateFiles_HttpRequestComplete(FHttpRequestPtr Request,
                                                             FHttpResponsePtr Response, bool bSucceeded)
{
    FPagedQuery Page;
    if (!PendingEnumerations.RemoveAndCopyValue(Request, Page))
    {
        return;
    }
    if (!bSucceeded || !Response)
    {
        FinishEnumerate(false, FString());
        return;
    }
    const FString Error = CheckCode(Response, 399);
    if (!Error.IsEmpty())
    {
        FinishEnumerate(false, Error);
        return;
    }
    const FString Body = Response->GetContentAsString();
    UE_LOG_ONLINE(Verbose, "EnumerateFiles request complete. url=%s code=%d response=%s", *Request->GetURL(),
                  Response->GetResponseCode(), *Body);
    if (ReplacesList(Page))
    {
        TitleFiles.Reset();
    }
    TArray<FCloudFileHeader> Headers;
    FString Payload;
    if (!FZorCloudFileList::Read(Body, Headers, Payload))
    {
        FinishEnumerate(false, FString::Printf("Invalid response payload=%s", *Payload));
        return;
    }
    for (const FCloudFileHeader& Header : Headers)
    {
        FZorCloudFileList::Merge(TitleFiles, Header);
    }
    FinishEnumerate(true, FString());
}

bool FOnlineTitleFileZor::ReadFile(const FString& FileName)
{
    FString Error;
    if (bShutDown)
    {
        Error = "No response";
    }
    else if (FileName.IsEmpty() || FileName.Contains(" "))
    {
        Error = FString::Printf("Invalid filename filename=%s", *FileName);
    }
    else if (PendingReads.FindKey(FileName))
    {
        Error = FString::Printf("File request already pending for filename=%s", *FileName);
    }
    if (!Error.IsEmpty())
    {
        FinishRead(false, FileName, Error);
        return false;
    }
    GetCloudFile(FileName, true)->AsyncState = ECloudFileState::InProgress;
    // The cache is read here, on the game thread, because a hit must fire before this call returns.
    if (bCacheFiles && LoadFromCache(FileName))
    {
        FinishRead(true, FileName, FString());
        return true;
    }
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    PendingReads.Add(Request.ToSharedPtr(), FileName);
    Request->OnProcessRequestComplete().BindThreadSafeSP(this,
                                                         &FOnlineTitleFileZor::ReadFile_HttpRequestComplete);
    // Only this placeholder is matched with its letter case, as the title file URL has always been filled.
    Request->SetURL(GetBaseUrl() +
                    FZorCloudUrl::Fill(FileUrl, {{"filename", FileName}}, ESearchCase::CaseSensitive));
    Request->SetVerb("GET");
    if (Subsystem->ProcessClientRequest(*this, Subsystem->GetAppId(), Request, Error))
    {
        return true;
    }
    PendingReads.Remove(Request.ToSharedPtr());
    FCloudFile* File = GetCloudFile(FileName, true);
    File->AsyncState = ECloudFileState::Failed;
    File->Data.Reset();
    FinishRead(false, FileName, Error);
    return false;
}

void FOnlineTitleFileZor::ReadFile_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                       bool bSucceeded)
{
    FString FileName;
    if (!PendingReads.RemoveAndCopyValue(Request, FileName))
    {
        return;
    }
    FCloudFile* File = GetCloudFile(FileName, true);
    File->AsyncState = ECloudFileState::Failed;
    File->Data.Reset();
    if (!bSucceeded || !Response)
    {
        FinishRead(false, FileName, "No response");
        return;
    }
    // The HTTP layer follows no redirect: only a 2xx body is the file.
    const FString Error = CheckCode(Response, 299);
    if (!Error.IsEmpty())
    {
        FinishRead(false, FileName, Error);
        return;
    }
    UE_LOG_ONLINE(Verbose, "ReadFile request complete. url=%s code=%d", *Request->GetURL(),
                  Response->GetResponseCode());
    File->AsyncState = ECloudFileState::Done;
    File->Data = Response->GetContent();
    if (bCacheFiles)
    {
        SaveLocalFile(File->FileName, File->Data);
    }
    FinishRead(true, FileName, FString());
}
