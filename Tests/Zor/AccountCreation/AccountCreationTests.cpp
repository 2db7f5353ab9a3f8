#include "ZorSubsystemTest.h"

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "Core/Base64.h"

#include <functional>

#include "CaseNamePrinter.h"
#include "ZorRows.h"

namespace
{
const char* const Base = "http://127.0.0.1:8080/api/tavoAccount/account";
const char* const AccountRecord =
    R"({"id":"acct-9","email":"p@x.io","displayName":"Pee","pendingAuth":true})";

/** One event as "Operation ok|fail Email Error". */
std::string Event(const char* Operation, bool bOk, const FString& Email, const FString& Error)
{
    return std::string(Operation) + (bOk ? " ok " : " fail ") + Email.ToStdString() + " " +
           Error.ToStdString();
}
} // namespace

class FAccountCreationTest : public FZorSubsystemTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        ASSERT_TRUE(Accounts());
        Bind(&FOnlineAccountCreationZor::AddOnCreateAccountCompleteDelegate, "create");
        Bind(&FOnlineAccountCreationZor::AddOnUpdateAccountCompleteDelegate, "update");
        Bind(&FOnlineAccountCreationZor::AddOnDeleteAccountCompleteDelegate, "delete");
        Bind(&FOnlineAccountCreationZor::AddOnValidateAccountCompleteDelegate, "validate");
        Bind(&FOnlineAccountCreationZor::AddOnQueryAccountInfoCompleteDelegate, "query");
        Bind(&FOnlineAccountCreationZor::AddOnResetPasswordCompleteDelegate, "reset");
        Bind(&FOnlineAccountCreationZor::AddOnResendValidationCompleteDelegate, "resend");
    }

    FOnlineAccountCreationZor* Accounts() { return Subsystem->GetZorAccountCreationService().Get(); }

    /** The application client's token, which every operation but update and delete signs with. */
    void GiveClientToken()
    {
        ASSERT_TRUE(Identity().AuthClient("testclient"));
        Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-token"));
        Events.clear();
    }

    void Bind(FDelegateHandle (FOnlineAccountCreationZor::*Add)(const FOnTavoAccountCompleteDelegate&),
              const char* Operation)
    {
        (Accounts()->*Add)(FOnTavoAccountCompleteDelegate::CreateLambda(
            [this, Operation](bool bOk, const FString& Email, const FString& Error)
            { Events.push_back(Event(Operation, bOk, Email, Error)); }));
    }

    std::vector<std::string> Events;
};

namespace
{
struct FCreationCheckCase
{
    const char* Name;
    bool bClientToken;
    std::function<bool(FOnlineAccountCreationZor&)> Start;
    std::string Expected;
    /** The warning the refusal logs, where the row looks for one. */
    const char* Warning = nullptr;
};
using ZorTestCases::PrintTo;

const FCreationCheckCase CreationCheckCases[] = {
    {"field checks come before the client", false,
     [](auto& A) { return A.CreateAccount("P@x.io", "", "pw"); },
     "create fail P@x.io Display name [] is invalid"},
    {"no client token", false, [](auto& A) { return A.CreateAccount("P@x.io", "Pee", "pw"); },
     "create fail P@x.io Client auth is invalid"},
    {"update checks the new values", false,
     [](auto& A) { return A.UpdateAccount("P@x.io", "pw", "new@x.io", "New", ""); },
     "update fail P@x.io Password is invalid"},
    {"update new e-mail", false,
     [](auto& A) { return A.UpdateAccount("P@x.io", "pw", "newx.io", "New", "n"); },
     "update fail P@x.io Email address [newx.io] is invalid"},
    {"validate without client", false, [](auto& A) { return A.ValidateAccount("P@x.io", "t"); },
     "validate fail P@x.io Client auth is invalid"},
    {"query without client", false, [](auto& A) { return A.QueryAccountInfo("P@x.io"); },
     "query fail P@x.io Client auth is invalid"},
    {"reset without client", false, [](auto& A) { return A.ResetPassword("P@x.io"); },
     "reset fail P@x.io Client auth is invalid"},
    {"resend without client", false, [](auto& A) { return A.ResendValidation("P@x.io"); },
     "resend fail P@x.io Client auth is invalid",
     "Tavo account resend validation request failed. Client auth"},
    {"bad e-mail", true, [](auto& A) { return A.CreateAccount("P.x.io", "Pee", "pw"); },
     "create fail P.x.io Email address [P.x.io] is invalid"},
    {"blank in name", true, [](auto& A) { return A.CreateAccount("P@x.io", "P e", "pw"); },
     "create fail P@x.io Display name [P e] is invalid"},
    {"empty password", true, [](auto& A) { return A.CreateAccount("P@x.io", "Pee", ""); },
     "create fail P@x.io Password is invalid", "Zor Tavo account create request failed. Password is invalid"},
};

using FAccountCreationCheckTest = TZorRows<FAccountCreationTest, FCreationCheckCase>;
} // namespace

