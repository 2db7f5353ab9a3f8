#include "Core/Exec.h"
#include "IdentityTest.h"

namespace
{
class FTokenLifeTest : public FIdentityTest
{
protected:
    FAuthTokenZor& UserToken()
    {
        return Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    }
    FString VerifyReply(double ExpiresIn)
    {
        return FString::Printf(
            R"({"client_id":"testclient","account_id":"acct1","expires_in":%g,"auth_method":"x"})",
            ExpiresIn);
    }
};
} // namespace

TEST_F(FTokenLifeTest, VerifiedOnTheFirstTickThenAtTheIntervalAndRefreshedNearTheEnd)
{
    LoginUser("acct1", 3600);
    Tick(1, 0.016f);
    ASSERT_TRUE(FindPending("/api/oauth/verify"));
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Verifying);
    EXPECT_TRUE(ZorExact::Header(Record(FindPending("/api/oauth/verify")), "Authorization")
                    .Equals("bearer access-1"));

    Answer("/api/oauth/verify", 200, VerifyReply(7200)); // larger: the local lifetime stays
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Valid);
    EXPECT_LT(UserToken().expires_in, 3600.0);
    EXPECT_DOUBLE_EQ(UserToken().TimeToVerify, 60.0);

    Tick(1, 59.0f);
    EXPECT_FALSE(FindPending("/api/oauth/verify"));
    Tick(1, 2.0f);
    ASSERT_TRUE(FindPending("/api/oauth/verify"));
    Answer("/api/oauth/verify", 200, VerifyReply(150)); // smaller: lowered
    EXPECT_DOUBLE_EQ(UserToken().expires_in, 150.0);

    Tick(1, 51.0f); // below the threshold, but not yet half of what the check left
    EXPECT_FALSE(FindPending("/api/oauth/token"));
    Tick(1, 25.0f);
    ASSERT_TRUE(FindPending("/api/oauth/token"));
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Refreshing);
    EXPECT_TRUE(Record(FindPending("/api/oauth/token"))
                    .GetContentAsString()
                    .Equals("grant_type=refresh_token&refresh_token=refresh-1"));
}

TEST_F(FTokenLifeTest, RejectedVerificationFailsTheUserTokenAndRefreshesAtOnce)
{
    LoginUser("acct1", 3600);
    Tick(1, 1.0f);
    Answer("/api/oauth/verify", 401, R"({"errorMessage":"revoked"})");
    EXPECT_LE(UserToken().expires_in, 0.0);
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Refreshing);
    EXPECT_TRUE(FindPending("/api/oauth/token"));
    EXPECT_TRUE(Log.Contains("Verify auth request failed. revoked"));
}

TEST_F(FTokenLifeTest, VerificationWithoutResponseReturnsToValid)
{
    LoginUser("acct1", 3600);
    Tick(1, 1.0f);
    Http().Fail(FindPending("/api/oauth/verify"));
    Tick();
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Valid);
    EXPECT_DOUBLE_EQ(UserToken().TimeToVerify, 60.0);
}

TEST_F(FTokenLifeTest, RefreshRefusedByTheServerLogsOutButNoResponseDoesNot)
{
    LoginUser("acct1", 3600);
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Http().Fail(FindPending("/api/oauth/token"));
    Tick();
    EXPECT_TRUE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Failed);
    EXPECT_TRUE(UserToken().refresh_token.Equals("refresh-1")); // kept for the next attempt

    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Answer("/api/oauth/token", 400, R"({"errorMessage":"invalid refresh"})");
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_TRUE(Log.Contains("Refresh auth request failed. invalid refresh"));
}

TEST_F(FTokenLifeTest, LateRepliesAfterLogoutTouchNothingAndReportNothing)
{
    LoginUser("acct1", 3600);
    int32 Reports = 0;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor& Old, const FAuthTokenZor&, const FString&)
                        { Reports += bOk && Old.account_id.Equals("acct1") ? 1 : 0; }));
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Identity().Logout(0);
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600, "late"));
    EXPECT_EQ(Reports, 0) << "the login it was for has ended";
    EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid());
}

TEST_F(FTokenLifeTest, VerifyWithoutUsableTokenReportsAndSendsNothing)
{
    FAuthTokenZor Token;
    Token.access_token = "a";
    FString Error;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnVerifyAuthComplete,
                    FOnVerifyAuthCompleteDelegate::CreateLambda(
                        [&](bool, const FAuthTokenZor&, const FAuthTokenVerifyZor&, const FString& E)
                        { Error = E; }));
    EXPECT_FALSE(Identity().VerifyAuth(Token));
    EXPECT_TRUE(Error.Equals("VerifyAuth failed. No valid access token."));
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FTokenLifeTest, ClientNearItsEndIsLoggedInAgainNotRefreshed)
{
    TArray<FString> Errors;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnAuthClientComplete,
                    FOnAuthClientCompleteDelegate::CreateLambda(
                        [&](bool, const FString&, const FString& Error) { Errors.Add(Error); }));
    ASSERT_TRUE(Identity().AuthClient("testclient"));
    EXPECT_FALSE(Identity().AuthClient("TESTCLIENT"));
    ASSERT_EQ(Errors.Num(), 1);
    EXPECT_TRUE(Errors[0].Equals("Client auth already in progress."));
    EXPECT_EQ(Http().NumStarted(), 1);
    Deliver("/api/oauth/token", 200,
            TokenReply("", 50, "client-1")); // below the threshold; refresh token dropped
    const TSharedPtr<FClientOnlineAuth> Client = Identity().GetClientAuthTokenZor("testclient");
    EXPECT_TRUE(Client->refresh_token.IsEmpty());
    EXPECT_EQ(Client->TokenState, EAuthTokenState::Valid);
    // Granted below the threshold: verified at once, obtained again only after half its life.
    Tick(1, 0.1f);
    Answer("/api/oauth/verify", 200, R"({"client_id":"testclient","expires_in":50})");
    Tick(240, 0.1f);
    EXPECT_EQ(Client->TokenState, EAuthTokenState::Valid);
    Tick(20, 0.1f);
    EXPECT_EQ(Client->TokenState, EAuthTokenState::ClientAuthPending);
    EXPECT_TRUE(
        Record(FindPending("/api/oauth/token")).GetContentAsString().Equals("grant_type=client_credentials"));
}

