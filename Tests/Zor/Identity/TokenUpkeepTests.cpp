#include "IdentityTest.h"

namespace
{
struct FGrantDelayCase
{
    double ExpiresIn;
    double RefreshDelay;
};

TEST(TokenUpkeep, TokenGrantedBelowTheThresholdWaitsHalfItsLifeAtLeastTheMinimum)
{
    const FGrantDelayCase Cases[] = {{3600.0, 0.0}, {100.0, 0.0}, {99.0, 49.5}, {60.0, 30.0},
                                     {8.0, 5.0},    {0.0, 5.0},   {-3.0, 5.0}};
    for (const FGrantDelayCase& Case : Cases)
    {
        FTokenUpkeepZor Upkeep;
        Upkeep.OnGranted(Case.ExpiresIn, 100.0);
        EXPECT_EQ(Upkeep.IsRefreshDue(), Case.RefreshDelay == 0.0) << Case.ExpiresIn;
        Upkeep.Tick(std::max(0.0, Case.RefreshDelay - 0.01));
        EXPECT_EQ(Upkeep.IsRefreshDue(), Case.RefreshDelay == 0.0) << Case.ExpiresIn;
        Upkeep.Tick(0.02);
        EXPECT_TRUE(Upkeep.IsRefreshDue()) << Case.ExpiresIn;
    }
}

TEST(TokenUpkeep, FailedChecksDoubleTheirWaitUpToTheLimitAndResetOnSuccess)
{
    FTokenUpkeepZor Upkeep;
    EXPECT_EQ(Upkeep.GetCheckDelay(), 0.0);
    const double Expected[] = {1.0, 2.0, 4.0, 8.0, 16.0, 32.0, 60.0, 60.0};
    for (const double Delay : Expected)
    {
        Upkeep.OnCheckFailed(60.0);
        EXPECT_EQ(Upkeep.GetCheckDelay(), Delay);
    }
    for (int32 Index = 0; Index < 2000; ++Index)
    {
        Upkeep.OnCheckFailed(60.0);
    }
    EXPECT_EQ(Upkeep.GetCheckDelay(), 60.0);
    Upkeep.OnCheckPassed();
    EXPECT_EQ(Upkeep.GetCheckDelay(), 0.0);
    Upkeep.OnCheckFailed(0.0); // an interval configured to nothing still backs off
    EXPECT_EQ(Upkeep.GetCheckDelay(), FTokenUpkeepZor::FirstRetryDelay);
}

TEST(TokenUpkeep, UnansweredRefreshesAreRetriedABoundedNumberOfTimes)
{
    FTokenUpkeepZor Upkeep;
    double Waited = 0.0;
    for (int32 Attempt = 1; Attempt < FTokenUpkeepZor::MaxUnansweredRefreshes; ++Attempt)
    {
        ASSERT_TRUE(Upkeep.OnRefreshUnanswered(60.0)) << Attempt;
        EXPECT_TRUE(Upkeep.IsRetryingRefresh());
        EXPECT_FALSE(Upkeep.IsRefreshDue());
        while (!Upkeep.IsRefreshDue())
        {
            Upkeep.Tick(0.25);
            Waited += 0.25;
        }
    }
    EXPECT_DOUBLE_EQ(Waited, 1.0 + 2.0 + 4.0 + 8.0);
    EXPECT_FALSE(Upkeep.OnRefreshUnanswered(60.0));
    EXPECT_FALSE(Upkeep.IsRetryingRefresh());
}

/** Identity against a service whose answers a test chooses, run for simulated minutes. */
class FTokenUpkeepTest : public FIdentityTest
{
protected:
    struct FReply
    {
        int32 Code = 200;
        FString Body;
    };

    FAuthTokenZor& UserToken()
    {
        return Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    }

