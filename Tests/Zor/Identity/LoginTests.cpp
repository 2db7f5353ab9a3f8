#include "CaseNamePrinter.h"
#include "Core/Base64.h"
#include "IdentityTest.h"

namespace
{
class FLoginTest : public FIdentityTest
{
protected:
    FLoginTest()
    {
        Identity().AddOnLoginCompleteDelegate(
            0, FOnLoginCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& Error)
                   { Events.Add(FString::Printf("login:%d:%s", bOk, *Error)); }));
        Identity().AddOnLoginStatusChangedDelegate(
            0, FOnLoginStatusChangedDelegate::CreateLambda(
                   [this](int32, ELoginStatus::Type, ELoginStatus::Type NewStatus, const FUniqueNetId&)
                   { Events.Add(FString::Printf("status:%s", ELoginStatus::ToString(NewStatus))); }));
        Identity().AddOnLoginChangedDelegate(
            FOnLoginChangedDelegate::CreateLambda([this](int32) { Events.Add("changed"); }));
        Identity().AddOnLogoutCompleteDelegate(
            0, FOnLogoutCompleteDelegate::CreateLambda([this](int32, bool bOk)
                                                       { Events.Add(FString::Printf("logout:%d", bOk)); }));
        Identity().AddOnLoginPurchaseCompleteDelegate(
            0, FOnLoginPurchaseCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& Error)
                   { Events.Add(FString::Printf("purchase:%d:%s", bOk, *Error)); }));
    }

    FString Body(const FHttpRequestPtr& Request) { return Record(Request).GetContentAsString(); }
    FString Events_() const { return FString::Join(Events, ","); }

    TArray<FString> Events;
};

FString GrantBody(FOnlineIdentityZor& Identity, const FString& Type, const FString& Id, const FString& Token)
{
    return Identity.GetUserTokenGrantPayload(FOnlineAccountCredentials(Type, Id, Token));
}
} // namespace

TEST_F(FLoginTest, GrantBodiesByCredentialType)
{
    EXPECT_TRUE(GrantBody(Identity(), "TAVO", "a b@x.com", "p&w=1")
                    .Equals("grant_type=password&username=a%20b%40x.com&password=p%26w%3D1"));
    EXPECT_TRUE(
        GrantBody(Identity(), "internal", "id&", "tok en")
            .Equals("grant_type=external_auth&external_auth_type=internal&external_auth_token=id&:tok en"));
    EXPECT_TRUE(GrantBody(Identity(), "ExchangeCode", "ignored", "code1")
                    .Equals("grant_type=exchange_code&exchange_code=code1"));
    EXPECT_TRUE(
        GrantBody(Identity(), "refresh", "", "rt").Equals("grant_type=refresh_token&refresh_token=rt"));
    EXPECT_TRUE(GrantBody(Identity(), "steamish", "id", "tok")
                    .Equals("grant_type=external_auth&external_auth_type=steamish&external_auth_token=tok"));
}

TEST_F(FLoginTest, LoginSendsTheGrantSignedWithTheApplicationClient)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "user", "pw")));
    const auto Grant = Record(FindPending("/api/oauth/token"));
    EXPECT_TRUE(
        Grant.URL.Equals("http://127.0.0.1:8080/account/api/oauth/token", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Grant.Verb.Equals("POST"));
    EXPECT_TRUE(ZorExact::Header(Grant, "Content-Type").Equals("application/x-www-form-urlencoded"));
    EXPECT_TRUE(ZorExact::Header(Grant, "Authorization")
                    .Equals("basic " + FBase64::Encode(FString("testclient:testsecret")),
                            ESearchCase::CaseSensitive));
    EXPECT_TRUE(Grant.GetContentAsString().Equals("grant_type=password&username=user&password=pw"));
    EXPECT_TRUE(Log.Contains("Sending Login request. url=http://127.0.0.1:8080/account, type=tavo, id=user"));
}

TEST_F(FLoginTest, SuccessfulLoginKillsOtherSessionsReadsAccountInfoThenReports)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "user", "pw")));
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
    EXPECT_TRUE(Events.IsEmpty()); // login complete waits for the account information
    const auto Kill = Record(FindPending("/sessions/kill"));
    EXPECT_TRUE(Kill.URL.EndsWith("?killType=OTHERS_ACCOUNT_CLIENT", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Kill.Verb.Equals("DELETE"));
    const auto Info = Record(FindPending("/api/public/account/acct1"));
    EXPECT_TRUE(ZorExact::Header(Info, "Authorization").Equals("bearer access-1"));

    Answer("/api/public/account/", 200,
           R"({"id":"acct1","displayName":"P1","lastLogin":"2026-01-01T00:00:00Z"})");
    EXPECT_TRUE(Events_().Equals("login:1:,status:LoggedIn,changed")) << *Events_();
    EXPECT_TRUE(
        Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->LastLogin.Equals("2026-01-01T00:00:00Z"));
    // A successful login goes on with a purchase login under the purchase client.
    const auto Purchase = Record(FindPending("/api/oauth/token"));
    EXPECT_TRUE(ZorExact::Header(Purchase, "Authorization")
                    .Equals("basic " + FBase64::Encode(FString("purchaseclient:purchasesecret"))));
    EXPECT_TRUE(Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->LoginCredentials.Id.IsEmpty());
}

