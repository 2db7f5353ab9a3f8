#include "Common/ZorCallSet.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "UserCloud/ZorCloudFileList.h"
#include "UserCloud/ZorCloudReply.h"

namespace
{
const char* OperationName(int32 Op)
{
    static const char* const Names[] = {"ReadUserFile", "WriteUserFile", "DeleteUserFile"};
    return Names[Op];
}

/** A change answered after the list was asked for outranks the list: such a file stays as it is now. */
void KeepChanges(TArray<FCloudFileHeader>& Listed, const TArray<FCloudFileHeader>& Now,
                 const TArray<FString>& Changed)
{
    for (const FString& Name : Changed)
    {
        // The headers naming the file as IndexOfDLName would: letter for letter when any does.
        const bool bExact =
            Listed.ContainsByPredicate([&Name](const FCloudFileHeader& Header)
                                       { return Header.DLName.Equals(Name, ESearchCase::CaseSensitive); });
        Listed.RemoveAll(
            [&Name, bExact](const FCloudFileHeader& Header) {
                return bExact ? Header.DLName.Equals(Name, ESearchCase::CaseSensitive)
                              : Header.DLName == Name;
            });
        if (const FCloudFileHeader* Header = FZorCloudFileList::FindByDLName(Now, Name))
        {
            Listed.Add(*Header);
        }
    }
}
} // namespace

FString FOnlineUserCloudZor::StartCheck(const FUniqueNetId& UserId, const FString& FileName) const
{
    if (IsShutDown())
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
    if (GetCalls().IsPending(FileKey(UserId, FileName), ESearchCase::CaseSensitive))
    {
        return FString::Printf("File request already pending for user=%s", *UserId.ToDebugString());
    }
    return FString();
}

FZorCall FOnlineUserCloudZor::MakeCall(const char* Operation, const FString& Verb, const FString& Template,
                                       const FUniqueNetId& UserId, const FString& FileName) const
{
    FZorCall Call;
    Call.Operation = Operation;
    Call.Verb = Verb;
    Call.Url = GetBaseUrl() + Template;
    Call.Values = {{"`id", UserId.ToString()}, {"`filename", FileName}, {"`uniquefilename", FileName}};
    Call.ContentType = FString();
    if (!FileName.IsEmpty())
    {
        Call.SendingLine = FString::Printf("Starting %s request. filename=%s", Operation, *FileName);
    }
    return Call;
}

bool FOnlineUserCloudZor::SendFileCall(EFileOp Op, const FZorCall& Call, const FUniqueNetId& UserId,
                                       const FString& FileName, TFunction<void(FZorReply&)> OnReply)
{
    FZorCall Keyed = Call;
    Keyed.PendingKey = FileKey(UserId, FileName);
    FZorError Error;
    if (GetCalls().SendAsUser(Keyed, UserId, std::move(OnReply), Error))
    {
        return true;
    }
    if (!Error)
    {
        // Its handler has reported already.
        return false;
    }
    if (Op != EFileOp::Delete)
    {
        FailEntry(UserId, FileName);
    }
    FinishFileOp(Op, false, UserId, FileName, Error.Text);
    return false;
}

void FOnlineUserCloudZor::FinishFileOp(EFileOp Op, bool bWasSuccessful, const FUniqueNetId& UserId,
                                       const FString& FileName, const FString& Error)
{
    if (!bWasSuccessful)
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", OperationName(static_cast<int32>(Op)),
                      *ZorRedact::Body(Error));
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
        UE_LOG_ONLINE(Warning, "EnumerateUserFiles request failed. %s", *ZorRedact::Body(Error));
    }
    TriggerOnEnumerateUserFilesCompleteDelegates(bWasSuccessful, UserId);
}

