#pragma once

#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"
#include "Payment/OnlineBillingAccount.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryBillingAccountsComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnQueryBillingAccountsCompleteDelegate = FOnQueryBillingAccountsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryDefaultBillingAccountComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnQueryDefaultBillingAccountCompleteDelegate = FOnQueryDefaultBillingAccountComplete::FDelegate;

/**
 * A user's billing accounts, kept per user with one marked as the default. One payment request per user is
 * in flight at a time, whatever its kind.
 */
class FOnlinePaymentServiceZor : public FBaseServiceZor
{
public:
    explicit FOnlinePaymentServiceZor(FOnlineSubsystemZor* InSubsystem);
    FOnlinePaymentServiceZor();

    /** False when the user has no entry; the array is emptied first. */
    virtual bool GetBillingAccounts(const FUniqueNetId& UserId,
                                    TArray<TSharedPtr<FOnlineBillingAccount>>& OutAccounts) const;
    virtual TSharedPtr<FOnlineBillingAccount> GetDefaultBillingAccount(const FUniqueNetId& UserId) const;
    /** On the purchase road; the reply is checked but not stored. */
    virtual bool QueryBillingAccounts(const FUniqueNetId& UserId);
    /** On the user road, with the user's ordinary token; the reply becomes the user's default account. */
    virtual bool QueryDefaultBillingAccount(const FUniqueNetId& UserId);

    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryBillingAccountsComplete, bool, const FUniqueNetId&,
                                       const FString&);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryDefaultBillingAccountComplete, bool, const FUniqueNetId&,
                                       const FString&);

    /** Stores an account; a default one clears the mark of the others; same name (any case) replaces. */
    void AddBillingAccount(const FString& UserId, const FOnlineBillingAccount& Account);

private:
    enum class EPaymentQuery : uint8
    {
        Accounts,
        DefaultAccount,
    };

    bool ValidateUserRequest(const FUniqueNetId& UserId, FString& OutError) const;
    bool Query(EPaymentQuery Kind, const FUniqueNetId& UserId);
    void OnQuery(FZorReply& Reply, EPaymentQuery Kind, const FString& UserText);
    void FireEvent(EPaymentQuery Kind, bool bSucceeded, const FUniqueNetId& UserId, const FString& Error);

    FString QueryBillingAccountsUrl;
    FString QueryDefaultBillingAccountUrl;
    TMap<FString, TArray<TSharedPtr<FOnlineBillingAccount>>> BillingAccounts;
};