TEST_F(FTokenLifeTest, ClientVerificationFindsItsRecordWhateverTheReplysClientId)
{
    ASSERT_TRUE(Identity().AuthClient("testclient"));
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-1", "renamed-by-server"));
    Tick(1, 0.1f);
    Answer("/api/oauth/verify", 403, R"({"errorMessage":"nope"})");
    const TSharedPtr<FClientOnlineAuth> Client = Identity().GetClientAuthTokenZor("testclient");
    EXPECT_EQ(Client->TokenState, EAuthTokenState::Failed);
    EXPECT_FALSE(Identity().GetClientAuthTokenZor("renamed-by-server").IsValid());
    EXPECT_FALSE(FindPending("/api/oauth/token")); // clients get no refresh
}

TEST_F(FTokenLifeTest, RefusedStartDoesNotLeaveTheClientPending)
{
    TArray<FString> Errors;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnAuthClientComplete,
                    FOnAuthClientCompleteDelegate::CreateLambda(
                        [&](bool, const FString&, const FString& Error) { Errors.Add(Error); }));
    Http().Shutdown(); // every later start is refused
    Identity().AuthClient("testclient");
    Tick(2);
    EXPECT_EQ(Identity().GetClientAuthTokenZor("testclient")->TokenState, EAuthTokenState::Failed);
    Identity().AuthClient("testclient");
    Tick(2);
    ASSERT_EQ(Errors.Num(), 2);
    EXPECT_TRUE(Errors[1].Equals("No response")); // a second login was allowed to start
}

TEST_F(FTokenLifeTest, ExchangeCodeGoesOutOnTheUserRoad)
{
    FString Error;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnGenerateExchangeCodeComplete,
                    FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor& Code,
                            const FString& E) { Error = bOk ? "code=" + Code.code : E; }));
    EXPECT_FALSE(Identity().GenerateExchangeCode(FUniqueNetIdString("ghost")));
    EXPECT_TRUE(Error.Equals("Invalid user auth for id=ghost. Need to login first"));

    LoginUser();
    ASSERT_TRUE(Identity().GenerateExchangeCode(FUniqueNetIdString("acct1")));
    EXPECT_FALSE(FindPending("/api/oauth/exchange"));
    Tick();
    const auto Exchange = Record(FindPending("/api/oauth/exchange"));
    EXPECT_TRUE(ZorExact::Header(Exchange, "Authorization").Equals("bearer access-1"));
    Answer("/api/oauth/exchange", 200, R"({"code":"xc-1","expiresInSeconds":300})");
    EXPECT_TRUE(Error.Equals("code=xc-1"));
}

TEST_F(FTokenLifeTest, TickWithManyAccountsStartsNothingWhenNothingIsDue)
{
    for (int32 Index = 0; Index < 20; ++Index)
    {
        Identity().AddUserAccount(Index == 0 ? 0 : 3, FString::Printf("acct%d", Index), "t");
        Deliver("/api/oauth/verify", 200, R"({"expires_in":3600})"); // each installed token is checked once
    }
    Http().Reset();
    Tick(10, 1.0f); // the next checks are a minute away
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FTokenLifeTest, ConsoleWordsReachIdentityForTheLoggedInUser)
{
    LoginUser();
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST AUTHTEST", *GLog));
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Refreshing);
    ASSERT_TRUE(FindPending("/api/oauth/token"));
    EXPECT_TRUE(Record(FindPending("/api/oauth/token"))
                    .GetContentAsString()
                    .Equals("grant_type=refresh_token&refresh_token=refresh-1"));

    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST EXCHANGECODE anyclient", *GLog));
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600, "access-2"));
    Tick();
    EXPECT_TRUE(ZorExact::Header(Record(FindPending("/api/oauth/exchange")), "Authorization")
                    .Equals("bearer access-2"));
}

TEST_F(FTokenLifeTest, ApplicationClientWithAnEmptyIdIsStillVerified)
{
    SetIni("[OnlineSubsystemZor]\nbEnabled=true\n"); // no client configured: the application id is empty
    Subsystem->Shutdown();
    CreateSubsystem();
    ASSERT_TRUE(Identity().AuthClient(""));
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "app-token", "issued-id"));
    Tick(1, 0.1f);
    Answer("/api/oauth/verify", 200, R"({"client_id":"issued-id","expires_in":3000})");
    const TSharedPtr<FClientOnlineAuth> App = Identity().GetClientAuthTokenZor("");
    EXPECT_EQ(App->TokenState, EAuthTokenState::Valid);
    EXPECT_DOUBLE_EQ(App->expires_in, 3000.0);
}
