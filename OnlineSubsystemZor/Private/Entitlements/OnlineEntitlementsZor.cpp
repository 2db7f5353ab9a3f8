#include "Entitlements/OnlineEntitlementsZor.h"

#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Entitlements/ZorEntitlementCache.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const char* const SectionName = "OnlineSubsystemZor.OnlineEntitlementsZor";
const char* const QueryOperation = "QueryEntitlements";

FString PendingKey(const FUniqueNetId& UserId)
{
    return FString(QueryOperation) + ":" + UserId.ToString();
}
} // namespace

FOnlineEntitlementsZor::FOnlineEntitlementsZor(FOnlineSubsystemZor* InSubsystem)
    : FBaseServiceZor(InSubsystem, SectionName), Cache(MakeUnique<FZorEntitlementCache>())
{
    GConfig->GetString(SectionName, "QueryEntitlementsUrl", QueryEntitlementsUrl, GEngineIni);
}

FOnlineEntitlementsZor::~FOnlineEntitlementsZor() = default;

TSharedPtr<FOnlineEntitlement>
FOnlineEntitlementsZor::GetEntitlement(const FUniqueNetId& UserId, const FUniqueEntitlementId& EntitlementId)
{
    return Cache->Find(UserId.ToString(), EntitlementId);
}

TSharedPtr<FOnlineEntitlement> FOnlineEntitlementsZor::GetItemEntitlement(const FUniqueNetId& UserId,
                                                                          const FString& ItemId)
{
    return Cache->FindByItem(UserId.ToString(), ItemId);
}

void FOnlineEntitlementsZor::GetAllEntitlements(const FUniqueNetId& UserId,
                                                TArray<TSharedRef<FOnlineEntitlement>>& OutUserEntitlements)
{
    Cache->AppendAll(UserId.ToString(), OutUserEntitlements);
}

bool FOnlineEntitlementsZor::QueryEntitlements(const FUniqueNetId& UserId, const FPagedQuery& Page)
{
    FZorError Error;
    if (!UserId.IsValid())
    {
        Error = FZorError::Make(EZorErrorKind::Refused, "Invalid userid");
    }
    else if (GetCalls().IsPending(PendingKey(UserId), ESearchCase::CaseSensitive))
    {
        Error = FZorError::Make(EZorErrorKind::Refused,
                                FString::Printf("Already pending for user=%s", *UserId.ToString()));
    }
    else
    {
        FZorCall Call;
        Call.Operation = QueryOperation;
        Call.Url = AppendPageUrl(GetBaseUrl() + QueryEntitlementsUrl, Page);
        Call.Values = {{"`id", UserId.ToString()}};
        Call.PendingKey = PendingKey(UserId);
        const FUniqueNetIdString User(UserId);
        if (GetCalls().SendAsUser(
                Call, UserId,
                [this, User](FZorReply& Reply) { QueryEntitlements_HttpRequestComplete(Reply, User); },
                Error))
        {
            return true;
        }
        if (!Error)
        {
            // Shut down: the completion has already reported.
            return false;
        }
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", QueryOperation, *Error.Text);
    TriggerOnQueryEntitlementsCompleteDelegates(false, UserId, Error.Text);
    return false;
}

void FOnlineEntitlementsZor::QueryEntitlements_HttpRequestComplete(FZorReply& Reply,
                                                                   const FUniqueNetIdString& UserId)
{
    TSharedPtr<FJsonObject> Answer;
    const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
    if (Reply.Check() && Reply.ReadObject(Answer, "entitlements") &&
        Answer->TryGetArrayField("entitlements", Elements))
    {
        Cache->Replace(UserId.ToString(), *Elements);
    }
    Reply.Finish();
    TriggerOnQueryEntitlementsCompleteDelegates(Reply.Succeeded(), UserId, Reply.GetErrorText());
}
