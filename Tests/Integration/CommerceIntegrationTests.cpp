#include "BackendFixture.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "FStringPrinter.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"

namespace
{
/** The demo user buys from the demo catalog over HTTP, each step started from the previous one's event. */
class FCommerceIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override
    {
        return "[OnlineSubsystemZor.OnlineCatalogServiceZor]\nServiceName=commerce\n"
               "[OnlineSubsystemZor.OnlineOrderServiceZor]\nServiceName=commerce\n"
               "[OnlineSubsystemZor.OnlinePaymentServiceZor]\nServiceName=commerce\n"
               "[OnlineSubsystemZor.OnlineEntitlementsZor]\nServiceName=commerce\n";
    }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        Catalog = Subsystem->GetZorCatalogService();
        Orders = Subsystem->GetZorOrderService();
        Payment = Subsystem->GetZorPaymentService();
        const auto Record = [this](const char* Name)
        {
            return FOnOrderOperationComplete::FDelegate::CreateLambda(
                [this, Name](bool bOk, const FUniqueNetId&, const FString& OrderId, const FString& Error)
                {
                    Results.Add(Name, bOk ? "ok" : "failed: " + Error);
                    LastOrderId = OrderId;
                });
        };
        Orders->AddOnPreviewOrderCompleteDelegate(Record("preview"));
        Orders->AddOnCreateOrderCompleteDelegate(Record("create"));
        Orders->AddOnCheckoutOrderCompleteDelegate(Record("checkout"));
        Orders->AddOnFulfillOrderCompleteDelegate(Record("fulfill"));
        Payment->AddOnQueryDefaultBillingAccountCompleteDelegate(
            FOnQueryDefaultBillingAccountCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId&, const FString& Error)
                { Results.Add("billing", bOk ? "ok" : "failed: " + Error); }));
        Catalog->AddOnQueryOffersCompleteDelegate(FOnQueryOffersCompleteDelegate::CreateLambda(
            [this](bool bOk, const TArray<FString>& Ids, const FString&, const FString& Error)
            {
                Results.Add("offers", bOk ? "ok" : "failed: " + Error);
                OfferIds = Ids;
            }));
        LoginDemoUser();
        ASSERT_EQ(PurchaseResult, FString("ok"));
        User = Identity().GetUniquePlayerId(0);
    }

    /** Waits for the named result and returns it. */
    FString Await(const FString& Name)
    {
        EXPECT_TRUE(TickUntil([&] { return Results.Contains(Name); })) << *Name;
        FString Result;
        Results.RemoveAndCopyValue(Name, Result);
        return Result;
    }

    /** Creates an order of the given offers and returns its id. */
    FString CreateOrder(const TArray<FString>& Offers)
    {
        EXPECT_TRUE(this->Orders->CreateOrder(*User, Offers, FRegionInfo()));
        EXPECT_EQ(Await("create"), FString("ok"));
        return LastOrderId;
    }

    TSharedPtr<FOnlineCatalogServiceZor> Catalog;
    TSharedPtr<FOnlineOrderServiceZor> Orders;
    TSharedPtr<FOnlinePaymentServiceZor> Payment;
    FUniqueNetIdPtr User;
    TMap<FString, FString> Results;
    FString LastOrderId;
    TArray<FString> OfferIds;
};

