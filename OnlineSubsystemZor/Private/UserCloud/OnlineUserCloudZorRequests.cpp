#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "UserCloud/ZorCloudFileList.h"
#include "UserCloud/ZorCloudUrl.h"

namespace
{
const char* OperationName(int32 Op)
{
    static const char* const Names[] = {"ReadUserFile", "WriteUserFile", "DeleteUserFile"};
    return Names[Op];
}

bool IsGoodCode(int32 Code, int32 Last)
{
    return Code >= 200 && Code <= Last;
}

/** "No response", or the failure text of a code outside 200 to Last; empty for a good reply. */
FString CheckReply(const FHttpResponsePtr& Response, bool bSucceeded, int32 Last)
{
    if (!bSucceeded || !Response)
    {
        return "No response";
    }
    if (!IsGoodCode(Response->GetResponseCode(), Last))
    {
        return FString::Printf("Invalid response. code=%d error=%s", Response->GetResponseCode(),
                               *Response->GetContentAsString());
    }
    return FString();
}

// Writes, deletes and lists accept any code up to 399; a download must be the file itself, and the HTTP
// layer follows no redirect, so only a 2xx body is a file.
constexpr int32 LastGoodCode = 399;
constexpr int32 LastFileCode = 299;
} // namespace

FString FOnlineUserCloudZor::StartCheck(const FUniqueNetId& UserId, const FString& FileName) const
{
    if (bShutDown)
    {
        return "No response";
    }
    if (!UserId.IsValid())
    {
        return "Invalid userid";
    }
    if (FileName.IsEmpty() || FileName.Contains(" "))
    {
        return FString::Printf("Invalid filename user=%s filename=%s", *UserId.ToDebugString(), *FileName);
    }
    if (IsFilePending(KeyOf(UserId), FileName))
    {
        return FString::Printf("File request already pending for user=%s", *UserId.ToDebugString());
    }
    return FString();
}

bool FOnlineUserCloudZor::IsFilePending(const FUserKey& User, const FString& FileName) const
{
    for (const auto& Entry : PendingFileRequests)
    {
        if (Entry.Value.UserId == User && Entry.Value.FileName == FileName)
        {
            return true;
        }
    }
    return false;
}

FString FOnlineUserCloudZor::MakeUrl(const FString& Template, const FUniqueNetId& UserId,
                                     const FString& FileName) const
{
    return GetBaseUrl() +
           FZorCloudUrl::Fill(
               Template, {{"uniquefilename", FileName}, {"filename", FileName}, {"id", UserId.ToString()}});
}

FHttpRequestRef FOnlineUserCloudZor::StartFileRequest(const FUniqueNetId& UserId, const FString& FileName,
                                                      EFileOp Op, const FString& Url, const FString& Verb)
{
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    PendingFileRequests.Add(Request.ToSharedPtr(), FPendingFile{KeyOf(UserId), FileName, Op});
    switch (Op)
    {
    case EFileOp::Read:
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineUserCloudZor::ReadUserFile_HttpRequestComplete);
        break;
    case EFileOp::Write:
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineUserCloudZor::WriteUserFile_HttpRequestComplete);
        break;
    case EFileOp::Delete:
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineUserCloudZor::DeleteUserFile_HttpRequestComplete);
        break;
    }
    Request->SetURL(Url);
    Request->SetVerb(Verb);
    return Request;
}

bool FOnlineUserCloudZor::SendFileRequest(const FUniqueNetId& UserId, const FHttpRequestRef& Request,
                                          FString& OutError)
{
    if (Subsystem->ProcessUserRequest(*this, UserId, Request, OutError))
    {
        return true;
    }
    PendingFileRequests.Remove(Request.ToSharedPtr());
    return false;
}

void FOnlineUserCloudZor::FinishFileOp(EFileOp Op, bool bWasSuccessful, const FUniqueNetId& UserId,
                                       const FString& FileName, const FString& Error)
{
    if (!bWasSuccessful)
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", OperationName(static_cast<int32>(Op)), *Error);
    }
    switch (Op)
    {
    case EFileOp::Read:
        TriggerOnReadUserFileCompleteDelegates(bWasSuccessful, UserId, FileName);
        break;
    case EFileOp::Write:
        TriggerOnWriteUserFileCompleteDelegates(bWasSuccessful, UserId, FileName);
        break;
    case EFileOp::Delete:
        TriggerOnDeleteUserFileCompleteDelegates(bWasSuccessful, UserId, FileName);
        break;
    }
}

void FOnlineUserCloudZor::FinishEnumerate(bool bWasSuccessful, const FUniqueNetId& UserId,
                                          const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "EnumerateUserFiles request failed. %s", *Error);
    }
    TriggerOnEnumerateUserFilesCompleteDelegates(bWasSuccessful, UserId);
}

