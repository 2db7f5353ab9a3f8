#include <gtest/gtest.h>

#include "BackendHostTest.h"

namespace
{
/** A fragment of the host's log that a run must show (or must not). */
struct FLogExpectation
{
    const char* Text;
    bool bShown = true;
};

/** zorhost, as the demo player, against a local backend of its own. */
class ConsoleLinesProgramTest : public FBackendHostTest
{
protected:
    FHostRun Run(const std::string& Script) { return RunAsDemoPlayer(Script + "quit\n"); }

    static void ExpectLog(const FHostRun& Result, std::initializer_list<FLogExpectation> Expectations)
    {
        for (const FLogExpectation& Expected : Expectations)
        {
            EXPECT_EQ(Result.HasLine(Expected.Text), Expected.bShown) << Expected.Text << "\n"
                                                                      << Result.Log();
        }
    }
};

TEST_F(ConsoleLinesProgramTest, MistakesGetTheirUsageAndAnswersSayWhatWasFound)
{
    const FHostRun Result =
        Run("login\nwait 2\nsession create\nsession create Game MAP=forest\nwait 1\n"
            "session update Game MAP=desert\nwait 1\nexpect session update\n"
            "session find MAP=desert\nwait 1\nexpect session find\nsession start\n"
            "order create\nusers query bogus\nmapping find NoSuchName\n"
            "mapping add handheld hh-id:proof\nwait 1\nmapping query handheld\nwait 1\n"
            "builds NoSuchLabel Windows\nbuilds2 NoSuchLabel Windows\nwait 1\nhelp friends\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    EXPECT_EQ(Result.OutputLines,
              (std::vector<std::string>{"passed: session update", "passed: session find"}));
    ExpectLog(Result,
              {
                  {"usage: session create NAME "},
                  {"usage: session start NAME"},
                  {"No session (", false},
                  {"Attributes: MAP=desert"},
                  {"usage: order preview OFFER... | create OFFER..."},
                  {"OnCreateOrderComplete", false},
                  {"OnQueryUserInfoComplete LocalUserNum=0 bWasSuccessful=1 Users=0 Error="},
                  {"  no user has the id bogus"},
                  {"mapping find: nobody has the display name NoSuchName"},
                  {"ExternalAccount UserId=5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e Type=handheld Id=hh-id"},
                  {"Type=console", false},
                  {"  accept, reject and remove act on the list as last read: friends read first, else "
                   "\"No cached friend\""},
              });
    int EmptyBuildAnswers = 0;
    for (const std::string& Line : Result.ErrorLines)
    {
        EmptyBuildAnswers += Line == "LogHost: Display:   no builds";
    }
    EXPECT_EQ(EmptyBuildAnswers, 2) << Result.Log();
}

TEST_F(ConsoleLinesProgramTest, EveryWordThatNeedsALoginSaysSoOneWay)
{
    const char* const Lines[][2] = {
        {"profile query", "profile"},
        {"mapping query", "mapping"},
        {"cloud list", "cloud"},
        {"entitlements", "entitlements"},
        {"builds Live Windows", "builds"},
        {"orders list", "orders"},
        {"order create qx-offer-sword", "order"},
        {"billing default", "billing"},
        {"friends read", "friends"},
        {"messages list", "messages"},
        {"users query someone", "users"},
    };
    std::string Script;
    for (const auto& Line : Lines)
    {
        Script += std::string(Line[0]) + "\n";
    }
    const FHostRun Result = Run(Script + "wait 1\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    for (const auto& Line : Lines)
    {
        const std::string Answer =
            std::string(Line[1]) + ": local user 0 is not logged in (type login first)";
        EXPECT_EQ(Result.FindLine(Answer), Result.FindLine(std::string("> ") + Line[0]) + 1) << Answer << "\n"
                                                                                             << Result.Log();
    }
    ExpectLog(
        Result,
        {{"Invalid userid", false}, {"No logged in user", false}, {"log local user 0 in first", false}});
}

// Each failed line counts once: at once and through its event, or through both operations a login starts.
TEST_F(ConsoleLinesProgramTest, TheFailureSummaryListsEachFailedLineOnce)
{
    const FHostRun Result = Run("# a comment still counts as a line\nlogout\nsession update Nowhere\n"
                                "account delete demo@example.com wrong-password\nwait 1\nnosuchword\nhelp\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    const int Summary =
        Result.FindLine("LogHost: Error: 4 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    const std::vector<std::string> Listed(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end());
    EXPECT_EQ(Listed,
              (std::vector<std::string>{"LogHost: Error:   line 2: logout",
                                        "LogHost: Error:   line 3: session update Nowhere",
                                        "LogHost: Error:   line 4: account delete demo@example.com ***",
                                        "LogHost: Error:   line 6: nosuchword"}));
    ExpectLog(Result, {{"wrong-password", false}});
}
// Invitations the TEST word sends after its line has run fail under their own name, once for all of them.
TEST_F(ConsoleLinesProgramTest, OperationsNoLineStartedAreCountedByNameOnOneLine)
{
    std::string Ids;
    for (int Index = 0; Index < 30; ++Index)
    {
        Ids += " nosuchplayer" + std::to_string(Index);
    }
    const FHostRun Result =
        Run("login\nwait 2\nexpect login\nONLINE SUB=ZOR TEST SENDINVITES" + Ids + "\nwait 6\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    const int Summary =
        Result.FindLine("LogHost: Error: 0 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    const std::vector<std::string> Listed(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end());
    ASSERT_EQ(Listed.size(), 1u) << Result.Log();
    EXPECT_TRUE(Listed[0].starts_with("LogHost: Error:   friends invite: ")) << Listed[0];
    EXPECT_TRUE(Listed[0].ends_with(" failed, none started by a line")) << Listed[0];
}

// The service holds the verification that follows the login back past the quit, which cuts it short.
TEST(QuitProgramTest, AVerificationCutShortByQuitFailsNoLine)
{
    ZorBackend::FBackendOptions Options;
    Options.VerifyDelayMilliseconds = 3000;
    ZorBackend::FLocalBackend Backend(Options);
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    FScratchDir Scratch;
    const FHostRun Result =
        RunHost({"-ini=" + Scratch.WriteFile("Engine.ini", LocalBackendIni(Port)),
                 "-exec=" + Scratch.WriteFile("script.zorhost", "login\nwait 1\nexpect login\nquit\n"),
                 "LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"},
                "/dev/null", Scratch);
    Backend.Stop();
    ASSERT_FALSE(Result.bTimedOut) << Result.Log();
    EXPECT_LT(Result.FindLine("> quit"), Result.FindLine("OnVerifyAuthComplete bWasSuccessful=0"))
        << Result.Log();
    EXPECT_EQ(Result.OutputLines, std::vector<std::string>{"passed: login"}) << Result.Log();
    EXPECT_EQ(Result.ExitCode, 0) << Result.Log();
}
} // namespace
