#pragma once

#include "Catalog/OnlineCatalogServiceZor.h"
#include "CoreMinimal.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Tests/ZorDriverSteps.h"

class FOnlineIdentityZor;
class FOnlineSubsystemZor;

/**
 * Console exercise of a purchase for local user 0: finds the offer in the namespace "qx", orders it, lists
 * the user's orders, reads the default billing account and pays the order with it. Created with new; it
 * deletes itself when the chain ends.
 */
class FTestPurchaseZor
{
public:
    explicit FTestPurchaseZor(FOnlineSubsystemZor& InSubsystem);
    FTestPurchaseZor(const FTestPurchaseZor&) = delete;
    FTestPurchaseZor& operator=(const FTestPurchaseZor&) = delete;

    void Test(const FString& InOfferId);

private:
    ~FTestPurchaseZor() = default;

    void StartNextTest();
    /** Starts the first step still to run; false when none is left. */
    bool StartStep();
    void FinishTest();
    void OnQueryOffersComplete(bool bWasSuccessful, const TArray<FString>& OfferIds, const FString& Namespace,
                               const FString& Error);
    void OnCreateOrderComplete(bool bWasSuccessful, const FUniqueNetId& InUserId, const FString& InOrderId,
                               const FString& Error);
    void OnQueryOrdersComplete(bool bWasSuccessful, const FUniqueNetId& InUserId, const FString& Error);
    void OnQueryDefaultBillingAccountComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                              const FString& Error);
    void OnCheckoutOrderComplete(bool bWasSuccessful, const FUniqueNetId& InUserId, const FString& InOrderId,
                                 const FString& Error);
    /** Dumps the user's cached order when there is one. */
    void LogOrder(const FUniqueNetId& InUserId, const FString& InOrderId) const;

    /** Read by Test only, which runs right after construction. */
    FOnlineSubsystemZor& Subsystem;
    TSharedPtr<FOnlineIdentityZor> Identity;
    TSharedPtr<FOnlineCatalogServiceZor> CatalogService;
    TSharedPtr<FOnlineOrderServiceZor> OrderService;
    TSharedPtr<FOnlinePaymentServiceZor> PaymentService;
    FUniqueNetIdPtr UserId;
    FString OfferId;
    FString OrderId;
    bool bQueryOffers = true;
    bool bCreateOrder = true;
    bool bQueryOrders = true;
    bool bQueryDefaultBillingAccount = true;
    bool bCheckoutOrder = true;
    FOnQueryOffersCompleteDelegate OnQueryOffersCompleteDelegate;
    FOnCreateOrderCompleteDelegate OnCreateOrderCompleteDelegate;
    FOnQueryOrdersCompleteDelegate OnQueryOrdersCompleteDelegate;
    FOnQueryDefaultBillingAccountCompleteDelegate OnQueryDefaultBillingAccountCompleteDelegate;
    FOnCheckoutOrderCompleteDelegate OnCheckoutOrderCompleteDelegate;
    FDelegateHandle OnQueryOffersCompleteHandle;
    FDelegateHandle OnCreateOrderCompleteHandle;
    FDelegateHandle OnQueryOrdersCompleteHandle;
    FDelegateHandle OnQueryDefaultBillingAccountCompleteHandle;
    FDelegateHandle OnCheckoutOrderCompleteHandle;
    FZorDriverSteps Steps;
};