void FOnlineUserCloudZor::EnumerateUserFiles(const FUniqueNetId& UserId)
{
    FString Error;
    if (bShutDown)
    {
        Error = "No response";
    }
    else if (!UserId.IsValid())
    {
        Error = "Invalid userid";
    }
    else if (PendingEnumerations.FindKey(KeyOf(UserId)))
    {
        Error = FString::Printf("Already pending for user=%s", *UserId.ToDebugString());
    }
    if (Error.IsEmpty())
    {
        const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        PendingEnumerations.Add(Request.ToSharedPtr(), KeyOf(UserId));
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineUserCloudZor::EnumerateUserFiles_HttpRequestComplete);
        Request->SetURL(MakeUrl(EnumerateUserFilesUrl, UserId, FString()));
        Request->SetVerb("GET");
        UE_LOG_ONLINE(Verbose, "Starting EnumerateUserFiles request.");
        if (Subsystem->ProcessUserRequest(*this, UserId, Request, Error))
        {
            return;
        }
        PendingEnumerations.Remove(Request.ToSharedPtr());
    }
    FinishEnumerate(false, UserId, Error);
}

void FOnlineUserCloudZor::EnumerateUserFiles_HttpRequestComplete(FHttpRequestPtr Request,
                                                                 FHttpResponsePtr Response, bool bSucceeded)
{
    FUserKey User;
    if (!PendingEnumerations.RemoveAndCopyValue(Request, User))
    {
        return;
    }
    const FUniqueNetIdString UserId{FString(User)};
    FString Error = CheckReply(Response, bSucceeded, LastGoodCode);
    if (!Error.IsEmpty())
    {
        FinishEnumerate(false, UserId, Error);
        return;
    }
    const FString Body = Response->GetContentAsString();
    UE_LOG_ONLINE(Verbose, "EnumerateUserFiles request complete. url=%s code=%d response=%s",
                  *Request->GetURL(), Response->GetResponseCode(), *Body);
    TArray<FCloudFileHeader>& List = CloudFileLists.FindOrAdd(User);
    FString Payload;
    if (!FZorCloudFileList::Read(Body, List, Payload))
    {
        FinishEnumerate(false, UserId, FString::Printf("Invalid response payload=%s", *Payload));
        return;
    }
    SyncLocalFiles(UserId, List);
    FinishEnumerate(true, UserId, FString());
}

bool FOnlineUserCloudZor::ReadUserFile(const FUniqueNetId& UserId, const FString& FileName)
{
    FString Error = StartCheck(UserId, FileName);
    if (Error.IsEmpty())
    {
        GetCloudFile(UserId, FileName, true)->AsyncState = ECloudFileState::InProgress;
        // The cache is read here, on the game thread, because a hit must fire before this call returns.
        if (bCacheFiles && LoadFromCache(UserId, FileName))
        {
            FinishFileOp(EFileOp::Read, true, UserId, FileName, FString());
            return true;
        }
        const FHttpRequestRef Request =
            StartFileRequest(UserId, FileName, EFileOp::Read, MakeUrl(UserFileUrl, UserId, FileName), "GET");
        UE_LOG_ONLINE(Verbose, "Starting ReadUserFile request. filename=%s", *FileName);
        if (SendFileRequest(UserId, Request, Error))
        {
            return true;
        }
        FailEntry(UserId, FileName);
    }
    FinishFileOp(EFileOp::Read, false, UserId, FileName, Error);
    return false;
}

void FOnlineUserCloudZor::ReadUserFile_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                           bool bSucceeded)
{
    FPendingFile Pending;
    if (!PendingFileRequests.RemoveAndCopyValue(Request, Pending))
    {
        return;
    }
    const FUniqueNetIdString UserId{FString(Pending.UserId)};
    FailEntry(UserId, Pending.FileName);
    if (Response && bSucceeded)
    {
        UE_LOG_ONLINE(Verbose, "ReadUserFile request complete. url=%s code=%d length=%d type=%s",
                      *Request->GetURL(), Response->GetResponseCode(),
                      static_cast<int32>(Response->GetContentLength()), *Response->GetContentType());
    }
    const FString Error = CheckReply(Response, bSucceeded, LastFileCode);
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Read, false, UserId, Pending.FileName, Error);
        return;
    }
    FCloudFile* File = GetCloudFile(UserId, Pending.FileName, true);
    File->AsyncState = ECloudFileState::Done;
    File->Data = Response->GetContent();
    if (bCacheFiles)
    {
        SaveLocalFile(UserId, File->FileName, File->Data);
    }
    FinishFileOp(EFileOp::Read, true, UserId, Pending.FileName, FString());
}