TEST_F(FLoginTest, RefusalsBeforeSending)
{
    EXPECT_FALSE(Identity().Login(1, FOnlineAccountCredentials("tavo", "u", "p")));
    EXPECT_TRUE(Log.Contains("Login request failed. Invalid LocalUserNum=1"));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    EXPECT_FALSE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    EXPECT_TRUE(Log.Contains("Already pending auth for user=u type=tavo"));
    EXPECT_EQ(Http().NumStarted(), 1);
}

TEST_F(FLoginTest, GrantFailuresReportLoginAndPurchaseFailures)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Answer("/api/oauth/token", 200, R"({"access_token":"a"})");
    EXPECT_TRUE(Events_().Equals("login:0:No user id,purchase:0:No user id")) << *Events_();
    EXPECT_FALSE(Identity().GetUniquePlayerId(0).IsValid());

    Events.Empty();
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Http().Fail(FindPending("/api/oauth/token"));
    Tick();
    EXPECT_TRUE(Events_().Equals("login:0:No response,purchase:0:No response")) << *Events_();
}

TEST_F(FLoginTest, GrantWithAnOddRefreshLifetimeStillLogsIn)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Answer(
        "/api/oauth/token", 200,
        R"({"access_token":"a","expires_in":3600,"refresh_token":"r","refresh_expires":-1,"account_id":"acct1"})");
    Answer("/api/public/account/", 200, R"({"id":"acct1"})");
    EXPECT_TRUE(Events_().StartsWith("login:1:,status:LoggedIn")) << *Events_();
}

TEST_F(FLoginTest, FailedAccountInfoFailsTheLoginAndLeavesNobodyLoggedIn)
{
    struct FInfoCase
    {
        int32 Code;
        FString Body;
        FString ContentType;
        FString Error;
    };
    const FInfoCase Cases[] = {
        {200, "<html>", "text/html", "Invalid response payload=<html>"},
        {500, R"({"errorMessage":"down"})", "application/json", "down"},
    };
    Identity().AddOnVerifyAuthCompleteDelegate(FOnVerifyAuthCompleteDelegate::CreateLambda(
        [this](bool bOk, const FAuthTokenZor&, const FAuthTokenVerifyZor&, const FString&)
        { Events.Add(FString::Printf("verify:%d", bOk)); }));
    for (const FInfoCase& Case : Cases)
    {
        Events.Empty();
        Http().Reset();
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
        Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
        Tick(1, 61.0f); // the granted token's first check falls due
        const FHttpRequestPtr Check = FindPending("/api/oauth/verify");
        ASSERT_TRUE(Check) << "the granted token's first check";
        Answer("/api/public/account/", Case.Code, Case.Body, Case.ContentType);
        // The failed login ended: the check it started reports no success after it.
        Http().Respond(Check, 200, R"({"account_id":"acct1","expires_in":3600})");
        Tick();
        EXPECT_TRUE(Events_().Equals("login:0:" + Case.Error + ",verify:0"))
            << *Events_(); // no LoggedIn status
        EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn);
        EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid());
        EXPECT_TRUE(FindPending("/sessions/kill/access-1")) << "the granted session is ended";
        EXPECT_FALSE(FindPending("/api/oauth/token")); // no purchase login after a failed login
    }
}

TEST_F(FLoginTest, AccountInfoWithoutIdStillLogsInAndStoresNothing)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
    Answer("/api/public/account/", 200, R"({"displayName":"Nobody","lastLogin":"2026-01-01T00:00:00Z"})");
    EXPECT_TRUE(Events_().Equals("login:1:,status:LoggedIn,changed")) << *Events_();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity().GetUserAccountZor(FUniqueNetIdString("acct1"));
    ASSERT_TRUE(Account);
    EXPECT_TRUE(Account->Attributes.IsEmpty());
    EXPECT_TRUE(Account->LastLogin.IsEmpty());
}

TEST_F(FLoginTest, SecondLoginWhileAccountInfoIsPendingIsRefused)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
    const int32 Started = Http().NumStarted();
    EXPECT_FALSE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u2", "p2")));
    EXPECT_TRUE(Events_().Equals("login:0:Already pending user info for user=u2 type=tavo")) << *Events_();
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Login request failed. Already pending user info for user=u2 type=tavo"));
    EXPECT_EQ(Http().NumStarted(), Started);
}

