#include "Tests/TestCatalogZor.h"

#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"
#include "Tests/ZorTestDriverLog.h"

using ZorTestDriverLog::IsDumpEnabled;
using ZorTestDriverLog::ToResult;

namespace
{
/** From the first record on, with no paging parameters in the URL. */
const FPagedQuery Unpaged(0, -1);
} // namespace

FTestCatalogZor::FTestCatalogZor(FOnlineSubsystemZor& InSubsystem)
    : Subsystem(InSubsystem), OnQueryCategoriesCompleteDelegate(FOnQueryCategoriesCompleteDelegate::CreateRaw(
                                  this, &FTestCatalogZor::OnQueryCategoriesComplete)),
      OnQueryCurrenciesCompleteDelegate(
          FOnQueryCurrenciesCompleteDelegate::CreateRaw(this, &FTestCatalogZor::OnQueryCurrenciesComplete)),
      OnQueryOffersCompleteDelegate(
          FOnQueryOffersCompleteDelegate::CreateRaw(this, &FTestCatalogZor::OnQueryOffersComplete)),
      OnQueryItemsCompleteDelegate(
          FOnQueryItemsCompleteDelegate::CreateRaw(this, &FTestCatalogZor::OnQueryItemsComplete))
{
}

void FTestCatalogZor::Test(const FString& InNamespace)
{
    CatalogService = Subsystem.GetZorCatalogService();
    if (!CatalogService)
    {
        UE_LOG_ONLINE(Warning, "Failed to get catalog service Zor ");
        FinishTest();
        return;
    }
    Namespace = InNamespace;
    OnQueryCategoriesCompleteHandle =
        CatalogService->AddOnQueryCategoriesCompleteDelegate(OnQueryCategoriesCompleteDelegate);
    OnQueryCurrenciesCompleteHandle =
        CatalogService->AddOnQueryCurrenciesCompleteDelegate(OnQueryCurrenciesCompleteDelegate);
    OnQueryItemsCompleteHandle =
        CatalogService->AddOnQueryItemsCompleteDelegate(OnQueryItemsCompleteDelegate);
    OnQueryOffersCompleteHandle =
        CatalogService->AddOnQueryOffersCompleteDelegate(OnQueryOffersCompleteDelegate);
    Steps.SetOwner(FZorWorkOwner(Subsystem.GetZorIdentityService()));
    StartNextTest();
}

void FTestCatalogZor::StartNextTest()
{
    if (!Steps.Run([this] { return StartStep(); }))
    {
        FinishTest();
    }
}

bool FTestCatalogZor::StartStep()
{
    if (bQueryCategories)
    {
        CatalogService->QueryCategories(Unpaged);
    }
    else if (bQueryCurrencies)
    {
        CatalogService->QueryCurrencies(Unpaged);
    }
    else if (bQueryItems)
    {
        CatalogService->QueryItemsByFilter(Namespace, FOnlineCatalogFilter(), FRegionInfo(), Unpaged);
    }
    else if (bQueryOffers)
    {
        CatalogService->QueryOffersByFilter(Namespace, FOnlineCatalogFilter(), FRegionInfo(), Unpaged);
    }
    else
    {
        return false;
    }
    return true;
}

void FTestCatalogZor::FinishTest()
{
    if (CatalogService)
    {
        CatalogService->ClearOnQueryCategoriesCompleteDelegate(OnQueryCategoriesCompleteHandle);
        CatalogService->ClearOnQueryCurrenciesCompleteDelegate(OnQueryCurrenciesCompleteHandle);
        CatalogService->ClearOnQueryItemsCompleteDelegate(OnQueryItemsCompleteHandle);
        CatalogService->ClearOnQueryOffersCompleteDelegate(OnQueryOffersCompleteHandle);
    }
    delete this;
}

void FTestCatalogZor::OnQueryCategoriesComplete(bool bWasSuccessful, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query categories complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    if (IsDumpEnabled())
    {
        TArray<TSharedPtr<FOnlineCatalogCategory>> Categories;
        CatalogService->GetCategories(Categories);
        for (const TSharedPtr<FOnlineCatalogCategory>& Category : Categories)
        {
            UE_LOG_ONLINE(Log, "\tcategory. dump=%s", *Category->ToJson());
        }
    }
    bQueryCategories = false;
    StartNextTest();
}

void FTestCatalogZor::OnQueryCurrenciesComplete(bool bWasSuccessful, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query currencies complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    if (IsDumpEnabled())
    {
        TArray<TSharedPtr<FOnlineCurrency>> Currencies;
        CatalogService->GetCurrencies(Currencies);
        for (const TSharedPtr<FOnlineCurrency>& Currency : Currencies)
        {
            UE_LOG_ONLINE(Log, "\tcurrency. dump=%s", *Currency->ToJson());
        }
    }
    bQueryCurrencies = false;
    StartNextTest();
}

void FTestCatalogZor::OnQueryItemsComplete(bool bWasSuccessful, const TArray<FString>& /*ItemIds*/,
                                           const FString& /*InNamespace*/, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query items complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    if (IsDumpEnabled())
    {
        TArray<TSharedPtr<FOnlineCatalogItem>> Items;
        CatalogService->GetAllItems(Namespace, Items);
        for (const TSharedPtr<FOnlineCatalogItem>& Item : Items)
        {
            UE_LOG_ONLINE(Log, "\titem. dump=%s", *Item->ToJson());
        }
    }
    bQueryItems = false;
    StartNextTest();
}

void FTestCatalogZor::OnQueryOffersComplete(bool bWasSuccessful, const TArray<FString>& /*OfferIds*/,
                                            const FString& /*InNamespace*/, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query offers complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    if (IsDumpEnabled())
    {
        TArray<TSharedPtr<FOnlineCatalogOffer>> Offers;
        CatalogService->GetAllOffers(Namespace, Offers);
        for (const TSharedPtr<FOnlineCatalogOffer>& Offer : Offers)
        {
            UE_LOG_ONLINE(Log, "\toffer. dump=%s", *Offer->ToJson());
        }
    }
    bQueryOffers = false;
    StartNextTest();
}
