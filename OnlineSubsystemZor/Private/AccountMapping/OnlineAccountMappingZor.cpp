#include "AccountMapping/OnlineAccountMappingZor.h"

#include "AccountMapping/AddExternalAccountJson.h"
#include "Common/ZorCallSet.h"
#include "Common/ZorRedact.h"
#include "Core/Config.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/Json.h"

namespace
{
/** How one account request names itself in its log lines. */
struct FOperationInfo
{
    /** Its start line and the failure line when it cannot start. */
    const char* StartName;
    /** Its completion line. */
    const char* CompleteName;
    /** The failure line of its completion. */
    const char* FailureName;
    const char* Verb;
};

const FOperationInfo OperationInfos[] = {
    {"AddExternalAccount", "AddExternalAccountMapping", "AddExternalAccount", "POST"},
    {"RemoveExternalAccount", "RemoveExternalAccount", "RemoveExternalAccount", "DELETE"},
    {"QueryExternalAccounts", "QueryExternalAccounts", "QueryExternalAccountMappings", "GET"},
};

const char* const DisplayNameOperation = "QueryUserIdFromDisplayName";

/** One link, unlink or query of a user at a time; display-name lookups do not count. */
FString AccountRequestKey(const FUniqueNetId& UserId)
{
    return "user:" + UserId.ToString();
}

void LogComplete(const char* Name, const FZorReply& Reply)
{
    UE_LOG_ONLINE(Verbose, "%s request complete. url=%s code=%d response=%s", Name,
                  *Reply.GetRequest()->GetURL(), Reply.GetResponse()->GetResponseCode(), *Reply.LoggedBody());
}
} // namespace

const FString FOnlineAccountMappingZor::SectionName = "OnlineSubsystemZor.OnlineAccountMappingZor";

FOnlineAccountMappingZor::FOnlineAccountMappingZor(FOnlineSubsystemZor* InSubsystem)
    : FAccountServiceZor(InSubsystem, SectionName),
      AddExternalAccountUrl("/api/public/account/`id/externalAuths"),
      RemoveExternalAccountUrl("/api/public/account/`id/externalAuths/`type"),
      QueryExternalAccountsUrl("/api/public/account/`id/externalAuths"),
      QueryExternalAccountsByTypeUrl("/api/public/account/`id/externalAuths/`type"),
      QueryDisplayNameUrl("/api/public/account/displayName/`name")
{
    ReadConfig();
}

void FOnlineAccountMappingZor::ReadConfig()
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "AddExternalAccountUrl", AddExternalAccountUrl, GEngineIni);
    GConfig->GetString(Section, "RemoveExternalAccountUrl", RemoveExternalAccountUrl, GEngineIni);
    GConfig->GetString(Section, "QueryExternalAccountsUrl", QueryExternalAccountsUrl, GEngineIni);
    GConfig->GetString(Section, "QueryExternalAccountsByTypeUrl", QueryExternalAccountsByTypeUrl, GEngineIni);
    GConfig->GetString(Section, "QueryDisplayNameUrl", QueryDisplayNameUrl, GEngineIni);
}

FString FOnlineAccountMappingZor::GetIdentityBaseUrl() const
{
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    return Identity ? Identity->GetBaseUrl() : GetBaseUrl();
}

FString FOnlineAccountMappingZor::CheckAccountRequest(EOperation Operation, const FUniqueNetId& UserId,
                                                      const FExternalOnlineAccount& Account) const
{
    if (!UserId.IsValid())
    {
        return "Invalid userid";
    }
    const bool bNeedsToken = Operation == EOperation::Add;
    if (Operation != EOperation::Query &&
        (Account.Type.IsEmpty() || (bNeedsToken && Account.Token.IsEmpty())))
    {
        return "Invalid external account info specified";
    }
    if (GetCalls().IsPending(AccountRequestKey(UserId)))
    {
        return FString::Printf("Already pending for user=%s", *UserId.ToDebugString());
    }
    return FString();
}

bool FOnlineAccountMappingZor::AddExternalAccount(const FUniqueNetId& UserId,
                                                  const FExternalOnlineAccount& Account)
{
    const FPendingAccountRequest Pending{EOperation::Add, FUniqueNetIdString(UserId.ToString()), Account,
                                         FString()};
    FZorCall Call;
    Call.Url = GetIdentityBaseUrl() + AddExternalAccountUrl;
    Call.Body = FAddExternalAccountJson(Account).ToJson();
    Call.Secrets = {Account.Token};
    return StartAccountRequest(Pending, UserId, Call, CheckAccountRequest(EOperation::Add, UserId, Account));
}

