#include "Friends/OnlineFriendsZor.h"

#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const FString SectionName = "OnlineSubsystemZor.OnlineFriendsZor";
const FString FriendsKey = "friends";

FString PendingKey(int32 LocalUserNum, const FString& ListName)
{
    // FZorCallSet compares keys ignoring case, as list names are compared.
    return FString::Printf("friends:%d:%s", LocalUserNum, *ListName);
}
} // namespace

FOnlineFriendsZor::FOnlineFriendsZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName)
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "QueryFriendsListUrl", QueryFriendsListUrl, GEngineIni);
    GConfig->GetString(Section, "DeleteFriendsListUrl", DeleteFriendsListUrl, GEngineIni);
    GConfig->GetString(Section, "SendInviteUrl", SendInviteUrl, GEngineIni);
    GConfig->GetString(Section, "AcceptInviteUrl", AcceptInviteUrl, GEngineIni);
    GConfig->GetString(Section, "RejectInviteUrl", RejectInviteUrl, GEngineIni);
    GConfig->GetString(Section, "DeleteFriendUrl", DeleteFriendUrl, GEngineIni);
    GConfig->GetString(Section, "QueryPendingInvitesUrl", QueryPendingInvitesUrl, GEngineIni);
}

bool FOnlineFriendsZor::ReadFriendsList(int32 LocalUserNum, const FString& ListName)
{
    return Start(EOperation::ReadFriendsList, LocalUserNum, ListName, nullptr);
}

bool FOnlineFriendsZor::DeleteFriendsList(int32 LocalUserNum, const FString& ListName)
{
    return Start(EOperation::DeleteFriendsList, LocalUserNum, ListName, nullptr);
}

bool FOnlineFriendsZor::SendInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName)
{
    return Start(EOperation::SendInvite, LocalUserNum, ListName, &FriendId);
}

bool FOnlineFriendsZor::AcceptInvite(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                     const FString& ListName)
{
    return Start(EOperation::AcceptInvite, LocalUserNum, ListName, &FriendId);
}

bool FOnlineFriendsZor::RejectInvite(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                     const FString& ListName)
{
    return Start(EOperation::RejectInvite, LocalUserNum, ListName, &FriendId);
}

bool FOnlineFriendsZor::DeleteFriend(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                     const FString& ListName)
{
    return Start(EOperation::DeleteFriend, LocalUserNum, ListName, &FriendId);
}

bool FOnlineFriendsZor::IsPending(int32 LocalUserNum, const FString& ListName) const
{
    return GetCalls().IsPending(PendingKey(LocalUserNum, ListName));
}

bool FOnlineFriendsZor::IsInvitePending(int32 LocalUserNum, const FString& ListName) const
{
    return GetCalls().IsOperationPending(PendingKey(LocalUserNum, ListName), NameOf(EOperation::SendInvite));
}

const char* FOnlineFriendsZor::NameOf(EOperation Operation)
{
    switch (Operation)
    {
    case EOperation::ReadFriendsList:
        return "ReadFriendsList";
    case EOperation::DeleteFriendsList:
        return "DeleteFriendsList";
    case EOperation::SendInvite:
        return "SendInvite";
    case EOperation::AcceptInvite:
        return "AcceptInvite";
    case EOperation::RejectInvite:
        return "RejectInvite";
    case EOperation::DeleteFriend:
        break;
    }
    return "DeleteFriend";
}

