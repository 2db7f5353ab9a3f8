#include "Orders/OnlineOrderServiceZor.h"
#include "ZorSubsystemTest.h"

#include "CaseNamePrinter.h"
#include "ZorRows.h"

namespace
{
const FString Orders("http://127.0.0.1:8080/api/shared/accounts/acct1/orders");

FString OrderReply(const FString& OrderId, const FString& Status, int32 FirstPrice = 999,
                   int32 SecondPrice = 1000)
{
    return FString::Printf(
        R"({"orderId":"%s","orderStatus":"%s","currency":"USD","lineOffers":[)"
        R"({"offerId":"o1","quantity":1,"totalPrice":%d},{"offerId":"o2","totalPrice":%d}]})",
        *OrderId, *Status, FirstPrice, SecondPrice);
}

/** Orders for acct1, logged in with a purchase token; every event is recorded as kind:ok:user:order:error. */
class FOrderTest : public FZorSubsystemTest
{
protected:
    FOrderTest()
    {
        SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineOrderServiceZor]\nSalesChannelId=Shop\n");
        CreateSubsystem();
        Service = Subsystem->GetZorOrderService();
        Service->AddOnQueryOrdersCompleteDelegate(FOnQueryOrdersCompleteDelegate::CreateLambda(
            [this](bool bOk, const FUniqueNetId& UserId, const FString& Error)
            { Record("list", bOk, UserId, "", Error); }));
        const auto Bind = [this](const char* Name)
        {
            return FOnOrderOperationComplete::FDelegate::CreateLambda(
                [this, Name](bool bOk, const FUniqueNetId& UserId, const FString& OrderId,
                             const FString& Error) { Record(Name, bOk, UserId, OrderId, Error); });
        };
        Service->AddOnQueryOrderByIdCompleteDelegate(Bind("read"));
        Service->AddOnPreviewOrderCompleteDelegate(Bind("preview"));
        Service->AddOnCreateOrderCompleteDelegate(Bind("create"));
        Service->AddOnCheckoutOrderCompleteDelegate(Bind("checkout"));
        Service->AddOnFulfillOrderCompleteDelegate(Bind("fulfill"));
        Service->AddOnCancelOrderCompleteDelegate(Bind("cancel"));
        LoginUser();
    }

    void Record(const char* Name, bool bOk, const FUniqueNetId& UserId, const FString& OrderId,
                const FString& Error)
    {
        Events.Add(FString::Printf("%s:%d:%s:%s:%s", Name, bOk, *UserId.ToString(), *OrderId, *Error));
        if (OnEvent)
        {
            OnEvent();
        }
    }

    /** Creates order Id for acct1 and answers it with Status. */
    void CacheOrder(const FString& Id, const FString& Status, int32 FirstPrice = 999,
                    int32 SecondPrice = 1000)
    {
        ASSERT_TRUE(Service->CreateOrder(User, {"o1", "o2"}, FRegionInfo()));
        Answer("/orders", 200, OrderReply(Id, Status, FirstPrice, SecondPrice));
    }

    /** Order requests started and not answered. */
    int32 PendingOrders()
    {
        int32 Count = 0;
        for (const auto& Started : Http().GetStartedRequests())
        {
            Count += Started.State == FInMemoryHttpTransport::EState::Pending &&
                     Started.URL.Contains("/orders", ESearchCase::CaseSensitive);
        }
        return Count;
    }

    FString NewestBody() { return Http().GetStartedRequests().Last().GetContentAsString(); }

    const FUniqueNetIdString User{"acct1"};
    TSharedPtr<FOnlineOrderServiceZor> Service;
    TArray<FString> Events;
    TFunction<void()> OnEvent;
};

using FOrderStart = bool (*)(FOnlineOrderServiceZor&, const FUniqueNetId&);

struct FOrderShapeCase
{
    const char* Name;
    FOrderStart Start;
    FString Url;
    FString Verb;
    FString Body;
    /** The operation whose start and failure the row finds logged, where it looks. */
    const char* Logged = nullptr;
};