TEST_F(FLoginTest, LogoutDuringAPendingLoginWins)
{
    struct FLateCase
    {
        const char* Name;
        bool bGrantAnswered; // the logout comes while the account information, not the grant, is pending
    };
    for (const FLateCase Case : {FLateCase{"LateGrant", false}, FLateCase{"LateAccountInfo", true}})
    {
        Events.Empty();
        Http().Reset();
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
        if (Case.bGrantAnswered)
        {
            Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
        }
        Identity().Logout(0);
        Events.Empty();
        if (!Case.bGrantAnswered)
        {
            Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
            EXPECT_TRUE(FindPending("/sessions/kill/access-1")) << Case.Name;
        }
        else
        {
            Answer("/api/public/account/", 200, R"({"id":"acct1"})");
        }
        Tick(3);
        EXPECT_TRUE(Events_().StartsWith("login:0:Logged out before the login completed"))
            << Case.Name << " " << *Events_();
        int32 Completions = 0;
        for (const FString& Event : Events)
        {
            Completions += Event.StartsWith("login:") ? 1 : 0;
        }
        EXPECT_EQ(Completions, 1) << Case.Name;
        EXPECT_FALSE(Events_().Contains("status:LoggedIn")) << Case.Name;
        EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn) << Case.Name;
        EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid()) << Case.Name;
        EXPECT_FALSE(FindPending("/api/oauth/token")) << Case.Name;
    }
    // A later login is not affected.
    Events.Empty();
    LoginUser();
    EXPECT_TRUE(Events_().StartsWith("login:1:,status:LoggedIn")) << *Events_();
}

TEST_F(FLoginTest, LoggingInAsAnotherAccountLogsTheFirstOneOut)
{
    LoginUser("acct1");
    Events.Empty();
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "other", "pw")));
    Answer("/api/oauth/token", 200, TokenReply("acct2", 3600, "access-2"));
    EXPECT_TRUE(Events_().StartsWith("logout:1,status:NotLoggedIn,changed")) << *Events_();
    EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid());
    EXPECT_TRUE(FindPending("/sessions/kill/access-1"));
    Answer("/api/public/account/", 200, R"({"id":"acct2"})");
    Answer("/api/oauth/token", 200, TokenReply("acct2", 7200, "purchase-2", "purchaseclient"));
    EXPECT_EQ(Identity().GetAllUserAccounts().Num(), 1);
    // The same account again keeps its record and logs nobody out.
    Events.Empty();
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "other", "pw")));
    Answer("/api/oauth/token", 200, TokenReply("acct2", 3600, "access-3"));
    EXPECT_FALSE(Events_().Contains("logout")) << *Events_();
    // A ready token for another account does the same.
    Identity().AddUserAccount(0, "acct3", "ready");
    EXPECT_TRUE(Events_().Contains("logout:1")) << *Events_();
    EXPECT_EQ(Identity().GetAllUserAccounts().Num(), 1);
}

TEST_F(FLoginTest, LogoutKillsUsableTokensAndReports)
{
    EXPECT_FALSE(Identity().Logout(0));
    EXPECT_TRUE(Log.Contains("No logged in user found for LocalUserNum=0."));
    LoginUser();
    Events.Empty();
    FAuthTokenZor& Purchase = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->PurchaseToken;
    Purchase.access_token = "expired-purchase";
    Purchase.expires_in = 0.0;
    EXPECT_TRUE(Identity().Logout(0));
    EXPECT_TRUE(Events_().Equals("logout:1,status:NotLoggedIn,changed")) << *Events_();
    const auto Kill = Record(FindPending("/sessions/kill/"));
    EXPECT_TRUE(
        Kill.URL.EndsWith("/sessions/kill/access-1", ESearchCase::CaseSensitive)); // the wire keeps it
    EXPECT_FALSE(Log.Contains("kill/access-1"));                                   // the log does not
    EXPECT_FALSE(FindPending("expired-purchase"));
    EXPECT_FALSE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid());
}

TEST_F(FLoginTest, PurchaseTokenExpiresExactlyOnce)
{
    LoginUser("acct1", 3600, 10);
    EXPECT_TRUE(Events_().EndsWith("purchase:1:", ESearchCase::CaseSensitive)) << *Events_();
    Events.Empty();
    FAuthTokenZor& Purchase = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->PurchaseToken;
    Tick(3, 4.0f);
    EXPECT_EQ(Purchase.expires_in, 0.0);
    EXPECT_EQ(Purchase.TokenState, EAuthTokenState::Failed);
    Tick(3, 4.0f);
    EXPECT_TRUE(Events_().Equals("purchase:0:Token expired")) << *Events_();
}

TEST_F(FLoginTest, PurchaseReplyForAnotherAccountIsRefused)
{
    LoginUser("acct1", 3600, -1);
    Answer("/api/oauth/token", 200, TokenReply("someone-else", 100, "purchase-x", "purchaseclient"));
    EXPECT_TRUE(Events_().EndsWith("purchase:0:No user account entry found for id=someone-else"))
        << *Events_();
    EXPECT_TRUE(
        Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->PurchaseToken.access_token.IsEmpty());
}