bool FOnlineAccountMappingZor::RemoveExternalAccount(const FUniqueNetId& UserId,
                                                     const FExternalOnlineAccount& Account)
{
    const FPendingAccountRequest Pending{EOperation::Remove, FUniqueNetIdString(UserId.ToString()), Account,
                                         FString()};
    FZorCall Call;
    Call.Url = GetIdentityBaseUrl() + RemoveExternalAccountUrl;
    Call.Values = {{"`type", Account.Type}};
    return StartAccountRequest(Pending, UserId, Call,
                               CheckAccountRequest(EOperation::Remove, UserId, Account));
}

bool FOnlineAccountMappingZor::QueryExternalAccounts(const FUniqueNetId& UserId, const FString& Type)
{
    const FPendingAccountRequest Pending{EOperation::Query, FUniqueNetIdString(UserId.ToString()),
                                         FExternalOnlineAccount(), Type};
    FZorCall Call;
    Call.Url = GetBaseUrl() + (Type.IsEmpty() ? QueryExternalAccountsUrl : QueryExternalAccountsByTypeUrl);
    if (!Type.IsEmpty())
    {
        Call.Values = {{"`type", Type}};
    }
    return StartAccountRequest(Pending, UserId, Call, CheckAccountRequest(EOperation::Query, UserId, {}));
}

bool FOnlineAccountMappingZor::StartAccountRequest(const FPendingAccountRequest& Pending,
                                                   const FUniqueNetId& UserId, FZorCall& Call, FString Error)
{
    if (Error.IsEmpty())
    {
        const FOperationInfo& Info = OperationInfos[static_cast<int32>(Pending.Operation)];
        Call.Operation = Info.StartName;
        Call.Verb = Info.Verb;
        Call.Values.Add({"`id", UserId.ToString()});
        Call.PendingKey = AccountRequestKey(UserId);
        FZorError Refused;
        if (GetCalls().SendAsUser(
                Call, UserId, [this, Pending](FZorReply& Reply) { OnAccountReply(Pending, Reply); }, Refused))
        {
            return true;
        }
        if (!Refused)
        {
            return false; // shut down: the reply handler has reported it
        }
        Error = Refused.Text;
    }
    FailAccountRequest(Pending, UserId, Error);
    return false;
}

void FOnlineAccountMappingZor::FailAccountRequest(const FPendingAccountRequest& Pending,
                                                  const FUniqueNetId& UserId, const FString& Error)
{
    UE_LOG_ONLINE(Warning, "%s request failed. %s",
                  OperationInfos[static_cast<int32>(Pending.Operation)].StartName, *Error);
    TriggerAccountEvent(Pending, false, UserId, Pending.Account, Error);
}

void FOnlineAccountMappingZor::OnAccountReply(const FPendingAccountRequest& Pending, FZorReply& Reply)
{
    const FString Error = ApplyAccountReply(Pending, Reply);
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s",
                      OperationInfos[static_cast<int32>(Pending.Operation)].FailureName,
                      *ZorRedact::Body(Error));
    }
    TriggerAccountEvent(Pending, Error.IsEmpty(), Pending.UserId, Pending.Account, Error);
}

FString FOnlineAccountMappingZor::ApplyAccountReply(const FPendingAccountRequest& Pending,
                                                    const FZorReply& Reply)
{
    const FString AccountId = Pending.UserId.ToString();
    if (AccountId.IsEmpty())
    {
        return "No pending Http request found.";
    }
    if (!Reply.HasResponse())
    {
        return "No response";
    }
    const int32 Code = Reply.GetResponse()->GetResponseCode();
    if (Code != 200)
    {
        return Reply.RefusalText();
    }
    LogComplete(OperationInfos[static_cast<int32>(Pending.Operation)].CompleteName, Reply);
    switch (Pending.Operation)
    {
    case EOperation::Add:
        ExternalAccounts.Add(AccountId, Pending.Account);
        return FString();
    case EOperation::Remove:
        ExternalAccounts.RemoveType(AccountId, Pending.Account.Type);
        return FString();
    case EOperation::Query:
        return Reply.MaskSecrets(ExternalAccounts.ApplyQueryReply(Reply.GetBody(), Pending.QueriedType));
    }
    return FString();
}

void FOnlineAccountMappingZor::TriggerAccountEvent(const FPendingAccountRequest& Pending, bool bWasSuccessful,
                                                   const FUniqueNetId& UserId,
                                                   const FExternalOnlineAccount& Account,
                                                   const FString& Error)
{
    switch (Pending.Operation)
    {
    case EOperation::Add:
        return TriggerOnAddExternalAccountCompleteDelegates(bWasSuccessful, UserId, Account, Error);
    case EOperation::Remove:
        return TriggerOnRemoveExternalAccountCompleteDelegates(bWasSuccessful, UserId, Account, Error);
    case EOperation::Query:
        return TriggerOnQueryExternalAccountsCompleteDelegates(bWasSuccessful, UserId, Error);
    }
}

