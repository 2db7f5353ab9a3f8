#include "AccountCreation/OnlineAccountCreationZor.h"
#include "DriverTest.h"
#include "Tests/TestAccountCreationZor.h"

namespace
{
const char* const AccountRecord =
    R"({"id":"acct-9","email":"p@x.io","displayName":"Pee","pendingAuth":true})";

class FAccountCreationDriverTest : public FDriverTest
{
protected:
    void SetUp() override { CreateSubsystem(); }

    void GiveClientToken()
    {
        ASSERT_TRUE(Identity().AuthClient("testclient"));
        Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-token"));
        Http().Reset();
        Log.Clear();
    }

    void Start() { (new FTestAccountCreationZor(*Subsystem))->Test("p@x.io", "Pee", "secret-pw"); }

    FOnlineAccountCreationZor& Accounts() { return *Subsystem->GetZorAccountCreationService(); }

    void ExpectDriverGone()
    {
        Log.Clear();
        Accounts().TriggerOnCreateAccountCompleteDelegates(true, "p@x.io", "");
        Accounts().TriggerOnResetPasswordCompleteDelegates(true, "p@x.io", "");
        EXPECT_EQ(Transcript(), "");
    }
};

TEST_F(FAccountCreationDriverTest, RunsCreateUpdateQueryResendResetInTurn)
{
    GiveClientToken();
    Start();
    const struct
    {
        const char* Request;
        int32 Code;
        const char* Body;
    } Steps[] = {
        {"POST /api/tavoAccount/account", 200, AccountRecord},
        {"PUT /api/tavoAccount/account/p@x.io", 200, AccountRecord},
        {"GET /api/tavoAccount/account/p@x.io", 200, AccountRecord},
        {"POST /api/tavoAccount/account/p@x.io/resend", 500, "{}"},
        {"POST /api/tavoAccount/account/p@x.io/resetPassword", 204, ""},
    };
    for (const auto& Step : Steps)
    {
        ASSERT_EQ(Http().NumPending(), 1) << Step.Request;
        const auto Request = Oldest();
        EXPECT_EXACT_EQ(Request.Verb + " " + Request.URL.Replace("http://127.0.0.1:8080", ""),
                        FString(Step.Request));
        RespondOldest(Step.Code, Step.Body);
        Tick();
    }
    EXPECT_EQ(Http().NumStarted(), 5);
    EXPECT_TRUE(Record(Http().GetStartedRequests()[1].Request).GetContentAsString().Contains("\"Pee_new\""));
    EXPECT_EQ(Transcript(), "ZOR: create tavo account. Result=true Email=p@x.io Error=[]\n"
                            "ZOR: update tavo account. Result=true Email=p@x.io Error=[]\n"
                            "ZOR: query tavo account. Result=true Email=p@x.io Error=[]\n"
                            "ZOR: resend validation. Result=false Email=p@x.io Error=[Invalid response. "
                            "code=500 error={}]\n"
                            "ZOR: reset password. Result=true Email=p@x.io Error=[]\n");
    ExpectDriverGone();
}

TEST_F(FAccountCreationDriverTest, WithoutAClientTokenOnlyTheUpdateGoesOut)
{
    // Update signs with the account's own e-mail and password; every other step is refused at once.
    Start();
    EXPECT_EQ(Transcript(),
              "ZOR: create tavo account. Result=false Email=p@x.io Error=[Client auth is invalid]\n");
    ASSERT_EQ(Http().NumPending(), 1);
    EXPECT_EQ(Oldest().Verb, FString("PUT"));
    RespondOldest(401, R"({"errorMessage":"bad credentials"})");
    Tick();
    EXPECT_EQ(Http().NumStarted(), 1);
    EXPECT_EQ(Transcript(),
              "ZOR: create tavo account. Result=false Email=p@x.io Error=[Client auth is invalid]\n"
              "ZOR: update tavo account. Result=false Email=p@x.io Error=[Invalid response. code=401 "
              "error={\"errorMessage\":\"bad credentials\"}]\n"
              "ZOR: query tavo account. Result=false Email=p@x.io Error=[Client auth is invalid]\n"
              "ZOR: resend validation. Result=false Email=p@x.io Error=[Client auth is invalid]\n"
              "ZOR: reset password. Result=false Email=p@x.io Error=[Client auth is invalid]\n");
    ExpectDriverGone();
}

TEST_F(FAccountCreationDriverTest, ShutdownMidChainEndsItAfterTheStepInFlight)
{
    GiveClientToken();
    Start();
    Subsystem->Shutdown();
    EXPECT_EQ(Http().NumStarted(), 1);
    EXPECT_EQ(Transcript(), "ZOR: create tavo account. Result=false Email=p@x.io Error=[No response]\n");
}

TEST_F(FAccountCreationDriverTest, WithoutTheServiceItWarnsAndEnds)
{
    Subsystem->Shutdown();
    Start();
    EXPECT_EQ(Warnings(), "ZOR: Failed to get account creation service Zor \n");
    EXPECT_EQ(Transcript(), "");
}

TEST_F(FAccountCreationDriverTest, NoSecretReachesTheLog)
{
    Start();
    RespondOldest(200, AccountRecord);
    Tick();
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        EXPECT_FALSE(Line.Message.Contains("secret-pw")) << *Line.Message;
    }
}
} // namespace