void FOnlineUserCloudZor::EnumerateUserFiles(const FUniqueNetId& UserId)
{
    FString Error;
    if (IsShutDown())
    {
        Error = "No response";
    }
    else if (!UserId.IsValid())
    {
        Error = "Invalid userid";
    }
    else if (GetCalls().IsPending(EnumerateKey(UserId), ESearchCase::CaseSensitive))
    {
        Error = FString::Printf("Already pending for user=%s", *UserId.ToDebugString());
    }
    if (!Error.IsEmpty())
    {
        FinishEnumerate(false, UserId, Error);
        return;
    }
    const FUserKey User = KeyOf(UserId);
    const int64 Serial = ++EnumerationSerial;
    PendingEnumerations.Add(User, FSinceListSent{{}, {}, Serial});
    FZorError Refused;
    FZorCall Call = MakeCall("EnumerateUserFiles", "GET", EnumerateUserFilesUrl, UserId, FString());
    Call.PendingKey = EnumerateKey(UserId);
    if (!GetCalls().SendAsUser(
            Call, UserId, [this, User, Serial](FZorReply& Reply) { OnEnumerateReply(Reply, User, Serial); },
            Refused) &&
        Refused)
    {
        PendingEnumerations.Remove(User);
        FinishEnumerate(false, UserId, Refused.Text);
    }
}

void FOnlineUserCloudZor::OnEnumerateReply(FZorReply& Reply, const FUserKey& User, int64 Serial)
{
    // The entry may be a later login's list, sent while this one was on its way.
    FSinceListSent Since;
    const FSinceListSent* Entry = PendingEnumerations.Find(User);
    if (Entry && Entry->Serial == Serial)
    {
        PendingEnumerations.RemoveAndCopyValue(User, Since);
    }
    const FUniqueNetIdString UserId{FString(User)};
    if (!ZorCloudReply::Check(Reply, "EnumerateUserFiles", true))
    {
        FinishEnumerate(false, UserId, Reply.GetErrorText());
        return;
    }
    FZorCloudListReply Listed;
    FString Payload;
    const bool bRead = FZorCloudFileList::Read(Reply.GetBody(), Listed, Payload);
    TArray<FCloudFileHeader>& List = CloudFileLists.FindOrAdd(User);
    KeepChanges(Listed.Headers, List, Since.Changed);
    List = std::move(Listed.Headers);
    if (!bRead)
    {
        FinishEnumerate(false, UserId, FString::Printf("Invalid response payload=%s", *Payload));
        return;
    }
    if (Listed.bMaySweep)
    {
        Listed.Named.Append(Since.Copies);
        SyncLocalFiles(UserId, Listed.Named);
    }
    FinishEnumerate(true, UserId, FString());
}

bool FOnlineUserCloudZor::ReadUserFile(const FUniqueNetId& UserId, const FString& FileName)
{
    const FString Error = StartCheck(UserId, FileName);
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Read, false, UserId, FileName, Error);
        return false;
    }
    GetCloudFile(UserId, FileName, true)->AsyncState = ECloudFileState::InProgress;
    // The cache is read here, on the game thread, because a hit must fire before this call returns.
    if (bCacheFiles && LoadFromCache(UserId, FileName))
    {
        FinishFileOp(EFileOp::Read, true, UserId, FileName, FString());
        return true;
    }
    const FUserKey User = KeyOf(UserId);
    return SendFileCall(EFileOp::Read, MakeCall("ReadUserFile", "GET", UserFileUrl, UserId, FileName), UserId,
                        FileName,
                        [this, User, FileName](FZorReply& Reply) { OnReadReply(Reply, User, FileName); });
}

void FOnlineUserCloudZor::OnReadReply(FZorReply& Reply, const FUserKey& User, const FString& FileName)
{
    const FUniqueNetIdString UserId{FString(User)};
    FailEntry(UserId, FileName);
    if (const FHttpResponsePtr& Response = Reply.GetResponse())
    {
        UE_LOG_ONLINE(Verbose, "ReadUserFile request complete. url=%s code=%d length=%d type=%s",
                      *Reply.GetLoggedUrl(), Response->GetResponseCode(),
                      static_cast<int32>(Response->GetContentLength()), *Response->GetContentType());
    }
    if (!ZorCloudReply::Check(Reply, "ReadUserFile", false))
    {
        FinishFileOp(EFileOp::Read, false, UserId, FileName, Reply.GetErrorText());
        return;
    }
    FCloudFile* File = GetCloudFile(UserId, FileName, true);
    File->AsyncState = ECloudFileState::Done;
    File->Data = Reply.GetResponse()->GetContent();
    if (bCacheFiles && SaveLocalFile(UserId, File->FileName, File->Data))
    {
        NoteCopy(User, File->FileName);
    }
    FinishFileOp(EFileOp::Read, true, UserId, FileName, FString());
}

