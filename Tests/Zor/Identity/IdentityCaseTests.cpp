#include <thread>

#include "IdentityTest.h"

namespace
{
/** Identity cases that each guard one line of the roads, the tick or the login bookkeeping. */
class FIdentityCaseTest : public FIdentityTest
{
protected:
    FAuthTokenZor& UserToken()
    {
        return Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    }
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
    bool QueueUser(const FHttpRequestRef& Request)
    {
        FString Error;
        return Subsystem->ProcessUserRequest(*Subsystem->GetZorGameService(), FUniqueNetIdString("acct1"),
                                             Request, Error);
    }
    /** Rebuilds the subsystem from the test ini with extra lines for the identity section. */
    void RestartWithIdentityIni(const FString& Lines)
    {
        Subsystem->Shutdown();
        SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineIdentityZor]\n" + Lines);
        CreateSubsystem();
    }

    int32 Completions = 0;
    bool bLastSucceeded = true;
};
} // namespace

TEST_F(FIdentityCaseTest, RequestQueuedWhileTheTokenIsVerifyingGoesOutOnTheNextTick)
{
    LoginUser();
    Tick(1, 0.1f);
    ASSERT_EQ(UserToken().TokenState, EAuthTokenState::Verifying);
    ASSERT_TRUE(QueueUser(MakeRequest("http://svc/while-verifying")));
    Tick();
    EXPECT_EQ(NumStarted("/while-verifying"), 1);
}

TEST_F(FIdentityCaseTest, RequestQueuedFromAnotherThreadJustBeforeShutdownCompletesOnceUnsuccessfully)
{
    LoginUser();
    std::thread([this] { EXPECT_TRUE(QueueUser(MakeRequest("http://svc/late-from-worker"))); }).join();
    Subsystem->Shutdown();
    Tick(3);
    EXPECT_EQ(Completions, 1);
    EXPECT_FALSE(bLastSucceeded);
    EXPECT_EQ(NumStarted("/late-from-worker"), 0);
}

TEST_F(FIdentityCaseTest, FinishedVerificationLeavesNoPendingEntryBehind)
{
    LoginUser();
    Tick(1, 0.1f);
    TWeakPtr<IHttpRequest> Verification = FindPending("/api/oauth/verify");
    ASSERT_TRUE(Verification.IsValid());
    Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":3600})");
    Http().Reset(); // the transport's own record of it
    Tick(2);
    EXPECT_FALSE(Verification.IsValid());
}

TEST_F(FIdentityCaseTest, PurchaseLoginFailuresAreLoggedAndReported)
{
    TArray<FString> Errors;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnLoginPurchaseComplete, 0,
                    FOnLoginPurchaseCompleteDelegate::CreateLambda(
                        [&](int32, bool bOk, const FUniqueNetId&, const FString& E)
                        { Errors.Add(bOk ? "ok" : E); }));
    const FOnlineAccountCredentials Credentials("tavo", "u", "p");
    EXPECT_FALSE(Identity().LoginPurchase(1, Credentials));
    EXPECT_FALSE(Identity().LoginPurchase(0, Credentials));
    LoginUser("acct1", 3600, -1);
    Answer("/api/oauth/token", 400, R"({"errorMessage":"purchases closed"})");
    // The event has one list, for local user 0: user 1's refusal is only logged.
    const FString Expected[] = {"No logged in user. Must loggin first", "purchases closed"};
    ASSERT_EQ(Errors.Num(), 2);
    for (int32 Index = 0; Index < 2; ++Index)
    {
        EXPECT_TRUE(Errors[Index].Equals(Expected[Index])) << *Errors[Index];
    }
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "LoginPurchase request failed. Invalid LocalUserNum=1"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "LoginPurchase request failed. No logged in user. Must loggin first"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Login (for purchase) request failed. purchases closed"));
    EXPECT_EQ(Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->PurchaseToken.TokenState,
              EAuthTokenState::None);
}

TEST_F(FIdentityCaseTest, IdentityIniKeysSetTheIntervalTheThresholdAndMultiLogin)
{
    RestartWithIdentityIni("VerifyTokenInterval=10\nRefreshTokenTheshold=30\nbAllowMultiLogin=true\n");
    EXPECT_DOUBLE_EQ(FOnlineIdentityZor::VerifyTokenInterval, 10.0);
    EXPECT_DOUBLE_EQ(FOnlineIdentityZor::RefreshTokenTheshold, 30.0);
    LoginUser("acct1", 3600);
    EXPECT_EQ(NumStarted("/sessions/kill"), 0) << "several logins allowed: no other session is ended";

    Tick(1, 0.1f);
    Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":3600})");
    Tick(1, 9.0f);
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Valid);
    Tick(1, 1.5f); // ten seconds after the check: the next one
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Verifying);
    Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":3600})");
    Tick(1, 3550.0f);
    Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":3600})");
    Tick(1, 9.0f);
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Valid) << "30.4 s left is above a threshold of 30";
    Tick(1, 1.5f);
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Refreshing);
}

TEST_F(FIdentityCaseTest, AuthSessionsAreListedWithTheTokensOwnBearer)
{
    LoginUser();
    FAuthTokenZor Expired = UserToken();
    Expired.expires_in = 0.0;
    EXPECT_FALSE(Identity().QueryAuthSessions(Expired));
    EXPECT_EQ(NumStarted("/api/oauth/sessions"), NumStarted("/api/oauth/sessions/kill"));

    ASSERT_TRUE(Identity().QueryAuthSessions(UserToken()));
    FHttpRequestPtr Query;
    for (const auto& Request : Http().GetStartedRequests())
    {
        Query =
            Request.URL.EndsWith("/api/oauth/sessions", ESearchCase::CaseSensitive) ? Request.Request : Query;
    }
    ASSERT_TRUE(Query);
    const auto Sent = Record(Query);
    EXPECT_TRUE(Sent.URL.EndsWith("/account/api/oauth/sessions", ESearchCase::CaseSensitive)) << *Sent.URL;
    EXPECT_TRUE(Sent.Verb.Equals("GET"));
    EXPECT_TRUE(ZorExact::Header(Sent, "Authorization").Equals("bearer access-1"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::VeryVerbose, "QueryAuthSessions request. url="));
    Http().Respond(Query, 500, "down", {}, "text/plain");
    Tick();
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Query auth sessions request failed. Invalid response. code=500 error=down"));
}

TEST_F(FIdentityCaseTest, ClientTokenRefreshedExplicitlyStaysAClientToken)
{
    ASSERT_TRUE(Identity().AuthClient("testclient"));
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-1"));
    const TSharedPtr<FClientOnlineAuth> Client = Identity().GetClientAuthTokenZor("testclient");
    bool bReported = false;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor& Old, const FAuthTokenZor&, const FString&)
                        { bReported = bOk && !Old.bIsUserToken; }));
    ASSERT_TRUE(Identity().RefreshAuth(*Client));
    EXPECT_EQ(Client->TokenState, EAuthTokenState::Refreshing);
    const auto Grant = Record(FindPending("/api/oauth/token"));
    EXPECT_TRUE(Grant.GetContentAsString().StartsWith("grant_type=refresh_token&refresh_token=",
                                                      ESearchCase::CaseSensitive));
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-2"));
    EXPECT_TRUE(bReported);
    EXPECT_EQ(Client->TokenState, EAuthTokenState::Valid);
    EXPECT_TRUE(Client->access_token.Equals("client-2"));
    EXPECT_EQ(Client->bIsUserToken, 0u);
    EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("")).IsValid());
}
