#include "Catalog/OnlineCatalogServiceZor.h"
#include "Core/Parse.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
const TCHAR* const Usage =
    "catalog categories | currencies | offers NAMESPACE [PATH|!PATH ...] | items NAMESPACE "
    "[PATH|!PATH ...]";

TSharedPtr<FOnlineCatalogServiceZor> GetCatalog(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineCatalogServiceZor> Catalog =
        Subsystem ? Subsystem->GetZorCatalogService() : nullptr;
    if (!Catalog)
    {
        UE_LOG(LogHost, Warning, "catalog: there is no catalog service");
    }
    return Catalog;
}

/** The namespace and the category paths after it; a leading "!" excludes a path. */
bool ParseNamespaceQuery(const TCHAR* Args, FString& OutNamespace, FOnlineCatalogFilter& OutFilter)
{
    if (!FParse::Token(Args, OutNamespace, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    FString Path;
    while (FParse::Token(Args, Path, false))
    {
        const bool bExcluded = Path.StartsWith("!");
        FOnlineCatalogCategory Category;
        Category.Path = bExcluded ? Path.RightChop(1) : Path;
        (bExcluded ? OutFilter.ExcludedCategories : OutFilter.IncludedCategories).Add(Category);
    }
    return true;
}

bool CatalogWord(FZorHost& Host, const TCHAR* Args)
{
    const TSharedPtr<FOnlineCatalogServiceZor> Catalog = GetCatalog(Host);
    if (!Catalog)
    {
        return false;
    }
    if (FParse::Command(&Args, "categories"))
    {
        Host.AwaitOutcome("catalog categories");
        return Catalog->QueryCategories(FPagedQuery());
    }
    if (FParse::Command(&Args, "currencies"))
    {
        Host.AwaitOutcome("catalog currencies");
        return Catalog->QueryCurrencies(FPagedQuery());
    }
    const bool bOffers = FParse::Command(&Args, "offers");
    if (!bOffers && !FParse::Command(&Args, "items"))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    FString Namespace;
    FOnlineCatalogFilter Filter;
    if (!ParseNamespaceQuery(Args, Namespace, Filter))
    {
        return false;
    }
    Host.AwaitOutcome(bOffers ? "catalog offers" : "catalog items");
    return bOffers ? Catalog->QueryOffersByFilter(Namespace, Filter, FRegionInfo(), FPagedQuery())
                   : Catalog->QueryItemsByFilter(Namespace, Filter, FRegionInfo(), FPagedQuery());
}

void LogOffers(FOnlineCatalogServiceZor& Catalog, const TArray<FString>& OfferIds)
{
    for (const FString& Id : OfferIds)
    {
        if (const TSharedPtr<FOnlineCatalogOffer> Offer = Catalog.GetOffer(Id))
        {
            UE_LOG(LogHost, Display, "  offer %s \"%s\" price=%d %s items=%s", *Offer->Id,
                   *Offer->Description.Title.ToString(), Offer->Price, *Offer->CurrencyCode,
                   *FString::Join(Offer->ItemIds, ","));
        }
    }
}

void LogItems(FOnlineCatalogServiceZor& Catalog, const TArray<FString>& ItemIds)
{
    for (const FString& Id : ItemIds)
    {
        if (const TSharedPtr<FOnlineCatalogItem> Item = Catalog.GetItem(Id))
        {
            UE_LOG(LogHost, Display, "  item %s \"%s\" entitlement=%s", *Item->Id,
                   *Item->Description.Title.ToString(), *Item->EntitlementName);
        }
    }
}

void BindListEvents(FZorHost& Host, FOnlineCatalogServiceZor& Catalog)
{
    Catalog.AddOnQueryCategoriesCompleteDelegate(FOnQueryCategoriesCompleteDelegate::CreateLambda(
        [&Host, &Catalog](bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryCategoriesComplete bWasSuccessful=%d Error=%s", bWasSuccessful,
                   *ZorLogText::Error(Error));
            TArray<TSharedPtr<FOnlineCatalogCategory>> Categories;
            Catalog.GetCategories(Categories);
            for (const auto& Category : Categories)
            {
                UE_LOG(LogHost, Display, "  category %s \"%s\"", *Category->Path, *Category->Name.ToString());
            }
            Host.ReportOutcome("catalog categories", bWasSuccessful);
        }));
    Catalog.AddOnQueryCurrenciesCompleteDelegate(FOnQueryCurrenciesCompleteDelegate::CreateLambda(
        [&Host, &Catalog](bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryCurrenciesComplete bWasSuccessful=%d Error=%s", bWasSuccessful,
                   *ZorLogText::Error(Error));
            TArray<TSharedPtr<FOnlineCurrency>> Currencies;
            Catalog.GetCurrencies(Currencies);
            for (const auto& Currency : Currencies)
            {
                UE_LOG(LogHost, Display, "  currency %s decimals=%d", *Currency->Code, Currency->Decimals);
            }
            Host.ReportOutcome("catalog currencies", bWasSuccessful);
        }));
}

void BindEvents(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineCatalogServiceZor> Catalog =
        Subsystem ? Subsystem->GetZorCatalogService() : nullptr;
    if (!Catalog)
    {
        return;
    }
    // The subsystem outlives the console's lines; the service lives as long as the subsystem.
    FOnlineCatalogServiceZor& Service = *Catalog;
    BindListEvents(Host, Service);
    Service.AddOnQueryOffersCompleteDelegate(FOnQueryOffersCompleteDelegate::CreateLambda(
        [&Host, &Service](bool bWasSuccessful, const TArray<FString>& OfferIds, const FString& Namespace,
                          const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnQueryOffersComplete bWasSuccessful=%d Namespace=%s Offers=%d Error=%s", bWasSuccessful,
                   *Namespace, OfferIds.Num(), *ZorLogText::Error(Error));
            LogOffers(Service, OfferIds);
            Host.ReportOutcome("catalog offers", bWasSuccessful);
        }));
    Service.AddOnQueryItemsCompleteDelegate(FOnQueryItemsCompleteDelegate::CreateLambda(
        [&Host, &Service](bool bWasSuccessful, const TArray<FString>& ItemIds, const FString& Namespace,
                          const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryItemsComplete bWasSuccessful=%d Namespace=%s Items=%d Error=%s",
                   bWasSuccessful, *Namespace, ItemIds.Num(), *ZorLogText::Error(Error));
            LogItems(Service, ItemIds);
            Host.ReportOutcome("catalog items", bWasSuccessful);
        }));
}

const TCHAR* const Notes[] = {DemoCatalogNote};

const FHostWord Words[] = {
    {"catalog",
     Usage,
     "queries the catalog's categories or currencies, or a namespace's offers or items",
     &CatalogWord,
     nullptr,
     {},
     Notes},
};
const FHostOperation Operations[] = {
    {"catalog categories"},
    {"catalog currencies"},
    {"catalog offers"},
    {"catalog items"},
};
} // namespace

const FHostWordGroup& GetCatalogHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
