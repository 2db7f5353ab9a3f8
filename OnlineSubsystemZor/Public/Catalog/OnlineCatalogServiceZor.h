#pragma once

#include "Catalog/OnlineCatalogRecords.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;

DECLARE_MULTICAST_DELEGATE_TwoParams(FOnQueryCategoriesComplete, bool /*bWasSuccessful*/,
                                     const FString& /*Error*/);
using FOnQueryCategoriesCompleteDelegate = FOnQueryCategoriesComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnQueryCurrenciesComplete, bool /*bWasSuccessful*/,
                                     const FString& /*Error*/);
using FOnQueryCurrenciesCompleteDelegate = FOnQueryCurrenciesComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnQueryOffersComplete, bool /*bWasSuccessful*/,
                                      const TArray<FString>& /*OfferIds*/, const FString& /*Namespace*/,
                                      const FString& /*Error*/);
using FOnQueryOffersCompleteDelegate = FOnQueryOffersComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnQueryItemsComplete, bool /*bWasSuccessful*/,
                                      const TArray<FString>& /*ItemIds*/, const FString& /*Namespace*/,
                                      const FString& /*Error*/);
using FOnQueryItemsCompleteDelegate = FOnQueryItemsComplete::FDelegate;

/** What a namespace query's completion needs. */
struct FPendingCatalogQuery
{
    FOnlineCatalogFilter Filter;
    TArray<FString> Ids;
    FString Namespace;
};

/**
 * The store catalog: categories, currencies, and the offers and items of a namespace, read on the client
 * road and kept in memory. A re-read record is assigned over the cached one, so shared pointers that callers
 * hold see the new values.
 */
class FOnlineCatalogServiceZor : public FBaseServiceZor
{
public:
    using FItemMap = TMap<FString, TSharedPtr<FOnlineCatalogItem>>;
    using FOfferMap = TMap<FString, TSharedPtr<FOnlineCatalogOffer>>;

    explicit FOnlineCatalogServiceZor(FOnlineSubsystemZor* InSubsystem);
    FOnlineCatalogServiceZor();

    virtual bool QueryCategories(const FPagedQuery& Page);
    virtual void GetCategories(TArray<TSharedPtr<FOnlineCatalogCategory>>& OutCategories) const;
    virtual bool QueryCurrencies(const FPagedQuery& Page);
    virtual void GetCurrencies(TArray<TSharedPtr<FOnlineCurrency>>& OutCurrencies) const;
    virtual bool QueryOffersByFilter(const FString& Namespace, const FOnlineCatalogFilter& Filter,
                                     const FRegionInfo& Region, const FPagedQuery& Page);
    /** The ids are kept with the query but not sent: the reply lists the namespace's offers. */
    virtual bool QueryOffersById(const FString& Namespace, const TArray<FString>& OfferIds,
                                 const FRegionInfo& Region);
    virtual TSharedPtr<FOnlineCatalogOffer> GetOffer(const FString& OfferId) const;
    virtual void GetAllOffers(const FString& Namespace,
                              TArray<TSharedPtr<FOnlineCatalogOffer>>& OutOffers) const;
    virtual void ClearOffers(const FString& Namespace);
    virtual bool QueryItemsByFilter(const FString& Namespace, const FOnlineCatalogFilter& Filter,
                                    const FRegionInfo& Region, const FPagedQuery& Page);
    virtual bool QueryItemsById(const FString& Namespace, const TArray<FString>& ItemIds,
                                const FRegionInfo& Region);
    virtual TSharedPtr<FOnlineCatalogItem> GetItem(const FString& ItemId) const;
    virtual void GetAllItems(const FString& Namespace,
                             TArray<TSharedPtr<FOnlineCatalogItem>>& OutItems) const;
    virtual void ClearItems(const FString& Namespace);

    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnQueryCategoriesComplete, bool, const FString&);
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnQueryCurrenciesComplete, bool, const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnQueryOffersComplete, bool, const TArray<FString>&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnQueryItemsComplete, bool, const TArray<FString>&, const FString&,
                                      const FString&);

    /** The category filter's query part: the separator, then "category=!(a|b)|c"; paths encoded as values. */
    static FString AppendCategoryFilter(const FString& Url, const FOnlineCatalogFilter& Filter);

private:
    enum class EQueryKind : uint8
    {
        Categories,
        Currencies,
        Offers,
        Items,
    };

    /** Hands the call to the client road; on a refusal logs and fires the kind's event. */
    bool SendQuery(EQueryKind Kind, const FString& Operation, const FString& Url,
                   const FPendingCatalogQuery& Pending);
    void FireEvent(EQueryKind Kind, bool bSucceeded, const TArray<FString>& Ids, const FString& Namespace,
                   const FString& Error);
    FString NamespaceUrl(const FString& Path, const FString& Namespace) const;

    void OnQueryCategories(FZorReply& Reply);
    void OnQueryCurrencies(FZorReply& Reply);
    void OnQueryItems(FZorReply& Reply, const FPendingCatalogQuery& Pending);
    void OnQueryOffers(FZorReply& Reply, const FPendingCatalogQuery& Pending);
    /** The reply's "elements" array once the list reply checks out; null on failure. */
    const TArray<TSharedPtr<FJsonValue>>* ReadElements(FZorReply& Reply, TSharedPtr<FJsonObject>& OutJson,
                                                       bool& bOutPaged);
    /** Reads and caches one item element; its id, or empty when the element was skipped. */
    FString StoreItem(const TSharedPtr<FJsonValue>& Element, const FString& Namespace);

    TArray<TSharedPtr<FOnlineCatalogCategory>> Categories;
    TArray<TSharedPtr<FOnlineCurrency>> Currencies;
    TMap<FString, FItemMap> ItemCache;
    TMap<FString, FOfferMap> OfferCache;

    FString QueryCategoriesUrl;
    FString QueryCurrenciesUrl;
    FString QueryOffersUrl;
    FString QueryItemsUrl;
    FString QueryItemsBulkUrl;
};
