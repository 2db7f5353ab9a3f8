#include "Catalog/OnlineCatalogServiceZor.h"
#include "DriverTest.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "ZorRows.h"

namespace
{
const char* const Shared = "http://127.0.0.1:8080/api/shared/";

FString ListReply(const FString& Elements)
{
    return R"({"paging":{"start":0,"count":10,"total":1},"elements":[)" + Elements + "]}";
}

const FString Offers = ListReply(R"({"id":"o1","title":"Sword","price":999},{"id":"O2","title":"Shield"})");

FString OrderReply(const FString& Status)
{
    return R"({"orderId":"ord1","orderStatus":")" + Status +
           R"(","currency":"USD","lineOffers":[{"offerId":"o2","quantity":1,"totalPrice":500}]})";
}

class FCatalogDriverTest : public FDriverTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        SignInClient();
    }

    /** Every catalog event once more: a driver that has gone hears none of them. */
    void ExpectCatalogDriversGone()
    {
        Log.Clear();
        FOnlineCatalogServiceZor& Catalog = *Subsystem->GetZorCatalogService();
        Catalog.TriggerOnQueryCategoriesCompleteDelegates(true, "");
        Catalog.TriggerOnQueryCurrenciesCompleteDelegates(true, "");
        Catalog.TriggerOnQueryItemsCompleteDelegates(true, {}, "qx", "");
        Catalog.TriggerOnQueryOffersCompleteDelegates(true, {}, "qx", "");
        EXPECT_EQ(Transcript(), "");
    }
};

TEST_F(FCatalogDriverTest, QueriesCategoriesCurrenciesItemsThenOffersUnpaged)
{
    ASSERT_TRUE(Exec("TEST CATALOG qx"));
    const struct
    {
        const char* Path;
        int32 Code;
        FString Body;
    } Queries[] = {
        {"categories", 200, ListReply(R"({"name":"Weapons","path":"weapons"})")},
        {"currencies", 500, "down"},
        {"namespace/qx/items", 200, ListReply(R"({"id":"i1","title":"Blade"},{"id":"i2"})")},
        {"namespace/qx/offers", 200, Offers},
    };
    for (const auto& Step : Queries)
    {
        Tick();
        ASSERT_EQ(Http().NumPending(), 1) << Step.Path;
        EXPECT_EXACT_EQ(Oldest().URL, Shared + FString(Step.Path));
        RespondOldest(Step.Code, Step.Body);
        Tick();
    }
    Tick();
    EXPECT_EQ(Http().NumStarted(), 4);
    EXPECT_EQ(Steps(), "ZOR: query categories complete. Result=true Error=[]\n"
                       "ZOR: query currencies complete. Result=false Error=[Invalid response. code=500 "
                       "error=down]\n"
                       "ZOR: query items complete. Result=true Error=[]\n"
                       "ZOR: query offers complete. Result=true Error=[]\n");
    EXPECT_EQ(CountDumps("category"), 1);
    EXPECT_EQ(CountDumps("currency"), 0);
    EXPECT_EQ(CountDumps("item"), 2);
    EXPECT_EQ(CountDumps("offer"), 2);
    ExpectCatalogDriversGone();
}

TEST_F(FCatalogDriverTest, ShutdownMidChainEndsItAfterTheStepInFlight)
{
    ASSERT_TRUE(Exec("TEST CATALOG qx"));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(Steps(), "ZOR: query categories complete. Result=false Error=[No response]\n");
    EXPECT_EQ(Http().NumStarted(), 1);
}

class FPurchaseDriverTest : public FDriverTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        LoginUser();
        if (FindPending("/sessions/kill"))
        {
            Answer("/sessions/kill", 204, "");
        }
        SignInClient();
    }

    /** Sends what the roads hold and answers the request whose URL holds Part. */
    void Reply(const char* Part, int32 Code, const FString& Body)
    {
        Tick();
        Answer(Part, Code, Body);
        Tick();
    }
};

TEST_F(FPurchaseDriverTest, FindsTheOfferOrdersItAndPaysWithTheDefaultAccount)
{
    ASSERT_TRUE(Exec("TEST PURCHASE o2"));
    Reply("/namespace/qx/offers?start=0&count=1000", 200, Offers);
    Reply("/accounts/acct1/orders", 200, OrderReply("CREATED"));
    Reply("/accounts/acct1/orders", 200, ListReply(OrderReply("CREATED")));
    Reply("/billingaccounts/default", 200, R"({"billingAccountName":"Visa"})");
    Reply("/orders/ord1/checkout", 200, OrderReply("PAID"));
    Tick(2);
    EXPECT_EQ(Http().NumPending(), 0);
    const auto Started = Http().GetStartedRequests();
    ASSERT_EQ(Started.Num(), 5);
    EXPECT_TRUE(Started[1].GetContentAsString().EndsWith(
        R"("lineOffers":[{"offerId":"o2","quantity":1,"namespace":"qx"}]})", ESearchCase::CaseSensitive))
        << *Started[1].GetContentAsString();
    EXPECT_FALSE(Started[4].GetContentAsString().Contains("amount")) << *Started[4].GetContentAsString();
    EXPECT_EQ(Steps(), "ZOR: query offers complete. Result=true Error=[]\n"
                       "ZOR: create order complete. UserId=acct1 OrderId=ord1 Result=true Error=[]\n"
                       "ZOR: query orders complete. UserId=acct1 Result=true Error=[]\n"
                       "ZOR: query billing accounts complete. UserId=acct1 Result=true Error=[]\n"
                       "ZOR: checkout order complete. UserId=acct1 OrderId=ord1 Result=true Error=[]\n");
    EXPECT_EQ(CountDumps("offer"), 2);
    EXPECT_EQ(CountDumps("order"), 3);
    EXPECT_EQ(CountDumps("default billing account"), 1);
    EXPECT_TRUE(Log.Contains("\"orderStatus\": \"PAID\""));
    Log.Clear();
    const FUniqueNetIdString User("acct1");
    Subsystem->GetZorOrderService()->TriggerOnCreateOrderCompleteDelegates(true, User, "ord1", "");
    Subsystem->GetZorOrderService()->TriggerOnQueryOrdersCompleteDelegates(true, User, "");
    Subsystem->GetZorOrderService()->TriggerOnCheckoutOrderCompleteDelegates(true, User, "ord1", "");
    Subsystem->GetZorPaymentService()->TriggerOnQueryDefaultBillingAccountCompleteDelegates(true, User, "");
    Subsystem->GetZorCatalogService()->TriggerOnQueryOffersCompleteDelegates(true, {}, "qx", "");
    EXPECT_EQ(Transcript(), "");
}