bool FOnlineUserCloudZor::WriteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                                        TArray<uint8>& FileContents)
{
    const FString Error = StartCheck(UserId, FileName);
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Write, false, UserId, FileName, Error);
        return false;
    }
    GetCloudFile(UserId, FileName, true)->AsyncState = ECloudFileState::InProgress;
    FZorCall Call = MakeCall("WriteUserFile", "PUT", WriteUserFileUrl, UserId, FileName);
    Call.Body = FString(reinterpret_cast<const char*>(FileContents.GetData()), FileContents.Num());
    const FUserKey User = KeyOf(UserId);
    return SendFileCall(EFileOp::Write, Call, UserId, FileName,
                        [this, User, FileName](FZorReply& Reply) { OnWriteReply(Reply, User, FileName); });
}

void FOnlineUserCloudZor::OnWriteReply(FZorReply& Reply, const FUserKey& User, const FString& FileName)
{
    const FUniqueNetIdString UserId{FString(User)};
    FailEntry(UserId, FileName);
    if (!ZorCloudReply::Check(Reply, "WriteUserFile", true))
    {
        FinishFileOp(EFileOp::Write, false, UserId, FileName, Reply.GetErrorText());
        return;
    }
    FCloudFile* File = GetCloudFile(UserId, FileName, true);
    File->AsyncState = ECloudFileState::Done;
    File->Data = Reply.GetRequest()->GetContent();
    if (bCacheFiles && SaveLocalFile(UserId, File->FileName, File->Data))
    {
        NoteCopy(User, File->FileName);
    }
    NoteChange(User, FileName);
    // The content changed, so its hash is unknown until the next list; a later write replaces this header.
    FZorCloudFileList::Merge(CloudFileLists.FindOrAdd(User),
                             {FCloudFileHeader(FileName, FileName, File->Data.Num())});
    FinishFileOp(EFileOp::Write, true, UserId, FileName, FString());
}

bool FOnlineUserCloudZor::DeleteUserFile(const FUniqueNetId& UserId, const FString& FileName,
                                         bool bShouldCloudDelete, bool bShouldLocallyDelete)
{
    const FString Error = (bShouldCloudDelete || bShouldLocallyDelete)
                              ? StartCheck(UserId, FileName)
                              : FString("Nothing to do. Use bShouldCloudDelete and/or bShouldLocallyDelete");
    if (!Error.IsEmpty())
    {
        FinishFileOp(EFileOp::Delete, false, UserId, FileName, Error);
        return false;
    }
    const FCloudFile* File = GetCloudFile(UserId, FileName, false);
    const FString DiskName = File ? File->FileName : FileName;
    ClearFile(UserId, FileName);
    const bool bDeletedLocally = bShouldLocallyDelete && bCacheFiles && DeleteLocalFile(UserId, DiskName);
    if (!bShouldCloudDelete)
    {
        // One event either way; a local-only delete fails when nothing could be deleted.
        FinishFileOp(EFileOp::Delete, bDeletedLocally, UserId, FileName, FString());
        return bDeletedLocally;
    }
    const FUserKey User = KeyOf(UserId);
    return SendFileCall(EFileOp::Delete, MakeCall("DeleteUserFile", "DELETE", UserFileUrl, UserId, FileName),
                        UserId, FileName,
                        [this, User, FileName](FZorReply& Reply) { OnDeleteReply(Reply, User, FileName); });
}

void FOnlineUserCloudZor::OnDeleteReply(FZorReply& Reply, const FUserKey& User, const FString& FileName)
{
    const FUniqueNetIdString UserId{FString(User)};
    if (!ZorCloudReply::Check(Reply, "DeleteUserFile", true))
    {
        FinishFileOp(EFileOp::Delete, false, UserId, FileName, Reply.GetErrorText());
        return;
    }
    TArray<FCloudFileHeader>* List = CloudFileLists.Find(User);
    const int32 Index = List ? FZorCloudFileList::IndexOfDLName(*List, FileName) : INDEX_NONE;
    if (Index != INDEX_NONE)
    {
        List->RemoveAt(Index);
    }
    NoteChange(User, FileName);
    FinishFileOp(EFileOp::Delete, true, UserId, FileName, FString());
}
