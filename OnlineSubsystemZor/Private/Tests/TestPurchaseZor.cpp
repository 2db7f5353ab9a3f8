#include "Tests/TestPurchaseZor.h"

#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"
#include "Tests/ZorTestDriverLog.h"

using ZorTestDriverLog::IsDumpEnabled;
using ZorTestDriverLog::ToResult;

namespace
{
const FString OfferNamespace = "qx";
const FPagedQuery OfferPage(0, 1000);
} // namespace

FTestPurchaseZor::FTestPurchaseZor(FOnlineSubsystemZor& InSubsystem)
    : Subsystem(InSubsystem), OnQueryOffersCompleteDelegate(FOnQueryOffersCompleteDelegate::CreateRaw(
                                  this, &FTestPurchaseZor::OnQueryOffersComplete)),
      OnCreateOrderCompleteDelegate(
          FOnCreateOrderCompleteDelegate::CreateRaw(this, &FTestPurchaseZor::OnCreateOrderComplete)),
      OnQueryOrdersCompleteDelegate(
          FOnQueryOrdersCompleteDelegate::CreateRaw(this, &FTestPurchaseZor::OnQueryOrdersComplete)),
      OnQueryDefaultBillingAccountCompleteDelegate(FOnQueryDefaultBillingAccountCompleteDelegate::CreateRaw(
          this, &FTestPurchaseZor::OnQueryDefaultBillingAccountComplete)),
      OnCheckoutOrderCompleteDelegate(
          FOnCheckoutOrderCompleteDelegate::CreateRaw(this, &FTestPurchaseZor::OnCheckoutOrderComplete))
{
}

void FTestPurchaseZor::Test(const FString& InOfferId)
{
    OfferId = InOfferId;
    Identity = Subsystem.GetZorIdentityService();
    UserId = Identity ? Identity->GetUniquePlayerId(0) : nullptr;
    if (!UserId || !UserId->IsValid())
    {
        UE_LOG(LogOnline, Warning, "Purchase test failed. No logged in user");
        FinishTest();
        return;
    }
    CatalogService = Subsystem.GetZorCatalogService();
    OrderService = Subsystem.GetZorOrderService();
    PaymentService = Subsystem.GetZorPaymentService();
    if (!CatalogService || !OrderService || !PaymentService)
    {
        UE_LOG(LogOnline, Warning, "Purchase test failed. Failed to get catalog,order,payment service APIs");
        FinishTest();
        return;
    }
    OnQueryOffersCompleteHandle =
        CatalogService->AddOnQueryOffersCompleteDelegate(OnQueryOffersCompleteDelegate);
    OnCreateOrderCompleteHandle =
        OrderService->AddOnCreateOrderCompleteDelegate(OnCreateOrderCompleteDelegate);
    OnQueryOrdersCompleteHandle =
        OrderService->AddOnQueryOrdersCompleteDelegate(OnQueryOrdersCompleteDelegate);
    OnCheckoutOrderCompleteHandle =
        OrderService->AddOnCheckoutOrderCompleteDelegate(OnCheckoutOrderCompleteDelegate);
    OnQueryDefaultBillingAccountCompleteHandle =
        PaymentService->AddOnQueryDefaultBillingAccountCompleteDelegate(
            OnQueryDefaultBillingAccountCompleteDelegate);
    Steps.SetOwner(FZorWorkOwner(Subsystem.GetZorIdentityService(), *UserId));
    StartNextTest();
}

void FTestPurchaseZor::StartNextTest()
{
    if (!Steps.Run([this] { return StartStep(); }))
    {
        FinishTest();
    }
}

bool FTestPurchaseZor::StartStep()
{
    if (bQueryOffers)
    {
        CatalogService->QueryOffersByFilter(OfferNamespace, FOnlineCatalogFilter(), FRegionInfo(), OfferPage);
    }
    else if (bCreateOrder)
    {
        OrderService->CreateOrder(*UserId, {OfferId}, FRegionInfo());
    }
    else if (bQueryOrders)
    {
        OrderService->QueryOrders(*UserId);
    }
    else if (bQueryDefaultBillingAccount)
    {
        PaymentService->QueryDefaultBillingAccount(*UserId);
    }
    else if (bCheckoutOrder && !OrderId.IsEmpty())
    {
        const TSharedPtr<FOnlineBillingAccount> Cached = PaymentService->GetDefaultBillingAccount(*UserId);
        OrderService->CheckoutOrder(*UserId, OrderId, Cached ? *Cached : FOnlineBillingAccount());
    }
    else
    {
        return false;
    }
    return true;
}

