#pragma once

#include "CoreMinimal.h"
#include "Entitlements/OnlineEntitlementZor.h"
#include "Json/JsonValue.h"

/** The last good entitlements answer of each user, keyed by user id and then by entitlement id. */
class FZorEntitlementCache
{
public:
    /** The user's entitlements become the answer's elements that carry an id; a later equal id wins. */
    void Replace(const FString& UserId, const TArray<TSharedPtr<FJsonValue>>& Elements);

    TSharedPtr<FOnlineEntitlementZor> Find(const FString& UserId, const FString& EntitlementId) const;
    /** The first entitlement, in answer order, that stems from the catalog item. */
    TSharedPtr<FOnlineEntitlementZor> FindByItem(const FString& UserId, const FString& ItemId) const;
    void AppendAll(const FString& UserId, TArray<TSharedRef<FOnlineEntitlement>>& OutEntitlements) const;

private:
    using FUserEntitlements = TMap<FString, TSharedPtr<FOnlineEntitlementZor>>;

    TMap<FString, FUserEntitlements> Users;
};