TEST_F(FLoginTest, MissingPurchaseClientEndsEveryLoginWithAPurchaseFailure)
{
    SetIni("[OnlineSubsystemZor]\nbEnabled=true\n[OnlineSubsystemZor.BaseServiceZor]\n"
           "ServicePermissions=(Name=Client,Id=testclient,Key=testsecret)\n");
    Subsystem->Shutdown();
    CreateSubsystem();
    Identity().AddOnLoginPurchaseCompleteDelegate(
        0, FOnLoginPurchaseCompleteDelegate::CreateLambda(
               [this](int32, bool bOk, const FUniqueNetId&, const FString& E)
               { Events.Add(FString::Printf("purchase:%d:%s", bOk, *E)); }));
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
    Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
    Answer("/api/public/account/", 200, R"({"id":"acct1"})");
    EXPECT_TRUE(Events_().Equals("purchase:0:No valid purchasing auth setup")) << *Events_();
}

TEST_F(FLoginTest, AutoLoginForms)
{
    SetCommandLine("LOGIN=someone PASSWORD=secret");
    EXPECT_FALSE(Identity().AutoLogin(0));
    EXPECT_TRUE(Events_().Equals("login:0:missing TYPE=<type>.")) << *Events_();

    Events.Empty();
    SetCommandLine("");
    EXPECT_FALSE(Identity().AutoLogin(0));
    EXPECT_TRUE(Events_().Equals("login:0:missing LOGIN=<login id>."));

    SetCommandLine(R"(LOGIN=acct8 AUTH_JSON={"access_token":"json-token","account_id":"acct8"})");
    EXPECT_TRUE(Identity().AutoLogin(0));
    ASSERT_TRUE(Identity().GetUserAccountZor(FUniqueNetIdString("acct8")).IsValid());
    Identity().Logout(0);
    Http().Reset();

    Events.Empty();
    SetCommandLine("LOGIN=acct9 AUTH=ready-token AUTH_JSON={\"access_token\":\"json-token\",\"account_id\":"
                   "\"acct8\"} PASSWORD=x TYPE=tavo");
    EXPECT_TRUE(Identity().AutoLogin(0));
    EXPECT_FALSE(Identity().GetUserAccountZor(FUniqueNetIdString("acct8")).IsValid()); // AUTH= wins
    EXPECT_TRUE(Identity().GetUserAccountZor(FUniqueNetIdString("acct9")).IsValid());
    // No grant: the ready token is checked at once, beside the account information.
    EXPECT_EQ(Http().NumStarted(), 2);
    EXPECT_TRUE(ZorExact::Header(Record(FindPending("/api/oauth/verify")), "Authorization")
                    .Equals("bearer ready-token"));
    Answer("/api/public/account/acct9", 200, R"({"id":"acct9"})");
    EXPECT_TRUE(Events_().Equals("login:1:,status:LoggedIn,changed")) << *Events_();
    EXPECT_FALSE(FindPending("/api/oauth/token")) << "no purchase grant without credentials";
}

TEST_F(FLoginTest, ReadyTokenLearnsItsLifetimeAndIsKeptAlive)
{
    struct FInstallCase
    {
        const char* Name;
        TFunction<void(FOnlineIdentityZor&)> Install;
    };
    const FInstallCase Cases[] = {
        {"Token", [](FOnlineIdentityZor& Identity) { Identity.AddUserAccount(0, "acct1", "ready"); }},
        {"Json",
         [](FOnlineIdentityZor& Identity) {
             Identity.AddUserAccount(0,
                                     R"({"access_token":"ready","account_id":"acct1","refresh_token":"r"})");
         }},
    };
    for (const FInstallCase& Case : Cases)
    {
        Http().Reset();
        Case.Install(Identity());
        FUserOnlineAccountZor& Account = *Identity().GetUserAccountZor(FUniqueNetIdString("acct1"));
        EXPECT_EQ(Account.UserToken.TokenState, EAuthTokenState::Verifying) << Case.Name;
        Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":1800})");
        EXPECT_EQ(Account.UserToken.TokenState, EAuthTokenState::Valid) << Case.Name;
        EXPECT_DOUBLE_EQ(Account.UserToken.expires_in, 1800.0) << Case.Name;

        // A user request is sent, and the normal upkeep verifies and refreshes the token from here.
        FString Error;
        const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL("http://svc/after-install");
        ASSERT_TRUE(Subsystem->ProcessUserRequest(*Subsystem->GetZorGameService(),
                                                  FUniqueNetIdString("acct1"), Request, Error));
        Tick();
        EXPECT_TRUE(FindPending("/after-install")) << Case.Name;
        Tick(1, 61.0f);
        EXPECT_TRUE(FindPending("/api/oauth/verify")) << Case.Name;
        Answer("/api/oauth/verify", 200, R"({"account_id":"acct1","expires_in":90})");
        Tick(1, 44.0f); // half of what the check left first
        EXPECT_EQ(Account.UserToken.TokenState, EAuthTokenState::Valid) << Case.Name;
        Tick(1, 1.5f);
        EXPECT_EQ(Account.UserToken.TokenState, EAuthTokenState::Refreshing) << Case.Name;
        Answer("/api/oauth/token", 200, TokenReply("acct1", 3600, "renewed"));
        EXPECT_TRUE(Account.UserToken.access_token.Equals("renewed")) << Case.Name;
        Identity().Logout(0);
    }
}

