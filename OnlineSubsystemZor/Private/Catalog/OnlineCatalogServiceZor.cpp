#include "Catalog/OnlineCatalogServiceZor.h"

#include "Common/ZorCallSet.h"
#include "Common/ZorUrl.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"

namespace
{
const FString SectionName("OnlineSubsystemZor.OnlineCatalogServiceZor");

FString JoinPaths(const TArray<FOnlineCatalogCategory>& Categories)
{
    FString Joined;
    for (const FOnlineCatalogCategory& Category : Categories)
    {
        if (!Joined.IsEmpty())
        {
            Joined += "|";
        }
        Joined += ZorUrl::EncodeQueryValue(Category.Path);
    }
    return Joined;
}

/** Assigns over the cached record so holders of its pointer see the new values. */
template <typename RecordType>
void Merge(TMap<FString, TSharedPtr<RecordType>>& Records, const RecordType& Record)
{
    if (TSharedPtr<RecordType>* Cached = Records.Find(Record.Id))
    {
        **Cached = Record;
        return;
    }
    Records.Add(Record.Id, MakeShared<RecordType>(Record));
}

template <typename RecordType>
TSharedPtr<RecordType> FindInAnyNamespace(const TMap<FString, TMap<FString, TSharedPtr<RecordType>>>& Cache,
                                          const FString& Id)
{
    for (const auto& Namespace : Cache)
    {
        if (const TSharedPtr<RecordType>* Found = Namespace.Value.Find(Id))
        {
            return *Found;
        }
    }
    return nullptr;
}

template <typename RecordType>
void AppendNamespace(const TMap<FString, TMap<FString, TSharedPtr<RecordType>>>& Cache,
                     const FString& Namespace, TArray<TSharedPtr<RecordType>>& Out)
{
    if (const auto* Records = Cache.Find(Namespace))
    {
        for (const auto& Entry : *Records)
        {
            Out.Add(Entry.Value);
        }
    }
}

template <typename RecordType> bool ReadElement(const TSharedPtr<FJsonValue>& Element, RecordType& Out)
{
    const TSharedPtr<FJsonObject>* Object = nullptr;
    return Element && Element->TryGetObject(Object) && Out.FromJson(*Object);
}

/** Replaces a list whole with the elements that read. */
template <typename RecordType>
void ReplaceList(TArray<TSharedPtr<RecordType>>& List, const TArray<TSharedPtr<FJsonValue>>& Elements)
{
    List.Empty();
    for (const TSharedPtr<FJsonValue>& Element : Elements)
    {
        RecordType Record;
        if (ReadElement(Element, Record))
        {
            List.Add(MakeShared<RecordType>(Record));
        }
    }
}
} // namespace

FOnlineCatalogServiceZor::FOnlineCatalogServiceZor() = default;

FOnlineCatalogServiceZor::FOnlineCatalogServiceZor(FOnlineSubsystemZor* InSubsystem)
    : FBaseServiceZor(InSubsystem, SectionName), QueryCategoriesUrl("/api/shared/categories"),
      QueryCurrenciesUrl("/api/shared/currencies"), QueryOffersUrl("/api/shared/namespace/`namespace/offers"),
      QueryItemsUrl("/api/shared/namespace/`namespace/items"), QueryItemsBulkUrl("/api/shared/bulk/items")
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "QueryCategoriesUrl", QueryCategoriesUrl, GEngineIni);
    GConfig->GetString(Section, "QueryCurrenciesUrl", QueryCurrenciesUrl, GEngineIni);
    GConfig->GetString(Section, "QueryOffersUrl", QueryOffersUrl, GEngineIni);
    GConfig->GetString(Section, "QueryItemsUrl", QueryItemsUrl, GEngineIni);
    GConfig->GetString(Section, "QueryItemsBulkUrl", QueryItemsBulkUrl, GEngineIni);
}