TEST_P(FAccountCreationCheckTest, ChecksRefuseBeforeSendingInOrder)
{
    const FCreationCheckCase& Case = GetParam();
    if (Case.bClientToken)
    {
        GiveClientToken();
    }
    const int32 Started = Http().NumStarted();
    EXPECT_FALSE(Case.Start(*Accounts())) << Case.Name;
    ASSERT_EQ(Events.size(), 1u) << Case.Name;
    EXPECT_EQ(Events[0], Case.Expected) << Case.Name;
    EXPECT_EQ(Http().NumStarted(), Started) << Case.Name;
    if (Case.Warning)
    {
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, Case.Warning));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountCreationCheckTest, ::testing::ValuesIn(CreationCheckCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FAccountCreationTest, OneOperationPerEmailWhateverItsCase)
{
    GiveClientToken();
    ASSERT_TRUE(Accounts()->QueryAccountInfo("P@X.io"));
    EXPECT_FALSE(Accounts()->ResetPassword("p@x.IO"));
    EXPECT_FALSE(Accounts()->CreateAccount("p@x.io", "P e", "pw")); // a later check replaces the pending text
    EXPECT_TRUE(Accounts()->QueryAccountInfo("other@x.io"));
    EXPECT_EQ(Events,
              (std::vector<std::string>{"reset fail p@x.IO Already pending account operation for user=p@x.IO",
                                        "create fail p@x.io Display name [P e] is invalid"}));
    Answer("/p@x.io", 200, AccountRecord);
    EXPECT_EQ(Events.back(), "query ok p@x.io ");
    EXPECT_TRUE(Accounts()->ResetPassword("P@X.IO"));
}

namespace
{
const FString RequestBasic = "basic " + FBase64::Encode("p@x.io:pw");

struct FCreationRequestCase
{
    std::function<bool(FOnlineAccountCreationZor&)> Start;
    const char* Verb;
    std::string Url;
    FString Authorization;
    const char* ContentType; // null: no header
    const char* Body;
};

const FCreationRequestCase CreationRequestCases[] = {
    {[](auto& A) { return A.CreateAccount("P@X.io", "Pee", "pw"); }, "POST", Base, "bearer client-token",
     "application/json", R"("email": "P@X.io")"},
    {[](auto& A) { return A.UpdateAccount("P@X.io", "pw", "N@x.io", "New", "pw2"); }, "PUT",
     std::string(Base) + "/p@x.io", RequestBasic, "application/json", R"("newPassword": "pw2")"},
    {[](auto& A) { return A.DeleteAccount("P@X.io", "pw"); }, "DELETE", std::string(Base) + "/p@x.io",
     RequestBasic, "application/json", ""},
    {[](auto& A) { return A.ValidateAccount("P@X.io", "Tok/1?#"); }, "POST",
     std::string(Base) + "/p@x.io/validate/Tok%2F1%3F%23", "bearer client-token", nullptr, ""},
    {[](auto& A) { return A.ValidateAccount("A`Token@x.io", "T"); }, "POST",
     std::string(Base) + "/a`token@x.io/validate/T", "bearer client-token", nullptr, ""},
    {[](auto& A) { return A.QueryAccountInfo("P@X.io"); }, "GET", std::string(Base) + "/p@x.io",
     "bearer client-token", nullptr, ""},
    {[](auto& A) { return A.ResetPassword("P@X.io"); }, "POST", std::string(Base) + "/p@x.io/resetPassword",
     "bearer client-token", nullptr, ""},
    {[](auto& A) { return A.ResendValidation("P@X.io"); }, "POST", std::string(Base) + "/p@x.io/resend",
     "bearer client-token", nullptr, ""},
};

using FAccountCreationRequestTest = TZorRows<FAccountCreationTest>;
} // namespace

