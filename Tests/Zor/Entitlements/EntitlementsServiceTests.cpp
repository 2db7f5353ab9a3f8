#include "Entitlements/OnlineEntitlementsZor.h"
#include "ZorRows.h"
#include "ZorSubsystemTest.h"

namespace
{
struct FEntitlementsEvent
{
    bool bWasSuccessful;
    FString UserId;
    FString Error;
};

class EntitlementsServiceTest : public FZorSubsystemTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        InstallUser("acct1");
        Service = Subsystem->GetZorEntitlementsService();
        ASSERT_TRUE(Service);
        Service->AddOnQueryEntitlementsCompleteDelegate(FOnQueryEntitlementsCompleteDelegate::CreateLambda(
            [this](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error) {
                Events.Add({bWasSuccessful, UserId.ToString(), Error});
            }));
    }

    /** Queries, lets the road send and answers; the event the answer fired. */
    FEntitlementsEvent QueryAndAnswer(const FString& UserId, int32 Code, const FString& Body)
    {
        Events.Empty();
        EXPECT_TRUE(Service->QueryEntitlements(FUniqueNetIdString(UserId)));
        Tick();
        Answer("/entitlements", Code, Body);
        EXPECT_EQ(Events.Num(), 1);
        return Events.Num() > 0 ? Events.Last() : FEntitlementsEvent{};
    }

    FString CachedIds(const FString& UserId)
    {
        TArray<TSharedRef<FOnlineEntitlement>> All;
        Service->GetAllEntitlements(FUniqueNetIdString(UserId), All);
        FString Ids;
        for (const TSharedRef<FOnlineEntitlement>& Entitlement : All)
        {
            Ids += Entitlement->Id + ";";
        }
        return Ids;
    }

    TSharedPtr<FOnlineEntitlementsZor> Service;
    TArray<FEntitlementsEvent> Events;
};

namespace
{
struct FSendsOneGetOnTheUserRoadWithThePageRow
{
    const char* UserId;
    FPagedQuery Page;
    const char* Url;
};
const FSendsOneGetOnTheUserRoadWithThePageRow SendsOneGetOnTheUserRoadWithThePageRows[] = {
    {"acct1", FPagedQuery(), "http://127.0.0.1:8080/api/account/acct1/entitlements"},
    {"acct1", FPagedQuery(0, 0), "http://127.0.0.1:8080/api/account/acct1/entitlements?start=0&count=0"},
    {"acct1", FPagedQuery(20, -1), "http://127.0.0.1:8080/api/account/acct1/entitlements"},
    {"a/b?c", FPagedQuery(1, 5), "http://127.0.0.1:8080/api/account/a%2Fb%3Fc/entitlements?start=1&count=5"},
};

using FSendsOneGetOnTheUserRoadWithThePageTest = TZorRows<EntitlementsServiceTest>;
} // namespace

TEST_P(FSendsOneGetOnTheUserRoadWithThePageTest, SendsOneGetOnTheUserRoadWithThePage)
{
    const FSendsOneGetOnTheUserRoadWithThePageRow& Case = SendsOneGetOnTheUserRoadWithThePageRows[GetParam()];
    SCOPED_TRACE(Case.Url);
    InstallUser(Case.UserId);
    Log.Clear();
    ASSERT_TRUE(Service->QueryEntitlements(FUniqueNetIdString(Case.UserId), Case.Page));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "Starting QueryEntitlements request."));
    Tick();
    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_EXACT_EQ(Sent.URL, FString(Case.Url));
    EXPECT_EQ(Sent.Verb, FString("GET"));
    EXPECT_EQ(ZorExact::Header(Sent, "Content-Type"), FString("application/json"));
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), "bearer access-" + FString(Case.UserId));
    EXPECT_TRUE(Sent.GetContentAsString().IsEmpty());
    RespondOldest(200, "[]");
    Tick();
}

INSTANTIATE_TEST_SUITE_P(Rows, FSendsOneGetOnTheUserRoadWithThePageTest,
                         ::testing::Range(size_t{0}, std::size(SendsOneGetOnTheUserRoadWithThePageRows)));