bool CheckoutWithCard(FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
{
    FOnlineBillingAccount Card;
    Card.AccountId = "card-7";
    return Service.CheckoutOrder(User, "ORD1", Card);
}

const FOrderShapeCase OrderShapeCases[] = {
    {"list",
     [](FOnlineOrderServiceZor& Service, const FUniqueNetId& User) { return Service.QueryOrders(User); },
     Orders, "GET", ""},
    {"read",
     [](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.QueryOrderById(User, "ord 1"); },
     Orders + "/ord%201", "GET", ""},
    {"preview",
     [](FOnlineOrderServiceZor& Service, const FUniqueNetId& User) {
         return Service.PreviewOrder(User, {"o1", "o2"}, {"DE", "de"});
     },
     Orders + "/preview?country=DE&locale=de", "POST",
     R"({"salesChannel":"Shop","lineOffers":[{"offerId":"o1","quantity":1,"namespace":"qx"},)"
     R"({"offerId":"o2","quantity":1,"namespace":"qx"}]})"},
    {"create",
     [](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.CreateOrder(User, {"o1"}, FRegionInfo()); },
     Orders, "POST",
     R"({"salesChannel":"Shop","entitlementSource":"Shop","lineOffers":[)"
     R"({"offerId":"o1","quantity":1,"namespace":"qx"}]})"},
    {"checkout with account", &CheckoutWithCard, Orders + "/ORD1/checkout", "POST",
     R"({"merchantGroup":"Default-merchant","paymentItems":[)"
     R"({"billingAccountId":"card-7","amount":1999,"taxAmount":0}]})",
     "CheckoutOrder"},
    {"checkout with default account",
     [](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.CheckoutOrder(User, "ord1", FOnlineBillingAccount()); },
     Orders + "/ord1/checkout", "POST", R"({"merchantGroup":"Default-merchant"})", "CheckoutOrder"},
};

void PrintTo(const FOrderShapeCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

using FOrderShapeTest = TZorRows<FOrderTest, FOrderShapeCase>;

TEST_P(FOrderShapeTest, EachOperationSendsItsUrlVerbAndCondensedBody)
{
    const FOrderShapeCase& Case = GetParam();
    CacheOrder("ord1", "CREATED");
    ASSERT_TRUE(Case.Start(*Service, User)) << Case.Name;
    const auto Sent = Http().GetStartedRequests().Last();
    EXPECT_EXACT_EQ(Sent.URL, Case.Url) << Case.Name;
    EXPECT_EQ(Sent.Verb, Case.Verb) << Case.Name;
    EXPECT_EXACT_EQ(Sent.GetContentAsString(), Case.Body) << Case.Name;
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), FString("bearer purchase-1")) << Case.Name;
    Http().Respond(Sent.Request, 500, "no");
    Tick();
    if (Case.Logged)
    {
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, FString("Starting ") + Case.Logged + " request."));
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                                 FString(Case.Logged) + " request failed. Invalid response. code=500"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FOrderShapeTest, ::testing::ValuesIn(OrderShapeCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FOrderTest, TheCheckoutAmountIsSummedWithoutOverflow)
{
    CacheOrder("big", "CREATED", 2147483647, 2147483647);
    FOnlineBillingAccount Card;
    Card.AccountId = "c";
    ASSERT_TRUE(Service->CheckoutOrder(User, "big", Card));
    EXPECT_TRUE(NewestBody().Contains("\"amount\":4294967294,", ESearchCase::CaseSensitive)) << *NewestBody();
}

struct FOrderPreconditionCase
{
    FOrderStart Start;
    FString Event;
};

const FOrderPreconditionCase OrderPreconditionCases[] = {
    {[](FOnlineOrderServiceZor& Service, const FUniqueNetId&)
     { return Service.QueryOrders(FUniqueNetIdString("")); },
     "list:0:::Invalid userid"},
    {[](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.CheckoutOrder(User, "none", FOnlineBillingAccount()); },
     "checkout:0:acct1:none:No order found for UserId=acct1 OrderId=none"},
    {[](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.FulfillOrder(User, "none"); },
     "fulfill:0:acct1:none:No order found for UserId=acct1 OrderId=none"},
    {[](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.FulfillOrder(User, "lower"); },
     "fulfill:0:acct1:lower:Order status [paid] != 'PAID' UserId=acct1 OrderId=lower"},
    {[](FOnlineOrderServiceZor& Service, const FUniqueNetId& User)
     { return Service.CancelOrder(User, "lower"); },
     "cancel:0:acct1:lower:not implemented!"},
};

