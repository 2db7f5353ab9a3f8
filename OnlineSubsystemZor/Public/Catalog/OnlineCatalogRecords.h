#pragma once

#include "CoreMinimal.h"
#include "Internationalization/Text.h"
#include "Json/OnlineJsonSerializable.h"

/** The paging block of every commerce list reply; required for success, not kept. */
struct FOnlinePagingInfo : public FOnlineJsonSerializable
{
    int32 start = 0;
    int32 count = 0;
    int32 total = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("start", start);
    ONLINE_JSON_SERIALIZE("count", count);
    ONLINE_JSON_SERIALIZE("total", total);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineCatalogCategory : public FOnlineJsonSerializable
{
    FText Name;
    FString Path;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE_TEXT("name", Name);
    ONLINE_JSON_SERIALIZE("path", Path);
    END_ONLINE_JSON_SERIALIZER
};

/** The text block of items and offers; its keys stand directly in the enclosing object. */
struct FOnlineCatalogDescription : public FOnlineJsonSerializable
{
    FText Title;
    FText Description;
    FText LongDescription;
    FText TechnicalDetails;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE_TEXT("title", Title);
    ONLINE_JSON_SERIALIZE_TEXT("description", Description);
    ONLINE_JSON_SERIALIZE_TEXT("longDescription", LongDescription);
    ONLINE_JSON_SERIALIZE_TEXT("technicalDetails", TechnicalDetails);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineCatalogKeyImage : public FOnlineJsonSerializable
{
    FString Type;
    FString Url;
    int32 Width = 0;
    int32 Height = 0;
    int32 Size = 0;
    FDateTime UploadedDate;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("type", Type);
    ONLINE_JSON_SERIALIZE("url", Url);
    ONLINE_JSON_SERIALIZE("width", Width);
    ONLINE_JSON_SERIALIZE("height", Height);
    ONLINE_JSON_SERIALIZE("size", Size);
    ONLINE_JSON_SERIALIZE_DATE("uploadedDate", UploadedDate);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineAppReleaseInfo : public FOnlineJsonSerializable
{
    FString AppId;
    TArray<FString> CompatibleApps;
    TArray<FString> Platform;
    FDateTime DateAdded;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("appId", AppId);
    ONLINE_JSON_SERIALIZE_ARRAY("compatibleApps", CompatibleApps);
    ONLINE_JSON_SERIALIZE_ARRAY("platform", Platform);
    ONLINE_JSON_SERIALIZE_DATE("dateAdded", DateAdded);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineCatalogItem : public FOnlineJsonSerializable
{
    /** Set by the catalog service to the namespace of the query; not in the JSON. */
    FString Namespace;
    FString Id;
    FString EntitlementName;
    FOnlineCatalogDescription Description;
    FText Developer;
    FDateTime LastModifiedDate;
    TArray<FOnlineCatalogKeyImage> KeyImages;
    TArray<FOnlineCatalogCategory> Categories;
    TArray<FOnlineAppReleaseInfo> ReleaseInfo;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("id", Id);
    ONLINE_JSON_SERIALIZE("entitlementName", EntitlementName);
    Description.Serialize(Serializer, true);
    ONLINE_JSON_SERIALIZE_TEXT("developer", Developer);
    ONLINE_JSON_SERIALIZE_DATE("lastModifiedDate", LastModifiedDate);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("keyImages", KeyImages, FOnlineCatalogKeyImage);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("categories", Categories, FOnlineCatalogCategory);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("releaseInfo", ReleaseInfo, FOnlineAppReleaseInfo);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineCatalogOffer : public FOnlineJsonSerializable
{
    /** Set by the catalog service to the namespace of the query; not in the JSON. */
    FString Namespace;
    FString Id;
    FOnlineCatalogDescription Description;
    FString CurrencyCode;
    /** Whole numbers, as the service sends them. */
    int32 Price = 0;
    int32 RecurringPrice = 0;
    int32 DiscountedPrice = 0;
    int32 FreeDays = 0;
    int32 MaxBillingCycles = 0;
    bool bVatIncluded = true;
    FDateTime LastModifiedDate;
    FDateTime ViewableDate;
    FDateTime EffectiveDate;
    FDateTime ExpirationDate;
    TArray<FOnlineCatalogKeyImage> KeyImages;
    TArray<FOnlineCatalogCategory> Categories;
    /** Filled by the catalog service from the items embedded in the offer's element; not in the JSON. */
    TArray<FString> ItemIds;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("id", Id);
    Description.Serialize(Serializer, true);
    ONLINE_JSON_SERIALIZE("currencyCode", CurrencyCode);
    ONLINE_JSON_SERIALIZE("price", Price);
    ONLINE_JSON_SERIALIZE("recurringPrice", RecurringPrice);
    ONLINE_JSON_SERIALIZE("discountedPrice", DiscountedPrice);
    ONLINE_JSON_SERIALIZE("freeDays", FreeDays);
    ONLINE_JSON_SERIALIZE("maxBillingCycles", MaxBillingCycles);
    ONLINE_JSON_SERIALIZE("vatIncluded", bVatIncluded);
    ONLINE_JSON_SERIALIZE_DATE("lastModifiedDate", LastModifiedDate);
    ONLINE_JSON_SERIALIZE_DATE("viewableDate", ViewableDate);
    ONLINE_JSON_SERIALIZE_DATE("effectiveDate", EffectiveDate);
    ONLINE_JSON_SERIALIZE_DATE("expirationDate", ExpirationDate);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("keyImages", KeyImages, FOnlineCatalogKeyImage);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("categories", Categories, FOnlineCatalogCategory);
    END_ONLINE_JSON_SERIALIZER
};

struct FOnlineCurrency : public FOnlineJsonSerializable
{
    FString Type;
    FString Code;
    FText Description;
    int32 Decimals = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("type", Type);
    ONLINE_JSON_SERIALIZE("code", Code);
    ONLINE_JSON_SERIALIZE_TEXT("description", Description);
    ONLINE_JSON_SERIALIZE("decimals", Decimals);
    END_ONLINE_JSON_SERIALIZER
};

/** The filter of the by-filter catalog queries. */
struct FOnlineCatalogFilter
{
    /** Never sent; only its being non-empty adds the query separator. */
    TArray<FString> FilterTexts;
    TArray<FOnlineCatalogCategory> IncludedCategories;
    TArray<FOnlineCatalogCategory> ExcludedCategories;
};
