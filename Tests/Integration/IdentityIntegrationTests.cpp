#include <cstdio>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

#include "BackendFixture.h"

namespace
{
class FIdentityIntegrationTest : public FBackendIntegrationTest
{
};
} // namespace

TEST_F(FIdentityIntegrationTest, PasswordLoginEndsLoggedInWithAccountInfoAndPurchaseToken)
{
    LoginDemoUser();
    EXPECT_TRUE(LoginResult.Equals("ok")) << *LoginResult;
    EXPECT_TRUE(PurchaseResult.Equals("ok")) << *PurchaseResult;
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn);
    EXPECT_TRUE(Identity().GetPlayerNickname(0).Equals("DemoPlayer"));
    ASSERT_TRUE(DemoAccount());
    EXPECT_FALSE(DemoAccount()->PurchaseToken.access_token.IsEmpty());

    // The first tick after the grant verifies the token against the service.
    EXPECT_TRUE(TickUntil([this] { return !DemoAccount()->LastVerification.account_id.IsEmpty(); }));
    EXPECT_EQ(DemoAccount()->UserToken.TokenState, EAuthTokenState::Valid);

    EXPECT_TRUE(Identity().Logout(0));
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn);
}

TEST_F(FIdentityIntegrationTest, WrongPasswordIsRefusedWithTheServicesMessage)
{
    Identity().AddOnLoginCompleteDelegate(0, FOnLoginCompleteDelegate::CreateLambda(
                                                 [this](int32, bool bOk, const FUniqueNetId&,
                                                        const FString& E) { LoginResult = bOk ? "ok" : E; }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, "wrong")));
    ASSERT_TRUE(TickUntil([this] { return !LoginResult.IsEmpty(); }));
    EXPECT_FALSE(LoginResult.Equals("ok"));
    EXPECT_FALSE(LoginResult.StartsWith("Invalid response.")) << *LoginResult; // the reply's errorMessage
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
}

TEST_F(FIdentityIntegrationTest, TokenNearItsEndIsRefreshedAndLaterRequestsUseTheNewOne)
{
    LoginDemoUser();
    ASSERT_TRUE(DemoAccount());
    const FString FirstToken = DemoAccount()->UserToken.access_token;
    // As 7150 s of play leave it: within the refresh threshold and past half its life, refreshed on the next
    // tick.
    DemoAccount()->UserToken.expires_in = 50.0;
    DemoAccount()->Upkeep.Tick(7150.0);
    ASSERT_TRUE(TickUntil(
        [&]
        {
            return DemoAccount() && !DemoAccount()->UserToken.access_token.Equals(FirstToken) &&
                   DemoAccount()->UserToken.TokenState == EAuthTokenState::Valid;
        }));
    EXPECT_GT(DemoAccount()->UserToken.expires_in, 100.0);

    FString Code;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnGenerateExchangeCodeComplete,
                    FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor& Record,
                            const FString& E) { Code = bOk ? Record.code : "failed: " + E; }));
    ASSERT_TRUE(Identity().GenerateExchangeCode(*Identity().GetUniquePlayerId(0)));
    ASSERT_TRUE(TickUntil([&] { return !Code.IsEmpty(); }));
    EXPECT_FALSE(Code.StartsWith("failed")) << *Code;
}

TEST_F(FIdentityIntegrationTest, RevokedTokenFailsVerificationAndItsRefreshLogsTheUserOut)
{
    LoginDemoUser();
    ASSERT_TRUE(DemoAccount());
    const FString Revoked = DemoAccount()->UserToken.access_token;
    ASSERT_TRUE(Backend.RevokeToken(*Revoked));
    FString Verified;
    FString Refreshed;
    TArray<FString> Statuses;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnVerifyAuthComplete,
                    FOnVerifyAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenVerifyZor&, const FString& E)
                        { Verified = bOk ? "ok" : E; }));
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString& E)
                        { Refreshed = bOk ? "ok" : E; }));
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnLoginStatusChanged, 0,
                    FOnLoginStatusChangedDelegate::CreateLambda(
                        [&](int32, ELoginStatus::Type, ELoginStatus::Type NewStatus, const FUniqueNetId&)
                        { Statuses.Add(ELoginStatus::ToString(NewStatus)); }));
    ASSERT_TRUE(Identity().VerifyAuth(DemoAccount()->UserToken));
    ASSERT_TRUE(TickUntil([&] { return !Refreshed.IsEmpty(); }));
    // Revoking the access token revokes the refresh token that came with it: the user is logged out.
    EXPECT_TRUE(Verified.Equals("Access token has been revoked")) << *Verified;
    EXPECT_TRUE(Refreshed.Equals("Refresh token has been revoked")) << *Refreshed;
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn);
    EXPECT_TRUE(FString::Join(Statuses, ",").Equals("NotLoggedIn")) << *FString::Join(Statuses, ",");
}