bool FOnlineUserCloudZor::WriteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                                        TArray<uint8>& FileContents)
{
    FString Error = StartCheck(UserId, FileName);
    if (Error.IsEmpty())
    {
        GetCloudFile(UserId, FileName, true)->AsyncState = ECloudFileState::InProgress;
        const FHttpRequestRef Request = StartFileRequest(UserId, FileName, EFileOp::Write,
                                                         MakeUrl(WriteUserFileUrl, UserId, FileName), "PUT");
        Request->SetContent(FileContents);
        UE_LOG_ONLINE(Verbose, "Starting WriteUserFile request. filename=%s", *FileName);
        if (SendFileRequest(UserId, Request, Error))
        {
            return true;
        }
        FailEntry(UserId, FileName);
    }
    FinishFileOp(EFileOp::Write, false, UserId, FileName, Error);
    return false;
}

void FOnlineUserCloudZor::WriteUserFile_HttpRequestComplete(FHttpRequestPtr Request,
                                                            FHttpResponsePtr Response, bool bSucceeded)
{
    FPendingFile Pending;
    if (!PendingFileRequests.RemoveAndCopyValue(Request, Pending))
    {
        return;
    }
    const FUniqueNetIdString UserId{FString(Pending.UserId)};
    FailEntry(UserId, Pending.FileName);
    if (Response && bSucceeded)
    {
        UE_LOG_ONLINE(Verbose, "WriteUserFile request complete. url=%s code=%d response=%s",
                      *Request->GetURL(), Response->GetResponseCode(), *Response->GetContentAsString());
    }
    const FString Error = CheckReply(Response, bSucceeded, LastGoodCode);
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Write, false, UserId, Pending.FileName, Error);
        return;
    }
    FCloudFile* File = GetCloudFile(UserId, Pending.FileName, true);
    File->AsyncState = ECloudFileState::Done;
    File->Data = Request->GetContent();
    if (bCacheFiles)
    {
        SaveLocalFile(UserId, File->FileName, File->Data);
    }
    // The content changed, so its hash is unknown until the next list; a later write replaces this header.
    FZorCloudFileList::Merge(CloudFileLists.FindOrAdd(Pending.UserId),
                             FCloudFileHeader(Pending.FileName, Pending.FileName, File->Data.Num()));
    FinishFileOp(EFileOp::Write, true, UserId, Pending.FileName, FString());
}

bool FOnlineUserCloudZor::DeleteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                                         bool bShouldCloudDelete, bool bShouldLocallyDelete)
{
    FString Error = (bShouldCloudDelete || bShouldLocallyDelete)
                        ? StartCheck(UserId, FileName)
                        : FString("Nothing to do. Use bShouldCloudDelete and/or bShouldLocallyDelete");
    if (Error.IsEmpty())
    {
        const FCloudFile* File = GetCloudFile(UserId, FileName, false);
        const FString DiskName = File ? File->FileName : FileName;
        ClearFile(UserId, FileName);
        const bool bDeletedLocally = bShouldLocallyDelete && bCacheFiles && DeleteLocalFile(UserId, DiskName);
        if (!bShouldCloudDelete && bDeletedLocally)
        {
            FinishFileOp(EFileOp::Delete, true, UserId, FileName, FString());
            return true;
        }
        if (bShouldCloudDelete)
        {
            const FHttpRequestRef Request = StartFileRequest(
                UserId, FileName, EFileOp::Delete, MakeUrl(UserFileUrl, UserId, FileName), "DELETE");
            UE_LOG_ONLINE(Verbose, "Starting DeleteUserFile request. filename=%s", *FileName);
            if (SendFileRequest(UserId, Request, Error))
            {
                return true;
            }
        }
    }
    FinishFileOp(EFileOp::Delete, false, UserId, FileName, Error);
    return false;
}

void FOnlineUserCloudZor::DeleteUserFile_HttpRequestComplete(FHttpRequestPtr Request,
                                                             FHttpResponsePtr Response, bool bSucceeded)
{
    FPendingFile Pending;
    if (!PendingFileRequests.RemoveAndCopyValue(Request, Pending))
    {
        return;
    }
    const FUniqueNetIdString UserId{FString(Pending.UserId)};
    if (Response && bSucceeded)
    {
        UE_LOG_ONLINE(Verbose, "DeleteUserFile request complete. url=%s code=%d response=%s",
                      *Request->GetURL(), Response->GetResponseCode(), *Response->GetContentAsString());
    }
    const FString Error = CheckReply(Response, bSucceeded, LastGoodCode);
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Delete, false, UserId, Pending.FileName, Error);
        return;
    }
    if (TArray<FCloudFileHeader>* List = CloudFileLists.Find(Pending.UserId))
    {
        for (int32 Index = 0; Index < List->Num(); ++Index)
        {
            if ((*List)[Index].DLName == Pending.FileName)
            {
                List->RemoveAt(Index);
                break;
            }
        }
    }
    FinishFileOp(EFileOp::Delete, true, UserId, Pending.FileName, FString());
}