    /**
     * Runs Seconds of game time at Fps frames a second. Every frame each waiting grant gets Grant, each
     * verification Verify (a failed transfer when its code is 0) and anything else an empty object.
     */
    void Run(double Seconds, int32 Fps, const FReply& Grant, const FReply& Verify)
    {
        const int32 Frames = static_cast<int32>(Seconds * Fps);
        for (int32 Frame = 0; Frame < Frames; ++Frame)
        {
            for (const auto& Started : Http().GetStartedRequests())
            {
                if (Started.State != FInMemoryHttpTransport::EState::Pending)
                {
                    continue;
                }
                const bool bGrant = Started.URL.Contains("/api/oauth/token", ESearchCase::CaseSensitive);
                const FReply& Reply = bGrant ? Grant
                                      : Started.URL.Contains("/api/oauth/verify", ESearchCase::CaseSensitive)
                                          ? Verify
                                          : Empty;
                if (Reply.Code == 0)
                {
                    Http().Fail(Started.Request);
                    continue;
                }
                Http().Respond(Started.Request, Reply.Code, Reply.Body);
            }
            Tick(1, 1.0f / static_cast<float>(Fps));
        }
    }
    int32 Count(const FString& UrlPart, const FString& BodyStart = FString())
    {
        int32 Found = 0;
        for (const auto& Started : Http().GetStartedRequests())
        {
            Found += Started.URL.Contains(UrlPart, ESearchCase::CaseSensitive) &&
                             Started.GetContentAsString().StartsWith(BodyStart, ESearchCase::CaseSensitive)
                         ? 1
                         : 0;
        }
        return Found;
    }
    int32 Refreshes() { return Count("/api/oauth/token", "grant_type=refresh_token"); }
    int32 Verifications() { return Count("/api/oauth/verify"); }
    FReply Token(double ExpiresIn) { return {200, TokenReply("acct1", ExpiresIn, "access-n")}; }
    static FReply Verified(double ExpiresIn)
    {
        return {200, FString::Printf(R"({"account_id":"acct1","expires_in":%g})", ExpiresIn)};
    }

    const FReply Empty{200, "{}"};
};

struct FStormCase
{
    double ExpiresIn;
    int32 MostRefreshesPerMinute;
};
} // namespace

TEST_F(FTokenUpkeepTest, ShortTokensAreRefreshedAtABoundedRateNeverEveryFrame)
{
    // Half the life, at least five seconds: a 60-second token every 30 s, one that is already out every 5 s.
    const FStormCase Cases[] = {{60.0, 2}, {20.0, 6}, {0.0, 12}};
    for (const FStormCase& Case : Cases)
    {
        Http().Reset();
        Subsystem->Shutdown();
        CreateSubsystem();
        LoginUser("acct1", Case.ExpiresIn);
        EXPECT_EQ(Refreshes(), 0) << "the login itself is not refreshed over";
        Run(60.0, 60, Token(Case.ExpiresIn), Verified(Case.ExpiresIn));
        EXPECT_GE(Refreshes(), 1) << Case.ExpiresIn;
        EXPECT_LE(Refreshes(), Case.MostRefreshesPerMinute) << Case.ExpiresIn;
        EXPECT_TRUE(Identity().GetUniquePlayerId(0).IsValid()) << Case.ExpiresIn;
    }
}

TEST_F(FTokenUpkeepTest, OneRefreshPerAccountInFlight)
{
    LoginUser();
    TArray<FString> Errors;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool, const FAuthTokenZor&, const FAuthTokenZor&, const FString& Error)
                        { Errors.Add(Error); }));
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    UserToken().TokenState = EAuthTokenState::Valid; // as a verification answered meanwhile leaves it
    UserToken().expires_in = 0.0;
    EXPECT_FALSE(Identity().RefreshAuth(UserToken()));
    Tick(30, 0.1f); // neither the tick nor the road starts another
    FString Error;
    Subsystem->ProcessUserRequest(*Subsystem->GetZorGameService(), FUniqueNetIdString("acct1"),
                                  FHttpModule::Get().CreateRequest(), Error);
    EXPECT_EQ(Refreshes(), 1);
    ASSERT_EQ(Errors.Num(), 1);
    EXPECT_TRUE(Errors[0].Equals("Refresh auth already in progress.")) << *Errors[0];
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600, "access-2"));
    EXPECT_TRUE(UserToken().access_token.Equals("access-2"));
}