TEST_P(FAccountCreationRequestTest, RequestsCarryTheirVerbUrlHeadersAndBody)
{
    const FCreationRequestCase& Case = CreationRequestCases[GetParam()];
    GiveClientToken();
    ASSERT_TRUE(Case.Start(*Accounts())) << Case.Url;
    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_EQ(Sent.Verb.ToStdString(), Case.Verb);
    EXPECT_EQ(Sent.URL.ToStdString(), Case.Url);
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization").ToStdString(), Case.Authorization.ToStdString());
    EXPECT_TRUE(ZorExact::Header(Sent, "User-Agent").Contains("game=TestGame", ESearchCase::CaseSensitive))
        << Case.Url;
    EXPECT_EQ(Sent.Headers.Contains("Content-Type"), Case.ContentType != nullptr) << Case.Url;
    if (Case.ContentType)
    {
        EXPECT_EQ(ZorExact::Header(Sent, "Content-Type").ToStdString(), Case.ContentType);
    }
    EXPECT_TRUE(Sent.GetContentAsString().Contains(Case.Body, ESearchCase::CaseSensitive)) << Case.Url;
    RespondOldest(204, "");
    Tick();
    // The record's e-mail only: the id is the service's to give.
    EXPECT_FALSE(Sent.GetContentAsString().Contains("\"id\"")) << Case.Url;
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountCreationRequestTest,
                         ::testing::Range(size_t{0}, std::size(CreationRequestCases)));

namespace
{
struct FCreationReplyCase
{
    const char* Name;
    std::function<bool(FOnlineAccountCreationZor&)> Start;
    int32 Code;
    const char* Body;
    std::string Expected;
    bool bCached;
    /** A line the reply logs, where the row looks for one. */
    ELogVerbosity::Type LoggedAt = ELogVerbosity::Log;
    const char* Logged = nullptr;
};

const FCreationReplyCase CreationReplyCases[] = {
    {"created", [](auto& A) { return A.CreateAccount("P@X.io", "Pee", "pw"); }, 200, AccountRecord,
     "create ok p@x.io ", true, ELogVerbosity::Verbose,
     "Zor create Tavo account request complete. url=http://127.0.0.1:8080/api/tavoAccount/account code=200 "
     "response="},
    {"a redirect fails", [](auto& A) { return A.QueryAccountInfo("P@X.io"); }, 302, "moved",
     "query fail p@x.io Invalid response. code=302 error=moved", false},
    {"record without a valid e-mail", [](auto& A) { return A.QueryAccountInfo("P@X.io"); }, 200,
     R"({"id":"a","email":"nobody"})",
     R"(query fail p@x.io Invalid Json response. code=200 error={"id":"a","email":"nobody"})", false,
     ELogVerbosity::Warning, "Zor query Tavo account info request failed. Invalid Json"},
    {"refused", [](auto& A) { return A.CreateAccount("P@X.io", "Pee", "pw"); }, 409,
     R"({"errorMessage":"taken"})",
     R"(create fail p@x.io Invalid response. code=409 error={"errorMessage":"taken"})", false},
    {"reset stores nothing", [](auto& A) { return A.ResetPassword("P@X.io"); }, 204, "", "reset ok p@x.io ",
     false},
};

using FAccountCreationReplyTest = TZorRows<FAccountCreationTest, FCreationReplyCase>;
} // namespace