namespace
{
struct FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRow
{
    int32 Code;
    const char* Body;
    bool bWasSuccessful;
    const char* Error;
    const char* Cached;
};
const FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRow
    ArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRows[] = {
        {200, R"([{"id":"e2"},{"entitlementName":"no id"},{"id":"e3"}])", true, "", "e2;e3;"},
        {204, "[]", true, "", ""},
        {200, R"({"id":"e9"})", true, "", "old;"},
        {200, "null", true, "", "old;"},
        {404, R"({"errorMessage":"gone"})", false,
         R"(Invalid response. code=404 error={"errorMessage":"gone"})", "old;"},
        {500, "", false, "Invalid response. code=500 error=", "old;"},
        {200, "not json", false, "Invalid response payload=not json", "old;"},
        {200, "", false, "Invalid response payload=", "old;"},
};

using FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItTest = TZorRows<EntitlementsServiceTest>;
} // namespace

TEST_P(FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItTest,
       ArrayAnswersReplaceTheCacheAndEverythingElseKeepsIt)
{
    const FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRow& Case =
        ArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRows[GetParam()];
    SCOPED_TRACE(Case.Body);
    QueryAndAnswer("acct1", 200, R"([{"id":"old"}])");
    Log.Clear();
    const FEntitlementsEvent Event = QueryAndAnswer("acct1", Case.Code, Case.Body);
    EXPECT_EQ(Event.bWasSuccessful, Case.bWasSuccessful);
    EXPECT_EQ(Event.UserId, FString("acct1"));
    EXPECT_EQ(Event.Error, FString(Case.Error));
    EXPECT_EQ(CachedIds("acct1"), FString(Case.Cached));
    EXPECT_EQ(Log.Contains(ELogVerbosity::Warning, "QueryEntitlements request failed. "),
              !Case.bWasSuccessful);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FArrayAnswersReplaceTheCacheAndEverythingElseKeepsItTest,
    ::testing::Range(size_t{0}, std::size(ArrayAnswersReplaceTheCacheAndEverythingElseKeepsItRows)));

TEST_F(EntitlementsServiceTest, LooksUpTheCachedRecordsOfEachUser)
{
    QueryAndAnswer("acct1", 200, R"([{"id":"e1","catalogItemId":"item-1","status":"ACTIVE"},{"id":"e2"}])");
    const TSharedPtr<FOnlineEntitlement> ById = Service->GetEntitlement(FUniqueNetIdString("acct1"), "e1");
    ASSERT_TRUE(ById);
    FString Status;
    EXPECT_TRUE(ById->GetAttribute("STATUS", Status));
    EXPECT_EQ(Status, FString("ACTIVE"));
    EXPECT_EQ(Service->GetItemEntitlement(FUniqueNetIdString("acct1"), "ITEM-1"), ById);
    EXPECT_FALSE(Service->GetEntitlement(FUniqueNetIdString("acct2"), "e1"));
    EXPECT_FALSE(Service->GetItemEntitlement(FUniqueNetIdString("acct1"), "item-2"));

    TArray<TSharedRef<FOnlineEntitlement>> All = {ById.ToSharedRef()};
    Service->GetAllEntitlements(FUniqueNetIdString("acct1"), All);
    EXPECT_EQ(All.Num(), 3);
}

struct FRefusedStartCase
{
    const char* UserId;
    const char* Error;
};

const FRefusedStartCase RefusedStartCases[] = {
    {"", "Invalid userid"},
    {"acct1", "Already pending for user=acct1"},
    {"nobody", "Invalid user auth for id=nobody. Need to login first"},
};

using FRefusedStartTest = TZorRows<EntitlementsServiceTest>;

