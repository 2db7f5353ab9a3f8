#pragma once

#include "AccountMapping/ExternalOnlineAccount.h"
#include "AccountMapping/ZorExternalAccountCache.h"
#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;
struct FZorCall;

DECLARE_MULTICAST_DELEGATE_FourParams(FOnAddExternalAccountComplete, bool /*bWasSuccessful*/,
                                      const FUniqueNetId& /*UserId*/,
                                      const FExternalOnlineAccount& /*Account*/, const FString& /*Error*/);
using FOnAddExternalAccountCompleteDelegate = FOnAddExternalAccountComplete::FDelegate;
using FOnRemoveExternalAccountComplete = FOnAddExternalAccountComplete;
using FOnRemoveExternalAccountCompleteDelegate = FOnAddExternalAccountCompleteDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryExternalAccountsComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnQueryExternalAccountsCompleteDelegate = FOnQueryExternalAccountsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FiveParams(FOnQueryUserIdFromDisplayNameComplete, bool /*bWasSuccessful*/,
                                      const FUniqueNetId& /*RequestingUserId*/,
                                      const FString& /*DisplayName*/, const FUniqueNetId& /*FoundUserId*/,
                                      const FString& /*Error*/);
using FOnQueryUserIdFromDisplayNameCompleteDelegate = FOnQueryUserIdFromDisplayNameComplete::FDelegate;

/**
 * Accounts of other platforms linked to a service account: links and unlinks them for a logged-in user,
 * queries and keeps each service account's external accounts, and finds a user by display name. Every request
 * travels the user road, signed with the user's token when it leaves.
 */
class FOnlineAccountMappingZor : public FAccountServiceZor
{
public:
    static const FString SectionName;

    explicit FOnlineAccountMappingZor(FOnlineSubsystemZor* InSubsystem);
    FOnlineAccountMappingZor(const FOnlineAccountMappingZor&) = default;
    FOnlineAccountMappingZor& operator=(const FOnlineAccountMappingZor&) = default;
    ~FOnlineAccountMappingZor() override = default;

    virtual bool AddExternalAccount(const FUniqueNetId& UserId, const FExternalOnlineAccount& Account);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnAddExternalAccountComplete, bool, const FUniqueNetId&,
                                      const FExternalOnlineAccount&, const FString&);

    /** Unlinks every external account of the account's type. */
    virtual bool RemoveExternalAccount(const FUniqueNetId& UserId, const FExternalOnlineAccount& Account);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnRemoveExternalAccountComplete, bool, const FUniqueNetId&,
                                      const FExternalOnlineAccount&, const FString&);

    /** Queries the user's external accounts of one type, or of every type when Type is empty. */
    virtual bool QueryExternalAccounts(const FUniqueNetId& UserId, const FString& Type);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryExternalAccountsComplete, bool, const FUniqueNetId&,
                                       const FString&);

    /** The kept external accounts of a service account; false when none were ever kept. */
    virtual bool GetExternalAccounts(const FUniqueNetId& UserId,
                                     TArray<FExternalOnlineAccount>& OutAccounts) const;

    /** Finds the user of a display name; a name that belongs to nobody succeeds with an empty id. */
    virtual bool QueryUserIdFromDisplayName(const FUniqueNetId& RequestingUserId, const FString& DisplayName);
    virtual FDelegateHandle AddOnQueryUserIdFromDisplayNameCompleteDelegate(
        const FOnQueryUserIdFromDisplayNameCompleteDelegate& Delegate);
    virtual void ClearOnQueryUserIdFromDisplayNameCompleteDelegate(FDelegateHandle& Handle);
    virtual void TriggerOnQueryUserIdFromDisplayNameCompleteDelegates(bool bWasSuccessful,
                                                                      const FUniqueNetId& RequestingUserId,
                                                                      const FString& DisplayName,
                                                                      const FUniqueNetId& FoundUserId,
                                                                      const FString& Error);

private:
    enum class EOperation : uint8
    {
        Add,
        Remove,
        Query,
    };
    /** What a link, unlink or query needs when its reply comes. */
    struct FPendingAccountRequest
    {
        EOperation Operation = EOperation::Query;
        FUniqueNetIdString UserId;
        FExternalOnlineAccount Account;
        /** The type a query asked for; empty for every type. */
        FString QueriedType;
    };

    FOnlineAccountMappingZor() = default;

    void ReadConfig();
    FString CheckAccountRequest(EOperation Operation, const FUniqueNetId& UserId,
                                const FExternalOnlineAccount& Account) const;
    bool StartAccountRequest(const FPendingAccountRequest& Pending, const FUniqueNetId& UserId,
                             FZorCall& Call, FString Error);
    void FailAccountRequest(const FPendingAccountRequest& Pending, const FUniqueNetId& UserId,
                            const FString& Error);
    void OnAccountReply(const FPendingAccountRequest& Pending, FZorReply& Reply);
    FString ApplyAccountReply(const FPendingAccountRequest& Pending, const FZorReply& Reply);
    void TriggerAccountEvent(const FPendingAccountRequest& Pending, bool bWasSuccessful,
                             const FUniqueNetId& UserId, const FExternalOnlineAccount& Account,
                             const FString& Error);
    void OnDisplayNameReply(const FUniqueNetIdString& RequestingUserId, const FString& DisplayName,
                            FZorReply& Reply);
    /** The base URL of link and unlink: identity's, which these requests belong to. */
    FString GetIdentityBaseUrl() const;

    FString AddExternalAccountUrl;
    FString RemoveExternalAccountUrl;
    FString QueryExternalAccountsUrl;
    FString QueryExternalAccountsByTypeUrl;
    FString QueryDisplayNameUrl;

    FOnQueryUserIdFromDisplayNameComplete OnQueryUserIdFromDisplayNameCompleteDelegates;
    FZorExternalAccountCache ExternalAccounts;
};