TEST_F(FTokenUpkeepTest, FailedChecksBackOffAndTheFirstSuccessResetsThem)
{
    const FReply BadChecks[] = {{500, "oops"}, {200, ""}, {200, "{not json"}, Verified(0.0), Verified(-5.0)};
    for (const FReply& Bad : BadChecks)
    {
        Http().Reset();
        Subsystem->Shutdown();
        CreateSubsystem();
        LoginUser("acct1", 3600);
        Log.Clear();
        Run(120.0, 30, Token(3600), Bad);
        // 1 + 2 + 4 + ... + 60 s between checks: a handful in two minutes, not one per frame.
        EXPECT_GE(Verifications(), 4) << *Bad.Body;
        EXPECT_LE(Verifications(), 10) << *Bad.Body;
        EXPECT_LE(Refreshes(), 10) << *Bad.Body;
        EXPECT_LE(Log.Count("request failed"), 20) << *Bad.Body;

        Run(61.0, 30, Token(3600), Verified(3600));
        const int32 Before = Verifications();
        Identity().RefreshAuth(UserToken());
        Run(0.2, 30, Token(3600), Verified(3600));
        EXPECT_EQ(Verifications(), Before + 1) << "after a success a new token is checked at once";
    }
}

TEST_F(FTokenUpkeepTest, DroppedRefreshIsRetriedAndThenSucceeds)
{
    LoginUser();
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Run(0.1, 10, {0, ""}, Verified(3600));
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Failed);
    Run(2.0, 10, Token(3600), Verified(3600));
    EXPECT_EQ(Refreshes(), 2);
    EXPECT_EQ(UserToken().TokenState, EAuthTokenState::Valid);
    EXPECT_TRUE(UserToken().access_token.Equals("access-n"));

    // The answer started the count over: a later outage gets every retry before the logout.
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Run(120.0, 10, {0, ""}, Verified(3600));
    EXPECT_EQ(Refreshes(), 2 + FTokenUpkeepZor::MaxUnansweredRefreshes);
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
}

TEST_F(FTokenUpkeepTest, RefreshThatStaysUnansweredLogsTheUserOut)
{
    TArray<FString> Events;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnLoginStatusChanged, 0,
                    FOnLoginStatusChangedDelegate::CreateLambda(
                        [&](int32, ELoginStatus::Type, ELoginStatus::Type NewStatus, const FUniqueNetId&)
                        { Events.Add(ELoginStatus::ToString(NewStatus)); }));
    LoginUser();
    Events.Empty();
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Run(120.0, 10, {0, ""}, Verified(3600));
    EXPECT_EQ(Refreshes(), FTokenUpkeepZor::MaxUnansweredRefreshes);
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_TRUE(FString::Join(Events, ",").Equals("NotLoggedIn")) << *FString::Join(Events, ",");
}

TEST_F(FTokenUpkeepTest, UnansweredRefreshWithAnExpiredRefreshTokenLogsOutAtOnce)
{
    LoginUser();
    UserToken().refresh_expires = 0.5;
    Tick(1, 1.0f); // the refresh token runs out while the access token is still good
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Run(0.1, 10, {0, ""}, Verified(3600));
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_EQ(Refreshes(), 1);
}

TEST_F(FTokenUpkeepTest, RefreshReplyForAnotherAccountIsRefused)
{
    FString Error;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnRefreshAuthComplete,
                    FOnRefreshAuthCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString& E)
                        { Error = bOk ? "ok" : E; }));
    LoginUser();
    ASSERT_TRUE(Identity().RefreshAuth(UserToken()));
    Answer("/api/oauth/token", 200, TokenReply("someone-else", 3600, "stolen"));
    EXPECT_TRUE(Error.Equals("No user account entry found for id=someone-else")) << *Error;
    EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("someone-else")).IsValid());
    // The service answered but the refresh was not accepted: the user is logged out, never left Verifying.
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Refresh auth request failed. No user account entry found for id=someone-else"));
}
