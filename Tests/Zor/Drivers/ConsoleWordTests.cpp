#include "DriverTest.h"
#include "Tests/TestBuildInfoZor.h"
#include "Tests/TestPurchaseZor.h"
#include "ZorRows.h"

namespace
{
using FConsoleWordTest = FDriverTest;

struct FWordCase
{
    const char* Command;
    bool bAnswered;
};

const FWordCase WordCases[] = {
    {"TEST", false},
    {"TEST NOSUCHWORD", false},
    {"QUERYMAPPINGS", false},
    {"SENDINVITES a", false},
    {"TEST QUERYMAPPINGSX", false},
    {"TESTQUERYMAPPINGS", false},
    {"test querymappings", true},
    {"  TEST   AuthTest", true},
    {"TEST SENDINVITES", true},
    {"TEST EXCHANGECODE", true},
};

using FConsoleWordAnsweredTest = TZorRows<FDriverTest>;

TEST_P(FConsoleWordAnsweredTest, OnlyKnownWordsAfterTestAreAnswered)
{
    const FWordCase& Case = WordCases[GetParam()];
    CreateSubsystem();
    EXPECT_EQ(Exec(Case.Command), Case.bAnswered) << Case.Command;
    EXPECT_EQ(Http().NumStarted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FConsoleWordAnsweredTest, ::testing::Range(size_t{0}, std::size(WordCases)));

/** What a word says when there is nobody to act for; with no subsystem services, after shutdown, too. */
struct FNoUserCase
{
    const char* Command;
    const char* Warning;
};

const FNoUserCase NoUserCases[] = {
    {"TEST QUERYMAPPINGS", "ZOR: Failed test of activation. No valid logged in user.\n"},
    {"TEST QUERYMAPPINGS \"Player One\"", "ZOR: Failed test of activation. No valid logged in user.\n"},
    {"TEST EXCHANGECODE someclient", "ZOR: No logged in user! Log in first\n"},
    {"TEST EXCHANGECODE", "ZOR: usage: EXCHANGECODE <clientId>\n"},
    {"TEST AUTHTEST", "ZOR: AUTHTEST no logged in user\n"},
};

using FConsoleWordNoUserTest = TZorRows<FDriverTest>;

TEST_P(FConsoleWordNoUserTest, WithoutALoggedInUserEachWordOnlyWarns)
{
    const FNoUserCase& Case = NoUserCases[GetParam()];
    CreateSubsystem();
    Log.Clear();
    EXPECT_TRUE(Exec(Case.Command)) << Case.Command;
    EXPECT_EQ(Warnings(), Case.Warning) << Case.Command;
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_P(FConsoleWordNoUserTest, AfterShutdownEachWordWarnsAndTouchesNoService)
{
    const FNoUserCase& Case = NoUserCases[GetParam()];
    CreateSubsystem();
    InstallUser();
    Subsystem->Shutdown();
    Log.Clear();
    EXPECT_TRUE(Exec(Case.Command)) << Case.Command;
    EXPECT_EQ(Warnings(), Case.Warning) << Case.Command;
    EXPECT_EQ(Http().NumStarted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FConsoleWordNoUserTest, ::testing::Range(size_t{0}, std::size(NoUserCases)));

TEST_F(FConsoleWordTest, AfterShutdownTheFriendsWordFindsNoService)
{
    CreateSubsystem();
    InstallUser();
    Subsystem->Shutdown();
    Log.Clear();
    EXPECT_TRUE(Exec("TEST SENDINVITES a b"));
    EXPECT_EQ(Warnings(), "ZOR: Failed to get friends service Zor \n");
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FConsoleWordTest, ExchangeCodeAsksForLocalUserZerosCodeWhateverTheClientArgument)
{
    CreateSubsystem();
    InstallUser();
    EXPECT_TRUE(Exec("TEST EXCHANGECODE \"any client\""));
    Tick();
    EXPECT_EQ(Requests(), "GET http://127.0.0.1:8080/account/api/oauth/exchange\n");
    EXPECT_EQ(Warnings(), "");
}

TEST_F(FConsoleWordTest, DriversStartedDirectlyWithoutAUserWarnAndEnd)
{
    CreateSubsystem();
    (new FTestBuildInfoZor(*Subsystem))->Test("Windows", "Live");
    (new FTestPurchaseZor(*Subsystem))->Test("o1");
    EXPECT_EQ(Warnings(),
              "Entitlement test failed. No logged in user\nPurchase test failed. No logged in user\n");
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FConsoleWordTest, ADriverWorksWithTheSubsystemWhoseCommandStartedIt)
{
    // The first instance has nobody logged in; the second one's user is the one the driver acts for.
    const TSharedPtr<FOnlineSubsystemZor> First = CreateSubsystem("default");
    CreateSubsystem("second");
    InstallUser("acct2");
    EXPECT_TRUE(Exec("TEST QUERYMAPPINGS"));
    Tick();
    EXPECT_EQ(Requests(), "GET http://127.0.0.1:8080/account/api/public/account/acct2/externalAuths\n");
    EXPECT_EQ(Warnings(), "");
    First->Shutdown();
}

/** Counts the console lines that reach the engine's command execution. */
class FCommandRecorder : public FSelfRegisteringExec
{
public:
    bool Exec(UWorld* /*World*/, const TCHAR* Cmd, FOutputDevice& /*Ar*/) override
    {
        Commands += std::string(Cmd) + "\n";
        return true;
    }
    std::string Commands;
};

TEST_F(FConsoleWordTest, AuthTestRefreshesTheUsersTokenThenRunsTheFourSubsystemTests)
{
    CreateSubsystem();
    InstallUser();
    FCommandRecorder Recorder;
    EXPECT_TRUE(Exec("TEST AUTHTEST"));
    EXPECT_EQ(Recorder.Commands, "ONLINE SUB=ZOR TEST MESSAGE\nONLINE SUB=ZOR TEST FRIENDS\n"
                                 "ONLINE SUB=ZOR TEST CLOUD\nONLINE SUB=ZOR TEST SESSIONCLIENT\n");
    Tick();
    EXPECT_EQ(Requests(), "POST http://127.0.0.1:8080/account/api/oauth/token\n");
    EXPECT_TRUE(
        Oldest().GetContentAsString().Contains("grant_type=refresh_token", ESearchCase::CaseSensitive));
}
} // namespace
