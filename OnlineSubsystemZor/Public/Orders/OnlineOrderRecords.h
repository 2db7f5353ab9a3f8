#pragma once

#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

struct FOnlineOrderLineOffer : public FOnlineJsonSerializable
{
    FString OfferId;
    int32 Quantity = 0;
    int32 TotalPrice = 0;
    int32 UnitPrice = 0;
    int32 DiscountedPrice = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("offerId", OfferId);
    ONLINE_JSON_SERIALIZE("quantity", Quantity);
    ONLINE_JSON_SERIALIZE("totalPrice", TotalPrice);
    ONLINE_JSON_SERIALIZE("unitPrice", UnitPrice);
    ONLINE_JSON_SERIALIZE("discountedPrice", DiscountedPrice);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineOrder : public FOnlineJsonSerializable
{
    FString OrderId;
    FString OrderType;
    FString OrderStatus;
    FString Currency;
    bool bVatIncluded = false;
    FDateTime CreationDate;
    FDateTime LastModifiedDate;
    TArray<FOnlineOrderLineOffer> LineOffers;
    /** Set for records stored by a preview; not in the JSON. */
    bool bIsPreview = false;

    /** The sum of the line offers' total prices, wide enough that no sum of 32-bit prices overflows. */
    int64 GetTotalPrice() const
    {
        int64 Total = 0;
        for (const FOnlineOrderLineOffer& Line : LineOffers)
        {
            Total += Line.TotalPrice;
        }
        return Total;
    }

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("orderId", OrderId);
    ONLINE_JSON_SERIALIZE("orderType", OrderType);
    ONLINE_JSON_SERIALIZE("orderStatus", OrderStatus);
    ONLINE_JSON_SERIALIZE("currency", Currency);
    ONLINE_JSON_SERIALIZE("vatIncluded", bVatIncluded);
    ONLINE_JSON_SERIALIZE_DATE("creationDate", CreationDate);
    ONLINE_JSON_SERIALIZE_DATE("lastModifiedDate", LastModifiedDate);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("lineOffers", LineOffers, FOnlineOrderLineOffer);
    END_ONLINE_JSON_SERIALIZER
};
