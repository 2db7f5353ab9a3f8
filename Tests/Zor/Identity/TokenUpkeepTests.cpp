#include "CaseNamePrinter.h"
#include "IdentityTest.h"
#include "ZorRows.h"

namespace
{
struct FGrantDelayCase
{
    double ExpiresIn;
    /** What a later check says is left; negative for no check. */
    double CheckedExpiresIn;
    double RefreshDelay;
};

namespace
{
const FGrantDelayCase EveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardRows[] = {
    {3600.0, -1.0, 1800.0}, {100.0, -1.0, 50.0}, {99.0, -1.0, 49.5},    {8.0, -1.0, 5.0},    {0.0, -1.0, 5.0},
    {-3.0, -1.0, 5.0},      {7200.0, 1.0, 5.0},  {7200.0, 100.0, 50.0}, {60.0, 7200.0, 30.0}};

using FEveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardTest =
    ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FEveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardTest,
       EveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForward)
{
    const FGrantDelayCase& Case =
        EveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardRows[GetParam()];
    SCOPED_TRACE(*FString::Printf("granted %g, checked %g", Case.ExpiresIn, Case.CheckedExpiresIn));
    FTokenUpkeepZor Upkeep;
    Upkeep.OnGranted(Case.ExpiresIn);
    if (Case.CheckedExpiresIn >= 0.0)
    {
        Upkeep.OnLifetimeCut(Case.CheckedExpiresIn);
    }
    EXPECT_FALSE(Upkeep.IsRefreshDue());
    Upkeep.Tick(Case.RefreshDelay - 0.01);
    EXPECT_FALSE(Upkeep.IsRefreshDue());
    Upkeep.Tick(0.02);
    EXPECT_TRUE(Upkeep.IsRefreshDue());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FEveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardTest,
    ::testing::Range(
        size_t{0},
        std::size(EveryTokenWaitsHalfItsLifeAtLeastTheMinimumAndAChecksCutOnlyBringsThatForwardRows)));

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
        RunAnswering(Seconds, Fps,
                     [&](const FInMemoryHttpTransport::FStartedRequest& Started)
                     {
                         return Started.URL.Contains("/api/oauth/token", ESearchCase::CaseSensitive) ? Grant
                                : Started.URL.Contains("/api/oauth/verify", ESearchCase::CaseSensitive)
                                    ? Verify
                                    : Empty;
                     });
    }
    /** As Run, with every waiting request answered by what Reply gives for it. */
    void RunAnswering(double Seconds, int32 Fps,
                      const TFunction<FReply(const FInMemoryHttpTransport::FStartedRequest&)>& Reply)
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
                const FReply Answer = Reply(Started);
                if (Answer.Code == 0)
                {
                    Http().Fail(Started.Request);
                    continue;
                }
                Http().Respond(Started.Request, Answer.Code, Answer.Body);
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

namespace
{
// Half the life, at least five seconds: a 60-second token every 30 s, one that is already out every 5 s.
const FStormCase StormCases[] = {{60.0, 2}, {20.0, 6}, {0.0, 12}};

using FTokenStormTest = TZorRows<FTokenUpkeepTest>;
} // namespace

TEST_P(FTokenStormTest, ShortTokensAreRefreshedAtABoundedRateNeverEveryFrame)
{
    const FStormCase& Case = StormCases[GetParam()];
    LoginUser("acct1", Case.ExpiresIn);
    EXPECT_EQ(Refreshes(), 0) << "the login itself is not refreshed over";
    Run(60.0, 60, Token(Case.ExpiresIn), Verified(Case.ExpiresIn));
    EXPECT_GE(Refreshes(), 1) << Case.ExpiresIn;
    EXPECT_LE(Refreshes(), Case.MostRefreshesPerMinute) << Case.ExpiresIn;
    EXPECT_TRUE(Identity().GetUniquePlayerId(0).IsValid()) << Case.ExpiresIn;
}

INSTANTIATE_TEST_SUITE_P(Lifetimes, FTokenStormTest, ::testing::Range(size_t{0}, std::size(StormCases)));

enum class EShortReply
{
    Grant,
    Verify,
    Refresh,
};

enum class EShortToken
{
    User,
    Client,
    Purchase,
};

struct FShortReplyPath
{
    EShortReply Reply;
    EShortToken Token;
    const char* Name;
};

namespace
{
// The purchase token is neither checked nor refreshed, so only its grant can be short. The client rows log no
// user in, as a title-file list before any login does.
const FShortReplyPath ShortReplyPaths[] = {
    {EShortReply::Grant, EShortToken::User, "user grant"},
    {EShortReply::Verify, EShortToken::User, "user check"},
    {EShortReply::Refresh, EShortToken::User, "user refresh"},
    {EShortReply::Grant, EShortToken::Client, "client grant"},
    {EShortReply::Verify, EShortToken::Client, "client check"},
    {EShortReply::Refresh, EShortToken::Client, "client refresh"},
    {EShortReply::Grant, EShortToken::Purchase, "purchase grant"},
};
const double ShortLifetimes[] = {0.0, 1.0, 99.0, 100.0};

using FShortLifetimeTest = TZorRows<FTokenUpkeepTest, std::tuple<size_t, double>>;
} // namespace

