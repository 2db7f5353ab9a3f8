#include "IdentityTest.h"

namespace
{
/** Identity held past the subsystem's shutdown, with every event it fires recorded. */
class FIdentityShutdownTest : public FIdentityTest
{
protected:
    FIdentityShutdownTest() : Held(Subsystem->GetZorIdentityService())
    {
        Held->AddOnLoginCompleteDelegate(
            0, FOnLoginCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& Error)
                   { Events.Add(FString::Printf("login:%d:%s", bOk, *Error)); }));
        Held->AddOnLoginPurchaseCompleteDelegate(
            0, FOnLoginPurchaseCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& Error)
                   { Events.Add(FString::Printf("purchase:%d:%s", bOk, *Error)); }));
        Held->AddOnAuthClientCompleteDelegate(FOnAuthClientCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& ClientId, const FString& Error)
            { Events.Add(FString::Printf("client:%s:%d:%s", *ClientId, bOk, *Error)); }));
        Held->AddOnGenerateExchangeCodeCompleteDelegate(FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
            [this](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor&, const FString& Error)
            { Events.Add(FString::Printf("code:%d:%s", bOk, *Error)); }));
        Held->AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
            [this](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString& Error)
            { Events.Add(FString::Printf("refresh:%d:%s", bOk, *Error)); }));
    }
    ~FIdentityShutdownTest() override { Held.Reset(); }

    FString Events_() const { return FString::Join(Events, ","); }

    TSharedPtr<FOnlineIdentityZor> Held;
    TArray<FString> Events;
};
} // namespace

TEST_F(FIdentityShutdownTest, EveryPendingOperationReportsOnceAndLateRepliesAreIgnored)
{
    LoginUser("acct1", 3600.0, -1.0); // the purchase login still waits
    ASSERT_TRUE(Held->AuthClient("otherclient"));
    ASSERT_TRUE(Held->GenerateExchangeCode(FUniqueNetIdString("acct1"))); // queued on the user road
    Events.Empty();

    Subsystem->Shutdown();
    EXPECT_EQ(Events_(),
              FString("purchase:0:No response,client:otherclient:0:No response,code:0:No response"));
    EXPECT_EQ(Held->GetClientAuthTokenZor("otherclient")->TokenState, EAuthTokenState::Failed);

    for (const auto& Started : Http().GetStartedRequests())
    {
        Http().Respond(Started.Request, 200, TokenReply("acct1", 3600.0));
    }
    Tick(3);
    EXPECT_EQ(Events.Num(), 3);
}

TEST_F(FIdentityShutdownTest, NewCallsFailAtOnceWithoutARequest)
{
    LoginUser();
    Subsystem->Shutdown();
    Events.Empty();
    Log.Clear();
    const int32 Started = Http().NumStarted();

    EXPECT_FALSE(Held->Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    EXPECT_FALSE(Held->AuthClient("testclient"));
    FAuthTokenZor& Token = Held->GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    EXPECT_FALSE(Held->RefreshAuth(Token));
    EXPECT_EQ(Events_(), FString("login:0:No response,purchase:0:No response,client:testclient:0:No response,"
                                 "refresh:0:No response"));
    EXPECT_EQ(Http().NumStarted(), Started);
    EXPECT_FALSE(Log.Contains("Sending"));
}

TEST_F(FIdentityShutdownTest, EveryGetterIsEmptyAfterShutdown)
{
    EXPECT_TRUE(Subsystem->GetZorGameService().IsValid());
    EXPECT_TRUE(Subsystem->GetIdentityInterface().IsValid());
    EXPECT_EQ(Subsystem->GetIdentityInterface().get(), static_cast<IOnlineIdentity*>(Held.Get()));
    Subsystem->Shutdown();
    EXPECT_FALSE(Subsystem->GetZorGameService().IsValid());
    EXPECT_FALSE(Subsystem->GetZorIdentityService().IsValid());
    EXPECT_FALSE(Subsystem->GetIdentityInterface().IsValid());
    EXPECT_FALSE(Subsystem->GetVoiceInterface().IsValid());
    EXPECT_EQ(Subsystem->GetAppId(), FString());
}
