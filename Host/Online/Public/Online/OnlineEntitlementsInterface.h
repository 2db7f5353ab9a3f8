#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

using FUniqueEntitlementId = FString;

/** One product a user owns. */
class FOnlineEntitlement
{
public:
    virtual ~FOnlineEntitlement() = default;

    /** False when the entitlement carries no attribute of that name. */
    virtual bool GetAttribute(const FString& AttrName, FString& OutAttrValue) const = 0;

    FUniqueEntitlementId Id;
    FString Name;
    /** The catalog item the entitlement stems from. */
    FString ItemId;
};

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryEntitlementsComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnQueryEntitlementsCompleteDelegate = FOnQueryEntitlementsComplete::FDelegate;

/** The engine's entitlements contract: a user's entitlements, queried from a service and then looked up. */
class IOnlineEntitlements
{
public:
    virtual ~IOnlineEntitlements() = default;

    /** Empty when the user or the id is unknown. */
    virtual TSharedPtr<FOnlineEntitlement> GetEntitlement(const FUniqueNetId& UserId,
                                                          const FUniqueEntitlementId& EntitlementId) = 0;
    /** The first entitlement of the user that stems from the item; empty when none does. */
    virtual TSharedPtr<FOnlineEntitlement> GetItemEntitlement(const FUniqueNetId& UserId,
                                                              const FString& ItemId) = 0;
    /** Appends the user's entitlements to the array. */
    virtual void GetAllEntitlements(const FUniqueNetId& UserId,
                                    TArray<TSharedRef<FOnlineEntitlement>>& OutUserEntitlements) = 0;
    /** False when the query could not start; the event has then already fired. */
    virtual bool QueryEntitlements(const FUniqueNetId& UserId, const FPagedQuery& Page = FPagedQuery()) = 0;

    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryEntitlementsComplete, bool, const FUniqueNetId&,
                                       const FString&);
};