bool FOnlineAccountMappingZor::GetExternalAccounts(const FUniqueNetId& UserId,
                                                   TArray<FExternalOnlineAccount>& OutAccounts) const
{
    if (!UserId.IsValid())
    {
        UE_LOG_ONLINE(Warning, "Invalid userid");
        return false;
    }
    const TArray<FExternalOnlineAccount>* Found = ExternalAccounts.Find(UserId.ToString());
    if (!Found)
    {
        UE_LOG_ONLINE(VeryVerbose, "No account info found for user=%s", *UserId.ToDebugString());
        return false;
    }
    OutAccounts = *Found;
    return true;
}

bool FOnlineAccountMappingZor::QueryUserIdFromDisplayName(const FUniqueNetId& RequestingUserId,
                                                          const FString& DisplayName)
{
    FString Error;
    if (!RequestingUserId.IsValid())
    {
        Error = "Invalid requesting userid";
    }
    else if (DisplayName.IsEmpty())
    {
        Error = "Empty identification string request";
    }
    else if (GetCalls().IsPending(AccountRequestKey(RequestingUserId)))
    {
        Error = FString::Printf("Already pending for requesting user=%s", *RequestingUserId.ToDebugString());
    }
    if (Error.IsEmpty())
    {
        FZorCall Call;
        Call.Operation = DisplayNameOperation;
        Call.Url = GetBaseUrl() + QueryDisplayNameUrl;
        Call.Values = {{"`name", DisplayName}};
        Call.ContentType = "text/plain";
        const FUniqueNetIdString Requesting(RequestingUserId.ToString());
        FZorError Refused;
        if (GetCalls().SendAsUser(
                Call, RequestingUserId,
                [this, Requesting, DisplayName](FZorReply& Reply)
                { OnDisplayNameReply(Requesting, DisplayName, Reply); },
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
    UE_LOG_ONLINE(Warning, "%s request failed. %s", DisplayNameOperation, *Error);
    TriggerOnQueryUserIdFromDisplayNameCompleteDelegates(false, RequestingUserId, DisplayName,
                                                         FUniqueNetIdString(FString()), Error);
    return false;
}

void FOnlineAccountMappingZor::OnDisplayNameReply(const FUniqueNetIdString& RequestingUserId,
                                                  const FString& DisplayName, FZorReply& Reply)
{
    FString Error;
    FUniqueNetIdString FoundUserId{FString()};
    const int32 Code = Reply.HasResponse() ? Reply.GetResponse()->GetResponseCode() : 0;
    if (RequestingUserId.ToString().IsEmpty())
    {
        Error = "No pending Http request found.";
    }
    else if (!Reply.HasResponse())
    {
        Error = "No response";
    }
    else if (Code == 200)
    {
        LogComplete(DisplayNameOperation, Reply);
        const FString Body = Reply.GetBody();
        TSharedPtr<FJsonObject> Json;
        if (Body.IsEmpty())
        {
            Error = "Empty response payload";
        }
        else if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), Json) || !Json ||
                 !Json->HasField("id"))
        {
            Error = Reply.MaskSecrets(FString::Printf("Invalid response payload=%s", *Body));
        }
        else if (Json->GetStringField("id").IsEmpty())
        {
            Error = Reply.MaskSecrets(FString::Printf("Empty user id in payload=%s", *Body));
        }
        else
        {
            FoundUserId = FUniqueNetIdString(Json->GetStringField("id"));
        }
    }
    else if (Code != 404)
    {
        Error = Reply.RefusalText();
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", DisplayNameOperation, *ZorRedact::Body(Error));
    }
    TriggerOnQueryUserIdFromDisplayNameCompleteDelegates(Error.IsEmpty(), RequestingUserId, DisplayName,
                                                         FoundUserId, Error);
}

FDelegateHandle FOnlineAccountMappingZor::AddOnQueryUserIdFromDisplayNameCompleteDelegate(
    const FOnQueryUserIdFromDisplayNameCompleteDelegate& Delegate)
{
    return OnQueryUserIdFromDisplayNameCompleteDelegates.Add(Delegate);
}

void FOnlineAccountMappingZor::ClearOnQueryUserIdFromDisplayNameCompleteDelegate(FDelegateHandle& Handle)
{
    OnQueryUserIdFromDisplayNameCompleteDelegates.Remove(Handle);
    Handle.Reset();
}

void FOnlineAccountMappingZor::TriggerOnQueryUserIdFromDisplayNameCompleteDelegates(
    bool bWasSuccessful, const FUniqueNetId& RequestingUserId, const FString& DisplayName,
    const FUniqueNetId& FoundUserId, const FString& Error)
{
    OnQueryUserIdFromDisplayNameCompleteDelegates.Broadcast(bWasSuccessful, RequestingUserId, DisplayName,
                                                            FoundUserId, Error);
}