TEST_F(FLoginTest, ReadyTokenWhoseCheckGetsNoAnswerIsCheckedAgainNotRefreshed)
{
    Identity().AddUserAccount(0, "acct1", "ready");
    Http().Fail(FindPending("/api/oauth/verify"));
    Tick(1, 0.1f);
    const FAuthTokenZor& Token = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    EXPECT_EQ(Token.TokenState, EAuthTokenState::Valid);
    Tick(20, 0.1f);
    EXPECT_EQ(Token.TokenState, EAuthTokenState::Verifying);
    EXPECT_FALSE(FindPending("/api/oauth/token"));
}

TEST_F(FLoginTest, ChecksOfATokenNoLocalUserHoldsStillReportAndStoreNothing)
{
    Identity().AddOnVerifyAuthCompleteDelegate(FOnVerifyAuthCompleteDelegate::CreateLambda(
        [this](bool bOk, const FAuthTokenZor& Copy, const FAuthTokenVerifyZor&, const FString&)
        { Events.Add(FString::Printf("verify:%d:%s", bOk, *Copy.account_id)); }));
    Identity().AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
        [this](bool bOk, const FAuthTokenZor& Old, const FAuthTokenZor&, const FString&)
        { Events.Add(FString::Printf("refresh:%d:%s", bOk, *Old.account_id)); }));
    FAuthTokenZor Player;
    Player.access_token = "player-access";
    Player.refresh_token = "player-refresh";
    Player.account_id = "player9";
    Player.client_id = "testclient";
    Player.bIsUserToken = 1;
    Player.expires_in = 3600.0;
    ASSERT_TRUE(Identity().VerifyAuth(Player));
    Answer("/api/oauth/verify", 200, R"({"account_id":"player9","expires_in":3600})");
    ASSERT_TRUE(Identity().RefreshAuth(Player));
    Answer("/api/oauth/token", 200, TokenReply("player9", 3600, "player-access-2"));
    EXPECT_TRUE(Events_().Equals("verify:1:player9,refresh:1:player9")) << *Events_();
    EXPECT_FALSE(Identity().GetUserAccountZor(FUniqueNetIdString("player9")));
}

TEST_F(FLoginTest, AutoLoginForAnotherLocalUserCannotCreateTheAccount)
{
    SetCommandLine("LOGIN=acct9 AUTH=ready-token");
    EXPECT_FALSE(Identity().AutoLogin(1));
    EXPECT_TRUE(Log.Contains("AutoLogin Failed. cant create account for LOGIN=acct9."));
}

TEST_F(FLoginTest, AddUserAccountFromJsonNeedsIdAndToken)
{
    Identity().AddUserAccount(0, R"({"access_token":"a"})");
    EXPECT_TRUE(Log.Contains("Could not parse Json auth token from json="));
    Identity().AddUserAccount(0, TokenReply("acct7", 50));
    EXPECT_TRUE(Identity().GetUserAccountZor(FUniqueNetIdString("acct7")).IsValid());
}

TEST_F(FLoginTest, AutoLoginNeverReportsAnEarlierUserForATokenItCouldNotInstall)
{
    LoginUser();
    Events.Empty();
    SetCommandLine("LOGIN=someone AUTH_JSON={broken");
    EXPECT_FALSE(Identity().AutoLogin(0));
    EXPECT_TRUE(Events_().Equals("login:0:cant create account for LOGIN=someone.")) << *Events_();
}