TEST_F(FIdentityIntegrationTest, ShortTokensAreRefreshedOncePerBackOffAndTheUserStaysLoggedIn)
{
    constexpr int64_t TokenSeconds = 60;
    constexpr double SimulatedSeconds = 300.0;
    constexpr float FrameSeconds = 0.25f;
    Backend.SetTokenLifetime(TokenSeconds);
    LoginDemoUser();
    ASSERT_TRUE(LoginResult.Equals("ok")) << *LoginResult; // the login is not refreshed over
    ASSERT_TRUE(DemoAccount());

    double Now = 0.0;
    TArray<double> RefreshedAt;
    TArray<FString> Failures;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString& E)
                        { bOk ? (void)RefreshedAt.Add(Now) : (void)Failures.Add(E); }));
    // Game time runs ahead of the wall clock, so five minutes of frames take a few real seconds.
    while (Now < SimulatedSeconds)
    {
        FHttpModule::Get().Tick(FrameSeconds);
        Subsystem->Tick(FrameSeconds);
        Now += FrameSeconds;
        FPlatformProcess::Sleep(0.002f);
    }
    EXPECT_TRUE(Failures.IsEmpty()) << *FString::Join(Failures, ",");
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn);
    // A 60-second token waits half its life: one refresh per 30 s, ten in five minutes.
    EXPECT_GE(RefreshedAt.Num(), 8);
    EXPECT_LE(RefreshedAt.Num(), 11);
    for (int32 Index = 1; Index < RefreshedAt.Num(); ++Index)
    {
        EXPECT_GE(RefreshedAt[Index] - RefreshedAt[Index - 1], TokenSeconds / 2.0 - 1.0) << Index;
    }
    std::printf("refreshes in %.0f simulated seconds with %lld-second tokens: %d\n", SimulatedSeconds,
                static_cast<long long>(TokenSeconds), RefreshedAt.Num());

    // The token in hand still works on the service.
    FString Code;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnGenerateExchangeCodeComplete,
                    FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor& Record,
                            const FString& E) { Code = bOk ? Record.code : "failed: " + E; }));
    ASSERT_TRUE(Identity().GenerateExchangeCode(*Identity().GetUniquePlayerId(0)));
    ASSERT_TRUE(TickUntil([&] { return !Code.IsEmpty(); }));
    EXPECT_FALSE(Code.StartsWith("failed")) << *Code;
}

TEST_F(FIdentityIntegrationTest, ClientCredentialsLoginFeedsTheClientRoad)
{
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL(Identity().GetBaseUrl() + "/api/oauth/verify");
    bool bDone = false;
    int32 Code = 0;
    Request->OnProcessRequestComplete().BindLambda(
        [&](FHttpRequestPtr, FHttpResponsePtr Response, bool bOk)
        {
            bDone = true;
            Code = bOk && Response ? Response->GetResponseCode() : -1;
        });
    const FZorScopedBinding Bound([&Request] { Request->OnProcessRequestComplete().Unbind(); });
    FString Error;
    ASSERT_TRUE(Subsystem->ProcessClientRequest(Identity(), "zordemoclient", Request, Error));
    ASSERT_TRUE(TickUntil([&] { return bDone; }));
    EXPECT_EQ(Code, 200);
    const TSharedPtr<FClientOnlineAuth> Client = Identity().GetClientAuthTokenZor("zordemoclient");
    EXPECT_FALSE(Client->access_token.IsEmpty());
    EXPECT_NE(Client->TokenState, EAuthTokenState::Failed);
    EXPECT_TRUE(Request->GetHeader("Authorization").StartsWith("bearer "));
}

TEST_F(FIdentityIntegrationTest, BackendThatIsDownGivesNoResponse)
{
    Backend.Stop();
    Subsystem->Shutdown();
    StartSubsystem(Port); // nothing listens there any more
    Identity().AddOnLoginCompleteDelegate(0, FOnLoginCompleteDelegate::CreateLambda(
                                                 [this](int32, bool bOk, const FUniqueNetId&,
                                                        const FString& E) { LoginResult = bOk ? "ok" : E; }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, DemoPassword)));
    ASSERT_TRUE(TickUntil([this] { return !LoginResult.IsEmpty(); }, 30.0));
    EXPECT_TRUE(LoginResult.Equals("No response")) << *LoginResult;
}

TEST_F(FIdentityIntegrationTest, BackendAnsweringGarbageFailsCleanly)
{
    httplib::Server Garbage;
    Garbage.Post(".*", [](const httplib::Request&, httplib::Response& Res)
                 { Res.set_content(std::string("\x01\xff{{not json", 12), "application/json"); });
    const int GarbagePort = Garbage.bind_to_any_port("127.0.0.1");
    std::thread Listener([&] { Garbage.listen_after_bind(); });
    Subsystem->Shutdown();
    StartSubsystem(GarbagePort);
    Identity().AddOnLoginCompleteDelegate(0, FOnLoginCompleteDelegate::CreateLambda(
                                                 [this](int32, bool bOk, const FUniqueNetId&,
                                                        const FString& E) { LoginResult = bOk ? "ok" : E; }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, DemoPassword)));
    const bool bFinished = TickUntil([this] { return !LoginResult.IsEmpty(); });
    FHttpModule::Get().Shutdown();
    Garbage.stop();
    Listener.join();
    ASSERT_TRUE(bFinished);
    EXPECT_TRUE(LoginResult.Equals("Invalid response payload")) << *LoginResult;
}
