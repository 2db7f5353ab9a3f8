#include "Common/ZorCallSet.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/ZorCloudFileList.h"
#include "UserCloud/ZorCloudReply.h"

namespace
{
constexpr const char* EnumerateKey = "enumerate";

/** A query without paging asks for the whole list, so it replaces the list as a first page does. */
bool ReplacesList(const FPagedQuery& Page)
{
    return Page.Start <= 0 || Page.Count < 0;
}

FString ReadKey(const FString& FileName)
{
    return "read:" + FileName;
}
} // namespace

void FOnlineTitleFileZor::FinishEnumerate(bool bWasSuccessful, const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "EnumerateFiles request failed. %s", *ZorRedact::Body(Error));
    }
    TriggerOnEnumerateFilesCompleteDelegates(bWasSuccessful);
}

void FOnlineTitleFileZor::FinishRead(bool bWasSuccessful, const FString& FileName, const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "ReadFile request failed. %s", *ZorRedact::Body(Error));
    }
    TriggerOnReadFileCompleteDelegates(bWasSuccessful, FileName);
}

bool FOnlineTitleFileZor::EnumerateFiles(const FPagedQuery& Page)
{
    if (IsShutDown() || GetCalls().IsPending(EnumerateKey))
    {
        FinishEnumerate(false, IsShutDown() ? "No response" : "Request already in progress.");
        return false;
    }
    FZorCall Call;
    Call.Operation = "EnumerateFiles";
    Call.Url = AppendPageUrl(GetBaseUrl() + EnumerateFilesUrl, Page);
    Call.ContentType = FString();
    Call.PendingKey = EnumerateKey;
    FZorError Refused;
    if (GetCalls().SendAsClient(
            Call, GetSubsystemAppId(), [this, Page](FZorReply& Reply) { OnEnumerateReply(Reply, Page); },
            Refused))
    {
        return true;
    }
    if (Refused)
    {
        FinishEnumerate(false, Refused.Text);
    }
    return false;
}

void FOnlineTitleFileZor::OnEnumerateReply(FZorReply& Reply, const FPagedQuery& Page)
{
    if (!Reply.HasResponse())
    {
        // A list that never came is no failure of its own: nothing is logged.
        FinishEnumerate(false, FString());
        return;
    }
    if (!ZorCloudReply::Check(Reply, "EnumerateFiles", true))
    {
        FinishEnumerate(false, Reply.GetErrorText());
        return;
    }
    if (ReplacesList(Page))
    {
        TitleFiles.Reset();
    }
    FZorCloudListReply Listed;
    FString Payload;
    if (!FZorCloudFileList::Read(Reply.GetBody(), Listed, Payload))
    {
        FinishEnumerate(false, FString::Printf("Invalid response payload=%s", *Payload));
        return;
    }
    FZorCloudFileList::Merge(TitleFiles, Listed.Headers);
    FinishEnumerate(true, FString());
}

bool FOnlineTitleFileZor::ReadFile(const FString& FileName)
{
    FString Error;
    if (IsShutDown())
    {
        Error = "No response";
    }
    else if (FileName.IsEmpty() || FileName.Contains(" "))
    {
        Error = FString::Printf("Invalid filename filename=%s", *FileName);
    }
    else if (GetCalls().IsPending(ReadKey(FileName)))
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
    FZorCall Call;
    Call.Operation = "ReadFile";
    Call.Url = GetBaseUrl() + FileUrl;
    Call.Values = {{"`filename", FileName}};
    // Only this placeholder heeds letter case, as title file templates always have.
    Call.PlaceholderCase = ESearchCase::CaseSensitive;
    Call.ContentType = FString();
    Call.PendingKey = ReadKey(FileName);
    FZorError Refused;
    if (GetCalls().SendAsClient(
            Call, GetSubsystemAppId(), [this, FileName](FZorReply& Reply) { OnReadReply(Reply, FileName); },
            Refused))
    {
        return true;
    }
    if (Refused)
    {
        FailEntry(FileName);
        FinishRead(false, FileName, Refused.Text);
    }
    return false;
}

void FOnlineTitleFileZor::OnReadReply(FZorReply& Reply, const FString& FileName)
{
    FailEntry(FileName);
    if (!ZorCloudReply::Check(Reply, "ReadFile", false))
    {
        FinishRead(false, FileName, Reply.GetErrorText());
        return;
    }
    UE_LOG_ONLINE(Verbose, "ReadFile request complete. url=%s code=%d", *Reply.GetLoggedUrl(),
                  Reply.GetResponse()->GetResponseCode());
    FCloudFile* File = GetCloudFile(FileName, true);
    File->AsyncState = ECloudFileState::Done;
    File->Data = Reply.GetResponse()->GetContent();
    if (bCacheFiles)
    {
        SaveLocalFile(File->FileName, File->Data);
    }
    FinishRead(true, FileName, FString());
}
