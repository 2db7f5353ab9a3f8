#include "Entitlements/ZorEntitlementCache.h"

void FZorEntitlementCache::Replace(const FString& UserId, const TArray<TSharedPtr<FJsonValue>>& Elements)
{
    FUserEntitlements& Entitlements = Users.FindOrAdd(UserId);
    Entitlements.Empty();
    for (const TSharedPtr<FJsonValue>& Element : Elements)
    {
        if (TSharedPtr<FOnlineEntitlementZor> Entitlement = FOnlineEntitlementZor::FromAnswerElement(Element))
        {
            Entitlements.Add(Entitlement->Id, Entitlement);
        }
    }
}

TSharedPtr<FOnlineEntitlementZor> FZorEntitlementCache::Find(const FString& UserId,
                                                             const FString& EntitlementId) const
{
    const FUserEntitlements* Entitlements = Users.Find(UserId);
    const TSharedPtr<FOnlineEntitlementZor>* Found =
        Entitlements ? Entitlements->Find(EntitlementId) : nullptr;
    return Found ? *Found : nullptr;
}

TSharedPtr<FOnlineEntitlementZor> FZorEntitlementCache::FindByItem(const FString& UserId,
                                                                   const FString& ItemId) const
{
    const FUserEntitlements* Entitlements = Users.Find(UserId);
    if (!Entitlements)
    {
        return nullptr;
    }
    for (const auto& Entry : *Entitlements)
    {
        if (Entry.Value->ItemId.Equals(ItemId, ESearchCase::IgnoreCase))
        {
            return Entry.Value;
        }
    }
    return nullptr;
}

void FZorEntitlementCache::AppendAll(const FString& UserId,
                                     TArray<TSharedRef<FOnlineEntitlement>>& OutEntitlements) const
{
    const FUserEntitlements* Entitlements = Users.Find(UserId);
    if (!Entitlements)
    {
        return;
    }
    for (const auto& Entry : *Entitlements)
    {
        OutEntitlements.Add(Entry.Value.ToSharedRef());
    }
}
