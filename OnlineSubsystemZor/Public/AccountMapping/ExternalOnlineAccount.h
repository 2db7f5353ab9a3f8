#pragma once

#include "CoreMinimal.h"

/** An account on another platform, linked to a service account. */
class FExternalOnlineAccount
{
public:
    FExternalOnlineAccount() = default;
    FExternalOnlineAccount(const FString& InType, const FString& InId, const FString& InToken)
        : Type(InType), Id(InId), Token(InToken)
    {
    }

    /** The same account whatever the letter case; the token does not name the account. */
    bool operator==(const FExternalOnlineAccount& Other) const
    {
        return Type.Equals(Other.Type, ESearchCase::IgnoreCase) &&
               Id.Equals(Other.Id, ESearchCase::IgnoreCase);
    }

    FString Type;
    FString Id;
    /** Proves ownership when linking; queries never return it. */
    FString Token;
};
