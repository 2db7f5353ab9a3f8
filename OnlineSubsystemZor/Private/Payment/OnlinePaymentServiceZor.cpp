#include "Payment/OnlinePaymentServiceZor.h"

#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"

namespace
{
const FString SectionName("OnlineSubsystemZor.OnlinePaymentServiceZor");
const FString OperationNames[] = {"QueryBillingAccounts", "QueryDefaultBillingAccount"};
} // namespace

FOnlinePaymentServiceZor::FOnlinePaymentServiceZor() = default;

FOnlinePaymentServiceZor::FOnlinePaymentServiceZor(FOnlineSubsystemZor* InSubsystem)
    : FBaseServiceZor(InSubsystem, SectionName),
      QueryBillingAccountsUrl("/api/public/payment/accounts/`id/billingaccounts"),
      QueryDefaultBillingAccountUrl("/api/public/payment/accounts/`id/billingaccounts/default")
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "QueryBillingAccountsUrl", QueryBillingAccountsUrl, GEngineIni);
    GConfig->GetString(Section, "QueryDefaultBillingAccountUrl", QueryDefaultBillingAccountUrl, GEngineIni);
}

bool FOnlinePaymentServiceZor::ValidateUserRequest(const FUniqueNetId& UserId, FString& OutError) const
{
    OutError.Empty();
    if (!UserId.IsValid())
    {
        OutError = "Invalid userid";
        return false;
    }
    const FString UserText = UserId.ToString();
    if (GetCalls().IsPending(UserText, ESearchCase::CaseSensitive))
    {
        OutError = FString::Printf("Already pending for user=%s", *UserText);
        return false;
    }
    return true;
}

bool FOnlinePaymentServiceZor::QueryBillingAccounts(const FUniqueNetId& UserId)
{
    return Query(EPaymentQuery::Accounts, UserId);
}

bool FOnlinePaymentServiceZor::QueryDefaultBillingAccount(const FUniqueNetId& UserId)
{
    return Query(EPaymentQuery::DefaultAccount, UserId);
}

bool FOnlinePaymentServiceZor::Query(EPaymentQuery Kind, const FUniqueNetId& UserId)
{
    const FString& Operation = OperationNames[static_cast<int32>(Kind)];
    FString ErrorText;
    if (ValidateUserRequest(UserId, ErrorText))
    {
        FZorCall Call;
        Call.Operation = Operation;
        Call.Url = GetBaseUrl() + (Kind == EPaymentQuery::Accounts ? QueryBillingAccountsUrl
                                                                   : QueryDefaultBillingAccountUrl);
        Call.Values = {{"`id", UserId.ToString()}};
        Call.PendingKey = UserId.ToString();
        auto OnReply = [this, Kind, UserText = UserId.ToString()](FZorReply& Reply)
        { OnQuery(Reply, Kind, UserText); };
        FZorError Error;
        const bool bSent = Kind == EPaymentQuery::Accounts
                               ? GetCalls().SendAsPurchase(Call, UserId, OnReply, Error)
                               : GetCalls().SendAsUser(Call, UserId, OnReply, Error);
        if (bSent || !Error)
        {
            // Not sent without an error: the handler reports, now (after shutdown) or at the completion.
            return bSent;
        }
        ErrorText = Error.Text;
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", *Operation, *ErrorText);
    FireEvent(Kind, false, UserId, ErrorText);
    return false;
}

void FOnlinePaymentServiceZor::OnQuery(FZorReply& Reply, EPaymentQuery Kind, const FString& UserText)
{
    if (Reply.Check() && Kind == EPaymentQuery::DefaultAccount)
    {
        TSharedPtr<FJsonObject> Json;
        FOnlineBillingAccount Account;
        if (FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Reply.GetBody()), Json) &&
            Account.FromJson(Json))
        {
            Account.bIsDefault = true;
            AddBillingAccount(UserText, Account);
        }
        else
        {
            Reply.Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
        }
    }
    Reply.Finish();
    FireEvent(Kind, Reply.Succeeded(), FUniqueNetIdString(UserText), Reply.GetErrorText());
}

void FOnlinePaymentServiceZor::FireEvent(EPaymentQuery Kind, bool bSucceeded, const FUniqueNetId& UserId,
                                         const FString& Error)
{
    if (Kind == EPaymentQuery::Accounts)
    {
        TriggerOnQueryBillingAccountsCompleteDelegates(bSucceeded, UserId, Error);
        return;
    }
    TriggerOnQueryDefaultBillingAccountCompleteDelegates(bSucceeded, UserId, Error);
}

void FOnlinePaymentServiceZor::AddBillingAccount(const FString& UserId, const FOnlineBillingAccount& Account)
{
    TArray<TSharedPtr<FOnlineBillingAccount>>& Accounts = BillingAccounts.FindOrAdd(UserId);
    if (Account.bIsDefault)
    {
        for (const TSharedPtr<FOnlineBillingAccount>& Cached : Accounts)
        {
            Cached->bIsDefault = false;
        }
    }
    for (const TSharedPtr<FOnlineBillingAccount>& Cached : Accounts)
    {
        if (Cached->billingAccountName.ToString().Equals(Account.billingAccountName.ToString(),
                                                         ESearchCase::IgnoreCase))
        {
            *Cached = Account;
            return;
        }
    }
    Accounts.Add(MakeShared<FOnlineBillingAccount>(Account));
}

bool FOnlinePaymentServiceZor::GetBillingAccounts(
    const FUniqueNetId& UserId, TArray<TSharedPtr<FOnlineBillingAccount>>& OutAccounts) const
{
    OutAccounts.Empty();
    const TArray<TSharedPtr<FOnlineBillingAccount>>* Accounts = BillingAccounts.Find(UserId.ToString());
    if (!Accounts)
    {
        return false;
    }
    OutAccounts = *Accounts;
    return true;
}

TSharedPtr<FOnlineBillingAccount>
FOnlinePaymentServiceZor::GetDefaultBillingAccount(const FUniqueNetId& UserId) const
{
    const TArray<TSharedPtr<FOnlineBillingAccount>>* Accounts = BillingAccounts.Find(UserId.ToString());
    if (!Accounts)
    {
        return nullptr;
    }
    for (const TSharedPtr<FOnlineBillingAccount>& Account : *Accounts)
    {
        if (Account->bIsDefault)
        {
            return Account;
        }
    }
    return nullptr;
}