namespace
{
/** An identity request still in flight when its login ends. */
enum class ELateRequest
{
    Grant,
    AccountInfo,
    Purchase,
    Verify,
    Refresh,
    ExchangeCode,
    KillSessions,
    QuerySessions,
};

enum class ELateAnswer
{
    Success,
    Unauthorized,
    ServerError,
    None,
};

const char* const LateRequestNames[] = {"Grant",   "AccountInfo",  "Purchase",     "Verify",
                                        "Refresh", "ExchangeCode", "KillSessions", "QuerySessions"};
const char* const LateAnswerNames[] = {"Success", "Unauthorized", "ServerError", "None"};

void PrintTo(ELateRequest Request, std::ostream* Out)
{
    *Out << LateRequestNames[static_cast<int32>(Request)];
}

void PrintTo(ELateAnswer Answer, std::ostream* Out)
{
    *Out << LateAnswerNames[static_cast<int32>(Answer)];
}

/** How the request's login ends before its reply. */
enum class ENextLogin
{
    SameAccount,
    OtherAccount,
    SameAccountWithoutLogout,
};

const char* const NextLoginNames[] = {"SameAccount", "OtherAccount", "SameAccountWithoutLogout"};

using FLateReplyCase = std::tuple<ELateRequest, ENextLogin, ELateAnswer>;

/**
 * A request sent for one login, that login ended by a logout, the user logged in again, and only then the
 * reply: it must leave the new login's token, status and events as they were.
 */
class FEndedLoginTest : public FLoginTest, public ::testing::WithParamInterface<FLateReplyCase>
{
protected:
    FEndedLoginTest()
    {
        Identity().AddOnVerifyAuthCompleteDelegate(FOnVerifyAuthCompleteDelegate::CreateLambda(
            [this](bool bOk, const FAuthTokenZor&, const FAuthTokenVerifyZor&, const FString&)
            { Events.Add(FString::Printf("verify:%d", bOk)); }));
        Identity().AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
            [this](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString&)
            { Events.Add(FString::Printf("refresh:%d", bOk)); }));
        Identity().AddOnGenerateExchangeCodeCompleteDelegate(
            FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId&, const FAuthTokenExchangeCodeZor&, const FString&)
                { Events.Add(FString::Printf("code:%d", bOk)); }));
    }

    /** The latest waiting request whose URL contains Part and not Unlike. */
    FHttpRequestPtr Newest(const FString& Part, const FString& Unlike = "none")
    {
        FHttpRequestPtr Found;
        for (const auto& Started : Http().GetStartedRequests())
        {
            const bool bMatches = Started.URL.Contains(Part, ESearchCase::CaseSensitive) &&
                                  !Started.URL.Contains(Unlike, ESearchCase::CaseSensitive);
            Found = Started.State == FInMemoryHttpTransport::EState::Pending && bMatches ? Started.Request
                                                                                         : Found;
        }
        return Found;
    }
    void AnswerNewest(const FString& Part, const FString& Body)
    {
        ASSERT_TRUE(Http().Respond(Newest(Part), 200, Body)) << *Part;
        Tick();
    }

    /** Sends the request for acct1's login; returns it. */
    FHttpRequestPtr Start(ELateRequest Request)
    {
        if (Request == ELateRequest::Grant || Request == ELateRequest::AccountInfo)
        {
            EXPECT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
            if (Request == ELateRequest::Grant)
            {
                return Newest("/api/oauth/token");
            }
            AnswerNewest("/api/oauth/token", TokenReply("acct1", 3600));
            return Newest("/api/public/account/");
        }
        LoginUser("acct1", 3600, Request == ELateRequest::Purchase ? -1.0 : 7200.0);
        FAuthTokenZor& Token = Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
        switch (Request)
        {
        case ELateRequest::Purchase:
            return Newest("/api/oauth/token");
        case ELateRequest::Verify:
            Tick(1, 0.1f);
            return Newest("/api/oauth/verify");
        case ELateRequest::Refresh:
            EXPECT_TRUE(Identity().RefreshAuth(Token));
            return Newest("/api/oauth/token");
        case ELateRequest::ExchangeCode:
            EXPECT_TRUE(Identity().GenerateExchangeCode(FUniqueNetIdString("acct1")));
            Tick();
            return Newest("/api/oauth/exchange");
        case ELateRequest::KillSessions:
            return Newest("/sessions/kill"); // the login's own, ending the account's other sessions
        default:
            EXPECT_TRUE(Identity().QueryAuthSessions(Token));
            return Newest("/api/oauth/sessions", "/kill");
        }
    }

    /** A full login again; a ready token while the first login still holds the login road. */
    void LogInAgain(ELateRequest Request, const FString& AccountId)
    {
        if (Request == ELateRequest::Grant || Request == ELateRequest::AccountInfo)
        {
            Identity().AddUserAccount(0, AccountId, "access-2");
            AnswerNewest("/api/oauth/verify",
                         FString::Printf(R"({"account_id":"%s","expires_in":3600})", *AccountId));
            return;
        }
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "again", "pw")));
        AnswerNewest("/api/oauth/token", TokenReply(AccountId, 3600, "access-2"));
        AnswerNewest("/api/public/account/",
                     FString::Printf(R"({"id":"%s","displayName":"Player Two"})", *AccountId));
        AnswerNewest("/api/oauth/token", TokenReply(AccountId, 7200, "purchase-2", "purchaseclient"));
    }

    void AnswerLate(const FHttpRequestPtr& Late, ELateRequest Request, ELateAnswer Answer)
    {
        const FString Successes[] = {
            TokenReply("acct1", 3600, "late-grant"),
            R"({"id":"acct1","displayName":"Stale"})",
            TokenReply("acct1", 7200, "late-purchase", "purchaseclient"),
            R"({"account_id":"acct1","expires_in":5})",
            TokenReply("acct1", 3600, "late-access"),
            R"({"code":"late-code","expiresInSeconds":300})",
            "",
            "[]",
        };
        switch (Answer)
        {
        case ELateAnswer::Success:
            Http().Respond(Late, 200, Successes[static_cast<int32>(Request)]);
            break;
        case ELateAnswer::Unauthorized:
            Http().Respond(Late, 401, R"({"errorMessage":"revoked"})");
            break;
        case ELateAnswer::ServerError:
            Http().Respond(Late, 503, "down", {}, "text/plain");
            break;
        case ELateAnswer::None:
            Http().Fail(Late);
            break;
        }
        Tick(3);
    }
};
} // namespace

