#include "Users/OnlineUsersZor.h"

#include "Common/ZorCallSet.h"
#include "Common/ZorRedact.h"
#include "Common/ZorUrl.h"
#include "Core/Config.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const char* const QueryOperation = "QueryUserInfo";

FString QueryKey(int32 LocalUserNum)
{
    return FString::Printf("users:%d", LocalUserNum);
}
} // namespace

const FString FOnlineUsersZor::SectionName = "OnlineSubsystemZor.OnlineUsersZor";

FOnlineUsersZor::FOnlineUsersZor(FOnlineSubsystemZor* InSubsystem)
    : FAccountServiceZor(InSubsystem, SectionName)
{
    GConfig->GetString(*SectionName, "QueryUserAccountsUrl", QueryUserAccountsUrl, GEngineIni);
}

FUniqueNetIdPtr FOnlineUsersZor::GetLocalUserId(int32 LocalUserNum) const
{
    const IOnlineIdentityPtr Identity = Subsystem ? Subsystem->GetIdentityInterface() : nullptr;
    return Identity ? Identity->GetUniquePlayerId(LocalUserNum) : nullptr;
}

bool FOnlineUsersZor::CheckQueryPreconditions(int32 LocalUserNum, FUniqueNetIdPtr& OutLocalUserId,
                                              FString& OutError) const
{
    OutError.Empty();
    if (LocalUserNum != 0)
    {
        OutError = FString::Printf("Invalid LocalUserNum=%d", LocalUserNum);
    }
    else if (!(OutLocalUserId = GetLocalUserId(LocalUserNum)))
    {
        OutError = "Invalid userid";
    }
    else if (GetCalls().IsPending(QueryKey(LocalUserNum)))
    {
        OutError = FString::Printf("Already pending for LocalUserNum=%d", LocalUserNum);
    }
    return OutError.IsEmpty();
}

FString FOnlineUsersZor::GetQueryPath(const TArray<FUniqueNetIdRef>& UserIds) const
{
    FString Path = QueryUserAccountsUrl;
    for (int32 Index = 0; Index < UserIds.Num(); ++Index)
    {
        Path += Index == 0 ? "?accountId=" : "&accountId=";
        Path += ZorUrl::EncodeQueryValue(UserIds[Index]->ToString());
    }
    return Path;
}

bool FOnlineUsersZor::QueryUserInfo(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& UserIds)
{
    FString Error;
    FUniqueNetIdPtr LocalUserId;
    if (UserIds.IsEmpty())
    {
        Error = "No users specified";
    }
    else if (CheckQueryPreconditions(LocalUserNum, LocalUserId, Error))
    {
        FZorCall Call;
        Call.Operation = QueryOperation;
        Call.Url = GetBaseUrl() + GetQueryPath(UserIds);
        Call.PendingKey = QueryKey(LocalUserNum);
        FZorError Refused;
        if (GetCalls().SendAsUser(
                Call, *LocalUserId,
                [this, LocalUserNum, UserIds](FZorReply& Reply)
                { QueryUserInfo_HttpRequestComplete(LocalUserNum, UserIds, Reply); },
                Refused))
        {
            return true;
        }
        if (!Refused)
        {
            return false; // shut down: the reply handler has reported it
        }
        Error = Refused.Text;
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", QueryOperation, *Error);
    TriggerOnQueryUserInfoCompleteDelegates(LocalUserNum, false, UserIds, Error);
    return false;
}

void FOnlineUsersZor::QueryUserInfo_HttpRequestComplete(int32 LocalUserNum,
                                                        const TArray<FUniqueNetIdRef>& UserIds,
                                                        FZorReply& Reply)
{
    FString Error;
    if (!Reply.HasResponse())
    {
        Error = "No response";
    }
    else
    {
        const FString Body = Reply.GetBody();
        const int32 Code = Reply.GetResponse()->GetResponseCode();
        UE_LOG_ONLINE(Verbose, "%s request complete. url=%s code=%d response=%s", QueryOperation,
                      *Reply.GetLoggedUrl(), Code, *Reply.LoggedBody());
        const FUniqueNetIdPtr LocalUserId = GetLocalUserId(LocalUserNum);
        if (!FZorReply::Accepts(EZorCodeRule::Success, Code))
        {
            Error = Reply.RefusalText();
        }
        else if (!LocalUserId)
        {
            Error = FString::Printf("Invalid response payload=%s", *Body);
        }
        else
        {
            Error = UserInfos.ApplyQueryReply(LocalUserId->ToString(), Body);
        }
        Error = Reply.MaskSecrets(Error);
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", QueryOperation, *ZorRedact::Body(Error));
    }
    TriggerOnQueryUserInfoCompleteDelegates(LocalUserNum, Error.IsEmpty(), UserIds, Error);
}

bool FOnlineUsersZor::GetAllUserInfo(int32 LocalUserNum, TArray<TSharedRef<FOnlineUser>>& OutUsers)
{
    OutUsers.Empty();
    const FUniqueNetIdPtr LocalUserId = GetLocalUserId(LocalUserNum);
    const FZorUserInfoCache::FUserList* List =
        LocalUserId ? UserInfos.Find(LocalUserId->ToString()) : nullptr;
    if (!List)
    {
        return false;
    }
    for (const TSharedRef<FOnlineUserInfoZor>& User : *List)
    {
        OutUsers.Add(User);
    }
    return true;
}

TSharedPtr<FOnlineUser> FOnlineUsersZor::GetUserInfo(int32 LocalUserNum, const FUniqueNetId& UserId)
{
    const FUniqueNetIdPtr LocalUserId = GetLocalUserId(LocalUserNum);
    return LocalUserId ? UserInfos.FindUser(LocalUserId->ToString(), UserId) : nullptr;
}
