#include <atomic>
#include <thread>

#include "IdentityTest.h"

namespace
{
class FRoadTest : public FIdentityTest
{
protected:
    /** A request for the user road with a completion that counts how often it ran and how. */
    FHttpRequestRef MakeRequest(const FString& Url)
    {
        const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(Url);
        Request->OnProcessRequestComplete().BindLambda(
            [this](FHttpRequestPtr, FHttpResponsePtr Response, bool bOk)
            {
                ++Completions;
                bLastSucceeded = bOk && Response;
            });
        return Request;
    }
    bool QueueUser(const FHttpRequestRef& Request, const FString& UserId = "acct1")
    {
        FString Error;
        const bool bQueued = Subsystem->ProcessUserRequest(*Subsystem->GetZorGameService(),
                                                           FUniqueNetIdString(UserId), Request, Error);
        LastError = Error;
        return bQueued;
    }
    FAuthTokenZor& UserToken()
    {
        return Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    }

    int32 Completions = 0;
    bool bLastSucceeded = false;
    FString LastError;
};
} // namespace

TEST_F(FRoadTest, UserRequestsLeaveOnePerTickEachFreshlySigned)
{
    LoginUser();
    const FHttpRequestRef First = MakeRequest("http://svc/first");
    const FHttpRequestRef Second = MakeRequest("http://svc/second");
    ASSERT_TRUE(QueueUser(First));
    ASSERT_TRUE(QueueUser(Second));
    EXPECT_TRUE(First->GetHeader("User-Agent").StartsWith("game=TestGame", ESearchCase::CaseSensitive));
    EXPECT_TRUE(First->GetHeader("Authorization").IsEmpty());

    Tick();
    EXPECT_EQ(NumStarted("/first"), 1);
    EXPECT_EQ(NumStarted("/second"), 0);
    EXPECT_TRUE(ZorExact::Header(Record(First), "Authorization").Equals("bearer access-1"));

    UserToken().access_token = "access-2";
    Tick();
    EXPECT_EQ(NumStarted("/second"), 1);
    EXPECT_TRUE(ZorExact::Header(Record(Second), "Authorization").Equals("bearer access-2"));
}

TEST_F(FRoadTest, UserWithoutAccountIsRefusedAndNothingIsQueued)
{
    EXPECT_FALSE(QueueUser(MakeRequest("http://svc/x"), "ghost"));
    EXPECT_TRUE(LastError.Equals("Invalid user auth for id=ghost. Need to login first"));
    Tick(3);
    EXPECT_EQ(Http().NumStarted(), 0);
    EXPECT_EQ(Completions, 0);
}

TEST_F(FRoadTest, RunOutTokenStartsARefreshAndTheRequestWaitsForIt)
{
    LoginUser();
    // Run out between two ticks, its renewal wait long over.
    UserToken().expires_in = 0.0;
    FTokenUpkeepZor& Upkeep = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->Upkeep;
    Upkeep.OnLifetimeCut(0.0);
    Upkeep.Tick(FTokenUpkeepZor::MinRefreshDelay);
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/after-refresh")));
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Refreshing);
    Tick(3);
    EXPECT_EQ(NumStarted("/after-refresh"), 0);

    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600, "access-new"));
    Tick();
    ASSERT_EQ(NumStarted("/after-refresh"), 1);
    EXPECT_TRUE(
        ZorExact::Header(Record(FindPending("/after-refresh")), "Authorization").Equals("bearer access-new"));
}

TEST_F(FRoadTest, StateNoneWaitsAndFailedCancelsEachRequestOnceLater)
{
    Identity().AddUserAccount(0, "acct1", "installed");
    UserToken().TokenState = EAuthTokenState::None;
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/a")));
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/b")));
    Tick(5);
    EXPECT_EQ(NumStarted("http://svc/"), 0);
    EXPECT_EQ(Completions, 0);

    UserToken().TokenState = EAuthTokenState::Failed;
    Tick(); // cancels; the completions arrive on a later tick, never inside the walk
    EXPECT_TRUE(Log.Contains("Canceling Zor request for user=acct1 url=http://svc/a"));
    Tick(3);
    EXPECT_EQ(Completions, 2);
    EXPECT_FALSE(bLastSucceeded);
}

TEST_F(FRoadTest, ServerRoutesUserRequestsToTheApplicationClient)
{
    SetHostNetMode(ENetMode::ListenServer);
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/server"), "nobody"));
    EXPECT_TRUE(Log.Contains("Queuing Zor request for client=testclient url=http://svc/server"));
    ASSERT_TRUE(FindPending("/api/oauth/token")); // the placeholder was in state None: a client login started
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-token"));
    Tick();
    ASSERT_EQ(NumStarted("/server"), 1);
    EXPECT_TRUE(
        ZorExact::Header(Record(FindPending("/server")), "Authorization").Equals("bearer client-token"));
}

TEST_F(FRoadTest, PurchaseRoadIgnoresTheQueues)
{
    Identity().AddUserAccount(0, "acct1", "installed"); // state None: user requests wait
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/waiting")));
    FString Error;
    const FHttpRequestRef Purchase = MakeRequest("http://shop/order");
    EXPECT_FALSE(Subsystem->ProcessUserPurchaseRequest(*Subsystem->GetZorGameService(),
                                                       FUniqueNetIdString("acct1"), Purchase, Error));
    EXPECT_TRUE(Error.Equals("Invalid user purchase auth for id=acct1. Need to login first"));

    FAuthTokenZor& PurchaseToken = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->PurchaseToken;
    PurchaseToken.access_token = "buy";
    PurchaseToken.expires_in = 100.0;
    Error.Empty();
    EXPECT_TRUE(Subsystem->ProcessUserPurchaseRequest(*Subsystem->GetZorGameService(),
                                                      FUniqueNetIdString("acct1"), Purchase, Error));
    EXPECT_EQ(NumStarted("/order"), 1);
    EXPECT_EQ(NumStarted("/waiting"), 0);
    EXPECT_TRUE(ZorExact::Header(Record(Purchase), "Authorization").Equals("bearer buy"));
}

