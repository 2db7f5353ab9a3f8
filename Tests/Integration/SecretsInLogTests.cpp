#include <gtest/gtest.h>

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "BackendFixture.h"
#include "LogCapture.h"

namespace
{
/** Every category the module and its host write to, at their most detailed while a test runs. */
class FSecretsInLogTest : public FBackendIntegrationTest
{
protected:
    FSecretsInLogTest()
    {
        for (FLogCategory* Category : Categories)
        {
            Previous.Add(Category->GetVerbosity());
            Category->SetVerbosity(ELogVerbosity::VeryVerbose);
        }
    }
    ~FSecretsInLogTest() override
    {
        for (int32 Index = 0; Index < Previous.Num(); ++Index)
        {
            Categories[Index]->SetVerbosity(Previous[Index]);
        }
    }

    /** Remembers every secret the user's account holds now. */
    void NoteSecrets()
    {
        const TSharedPtr<FUserOnlineAccountZor> Account = DemoAccount();
        ASSERT_TRUE(Account);
        for (const FAuthTokenZor* Token : {&Account->UserToken, &Account->PurchaseToken})
        {
            Secrets.AddUnique(Token->access_token);
            Secrets.AddUnique(Token->refresh_token);
        }
    }

    FString ExtraIni() const override { return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"; }

    FLogCategory* Categories[3] = {&LogOnline, &LogHttp, &LogOnlineGame};
    TArray<ELogVerbosity::Type> Previous;
    FLogCapture Log;
    TArray<FString> Secrets = {DemoPassword, "zordemoclientsecret", "zordemopurchasesecret"};
};
} // namespace

TEST_F(FSecretsInLogTest, LoginRefreshExchangeCodeAndLogoutLogNoSecret)
{
    LoginDemoUser();
    ASSERT_TRUE(LoginResult.Equals("ok")) << *LoginResult;
    NoteSecrets();

    const FString FirstToken = DemoAccount()->UserToken.access_token;
    DemoAccount()->UserToken.expires_in = 50.0; // as 7150 s of play leave it: refreshed on the next tick
    DemoAccount()->Upkeep.Tick(7150.0);
    ASSERT_TRUE(TickUntil(
        [&]
        { return !DemoAccount()->UserToken.access_token.Equals(FirstToken, ESearchCase::CaseSensitive); }));
    ASSERT_TRUE(TickUntil([&] { return DemoAccount()->UserToken.TokenState == EAuthTokenState::Valid; }));
    NoteSecrets();

    FString Code;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnGenerateExchangeCodeComplete,
                    FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor& Record,
                            const FString& Error) { Code = bOk ? Record.code : "failed: " + Error; }));
    ASSERT_TRUE(Identity().GenerateExchangeCode(*Identity().GetUniquePlayerId(0)));
    ASSERT_TRUE(TickUntil([&] { return !Code.IsEmpty(); }));
    ASSERT_FALSE(Code.StartsWith("failed")) << *Code;
    Secrets.Add(Code);

    EXPECT_TRUE(Identity().Logout(0));
    TickUntil([] { return false; }, 0.3); // the session kills complete and log

    ASSERT_GT(Log.Lines().size(), 10u);
    EXPECT_TRUE(Log.Contains("Refresh auth request complete."));
    EXPECT_TRUE(Log.Contains("Kill auth sessions request complete."));
    for (const FString& Secret : Secrets)
    {
        ASSERT_FALSE(Secret.IsEmpty());
        for (const FLogCapture::FLine& Line : Log.Lines())
        {
            EXPECT_FALSE(Line.Message.Contains(Secret, ESearchCase::CaseSensitive))
                << "secret " << *Secret << " in: " << *Line.Message;
        }
    }
}

TEST_F(FSecretsInLogTest, AValidationTokenReachesNoLineWhenTheServiceCannotBeReached)
{
    bool bAuthed = false;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnAuthClientComplete,
                    FOnAuthClientCompleteDelegate::CreateLambda(
                        [&bAuthed](bool bOk, const FString&, const FString&) { bAuthed = bOk; }));
    ASSERT_TRUE(Identity().AuthClient(Subsystem->GetAppId()));
    ASSERT_TRUE(TickUntil([&bAuthed] { return bAuthed; }));
    FHttpModule::Get().Shutdown(); // no kept-alive connection outlives the backend
    FHttpModule::Get().Tick(0.0f);
    Backend.Stop();

    const FString Token = "9f8e7d6c5b4a39281706";
    FString Outcome;
    FOnlineAccountCreationZor& Accounts = *Subsystem->GetZorAccountCreationService();
    ZOR_BIND_SCOPED(Subsystem->GetZorAccountCreationService(), OnValidateAccountComplete,
                    FOnValidateAccountCompleteDelegate::CreateLambda(
                        [&Outcome](bool bOk, const FString&, const FString& Error)
                        { Outcome = bOk ? FString("ok") : Error; }));
    ASSERT_TRUE(Accounts.ValidateAccount(DemoUser, Token));
    ASSERT_TRUE(TickUntil([&Outcome] { return !Outcome.IsEmpty(); }));

    EXPECT_NE(Outcome, "ok");
    EXPECT_TRUE(Log.Contains(FString::Printf("HTTP request failed: cannot connect to 127.0.0.1:%d: ", Port)));
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        EXPECT_FALSE(Line.Message.Contains(Token)) << *Line.Message;
    }
}
