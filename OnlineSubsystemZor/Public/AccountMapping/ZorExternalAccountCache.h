#pragma once

#include "AccountMapping/ExternalOnlineAccount.h"
#include "CoreMinimal.h"

class FJsonObject;

/** The last known external accounts of each service account, as links, unlinks and queries left them. */
class FZorExternalAccountCache
{
public:
    /** Lists the account under the service account unless an equal one is listed already. */
    void Add(const FString& AccountId, const FExternalOnlineAccount& Account);
    /** Drops every listed account of the type; nothing when the service account has no list. */
    void RemoveType(const FString& AccountId, const FString& Type);
    /**
     * Applies a query reply, a JSON array of service accounts with their external accounts. An untyped
     * query replaces the lists of the accounts it names; a typed one replaces only their accounts of that
     * type. Returns the error text, empty on success; a failed reply changes nothing.
     */
    FString ApplyQueryReply(const FString& Body, const FString& Type);
    /** The list of a service account, or null when it was never filled. */
    const TArray<FExternalOnlineAccount>* Find(const FString& AccountId) const;

private:
    void ApplyAccountInfo(const FJsonObject& AccountInfo, const FString& Type);

    TMap<FString, TArray<FExternalOnlineAccount>> Accounts;
};
