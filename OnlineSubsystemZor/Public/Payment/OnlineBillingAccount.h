#pragma once

#include "CoreMinimal.h"
#include "Internationalization/Text.h"
#include "Json/OnlineJsonSerializable.h"

/** A user's billing account; the payment service marks one of them as the default. */
struct FOnlineBillingAccount : public FOnlineJsonSerializable
{
    /** No reply fills it; a checkout sends a payment item only when it is set. */
    FString AccountId;
    FText billingAccountName;
    FString country;
    FString countrySource;
    /** Set by the payment service, not read from the reply. */
    bool bIsDefault = false;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE_TEXT("billingAccountName", billingAccountName);
    ONLINE_JSON_SERIALIZE("country", country);
    ONLINE_JSON_SERIALIZE("countrySource", countrySource);
    END_ONLINE_JSON_SERIALIZER
};
