#pragma once

#include "AccountMapping/ExternalOnlineAccount.h"
#include "Json/OnlineJsonSerializable.h"

/** The body of a link request: the account's type and the token that proves it is the player's. */
class FAddExternalAccountJson : public FOnlineJsonSerializable
{
public:
    explicit FAddExternalAccountJson(const FExternalOnlineAccount& Account)
        : ExternalAccount(Account.Type, FString(), Account.Token)
    {
    }

    FExternalOnlineAccount ExternalAccount;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("authType", ExternalAccount.Type);
    ONLINE_JSON_SERIALIZE("externalAuthToken", ExternalAccount.Token);
    END_ONLINE_JSON_SERIALIZER
};