TEST_F(FRoadTest, TwoClientRequestsInOneFrameStartOneClientLogin)
{
    FString Error;
    FGameServiceZor& Service = *Subsystem->GetZorGameService();
    ASSERT_TRUE(Subsystem->ProcessClientRequest(Service, "testclient", MakeRequest("http://svc/c1"), Error));
    ASSERT_TRUE(Subsystem->ProcessClientRequest(Service, "testclient", MakeRequest("http://svc/c2"), Error));
    EXPECT_EQ(NumStarted("/api/oauth/token"), 1);
    EXPECT_EQ(Identity().GetClientAuthTokenZor("testclient")->TokenState, EAuthTokenState::ClientAuthPending);
    Tick(2);
    EXPECT_EQ(NumStarted("/c1"), 0);

    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-token"));
    EXPECT_EQ(NumStarted("/c1"), 1);
    EXPECT_EQ(NumStarted("/c2"), 0);
    Tick();
    EXPECT_EQ(NumStarted("/c2"), 1);
}

TEST_F(FRoadTest, FailedClientStartsNoNewLoginAndIsCancelled)
{
    Identity().GetClientAuthTokenZor("testclient")->TokenState = EAuthTokenState::Failed;
    FString Error;
    ASSERT_TRUE(Subsystem->ProcessClientRequest(*Subsystem->GetZorGameService(), "testclient",
                                                MakeRequest("http://svc/c"), Error));
    EXPECT_EQ(Http().NumStarted(), 0);
    Tick(3);
    EXPECT_EQ(Completions, 1);
    EXPECT_FALSE(bLastSucceeded);
}

TEST_F(FRoadTest, ShutdownCancelsEveryQueuedRequest)
{
    Identity().AddUserAccount(0, "acct1", "installed");
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/u")));
    FString Error;
    Identity().GetClientAuthTokenZor("testclient")->TokenState = EAuthTokenState::ClientAuthPending;
    ASSERT_TRUE(Subsystem->ProcessClientRequest(*Subsystem->GetZorGameService(), "testclient",
                                                MakeRequest("http://svc/c"), Error));
    Subsystem->Shutdown();
    EXPECT_TRUE(Log.Contains("Canceling Zor request for user=acct1 url=http://svc/u"));
    EXPECT_TRUE(Log.Contains("Canceling Zor request for client=testclient url=http://svc/c"));
    Tick(2);
    EXPECT_EQ(Completions, 2);
}

TEST_F(FRoadTest, RequestsFromAnotherThreadAreTakenUpByTheGameThread)
{
    LoginUser();
    constexpr int32 Count = 50;
    std::atomic<bool> bDone{false};
    bool bGhostQueued = true;
    std::thread Worker(
        [&]
        {
            for (int32 Index = 0; Index < Count; ++Index)
            {
                QueueUser(MakeRequest(FString::Printf("http://svc/threaded/%d", Index)));
            }
            bGhostQueued = QueueUser(MakeRequest("http://svc/threaded/ghost"), "ghost");
            bDone = true;
        });
    while (!bDone)
    {
        Tick();
    }
    Worker.join();
    Tick(Count + 3);
    EXPECT_EQ(NumStarted("/threaded/"), Count);
    // A user without an account is refused at once, as on the game thread; nothing was queued for it.
    EXPECT_FALSE(bGhostQueued);
    EXPECT_TRUE(LastError.Equals("Invalid user auth for id=ghost. Need to login first")) << *LastError;
    EXPECT_EQ(Completions, 0);
}

TEST_F(FRoadTest, SubsystemBuiltOnAnotherThreadServesTheLoopsThread)
{
    Subsystem->Shutdown();
    std::thread([this] { CreateSubsystem(); }).join();
    LoginUser();
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/built-elsewhere")));
    Tick();
    EXPECT_EQ(NumStarted("/built-elsewhere"), 1);
}

TEST_F(FRoadTest, RequestTakenUpByATickOffTheGameThreadIsNotDeferredAgain)
{
    LoginUser();
    std::thread([this] { ASSERT_TRUE(QueueUser(MakeRequest("http://svc/from-worker"))); }).join();
    // A loop that ticks from a thread other than the game thread still sends what it took up.
    std::thread([this] { Tick(2); }).join();
    EXPECT_EQ(NumStarted("/from-worker"), 1);
}

TEST_F(FRoadTest, RequestsAfterShutdownOrWithoutOneStillCompleteOnce)
{
    const TSharedPtr<FGameServiceZor> Service = Subsystem->GetZorGameService(); // as a late caller holds it
    Subsystem->Shutdown();
    FString Error;
    EXPECT_TRUE(
        Subsystem->ProcessClientRequest(*Service, "testclient", MakeRequest("http://svc/late"), Error));
    Tick(2);
    EXPECT_EQ(Completions, 1);
    EXPECT_FALSE(bLastSucceeded);

    // A subsystem that goes away without Shutdown cancels what it still holds.
    CreateSubsystem();
    Identity().AddUserAccount(0, "acct1", "installed"); // state None: the request waits
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/held")));
    Subsystem.Reset();
    Tick(2);
    EXPECT_EQ(Completions, 2);
}