FZorCall FOnlineFriendsZor::DescribeCall(EOperation Operation) const
{
    FZorCall Call;
    Call.Operation = NameOf(Operation);
    switch (Operation)
    {
    case EOperation::ReadFriendsList:
        Call.Url = QueryFriendsListUrl;
        // Lists are read often: their lines only show at the most detailed level.
        Call.SendingVerbosity = ELogVerbosity::VeryVerbose;
        Call.CompleteVerbosity = ELogVerbosity::VeryVerbose;
        break;
    case EOperation::DeleteFriendsList:
        Call.Url = DeleteFriendsListUrl;
        Call.Verb = "DELETE";
        break;
    case EOperation::SendInvite:
        Call.Url = SendInviteUrl;
        Call.Verb = "POST";
        break;
    case EOperation::AcceptInvite:
        Call.Url = AcceptInviteUrl;
        Call.Verb = "POST";
        break;
    case EOperation::RejectInvite:
        Call.Url = RejectInviteUrl;
        Call.Verb = "POST";
        break;
    case EOperation::DeleteFriend:
        Call.Url = DeleteFriendUrl;
        Call.Verb = "DELETE";
        break;
    }
    Call.Url = GetBaseUrl() + Call.Url;
    return Call;
}

bool FOnlineFriendsZor::ValidateRequest(int32 LocalUserNum, const FString& ListName,
                                        FUniqueNetIdPtr& OutUserId, FString& OutError) const
{
    OutError.Empty();
    if (LocalUserNum != 0)
    {
        OutError = FString::Printf("Invalid LocalUserNum=%d", LocalUserNum);
        return false;
    }
    OutUserId = GetLocalUserId(LocalUserNum);
    if (!OutUserId)
    {
        OutError = "Invalid userid";
    }
    else if (IsPending(LocalUserNum, ListName))
    {
        OutError = FString::Printf("Already pending for LocalUserNum=%d", LocalUserNum);
    }
    return OutError.IsEmpty();
}

FString FOnlineFriendsZor::CheckCache(EOperation Operation, const FString& UserIdText,
                                      const FString& FriendIdText, const FString& ListName)
{
    const bool bCached = FindFriend(UserIdText, FriendIdText, ListName, false).IsValid();
    switch (Operation)
    {
    case EOperation::SendInvite:
        return bCached ? FString::Printf("Already invited friend=%s.", *FriendIdText) : FString();
    case EOperation::AcceptInvite:
    case EOperation::RejectInvite:
    case EOperation::DeleteFriend:
        return bCached ? FString()
                       : FString::Printf("No cached friend=%s. Read friends list first", *FriendIdText);
    default:
        return FString();
    }
}

