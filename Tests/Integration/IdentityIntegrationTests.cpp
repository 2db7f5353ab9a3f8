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
    Identity().AddOnLoginCompleteDelegate(
        0, FOnLoginCompleteDelegate::CreateLambda([this](int32, bool bOk, const FUniqueNetId&, const FString& E) {
            LoginResult = bOk ? "ok" : E;
        }));
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
    DemoAccount()->UserToken.expires_in = 50.0; // within the refresh threshold: refreshed on the next tick
    ASSERT_TRUE(TickUntil([&] {
        return DemoAccount() && !DemoAccount()->UserToken.access_token.Equals(FirstToken) &&
               DemoAccount()->UserToken.TokenState == EAuthTokenState::Valid;
    }));
    EXPECT_GT(DemoAccount()->UserToken.expires_in, 100.0);

    FString Code;
    Identity().AddOnGenerateExchangeCodeCompleteDelegate(FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
        [&](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor& Record, const FString& E) {
            Code = bOk ? Record.code : "failed: " + E;
        }));
    ASSERT_TRUE(Identity().GenerateExchangeCode(*Identity().GetUniquePlayerId(0)));
    ASSERT_TRUE(TickUntil([&] { return !Code.IsEmpty(); }));
    EXPECT_FALSE(Code.StartsWith("failed")) << *Code;
}

TEST_F(FIdentityIntegrationTest, RevokedTokenFailsVerificationAndIsRefreshed)
{
    LoginDemoUser();
    ASSERT_TRUE(DemoAccount());
    const FString Revoked = DemoAccount()->UserToken.access_token;
    ASSERT_TRUE(Backend.RevokeToken(*Revoked));
    FString Verified;
    FString Refreshed;
    Identity().AddOnVerifyAuthCompleteDelegate(FOnVerifyAuthCompleteDelegate::CreateLambda(
        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenVerifyZor&, const FString& E) {
            Verified = bOk ? "ok" : E;
        }));
    Identity().AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString& E) { Refreshed = bOk ? "ok" : E; }));
    ASSERT_TRUE(Identity().VerifyAuth(DemoAccount()->UserToken));
    ASSERT_TRUE(TickUntil([&] { return !Refreshed.IsEmpty(); }));
    EXPECT_FALSE(Verified.Equals("ok"));
    // Whether the refresh token survived the revocation decides between a new token and a logout.
    if (Refreshed.Equals("ok"))
    {
        ASSERT_TRUE(DemoAccount());
        EXPECT_FALSE(DemoAccount()->UserToken.access_token.Equals(Revoked));
        EXPECT_EQ(DemoAccount()->UserToken.TokenState, EAuthTokenState::Valid);
    }
    else
    {
        EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    }
}

TEST_F(FIdentityIntegrationTest, ClientCredentialsLoginFeedsTheClientRoad)
{
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL(Identity().GetBaseUrl() + "/api/oauth/verify");
    bool bDone = false;
    int32 Code = 0;
    Request->OnProcessRequestComplete().BindLambda([&](FHttpRequestPtr, FHttpResponsePtr Response, bool bOk) {
        bDone = true;
        Code = bOk && Response ? Response->GetResponseCode() : -1;
    });
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
    Identity().AddOnLoginCompleteDelegate(
        0, FOnLoginCompleteDelegate::CreateLambda([this](int32, bool bOk, const FUniqueNetId&, const FString& E) {
            LoginResult = bOk ? "ok" : E;
        }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, DemoPassword)));
    ASSERT_TRUE(TickUntil([this] { return !LoginResult.IsEmpty(); }, 30.0));
    EXPECT_TRUE(LoginResult.Equals("No response")) << *LoginResult;
}

TEST_F(FIdentityIntegrationTest, BackendAnsweringGarbageFailsCleanly)
{
    httplib::Server Garbage;
    Garbage.Post(".*", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content(std::string("\x01\xff{{not json", 12), "application/json");
    });
    const int GarbagePort = Garbage.bind_to_any_port("127.0.0.1");
    std::thread Listener([&] { Garbage.listen_after_bind(); });
    Subsystem->Shutdown();
    StartSubsystem(GarbagePort);
    Identity().AddOnLoginCompleteDelegate(
        0, FOnLoginCompleteDelegate::CreateLambda([this](int32, bool bOk, const FUniqueNetId&, const FString& E) {
            LoginResult = bOk ? "ok" : E;
        }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, DemoPassword)));
    const bool bFinished = TickUntil([this] { return !LoginResult.IsEmpty(); });
    FHttpModule::Get().Shutdown();
    Garbage.stop();
    Listener.join();
    ASSERT_TRUE(bFinished);
    EXPECT_TRUE(LoginResult.Equals("Invalid response payload")) << *LoginResult;
}