TEST_P(FAccountCreationReplyTest, RepliesAreCheckedAndCached)
{
    const FCreationReplyCase& Case = GetParam();
    GiveClientToken();
    ASSERT_TRUE(Case.Start(*Accounts())) << Case.Name;
    RespondOldest(Case.Code, Case.Body);
    Tick();
    EXPECT_EQ(Events, std::vector<std::string>{Case.Expected}) << Case.Name;
    FTavoAccountInfo Info;
    EXPECT_EQ(Accounts()->GetAccountInfo("p@X.IO", Info), Case.bCached) << Case.Name;
    if (Case.bCached)
    {
        EXPECT_EQ(Info.id.ToStdString(), "acct-9");
        EXPECT_TRUE(Info.pendingAuth);
    }
    if (Case.Logged)
    {
        EXPECT_TRUE(Log.Contains(Case.LoggedAt, Case.Logged));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountCreationReplyTest, ::testing::ValuesIn(CreationReplyCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FAccountCreationTest, ValidateResendAndEmailChangeKeepTheCacheEntry)
{
    GiveClientToken();
    const auto Reply = [this](int32 Code, const FString& Body)
    {
        RespondOldest(Code, Body);
        Tick();
    };
    ASSERT_TRUE(Accounts()->ValidateAccount("never@x.io", "t"));
    Reply(204, "");
    ASSERT_TRUE(Accounts()->QueryAccountInfo("p@x.io"));
    Reply(200, AccountRecord);
    ASSERT_TRUE(Accounts()->ValidateAccount("P@x.io", "t"));
    Reply(204, "");
    FTavoAccountInfo Info;
    ASSERT_TRUE(Accounts()->GetAccountInfo("p@x.io", Info));
    EXPECT_FALSE(Info.pendingAuth);
    ASSERT_TRUE(Accounts()->ResendValidation("p@x.io"));
    Reply(204, "");
    ASSERT_TRUE(Accounts()->GetAccountInfo("p@x.io", Info));
    EXPECT_TRUE(Info.pendingAuth);

    ASSERT_TRUE(Accounts()->UpdateAccount("p@x.io", "pw", "q@x.io", "Queue", "pw2"));
    Reply(200, R"({"id":"acct-9","email":"q@x.io","displayName":"Queue"})");
    EXPECT_FALSE(Accounts()->GetAccountInfo("q@x.io", Info));
    ASSERT_TRUE(Accounts()->GetAccountInfo("p@x.io", Info));
    EXPECT_EQ(Info.email.ToStdString(), "q@x.io");
    EXPECT_EQ(Events.front(), "validate ok never@x.io ");
}

TEST_F(FAccountCreationTest, RefusedStartReportsNoResponseLaterAndUnlocks)
{
    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.GameServiceZor]\nProtocol=ftp\n");
    Subsystem->UpdateServiceConfig();
    GiveClientToken();
    EXPECT_FALSE(Accounts()->QueryAccountInfo("P@x.io"));
    EXPECT_TRUE(Events.empty());
    EXPECT_FALSE(Accounts()->ResetPassword("p@x.io")); // still pending until its completion
    Tick();
    EXPECT_EQ(Events,
              (std::vector<std::string>{"reset fail p@x.io Already pending account operation for user=p@x.io",
                                        "query fail p@x.io No response"}));
    Events.clear();
    EXPECT_FALSE(Accounts()->ResetPassword("p@x.io"));
    Tick();
    EXPECT_EQ(Events, std::vector<std::string>{"reset fail p@x.io No response"});
}

TEST_F(FAccountCreationTest, ShutdownReportsPendingOnceAndRefusesLater)
{
    GiveClientToken();
    const TSharedPtr<FOnlineAccountCreationZor> Held = Subsystem->GetZorAccountCreationService();
    ASSERT_TRUE(Held->QueryAccountInfo("P@x.io"));
    Subsystem->Shutdown();
    EXPECT_EQ(Events, std::vector<std::string>{"query fail p@x.io No response"});
    EXPECT_FALSE(Subsystem->GetZorAccountCreationService());
    Tick(2);
    EXPECT_EQ(Events.size(), 1u);
    EXPECT_FALSE(Held->DeleteAccount("P@x.io", "pw"));
    EXPECT_EQ(Events.back(), "delete fail p@x.io No response");
}

namespace
{
// The token travels in the path, once plain and once with characters the path encodes.
const char* const ValidationTokens[] = {"0a1b2c3d4e5f6a7b8c9d", "v4l/id?t0ken 42%"};

using FAccountCreationSecretTest = TZorRows<FAccountCreationTest>;
} // namespace

TEST_P(FAccountCreationSecretTest, NoPasswordOrValidationTokenReachesTheLog)
{
    GiveClientToken();
    ASSERT_TRUE(Accounts()->CreateAccount("p@x.io", "Pee", "s3cret-pw"));
    RespondOldest(400, R"({"password":"s3cret-pw"})");
    Tick();
    ASSERT_TRUE(Accounts()->UpdateAccount("p@x.io", "s3cret-pw", "p@x.io", "Pee", "n3w-secret"));
    RespondOldest(200, AccountRecord);
    Tick();
    ASSERT_TRUE(Accounts()->ValidateAccount("p@x.io", ValidationTokens[GetParam()]));
    RespondOldest(400, R"({"errorMessage":"The validation token does not match"})");
    Tick();
    EXPECT_TRUE(Log.Contains("Zor validate Tavo account request complete. url="));
    const FString Secrets[] = {"s3cret-pw",         "n3w-secret",        FBase64::Encode("p@x.io:s3cret-pw"),
                               ValidationTokens[0], ValidationTokens[1], "v4l%2Fid%3Ft0ken%2042%25"};
    for (const auto& Line : Log.Lines())
    {
        for (const FString& Secret : Secrets)
        {
            EXPECT_FALSE(Line.Message.Contains(Secret)) << *Line.Message;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountCreationSecretTest,
                         ::testing::Range(size_t{0}, std::size(ValidationTokens)));

TEST_F(FAccountCreationTest, CompletionForADestroyedServiceIsDropped)
{
    GiveClientToken();
    ASSERT_TRUE(Accounts()->QueryAccountInfo("p@x.io"));
    const FHttpRequestPtr Request = Http().FindOldestPending();
    Subsystem.Reset(); // destroyed without a shutdown, which it runs itself
    EXPECT_EQ(Events, std::vector<std::string>{"query fail p@x.io No response"});
    Http().Respond(Request, 200, AccountRecord);
    Tick();
    EXPECT_EQ(Events.size(), 1u);
}