using FOrderPreconditionTest = TZorRows<FOrderTest>;

TEST_P(FOrderPreconditionTest, PreconditionsRefuseAtOnceAndSendNothing)
{
    const FOrderPreconditionCase& Case = OrderPreconditionCases[GetParam()];
    CacheOrder("lower", "paid");
    Events.Empty();
    const int32 Started = Http().NumStarted();
    EXPECT_FALSE(Case.Start(*Service, User)) << *Case.Event;
    EXPECT_EQ(Events.Last(), Case.Event);
    EXPECT_EQ(Http().NumStarted(), Started);
    EXPECT_FALSE(Service->HasRequestInFlight());
}

INSTANTIATE_TEST_SUITE_P(Rows, FOrderPreconditionTest,
                         ::testing::Range(size_t{0}, std::size(OrderPreconditionCases)));

TEST_F(FOrderTest, RepliesThatDoNotMeetTheirConditionFailWithoutText)
{
    ASSERT_TRUE(Service->CreateOrder(User, {"o1"}, FRegionInfo()));
    Answer("/orders", 200, R"({"orderStatus":"CREATED"})");
    EXPECT_EQ(Events.Last(), FString("create:0:acct1::"));
    EXPECT_FALSE(Log.Contains("CreateOrder request failed"));

    ASSERT_TRUE(Service->QueryOrders(User));
    Answer("/orders", 200, R"({"elements":[]})");
    EXPECT_EQ(Events.Last(), FString("list:0:acct1::Invalid response payload"));

    ASSERT_TRUE(Service->QueryOrders(User));
    Answer("/orders", 200,
           R"({"paging":{},"elements":[{"orderId":"a","orderStatus":"PAID"},{"orderId":""},1]})");
    EXPECT_EQ(Events.Last(), FString("list:1:acct1::"));
    TArray<TSharedPtr<FOnlineOrder>> Cached;
    ASSERT_TRUE(Service->GetOrders(User, Cached));
    ASSERT_EQ(Cached.Num(), 1);
    EXPECT_TRUE(Service->FulfillOrder(User, "A"));
}

TEST_F(FOrderTest, ACompletionsHandlerWaitsBehindTheQueueAndOnlyOneRequestFlies)
{
    ASSERT_TRUE(Service->QueryOrders(User));
    ASSERT_TRUE(Service->QueryOrderById(User, "q1"));
    EXPECT_EQ(PendingOrders(), 1);
    EXPECT_EQ(Service->NumQueued(), 1);

    OnEvent = [this]
    {
        OnEvent = nullptr;
        EXPECT_TRUE(Service->QueryOrderById(User, "h1"));
        EXPECT_TRUE(Service->QueryOrderById(User, "h2"));
    };
    Answer("/orders", 200, R"({"paging":{},"elements":[]})");
    EXPECT_EQ(PendingOrders(), 1);
    EXPECT_TRUE(FindPending("/orders/q1"));
    EXPECT_EQ(Service->NumQueued(), 2);

    TArray<FString> Order;
    for (const char* Next : {"/orders/q1", "/orders/h1", "/orders/h2"})
    {
        EXPECT_EQ(PendingOrders(), 1) << Next;
        Answer(Next, 404, "gone");
        Order.Add(Events.Last().Left(7));
    }
    EXPECT_EQ(FString::Join(Order, ","), FString("read:0:,read:0:,read:0:"));
    EXPECT_EQ(PendingOrders(), 0);
    EXPECT_FALSE(Service->HasRequestInFlight());

    // With nothing queued, the handler's first call is sent at once; the completion must not send the second.
    ASSERT_TRUE(Service->QueryOrders(User));
    OnEvent = [this]
    {
        OnEvent = nullptr;
        EXPECT_TRUE(Service->QueryOrderById(User, "e1"));
        EXPECT_TRUE(Service->QueryOrderById(User, "e2"));
    };
    Answer("/orders", 200, R"({"paging":{},"elements":[]})");
    EXPECT_EQ(PendingOrders(), 1);
    EXPECT_TRUE(FindPending("/orders/e1"));
    EXPECT_EQ(Service->NumQueued(), 1);
}