void FTestPurchaseZor::FinishTest()
{
    if (CatalogService)
    {
        CatalogService->ClearOnQueryOffersCompleteDelegate(OnQueryOffersCompleteHandle);
    }
    if (OrderService)
    {
        OrderService->ClearOnCreateOrderCompleteDelegate(OnCreateOrderCompleteHandle);
        OrderService->ClearOnQueryOrdersCompleteDelegate(OnQueryOrdersCompleteHandle);
        OrderService->ClearOnCheckoutOrderCompleteDelegate(OnCheckoutOrderCompleteHandle);
    }
    if (PaymentService)
    {
        PaymentService->ClearOnQueryDefaultBillingAccountCompleteDelegate(
            OnQueryDefaultBillingAccountCompleteHandle);
    }
    delete this;
}

void FTestPurchaseZor::OnQueryOffersComplete(bool bWasSuccessful, const TArray<FString>& /*OfferIds*/,
                                             const FString& /*Namespace*/, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query offers complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    TArray<TSharedPtr<FOnlineCatalogOffer>> Offers;
    CatalogService->GetAllOffers(OfferNamespace, Offers);
    bool bFound = false;
    for (const TSharedPtr<FOnlineCatalogOffer>& Offer : Offers)
    {
        UE_LOG_ONLINE(Log, "\toffer. dump=%s", *Offer->ToJson());
        bFound = bFound || Offer->Id.Equals(OfferId, ESearchCase::IgnoreCase);
    }
    bQueryOffers = false;
    if (!bFound)
    {
        UE_LOG_ONLINE(Log, "no matching offer found for OfferId=%s", *OfferId);
        // The run ends here; the step loop, which may be waiting on this event, finishes it.
        bCreateOrder = bQueryOrders = bQueryDefaultBillingAccount = bCheckoutOrder = false;
    }
    StartNextTest();
}

void FTestPurchaseZor::LogOrder(const FUniqueNetId& InUserId, const FString& InOrderId) const
{
    if (!IsDumpEnabled())
    {
        return;
    }
    if (const TSharedPtr<FOnlineOrder> Order = OrderService->GetOrder(InUserId, InOrderId))
    {
        UE_LOG_ONLINE(Log, "\torder. dump=%s", *Order->ToJson());
    }
}

void FTestPurchaseZor::OnCreateOrderComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                             const FString& InOrderId, const FString& Error)
{
    UE_LOG_ONLINE(Log, "create order complete. UserId=%s OrderId=%s Result=%s Error=[%s]",
                  *InUserId.ToDebugString(), *InOrderId, ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    LogOrder(InUserId, InOrderId);
    if (bWasSuccessful)
    {
        OrderId = InOrderId;
    }
    bCreateOrder = false;
    StartNextTest();
}

void FTestPurchaseZor::OnQueryOrdersComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                             const FString& Error)
{
    UE_LOG_ONLINE(Log, "query orders complete. UserId=%s Result=%s Error=[%s]", *InUserId.ToDebugString(),
                  ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    TArray<TSharedPtr<FOnlineOrder>> Orders;
    if (IsDumpEnabled() && OrderService->GetOrders(InUserId, Orders))
    {
        for (const TSharedPtr<FOnlineOrder>& Order : Orders)
        {
            UE_LOG_ONLINE(Log, "\torder. dump=%s", *Order->ToJson());
        }
    }
    bQueryOrders = false;
    StartNextTest();
}

void FTestPurchaseZor::OnQueryDefaultBillingAccountComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                                            const FString& Error)
{
    UE_LOG_ONLINE(Log, "query billing accounts complete. UserId=%s Result=%s Error=[%s]",
                  *InUserId.ToDebugString(), ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    if (const TSharedPtr<FOnlineBillingAccount> Account = PaymentService->GetDefaultBillingAccount(InUserId))
    {
        UE_LOG_ONLINE(Log, "\tdefault billing account. dump=%s", *Account->ToJson());
    }
    bQueryDefaultBillingAccount = false;
    StartNextTest();
}

void FTestPurchaseZor::OnCheckoutOrderComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                               const FString& InOrderId, const FString& Error)
{
    UE_LOG_ONLINE(Log, "checkout order complete. UserId=%s OrderId=%s Result=%s Error=[%s]",
                  *InUserId.ToDebugString(), *InOrderId, ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    LogOrder(InUserId, InOrderId);
    bCheckoutOrder = false;
    StartNextTest();
}