// acct1's first query is in flight.
TEST_P(FRefusedStartTest, RefusedStartsFireOnceAndReturnFalse)
{
    const FRefusedStartCase& Case = RefusedStartCases[GetParam()];
    ASSERT_TRUE(Service->QueryEntitlements(FUniqueNetIdString("acct1")));
    SCOPED_TRACE(Case.Error);
    Events.Empty();
    EXPECT_FALSE(Service->QueryEntitlements(FUniqueNetIdString(Case.UserId)));
    ASSERT_EQ(Events.Num(), 1);
    EXPECT_FALSE(Events[0].bWasSuccessful);
    EXPECT_EQ(Events[0].Error, FString(Case.Error));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, FString("QueryEntitlements request failed. ") + Case.Error));
}

INSTANTIATE_TEST_SUITE_P(Rows, FRefusedStartTest, ::testing::Range(size_t{0}, std::size(RefusedStartCases)));

TEST_F(EntitlementsServiceTest, ARefusedStartLeavesNothingPendingAndTheQueryInFlightCompletes)
{
    ASSERT_TRUE(Service->QueryEntitlements(FUniqueNetIdString("acct1")));
    // A refused query leaves nothing pending behind it.
    Events.Empty();
    EXPECT_FALSE(Service->QueryEntitlements(FUniqueNetIdString("nobody")));
    ASSERT_EQ(Events.Num(), 1);
    EXPECT_EQ(Events[0].Error, FString("Invalid user auth for id=nobody. Need to login first"));
    // User ids are equal only letter for letter.
    Service->QueryEntitlements(FUniqueNetIdString("ACCT1"));
    EXPECT_FALSE(Log.Contains("Already pending for user=ACCT1"));

    // The first query is still in flight and completes normally.
    Tick(2);
    Answer("/acct1/", 200, R"([{"id":"e1"}])");
    EXPECT_EQ(CachedIds("acct1"), FString("e1;"));
}

TEST_F(EntitlementsServiceTest, ShutdownEndsPendingQueriesOnceAndRefusesNewOnes)
{
    QueryAndAnswer("acct1", 200, R"([{"id":"e1"}])");
    ASSERT_TRUE(Service->QueryEntitlements(FUniqueNetIdString("acct1")));
    Tick();
    const FHttpRequestPtr InFlight = FindPending("/entitlements");
    ASSERT_TRUE(InFlight);
    Events.Empty();

    Subsystem->Shutdown();
    ASSERT_EQ(Events.Num(), 1);
    EXPECT_FALSE(Events[0].bWasSuccessful);
    EXPECT_EQ(Events[0].Error, FString("No response"));
    EXPECT_FALSE(Subsystem->GetZorEntitlementsService());
    EXPECT_FALSE(Subsystem->GetEntitlementsInterface());

    // A late answer reaches nothing; a new query fails at once.
    Http().Respond(InFlight, 200, R"([{"id":"late"}])");
    Tick();
    EXPECT_EQ(Events.Num(), 1);
    EXPECT_EQ(CachedIds("acct1"), FString("e1;"));
    EXPECT_FALSE(Service->QueryEntitlements(FUniqueNetIdString("acct1")));
    ASSERT_EQ(Events.Num(), 2);
    EXPECT_EQ(Events[1].Error, FString("No response"));
}

TEST_F(EntitlementsServiceTest, ACompletionForAServiceThatHasGoneIsDropped)
{
    ASSERT_TRUE(Service->QueryEntitlements(FUniqueNetIdString("acct1")));
    Tick();
    const FHttpRequestPtr InFlight = FindPending("/entitlements");
    ASSERT_TRUE(InFlight);
    Events.Empty();
    const TWeakPtr<FOnlineEntitlementsZor> Weak = Service;
    Service.Reset();
    Subsystem.Reset();
    ASSERT_FALSE(Weak.Pin());
    // The subsystem ran its shutdown as it went: the query was reported once, and its reply is dropped.
    ASSERT_EQ(Events.Num(), 1);
    EXPECT_EQ(Events[0].Error, FString("No response"));
    Http().Respond(InFlight, 200, R"([{"id":"e1"}])");
    FHttpModule::Get().Tick(0.0f);
    EXPECT_EQ(Events.Num(), 1);
}
} // namespace