bool FOnlineFriendsZor::Start(EOperation Operation, int32 LocalUserNum, const FString& ListName,
                              const FUniqueNetId* FriendId)
{
    FRequestContext Context{Operation, LocalUserNum, FString(), ListName,
                            MakeShared<FUniqueNetIdString>(FriendId ? FriendId->ToString() : FString())};
    FUniqueNetIdPtr UserId;
    FString Error;
    if (ValidateRequest(LocalUserNum, ListName, UserId, Error))
    {
        Context.UserIdText = UserId->ToString();
        Error = CheckCache(Operation, Context.UserIdText, Context.FriendId->ToString(), ListName);
    }
    if (Error.IsEmpty())
    {
        if (Send(Context, *UserId, Error))
        {
            return true;
        }
        if (Error.IsEmpty())
        {
            // Shut down: the completion has reported already.
            return false;
        }
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", NameOf(Operation), *Error);
    Fire(Context, false, Error);
    return false;
}

bool FOnlineFriendsZor::Send(const FRequestContext& Context, const FUniqueNetId& UserId, FString& OutError)
{
    FZorCall Call = DescribeCall(Context.Operation);
    Call.Values = {
        {"`id", Context.UserIdText}, {"`name", Context.ListName}, {"`friend", Context.FriendId->ToString()}};
    Call.PendingKey = PendingKey(Context.LocalUserNum, Context.ListName);
    FZorError RoadError;
    if (GetCalls().SendAsUser(
            Call, UserId, [this, Context](FZorReply& Reply) { OnReply(Reply, Context); }, RoadError))
    {
        return true;
    }
    OutError = RoadError.Text;
    return false;
}

void FOnlineFriendsZor::OnReply(FZorReply& Reply, const FRequestContext& Context)
{
    const FString FriendIdText = Context.FriendId->ToString();
    if (Context.Operation == EOperation::DeleteFriend)
    {
        // Dropped whatever the answer: a friend the service no longer knows must not linger here.
        RemoveCachedFriend(Context.UserIdText, Context.ListName, FriendIdText);
    }
    if (Reply.Check())
    {
        switch (Context.Operation)
        {
        case EOperation::ReadFriendsList:
            ReadList(Reply, Context);
            break;
        case EOperation::DeleteFriendsList:
            RemoveCachedFriendsList(Context.UserIdText, Context.ListName);
            break;
        case EOperation::SendInvite:
        case EOperation::AcceptInvite:
            if (const TSharedPtr<FOnlineFriendZor> Friend =
                    FindFriend(Context.UserIdText, FriendIdText, Context.ListName, true))
            {
                Friend->SetInviteStatus(Context.Operation == EOperation::SendInvite
                                            ? EInviteStatus::PendingOutbound
                                            : EInviteStatus::Accepted);
            }
            break;
        case EOperation::RejectInvite:
            RemoveCachedFriend(Context.UserIdText, Context.ListName, FriendIdText);
            break;
        case EOperation::DeleteFriend:
            break;
        }
    }
    Reply.Finish();
    Fire(Context, Reply.Succeeded(), Reply.GetErrorText());
}

void FOnlineFriendsZor::ReadList(FZorReply& Reply, const FRequestContext& Context)
{
    TArray<TSharedPtr<FJsonValue>> Elements;
    if (!Reply.ReadArray(FriendsKey, Elements))
    {
        return;
    }
    TArray<TSharedRef<FOnlineFriendZor>> Friends;
    for (const TSharedPtr<FJsonValue>& Element : Elements)
    {
        const TSharedPtr<FJsonObject> Object = Element ? Element->AsObject() : nullptr;
        if (Object && Object->HasTypedField<EJson::String>("tavoId") &&
            Object->HasTypedField<EJson::String>("status"))
        {
            Friends.Add(MakeShared<FOnlineFriendZor>(Object->GetStringField("tavoId"),
                                                     Object->GetStringField("status")));
        }
    }
    FindList(Context.UserIdText, Context.ListName, true)->Friends = std::move(Friends);
    UE_LOG_ONLINE(Verbose, "You have %d friends.", Elements.Num());
}

void FOnlineFriendsZor::Fire(const FRequestContext& Context, bool bWasSuccessful, const FString& Error)
{
    const FUniqueNetId& FriendId = *Context.FriendId;
    switch (Context.Operation)
    {
    case EOperation::ReadFriendsList:
        TriggerOnReadFriendsListCompleteDelegates(Context.LocalUserNum, bWasSuccessful, Context.ListName,
                                                  Error);
        break;
    case EOperation::DeleteFriendsList:
        TriggerOnDeleteFriendsListCompleteDelegates(Context.LocalUserNum, bWasSuccessful, Context.ListName,
                                                    Error);
        break;
    case EOperation::SendInvite:
        TriggerOnSendInviteCompleteDelegates(Context.LocalUserNum, bWasSuccessful, FriendId, Context.ListName,
                                             Error);
        break;
    case EOperation::AcceptInvite:
        TriggerOnAcceptInviteCompleteDelegates(Context.LocalUserNum, bWasSuccessful, FriendId,
                                               Context.ListName, Error);
        break;
    case EOperation::RejectInvite:
        TriggerOnRejectInviteCompleteDelegates(Context.LocalUserNum, bWasSuccessful, FriendId,
                                               Context.ListName, Error);
        break;
    case EOperation::DeleteFriend:
        TriggerOnDeleteFriendCompleteDelegates(Context.LocalUserNum, bWasSuccessful, FriendId,
                                               Context.ListName, Error);
        break;
    }
}