TEST_P(FEndedLoginTest, ReplyForAnEndedLoginLeavesTheNextLoginAsItWas)
{
    const auto [Request, NextLogin, Answer] = GetParam();
    const FString Next = NextLogin == ENextLogin::OtherAccount ? "acct2" : "acct1";
    const FHttpRequestPtr Late = Start(Request);
    ASSERT_TRUE(Late);
    if (NextLogin != ENextLogin::SameAccountWithoutLogout)
    {
        Identity().Logout(0);
    }
    LogInAgain(Request, Next);
    const TSharedPtr<FUserOnlineAccountZor> Account = Identity().GetUserAccountZor(FUniqueNetIdString(Next));
    ASSERT_TRUE(Account);
    ASSERT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn);
    if (Request == ELateRequest::Refresh)
    {
        EXPECT_TRUE(Identity().RefreshAuth(Account->UserToken)) << "the first login's refresh holds up none";
    }
    const FAuthTokenZor Token = Account->UserToken;
    const FAuthTokenZor Purchase = Account->PurchaseToken;
    const FString DisplayName = Account->GetDisplayName();
    const int32 Grants = NumStarted("/api/oauth/token");
    Events.Empty();

    AnswerLate(Late, Request, Answer);
    EXPECT_EQ(Identity().GetUserAccountZor(FUniqueNetIdString(Next)), Account);
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn);
    EXPECT_TRUE(Account->UserToken.access_token.Equals("access-2"));
    EXPECT_EQ(Account->UserToken.TokenState, Token.TokenState);
    EXPECT_DOUBLE_EQ(Account->UserToken.expires_in, Token.expires_in);
    EXPECT_TRUE(Account->PurchaseToken.access_token.Equals(Purchase.access_token));
    EXPECT_EQ(Account->PurchaseToken.TokenState, Purchase.TokenState);
    EXPECT_TRUE(Account->GetDisplayName().Equals(DisplayName));
    EXPECT_EQ(NumStarted("/api/oauth/token"), Grants) << "no refresh or purchase login for the new login";
    for (const char* Secret : {"late-grant", "late-purchase", "late-access", "late-code"})
    {
        EXPECT_FALSE(Log.Contains(Secret)) << Secret;
    }
    if (Request == ELateRequest::Grant || Request == ELateRequest::AccountInfo)
    {
        // The first login's own caller still hears that it ended, and nothing else.
        EXPECT_TRUE(Events_().Equals("login:0:Logged out before the login completed")) << *Events_();
        return;
    }
    // Its caller hears once that it failed; the auth-session calls have no caller and end in a log line.
    const char* const Heard[] = {"", "", "", "verify:0", "refresh:0", "code:0", "", ""};
    EXPECT_TRUE(Events_().Equals(Heard[static_cast<int32>(Request)])) << *Events_();
    if (Request == ELateRequest::Purchase && Answer == ELateAnswer::Success)
    {
        EXPECT_TRUE(FindPending("/sessions/kill/late-purchase"))
            << "the session the late grant opened is ended";
    }
    const bool bDropped = Request != ELateRequest::KillSessions && Request != ELateRequest::QuerySessions;
    EXPECT_EQ(Log.Contains(ELogVerbosity::Verbose, "reply dropped: the login it was sent for has ended"),
              bDropped);
}

INSTANTIATE_TEST_SUITE_P(
    EveryIdentityRequest, FEndedLoginTest,
    ::testing::Combine(::testing::Values(ELateRequest::Grant, ELateRequest::AccountInfo,
                                         ELateRequest::Purchase, ELateRequest::Verify, ELateRequest::Refresh,
                                         ELateRequest::ExchangeCode, ELateRequest::KillSessions,
                                         ELateRequest::QuerySessions),
                       ::testing::Values(ENextLogin::SameAccount, ENextLogin::OtherAccount,
                                         ENextLogin::SameAccountWithoutLogout),
                       ::testing::Values(ELateAnswer::Success, ELateAnswer::Unauthorized,
                                         ELateAnswer::ServerError, ELateAnswer::None)),
    [](const ::testing::TestParamInfo<FLateReplyCase>& Info)
    {
        return std::string(LateRequestNames[static_cast<int32>(std::get<0>(Info.param))]) + "_" +
               NextLoginNames[static_cast<int32>(std::get<1>(Info.param))] + "_" +
               LateAnswerNames[static_cast<int32>(std::get<2>(Info.param))];
    });

namespace
{
/** A run of identity events whose first handler ends the login or the subsystem. */
struct FHandlerCase
{
    const char* Name;
    /** Sets off the run; the handler is bound to its first event. */
    enum EPlace
    {
        Login,
        RefusedLogin,
        Logout,
        RefusedRefresh,
    } Place;
    enum EHandler
    {
        LogsOut,
        LogsInAsAnother,
        ShutsDown,
    } Handler;
    /** Every event seen, the other account's login included. */
    const char* Events;
};

using ZorTestCases::PrintTo;

class FEventRunTest : public FLoginTest, public ::testing::WithParamInterface<FHandlerCase>
{
protected:
    void Handle(FHandlerCase::EHandler Handler)
    {
        if (Handler == FHandlerCase::LogsOut)
        {
            Held->Logout(0);
        }
        else if (Handler == FHandlerCase::LogsInAsAnother)
        {
            SetCommandLine("LOGIN=acct2 AUTH=ready-2");
            Held->AutoLogin(0);
        }
        else
        {
            Subsystem->Shutdown();
        }
    }