FString FOnlineCatalogServiceZor::AppendCategoryFilter(const FString& Url, const FOnlineCatalogFilter& Filter)
{
    const bool bNoCategories = Filter.IncludedCategories.IsEmpty() && Filter.ExcludedCategories.IsEmpty();
    if (Filter.FilterTexts.IsEmpty() && bNoCategories)
    {
        return Url;
    }
    FString Result = AppendQuerySeparator(Url);
    if (bNoCategories)
    {
        return Result;
    }
    Result += "category=";
    if (!Filter.ExcludedCategories.IsEmpty())
    {
        Result += "!(" + JoinPaths(Filter.ExcludedCategories) + ")";
        if (!Filter.IncludedCategories.IsEmpty())
        {
            Result += "|";
        }
    }
    return Result + JoinPaths(Filter.IncludedCategories);
}

FString FOnlineCatalogServiceZor::NamespaceUrl(const FString& Path, const FString& Namespace) const
{
    // Resolved before the query parts join, so nothing in a filter is read as a placeholder.
    return ZorUrl::Substitute(GetBaseUrl() + Path, {{"`namespace", Namespace}});
}

bool FOnlineCatalogServiceZor::QueryCategories(const FPagedQuery& Page)
{
    return SendQuery(EQueryKind::Categories, "QueryCategories",
                     AppendPageUrl(GetBaseUrl() + QueryCategoriesUrl, Page), FPendingCatalogQuery());
}

bool FOnlineCatalogServiceZor::QueryCurrencies(const FPagedQuery& Page)
{
    return SendQuery(EQueryKind::Currencies, "QueryCurrencies",
                     AppendPageUrl(GetBaseUrl() + QueryCurrenciesUrl, Page), FPendingCatalogQuery());
}

bool FOnlineCatalogServiceZor::QueryOffersByFilter(const FString& Namespace,
                                                   const FOnlineCatalogFilter& Filter,
                                                   const FRegionInfo& Region, const FPagedQuery& Page)
{
    const FString Url = AppendPageUrl(
        AppendRegionUrl(AppendCategoryFilter(NamespaceUrl(QueryOffersUrl, Namespace), Filter), Region), Page);
    return SendQuery(EQueryKind::Offers, "QueryOffersByFilter", Url, {Filter, {}, Namespace});
}

bool FOnlineCatalogServiceZor::QueryOffersById(const FString& Namespace, const TArray<FString>& OfferIds,
                                               const FRegionInfo& Region)
{
    const FString Url = AppendRegionUrl(NamespaceUrl(QueryOffersUrl, Namespace), Region);
    return SendQuery(EQueryKind::Offers, "QueryOffersById", Url, {{}, OfferIds, Namespace});
}

bool FOnlineCatalogServiceZor::QueryItemsByFilter(const FString& Namespace,
                                                  const FOnlineCatalogFilter& Filter,
                                                  const FRegionInfo& Region, const FPagedQuery& Page)
{
    const FString Url = AppendPageUrl(
        AppendRegionUrl(AppendCategoryFilter(NamespaceUrl(QueryItemsUrl, Namespace), Filter), Region), Page);
    return SendQuery(EQueryKind::Items, "QueryItemsByFilter", Url, {Filter, {}, Namespace});
}

bool FOnlineCatalogServiceZor::QueryItemsById(const FString& Namespace, const TArray<FString>& ItemIds,
                                              const FRegionInfo& Region)
{
    if (ItemIds.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "QueryItemsById request failed. %s", "No items");
        TriggerOnQueryItemsCompleteDelegates(false, {}, Namespace, "No items");
        return false;
    }
    FString Url = GetBaseUrl() + QueryItemsBulkUrl;
    for (int32 Index = 0; Index < ItemIds.Num(); ++Index)
    {
        Url += (Index == 0 ? "?Id=" : "&Id=") + ZorUrl::EncodeQueryValue(ItemIds[Index]);
    }
    return SendQuery(EQueryKind::Items, "QueryItemsById", AppendRegionUrl(Url, Region),
                     {{}, ItemIds, Namespace});
}

