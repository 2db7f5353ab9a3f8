#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineEntitlementsInterface.h"
#include "Json/OnlineJsonSerializable.h"

/** One entitlement as the commerce service lists it, with every string field of its object as an attribute.
 */
class FOnlineEntitlementZor : public FOnlineEntitlement, public FOnlineJsonSerializable
{
public:
    /**
     * Reads one element of an entitlements answer; null when it is not an object or has no id. Attributes are
     * the element's string-valued fields in the order the object holds them.
     */
    static TSharedPtr<FOnlineEntitlementZor> FromAnswerElement(const TSharedPtr<FJsonValue>& Element);

    bool GetAttribute(const FString& AttrName, FString& OutAttrValue) const override;

    TArray<TPair<FString, FString>> Attributes;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("id", Id);
    ONLINE_JSON_SERIALIZE("entitlementName", Name);
    ONLINE_JSON_SERIALIZE("catalogItemId", ItemId);
    END_ONLINE_JSON_SERIALIZER
};
