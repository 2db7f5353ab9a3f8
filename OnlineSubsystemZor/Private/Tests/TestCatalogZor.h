#pragma once

#include "Catalog/OnlineCatalogServiceZor.h"
#include "CoreMinimal.h"
#include "Tests/ZorDriverSteps.h"

class FOnlineSubsystemZor;

/**
 * Console exercise of the catalog: categories, currencies, then the items and the offers of one namespace,
 * each in one unpaged query. Created with new; it deletes itself when the chain ends.
 */
class FTestCatalogZor
{
public:
    explicit FTestCatalogZor(FOnlineSubsystemZor& InSubsystem);
    FTestCatalogZor(const FTestCatalogZor&) = delete;
    FTestCatalogZor& operator=(const FTestCatalogZor&) = delete;

    void Test(const FString& InNamespace);

private:
    ~FTestCatalogZor() = default;

    void StartNextTest();
    /** Starts the first step still to run; false when none is left. */
    bool StartStep();
    void FinishTest();
    void OnQueryCategoriesComplete(bool bWasSuccessful, const FString& Error);
    void OnQueryCurrenciesComplete(bool bWasSuccessful, const FString& Error);
    void OnQueryOffersComplete(bool bWasSuccessful, const TArray<FString>& OfferIds,
                               const FString& InNamespace, const FString& Error);
    void OnQueryItemsComplete(bool bWasSuccessful, const TArray<FString>& ItemIds, const FString& InNamespace,
                              const FString& Error);

    /** Read by Test only, which runs right after construction. */
    FOnlineSubsystemZor& Subsystem;
    TSharedPtr<FOnlineCatalogServiceZor> CatalogService;
    FOnQueryCategoriesCompleteDelegate OnQueryCategoriesCompleteDelegate;
    FOnQueryCurrenciesCompleteDelegate OnQueryCurrenciesCompleteDelegate;
    FOnQueryOffersCompleteDelegate OnQueryOffersCompleteDelegate;
    FOnQueryItemsCompleteDelegate OnQueryItemsCompleteDelegate;
    FDelegateHandle OnQueryCategoriesCompleteHandle;
    FDelegateHandle OnQueryCurrenciesCompleteHandle;
    FDelegateHandle OnQueryOffersCompleteHandle;
    FDelegateHandle OnQueryItemsCompleteHandle;
    bool bQueryCategories = true;
    bool bQueryCurrencies = true;
    bool bQueryOffers = true;
    bool bQueryItems = true;
    FString Namespace;
    FZorDriverSteps Steps;
};