bool FOnlineCatalogServiceZor::SendQuery(EQueryKind Kind, const FString& Operation, const FString& Url,
                                         const FPendingCatalogQuery& Pending)
{
    static const FString CompletionNames[] = {"QueryCategories", "QueryCurrencies", "QueryOffers",
                                              "QueryItems"};
    FZorCall Call;
    Call.Operation = CompletionNames[static_cast<int32>(Kind)];
    Call.SendingLine = FString::Printf("Starting %s request.", *Operation);
    Call.Url = Url;
    FZorError Error;
    const bool bSent = GetCalls().SendAsClient(
        Call, GetSubsystemAppId(),
        [this, Kind, Pending](FZorReply& Reply)
        {
            switch (Kind)
            {
            case EQueryKind::Categories:
                return OnQueryCategories(Reply);
            case EQueryKind::Currencies:
                return OnQueryCurrencies(Reply);
            case EQueryKind::Offers:
                return OnQueryOffers(Reply, Pending);
            case EQueryKind::Items:
                return OnQueryItems(Reply, Pending);
            }
        },
        Error);
    if (!bSent && Error)
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", *Operation, *Error.Text);
        FireEvent(Kind, false, {}, Pending.Namespace, Error.Text);
    }
    return bSent;
}

void FOnlineCatalogServiceZor::FireEvent(EQueryKind Kind, bool bSucceeded, const TArray<FString>& Ids,
                                         const FString& Namespace, const FString& Error)
{
    switch (Kind)
    {
    case EQueryKind::Categories:
        return TriggerOnQueryCategoriesCompleteDelegates(bSucceeded, Error);
    case EQueryKind::Currencies:
        return TriggerOnQueryCurrenciesCompleteDelegates(bSucceeded, Error);
    case EQueryKind::Offers:
        return TriggerOnQueryOffersCompleteDelegates(bSucceeded, Ids, Namespace, Error);
    case EQueryKind::Items:
        return TriggerOnQueryItemsCompleteDelegates(bSucceeded, Ids, Namespace, Error);
    }
}

const TArray<TSharedPtr<FJsonValue>>*
FOnlineCatalogServiceZor::ReadElements(FZorReply& Reply, TSharedPtr<FJsonObject>& OutJson, bool& bOutPaged)
{
    bOutPaged = false;
    if (!Reply.Check())
    {
        return nullptr;
    }
    const TSharedPtr<FJsonObject>* Paging = nullptr;
    const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Reply.GetBody()), OutJson) || !OutJson ||
        !OutJson->TryGetObjectField("paging", Paging) || !OutJson->TryGetArrayField("elements", Elements))
    {
        Reply.Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
        return nullptr;
    }
    FOnlinePagingInfo PagingInfo;
    bOutPaged = PagingInfo.FromJson(*Paging);
    return Elements;
}

void FOnlineCatalogServiceZor::OnQueryCategories(FZorReply& Reply)
{
    TSharedPtr<FJsonObject> Json;
    bool bPaged = false;
    if (const auto* Elements = ReadElements(Reply, Json, bPaged); Elements && bPaged)
    {
        ReplaceList(Categories, *Elements);
    }
    Reply.Finish();
    TriggerOnQueryCategoriesCompleteDelegates(Reply.Succeeded() && bPaged, Reply.GetErrorText());
}

void FOnlineCatalogServiceZor::OnQueryCurrencies(FZorReply& Reply)
{
    TSharedPtr<FJsonObject> Json;
    bool bPaged = false;
    if (const auto* Elements = ReadElements(Reply, Json, bPaged); Elements && bPaged)
    {
        ReplaceList(Currencies, *Elements);
    }
    Reply.Finish();
    TriggerOnQueryCurrenciesCompleteDelegates(Reply.Succeeded() && bPaged, Reply.GetErrorText());
}

FString FOnlineCatalogServiceZor::StoreItem(const TSharedPtr<FJsonValue>& Element, const FString& Namespace)
{
    FOnlineCatalogItem Item;
    if (!ReadElement(Element, Item) || Item.Id.IsEmpty())
    {
        return FString();
    }
    Item.Namespace = Namespace;
    Merge(ItemCache.FindOrAdd(Namespace), Item);
    return Item.Id;
}