    TSharedPtr<FOnlineIdentityZor> Held = Subsystem->GetZorIdentityService();
};
} // namespace

TEST_P(FEventRunTest, EventsAfterAHandlerAgreeWithTheStateItLeft)
{
    const FHandlerCase& Case = GetParam();
    const bool bLoginFirst = Case.Place == FHandlerCase::Login || Case.Place == FHandlerCase::RefusedLogin;
    if (!bLoginFirst)
    {
        LoginUser();
        Events.Empty();
    }
    bool bHandled = false;
    const auto Once = [&](int32)
    {
        if (!bHandled)
        {
            bHandled = true;
            Handle(Case.Handler);
        }
    };
    if (bLoginFirst)
    {
        Held->AddOnLoginCompleteDelegate(0, FOnLoginCompleteDelegate::CreateLambda(
                                                [&](int32 User, bool, const FUniqueNetId&, const FString&)
                                                { Once(User); }));
    }
    else
    {
        Held->AddOnLogoutCompleteDelegate(
            0, FOnLogoutCompleteDelegate::CreateLambda([&](int32 User, bool) { Once(User); }));
    }
    Held->AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
        [this](bool bOk, const FAuthTokenZor&, const FAuthTokenZor&, const FString&)
        { Events.Add(FString::Printf("refresh:%d", bOk)); }));

    switch (Case.Place)
    {
    case FHandlerCase::Login:
        ASSERT_TRUE(Held->Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
        Answer("/api/oauth/token", 200, TokenReply("acct1", 3600));
        Answer("/api/public/account/acct1", 200, R"({"id":"acct1"})");
        break;
    case FHandlerCase::RefusedLogin:
        ASSERT_TRUE(Held->Login(0, FOnlineAccountCredentials("tavo", "u", "p")));
        Answer("/api/oauth/token", 401, R"({"errorMessage":"refused"})");
        break;
    case FHandlerCase::Logout:
        Held->Logout(0);
        break;
    case FHandlerCase::RefusedRefresh:
        ASSERT_TRUE(Held->RefreshAuth(Held->GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken));
        Answer("/api/oauth/token", 400, R"({"errorMessage":"invalid refresh"})");
        break;
    }
    ASSERT_TRUE(bHandled);
    if (Case.Handler == FHandlerCase::LogsInAsAnother)
    {
        Answer("/api/public/account/acct2", 200, R"({"id":"acct2"})");
    }
    // Whatever was left in flight is answered: none of it may speak for the state the handler left.
    for (const auto& Started : Http().GetStartedRequests())
    {
        if (Started.State == FInMemoryHttpTransport::EState::Pending &&
            Started.URL.Contains("/api/oauth/token", ESearchCase::CaseSensitive))
        {
            Http().Respond(Started.Request, 200, TokenReply("acct1", 7200, "purchase-1", "purchaseclient"));
        }
    }
    Tick(3);
    EXPECT_TRUE(Events_().Equals(Case.Events)) << *Events_();
}

const FHandlerCase HandlerCases[] = {
    {"LoginCompleteLogsOut", FHandlerCase::Login, FHandlerCase::LogsOut,
     "login:1:,logout:1,status:NotLoggedIn,changed"},
    {"LoginCompleteLogsInAsAnother", FHandlerCase::Login, FHandlerCase::LogsInAsAnother,
     "login:1:,logout:1,status:NotLoggedIn,changed,login:1:,status:LoggedIn,changed"},
    {"LoginCompleteShutsDown", FHandlerCase::Login, FHandlerCase::ShutsDown, "login:1:"},
    {"RefusedLoginCompleteLogsInAsAnother", FHandlerCase::RefusedLogin, FHandlerCase::LogsInAsAnother,
     "login:0:refused,login:1:,status:LoggedIn,changed"},
    {"RefusedLoginCompleteShutsDown", FHandlerCase::RefusedLogin, FHandlerCase::ShutsDown, "login:0:refused"},
    {"LogoutCompleteLogsInAsAnother", FHandlerCase::Logout, FHandlerCase::LogsInAsAnother,
     "logout:1,status:NotLoggedIn,login:1:,status:LoggedIn,changed"},
    {"LogoutCompleteShutsDown", FHandlerCase::Logout, FHandlerCase::ShutsDown, "logout:1"},
    {"RefusedRefreshLogoutLogsInAsAnother", FHandlerCase::RefusedRefresh, FHandlerCase::LogsInAsAnother,
     "logout:1,status:NotLoggedIn,refresh:0,login:1:,status:LoggedIn,changed"},
    {"RefusedRefreshLogoutShutsDown", FHandlerCase::RefusedRefresh, FHandlerCase::ShutsDown, "logout:1"},
};

INSTANTIATE_TEST_SUITE_P(HandlersThatEndTheLogin, FEventRunTest, ::testing::ValuesIn(HandlerCases),
                         [](const ::testing::TestParamInfo<FHandlerCase>& Info)
                         { return std::string(Info.param.Name); });