TEST_F(FOrderTest, ARefusedRequestReportsAndTheNextOneLeavesInTheSameStep)
{
    Identity().AddUserAccount(1, "nopurchase", "access-2");
    const FUniqueNetIdString Other("nopurchase");
    EXPECT_FALSE(Service->QueryOrders(Other));
    EXPECT_EQ(Events.Last(),
              FString("list:0:nopurchase::Invalid user purchase auth for id=nopurchase. Need to "
                      "login first"));

    ASSERT_TRUE(Service->QueryOrders(User));
    ASSERT_TRUE(Service->QueryOrderById(Other, "x"));
    ASSERT_TRUE(Service->QueryOrderById(User, "y"));
    Answer("/acct1/orders", 200, R"({"paging":{},"elements":[]})");
    EXPECT_EQ(Events.Num(), 3);
    EXPECT_EQ(Events[1], FString("list:1:acct1::"));
    EXPECT_TRUE(Events[2].StartsWith("read:0:nopurchase:x:Invalid user purchase auth"));
    EXPECT_TRUE(FindPending("/orders/y"));
}

TEST_F(FOrderTest, PreviewsGetDistinctIdsAndAreListedAfterOrders)
{
    CacheOrder("real", "CREATED");
    const FString Before = "acct1" + FDateTime::UtcNow().ToString();
    for (int32 Index = 0; Index < 2; ++Index)
    {
        ASSERT_TRUE(Service->PreviewOrder(User, {"o1"}, FRegionInfo()));
        Answer("/preview", 200, OrderReply("server-id", "PREVIEW"));
    }
    TArray<TSharedPtr<FOnlineOrder>> Cached;
    ASSERT_TRUE(Service->GetOrders(User, Cached));
    ASSERT_EQ(Cached.Num(), 3);
    EXPECT_EQ(Cached[0]->OrderId, FString("real"));
    EXPECT_TRUE(Cached[1]->bIsPreview);
    EXPECT_NE(Cached[1]->OrderId, Cached[2]->OrderId);
    EXPECT_TRUE(Cached[1]->OrderId.StartsWith("acct1"));
    EXPECT_GE(Cached[1]->OrderId.Len(), Before.Len());
    EXPECT_EQ(Events.Last(), "preview:1:acct1:" + Cached[2]->OrderId + ":");
    EXPECT_EQ(Service->GetOrder(User, Cached[1]->OrderId), Cached[1]);
    EXPECT_EQ(Cached[1]->LineOffers.Num(), 2);
}

TEST_F(FOrderTest, AReReadOrderKeepsItsPointerAndItsLinesDoNotDouble)
{
    CacheOrder("ord1", "CREATED");
    const TSharedPtr<FOnlineOrder> Held = Service->GetOrder(User, "ord1");
    ASSERT_TRUE(Held);
    FOnlineBillingAccount Card;
    Card.AccountId = "c";
    ASSERT_TRUE(Service->CheckoutOrder(User, "ord1", Card));
    Answer("/checkout", 200, OrderReply("ORD1", "PAID"));
    EXPECT_EQ(Events.Last(), FString("checkout:1:acct1:ord1:"));
    EXPECT_EQ(Held->OrderStatus, FString("PAID"));
    EXPECT_EQ(Held->LineOffers.Num(), 2);
    ASSERT_TRUE(Service->FulfillOrder(User, "ord1"));
    EXPECT_TRUE(FindPending("/ord1/fulfill"));
}

TEST_F(FOrderTest, ShutdownReportsInFlightAndQueuedOnceAndRefusesLaterCalls)
{
    ASSERT_TRUE(Service->QueryOrders(User));
    ASSERT_TRUE(Service->QueryOrderById(User, "q"));
    const FHttpRequestPtr InFlight = FindPending("/orders");
    const TSharedPtr<FOnlineOrderServiceZor> Held = Service;
    Subsystem->Shutdown();
    EXPECT_EQ(FString::Join(Events, ","), FString("list:0:acct1::No response,read:0:acct1:q:No response"));
    Http().Respond(InFlight, 200, R"({"paging":{},"elements":[]})");
    Tick(2);
    EXPECT_EQ(Events.Num(), 2);
    EXPECT_FALSE(Held->QueryOrders(User));
    EXPECT_EQ(Events.Last(), FString("list:0:acct1::No response"));
    EXPECT_FALSE(Held->HasRequestInFlight());
    EXPECT_FALSE(Subsystem->GetZorOrderService());
}
} // namespace