void FOnlineCatalogServiceZor::OnQueryItems(FZorReply& Reply, const FPendingCatalogQuery& Pending)
{
    TSharedPtr<FJsonObject> Json;
    bool bPaged = false;
    TArray<FString> ItemIds;
    if (const auto* Elements = ReadElements(Reply, Json, bPaged); Elements && bPaged)
    {
        for (const TSharedPtr<FJsonValue>& Element : *Elements)
        {
            if (const FString Id = StoreItem(Element, Pending.Namespace); !Id.IsEmpty())
            {
                ItemIds.Add(Id);
            }
        }
    }
    Reply.Finish();
    TriggerOnQueryItemsCompleteDelegates(Reply.Succeeded() && bPaged, ItemIds, Pending.Namespace,
                                         Reply.GetErrorText());
}

void FOnlineCatalogServiceZor::OnQueryOffers(FZorReply& Reply, const FPendingCatalogQuery& Pending)
{
    TSharedPtr<FJsonObject> Json;
    bool bPaged = false;
    TArray<FString> OfferIds;
    if (const auto* Elements = ReadElements(Reply, Json, bPaged); Elements && bPaged)
    {
        for (const TSharedPtr<FJsonValue>& Element : *Elements)
        {
            FOnlineCatalogOffer Offer;
            if (!ReadElement(Element, Offer) || Offer.Id.IsEmpty())
            {
                continue;
            }
            const TArray<TSharedPtr<FJsonValue>>* Items = nullptr;
            if (Element->AsObject()->TryGetArrayField("items", Items))
            {
                for (const TSharedPtr<FJsonValue>& Item : *Items)
                {
                    if (const FString Id = StoreItem(Item, Pending.Namespace); !Id.IsEmpty())
                    {
                        Offer.ItemIds.Add(Id);
                    }
                }
            }
            Offer.Namespace = Pending.Namespace;
            Merge(OfferCache.FindOrAdd(Pending.Namespace), Offer);
            OfferIds.Add(Offer.Id);
        }
    }
    Reply.Finish();
    TriggerOnQueryOffersCompleteDelegates(Reply.Succeeded() && bPaged, OfferIds, Pending.Namespace,
                                          Reply.GetErrorText());
}

void FOnlineCatalogServiceZor::GetCategories(TArray<TSharedPtr<FOnlineCatalogCategory>>& OutCategories) const
{
    OutCategories = Categories;
}

void FOnlineCatalogServiceZor::GetCurrencies(TArray<TSharedPtr<FOnlineCurrency>>& OutCurrencies) const
{
    OutCurrencies = Currencies;
}

TSharedPtr<FOnlineCatalogOffer> FOnlineCatalogServiceZor::GetOffer(const FString& OfferId) const
{
    return FindInAnyNamespace(OfferCache, OfferId);
}

void FOnlineCatalogServiceZor::GetAllOffers(const FString& Namespace,
                                            TArray<TSharedPtr<FOnlineCatalogOffer>>& OutOffers) const
{
    AppendNamespace(OfferCache, Namespace, OutOffers);
}

void FOnlineCatalogServiceZor::ClearOffers(const FString& Namespace)
{
    OfferCache.Remove(Namespace);
}

TSharedPtr<FOnlineCatalogItem> FOnlineCatalogServiceZor::GetItem(const FString& ItemId) const
{
    return FindInAnyNamespace(ItemCache, ItemId);
}

void FOnlineCatalogServiceZor::GetAllItems(const FString& Namespace,
                                           TArray<TSharedPtr<FOnlineCatalogItem>>& OutItems) const
{
    AppendNamespace(ItemCache, Namespace, OutItems);
}

void FOnlineCatalogServiceZor::ClearItems(const FString& Namespace)
{
    ItemCache.Remove(Namespace);
}