TEST_F(FCommerceIntegrationTest, BrowseThenBuyAndFulfilWithTheDefaultAccount)
{
    FOnlineCatalogFilter Swords;
    Swords.IncludedCategories.AddDefaulted_GetRef().Path = "weapons";
    Swords.ExcludedCategories.AddDefaulted_GetRef().Path = "bundles";
    ASSERT_TRUE(Catalog->QueryOffersByFilter("qx", Swords, FRegionInfo(), FPagedQuery(0, 10)));
    ASSERT_EQ(Await("offers"), FString("ok"));
    EXPECT_EQ(OfferIds, TArray<FString>({"qx-offer-sword"}));
    const TSharedPtr<FOnlineCatalogOffer> Sword = Catalog->GetOffer("qx-offer-sword");
    ASSERT_TRUE(Sword);
    EXPECT_EQ(Sword->Price, 999);
    EXPECT_EQ(Sword->ItemIds, TArray<FString>({"qx-item-sword"}));
    ASSERT_TRUE(Catalog->GetItem("qx-item-sword"));
    EXPECT_EQ(Catalog->GetItem("qx-item-sword")->ReleaseInfo.Num(), 1);

    ASSERT_TRUE(Orders->PreviewOrder(*User, {"qx-offer-sword", "qx-offer-gold"}, FRegionInfo()));
    ASSERT_EQ(Await("preview"), FString("ok"));
    const TSharedPtr<FOnlineOrder> Preview = Orders->GetOrder(*User, LastOrderId);
    ASSERT_TRUE(Preview);
    EXPECT_TRUE(Preview->bIsPreview);
    EXPECT_EQ(Preview->GetTotalPrice(), 1999);

    const FString OrderId = CreateOrder({"qx-offer-sword", "qx-offer-gold"});
    ASSERT_FALSE(OrderId.IsEmpty());
    ASSERT_TRUE(Payment->QueryDefaultBillingAccount(*User));
    ASSERT_EQ(Await("billing"), FString("ok"));
    const TSharedPtr<FOnlineBillingAccount> Default = Payment->GetDefaultBillingAccount(*User);
    ASSERT_TRUE(Default);
    EXPECT_EQ(Default->billingAccountName.ToString(), FString("Demo Card"));
    EXPECT_TRUE(Default->AccountId.IsEmpty());

    ASSERT_TRUE(Orders->CheckoutOrder(*User, OrderId, *Default));
    ASSERT_EQ(Await("checkout"), FString("ok"));
    EXPECT_EQ(Orders->GetOrder(*User, OrderId)->OrderStatus, FString("PAID"));
    ASSERT_TRUE(Orders->FulfillOrder(*User, OrderId));
    ASSERT_EQ(Await("fulfill"), FString("ok"));
    EXPECT_EQ(Orders->GetOrder(*User, OrderId)->OrderStatus, FString("FULFILLED"));
    EXPECT_FALSE(Orders->FulfillOrder(*User, OrderId));

    // The fulfilled items are now the user's entitlements.
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = Subsystem->GetZorEntitlementsService();
    Entitlements->AddOnQueryEntitlementsCompleteDelegate(FOnQueryEntitlementsCompleteDelegate::CreateLambda(
        [this](bool bOk, const FUniqueNetId&, const FString& Error)
        { Results.Add("entitlements", bOk ? "ok" : "failed: " + Error); }));
    ASSERT_TRUE(Entitlements->QueryEntitlements(*User));
    ASSERT_EQ(Await("entitlements"), FString("ok"));
    EXPECT_TRUE(Entitlements->GetItemEntitlement(*User, "qx-item-sword"));
}

TEST_F(FCommerceIntegrationTest, CheckoutWithABillingAccountIdSendsTheAmount)
{
    const FString OrderId = CreateOrder({"qx-offer-bundle", "qx-offer-sword"});
    FOnlineBillingAccount Wallet;
    Wallet.AccountId = "ba-demo-wallet";
    ASSERT_TRUE(Orders->CheckoutOrder(*User, OrderId, Wallet));
    ASSERT_EQ(Await("checkout"), FString("ok"));
    EXPECT_EQ(Orders->GetOrder(*User, OrderId)->OrderStatus, FString("PAID"));

    FOnlineBillingAccount Unknown;
    Unknown.AccountId = "ba-nobody";
    const FString Second = CreateOrder({"qx-offer-gold"});
    ASSERT_TRUE(Orders->CheckoutOrder(*User, Second, Unknown));
    EXPECT_TRUE(Await("checkout").StartsWith("failed: ")) << *Second;
}

// The backend refuses an order request that overlaps another with 409, which would fail its event.
TEST_F(FCommerceIntegrationTest, OrderRequestsStartedTogetherNeverOverlap)
{
    TArray<FString> Outcomes;
    ZOR_BIND_SCOPED(
        Orders, OnQueryOrdersComplete,
        FOnQueryOrdersCompleteDelegate::CreateLambda([&](bool bOk, const FUniqueNetId&, const FString& Error)
                                                     { Outcomes.Add(bOk ? "ok" : Error); }));
    ZOR_BIND_SCOPED(Orders, OnCreateOrderComplete,
                    FOnCreateOrderCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FString&, const FString& Error)
                        { Outcomes.Add(bOk ? "ok" : Error); }));
    for (int32 Index = 0; Index < 4; ++Index)
    {
        ASSERT_TRUE(Orders->CreateOrder(*User, {"qx-offer-gold"}, FRegionInfo()));
        ASSERT_TRUE(Orders->QueryOrders(*User));
    }
    EXPECT_TRUE(TickUntil([&] { return Outcomes.Num() == 8; }));
    EXPECT_EQ(FString::Join(Outcomes, ","), FString("ok,ok,ok,ok,ok,ok,ok,ok"));
    TArray<TSharedPtr<FOnlineOrder>> Cached;
    ASSERT_TRUE(Orders->GetOrders(*User, Cached));
    EXPECT_EQ(Cached.Num(), 4);
}
} // namespace