TEST_P(FShortLifetimeTest, NoReplyOfAShortLifetimeStartsARequestLoop)
{
    const FShortReplyPath& Path = ShortReplyPaths[std::get<0>(GetParam())];
    const double Lifetime = std::get<1>(GetParam());
    // One renewal and the check of what it brought per floor period, and the odd periodic check.
    const int32 MostPerMinute = static_cast<int32>(2.0 * 60.0 / FTokenUpkeepZor::MinRefreshDelay) + 4;
    int32 Expiries = 0;
    ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnLoginPurchaseComplete, 0,
                    FOnLoginPurchaseCompleteDelegate::CreateLambda(
                        [&](int32, bool, const FUniqueNetId&, const FString& Error)
                        { Expiries += Error.Equals("Token expired") ? 1 : 0; }));
    const auto Life = [&](EShortReply Reply, EShortToken Token)
    { return Reply == Path.Reply && Token == Path.Token ? Lifetime : 7200.0; };
    const bool bUser = Path.Token != EShortToken::Client;
    if (bUser)
    {
        LoginUser("acct1", Life(EShortReply::Grant, EShortToken::User),
                  Life(EShortReply::Grant, EShortToken::Purchase));
    }
    else
    {
        ASSERT_TRUE(Identity().AuthClient("testclient"));
        Answer("/api/oauth/token", 200,
               TokenReply("", Life(EShortReply::Grant, EShortToken::Client), "client-access"));
    }
    if (Path.Reply == EShortReply::Refresh)
    {
        ASSERT_TRUE(bUser ? Identity().RefreshAuth(UserToken())
                          : Identity().RefreshAuth(*Identity().GetClientAuthTokenZor("testclient")));
    }
    const int32 Before = NumStarted("/api/oauth/");
    RunAnswering(
        60.0, 20,
        [&](const FInMemoryHttpTransport::FStartedRequest& Started) -> FReply
        {
            const FString Body = Started.GetContentAsString();
            const bool bClient = Started.Headers.FindRef("Authorization").Contains("client-") ||
                                 Body.StartsWith("grant_type=client_credentials") ||
                                 Body.EndsWith("refresh_token=");
            const EShortToken Token = bClient ? EShortToken::Client : EShortToken::User;
            if (Started.URL.Contains("/api/oauth/verify", ESearchCase::CaseSensitive))
            {
                return {200, FString::Printf(R"({"account_id":"%s","client_id":"testclient",)"
                                             R"("expires_in":%g})",
                                             bClient ? "" : "acct1", Life(EShortReply::Verify, Token))};
            }
            if (!Started.URL.Contains("/api/oauth/token", ESearchCase::CaseSensitive))
            {
                return Empty;
            }
            const EShortReply Reply =
                Body.StartsWith("grant_type=refresh_token") ? EShortReply::Refresh : EShortReply::Grant;
            return {200, TokenReply(bClient ? "" : "acct1", Life(Reply, Token),
                                    bClient ? "client-access" : "access-n")};
        });
    EXPECT_LE(NumStarted("/api/oauth/") - Before, MostPerMinute);
    // A purchase token simply runs out, once.
    EXPECT_EQ(Expiries, Path.Token == EShortToken::Purchase && Lifetime < 60.0 ? 1 : 0);
    EXPECT_EQ(Identity().GetUniquePlayerId(0).IsValid(), bUser);
}

INSTANTIATE_TEST_SUITE_P(Paths, FShortLifetimeTest,
                         ::testing::Combine(::testing::Range(size_t{0}, std::size(ShortReplyPaths)),
                                            ::testing::ValuesIn(ShortLifetimes)),
                         [](const auto& Info)
                         {
                             return ZorTestCases::TestName(
                                 std::string(ShortReplyPaths[std::get<0>(Info.param)].Name) + " of " +
                                 std::to_string(static_cast<int>(std::get<1>(Info.param))) + " s");
                         });

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

namespace
{
struct FBadCheck
{
    int32 Code;
    const char* Body;
};

// Refused, empty, unreadable, and verified with no time left or less.
const FBadCheck BadChecks[] = {{500, "oops"},
                               {200, ""},
                               {200, "{not json"},
                               {200, R"({"account_id":"acct1","expires_in":0})"},
                               {200, R"({"account_id":"acct1","expires_in":-5})"}};

using FTokenUpkeepBadCheckTest = TZorRows<FTokenUpkeepTest>;
} // namespace

TEST_P(FTokenUpkeepBadCheckTest, FailedChecksBackOffAndTheFirstSuccessResetsThem)
{
    const FReply Bad{BadChecks[GetParam()].Code, BadChecks[GetParam()].Body};
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

INSTANTIATE_TEST_SUITE_P(Rows, FTokenUpkeepBadCheckTest, ::testing::Range(size_t{0}, std::size(BadChecks)));

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