TEST_F(FPurchaseDriverTest, AnOfferTheNamespaceLacksEndsTheRunBeforeAnyOrder)
{
    ASSERT_TRUE(Exec("TEST PURCHASE o3"));
    Reply("/namespace/qx/offers", 200, Offers);
    EXPECT_EQ(Http().NumStarted(), 1);
    EXPECT_EQ(Steps(), "ZOR: query offers complete. Result=true Error=[]\n"
                       "ZOR: no matching offer found for OfferId=o3\n");
}

TEST_F(FPurchaseDriverTest, AFailedOrderSkipsTheCheckout)
{
    ASSERT_TRUE(Exec("TEST PURCHASE O1"));
    Reply("/namespace/qx/offers", 200, Offers);
    Reply("/accounts/acct1/orders", 409, R"({"errorMessage":"out of stock"})");
    Reply("/accounts/acct1/orders", 200, ListReply(""));
    Reply("/billingaccounts/default", 404, "");
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 4);
    EXPECT_EQ(Http().NumPending(), 0);
    EXPECT_EQ(Steps(),
              "ZOR: query offers complete. Result=true Error=[]\n"
              "ZOR: create order complete. UserId=acct1 OrderId= Result=false Error=[Invalid response. "
              "code=409 error={\"errorMessage\":\"out of stock\"}]\n"
              "ZOR: query orders complete. UserId=acct1 Result=true Error=[]\n"
              "ZOR: query billing accounts complete. UserId=acct1 Result=false "
              "Error=[Invalid response. code=404 error=]\n");
}

TEST_F(FPurchaseDriverTest, ShutdownWhileOrderingFinishesTheDriver)
{
    ASSERT_TRUE(Exec("TEST PURCHASE o1"));
    Reply("/namespace/qx/offers", 200, Offers);
    Subsystem->Shutdown();
    EXPECT_EQ(Steps(),
              "ZOR: query offers complete. Result=true Error=[]\n"
              "ZOR: create order complete. UserId=acct1 OrderId= Result=false Error=[No response]\n");
}

namespace
{
struct FWordsWarnWithoutTheirArgumentOrUserRow
{
    const char* Command;
    bool bShutDown;
    const char* Warning;
};
const FWordsWarnWithoutTheirArgumentOrUserRow WordsWarnWithoutTheirArgumentOrUserRows[] = {
    {"TEST CATALOG", false, "ZOR: usage: CATALOG <Namespace>\n"},
    {"TEST PURCHASE", false, "ZOR: usage: PURCHASE <OfferId>\n"},
    {"TEST CATALOG qx", true, "ZOR: Failed to get catalog service Zor \n"},
    {"TEST PURCHASE o1", true, "Purchase test failed. No logged in user\n"},
    {"TEST BUILDINFO Live", true, "ZOR: No logged in user! Log in first\n"},
    {"TEST BUILDINFOV2 Live", true, "ZOR: No logged in user! Log in first\n"},
};

using FPurchaseDriverTestWordsWarnWithoutTheirArgumentOrUser = TZorRows<FPurchaseDriverTest>;
} // namespace

TEST_P(FPurchaseDriverTestWordsWarnWithoutTheirArgumentOrUser, WordsWarnWithoutTheirArgumentOrUser)
{
    const FWordsWarnWithoutTheirArgumentOrUserRow& Case = WordsWarnWithoutTheirArgumentOrUserRows[GetParam()];
    if (Case.bShutDown)
    {
        Subsystem->Shutdown();
    }
    Log.Clear();
    Http().Reset();
    EXPECT_TRUE(Exec(Case.Command)) << Case.Command;
    EXPECT_EQ(Warnings(), Case.Warning) << Case.Command;
    EXPECT_EQ(Http().NumStarted(), 0) << Case.Command;
}

INSTANTIATE_TEST_SUITE_P(Rows, FPurchaseDriverTestWordsWarnWithoutTheirArgumentOrUser,
                         ::testing::Range(size_t{0}, std::size(WordsWarnWithoutTheirArgumentOrUserRows)));
} // namespace
