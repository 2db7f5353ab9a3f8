#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineEntitlementsInterface.h"
#include "Subsystem/BaseServiceZor.h"

class FZorEntitlementCache;
class FZorReply;

/** The engine's entitlements contract over the commerce service: one query per user at a time, then look-ups.
 */
class FOnlineEntitlementsZor : public IOnlineEntitlements, public FBaseServiceZor
{
public:
    explicit FOnlineEntitlementsZor(FOnlineSubsystemZor* InSubsystem);
    ~FOnlineEntitlementsZor() override;

    TSharedPtr<FOnlineEntitlement> GetEntitlement(const FUniqueNetId& UserId,
                                                  const FUniqueEntitlementId& EntitlementId) override;
    TSharedPtr<FOnlineEntitlement> GetItemEntitlement(const FUniqueNetId& UserId,
                                                      const FString& ItemId) override;
    void GetAllEntitlements(const FUniqueNetId& UserId,
                            TArray<TSharedRef<FOnlineEntitlement>>& OutUserEntitlements) override;
    bool QueryEntitlements(const FUniqueNetId& UserId, const FPagedQuery& Page = FPagedQuery()) override;

private:
    void QueryEntitlements_HttpRequestComplete(FZorReply& Reply, const FUniqueNetIdString& UserId);

    FString QueryEntitlementsUrl = "/api/account/`id/entitlements";
    TUniquePtr<FZorEntitlementCache> Cache;
};
