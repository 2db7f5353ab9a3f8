#include <gtest/gtest.h>

#include <utility>

#include "BackendHostTest.h"
#include "HostileService.h"
#include "ZorRows.h"

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
    const FHostRun Result = Run(
        "login\nwait login\nsession create\nsession create Game MAP=forest\nwait session create\n"
        "session update Game MAP=desert\nwait session update\nexpect session update\n"
        "session find MAP=desert\nwait session find\nexpect session find\nsession start\n"
        "order create\nusers query bogus\nmapping find NoSuchName\n"
        "mapping add handheld hh-id:proof\nwait mapping add\nmapping query handheld\nwait mapping query\n"
        "builds NoSuchLabel Windows\nbuilds2 NoSuchLabel Windows\nwait builds\nwait builds2\nhelp friends\n");
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

struct FLoginWordCase
{
    const char* Line;
    const char* Word;
};

const FLoginWordCase LoginWordCases[] = {
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

using ConsoleLoginWordTest = TZorRows<ConsoleLinesProgramTest>;

TEST_P(ConsoleLoginWordTest, EveryWordThatNeedsALoginSaysSoOneWay)
{
    const FLoginWordCase& Case = LoginWordCases[GetParam()];
    const FHostRun Result = Run(std::string(Case.Line) + "\nwait 1\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    const std::string Answer = std::string(Case.Word) + ": local user 0 is not logged in (type login first)";
    EXPECT_EQ(Result.FindLine(Answer), Result.FindLine(std::string("> ") + Case.Line) + 1) << Answer << "\n"
                                                                                           << Result.Log();
    ExpectLog(
        Result,
        {{"Invalid userid", false}, {"No logged in user", false}, {"log local user 0 in first", false}});
}

INSTANTIATE_TEST_SUITE_P(Rows, ConsoleLoginWordTest, ::testing::Range(size_t{0}, std::size(LoginWordCases)));

// Each failed line counts once: at once and through its event, or through both operations a login starts.
TEST_F(ConsoleLinesProgramTest, TheFailureSummaryListsEachFailedLineOnce)
{
    const FHostRun Result =
        Run("# a comment still counts as a line\nlogout\nsession update Nowhere\n"
            "account delete demo@example.com wrong-password\nwait account delete\nnosuchword\nhelp\n");
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
// Invitations the TEST word sends after its line has run fail that line, once for all of them.
TEST_F(ConsoleLinesProgramTest, ATestWordsFailuresAfterItsLineListItOnce)
{
    std::string Ids;
    for (int Index = 0; Index < 30; ++Index)
    {
        Ids += " nosuchplayer" + std::to_string(Index);
    }
    const FHostRun Result = Run("login\nwait login\nexpect login\nONLINE SUB=ZOR TEST SENDINVITES" + Ids +
                                "\nwait friends invite\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    const int Summary =
        Result.FindLine("LogHost: Error: 1 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    const std::vector<std::string> Listed(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end());
    EXPECT_EQ(Listed,
              std::vector<std::string>{"LogHost: Error:   line 4: ONLINE SUB=ZOR TEST SENDINVITES" + Ids})
        << Result.Log();
}

/** zorhost as the demo player, whose every request but its login's the service refuses. */
class RefusingServiceProgramTest : public FHostileHostTest
{
protected:
    void SetUp() override
    {
        FHostileHostTest::SetUp();
        const std::string Refused = "(?!/account/api/oauth/)(?!/account/api/public/account/"
                                    "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e$)(?!/game/api/matchmaking/session$).*";
        for (const char* Method : {"GET", "POST", "PUT", "DELETE", "PATCH"})
        {
            Hostile.Override({Method, Refused, "", 500, R"({"errorCode":"errors.refused"})"});
        }
        Hostile.Override({"GET", "/account/api/oauth/exchange", "", 500, R"({"errorCode":"refused"})"});
    }
};

// Every word that starts an operation, the TEST words included: each that fails is listed under its own
// number, and the ones that pass (a session's local steps, a refresh) take no other line's failure.
TEST_F(RefusingServiceProgramTest, EachFailureIsListedUnderTheLineThatStartedIt)
{
    const std::vector<std::pair<std::string, bool>> Lines = {
        {"login", false},
        {"wait login", false},
        {"expect login", false},
        {"session create Game", false},
        {"wait session create", false},
        {"profile query", true},
        {"profile command QueryProfile {}", true},
        {"profile command SetStat {\"stat\":\"wins\",\"value\":1}", true},
        {"cloud list", true},
        {"cloud read a.sav", true},
        {"cloud write b.sav hello", true},
        {"cloud delete c.sav cloud", true},
        {"title list", true},
        {"title read t.txt", true},
        {"time", true},
        {"account query someone@example.com", true},
        {"account create new@example.com New new-password", true},
        {"account validate someone@example.com valtoken", true},
        {"account reset someone@example.com", true},
        {"account resend someone@example.com", true},
        {"account update demo@example.com demo-password a@example.com A new-password", true},
        {"account delete demo@example.com demo-password", true},
        {"mapping add handheld hh-id:proof", true},
        {"mapping remove handheld", true},
        {"mapping query", true},
        {"mapping find Someone", true},
        {"users query someone", true},
        {"session update Game MAP=desert", true},
        {"session start Game", false},
        {"session register Game someone", false},
        {"session end Game", false},
        {"session destroy Game", true},
        {"session find", true},
        {"friends read", true},
        {"friends invite someone", true},
        {"messages list", true},
        {"messages send someone k=v", true},
        {"catalog categories", true},
        {"catalog currencies", true},
        {"catalog offers qx", true},
        {"catalog items qx", true},
        {"billing default", true},
        {"orders list", true},
        {"order preview qx-offer-sword", true},
        {"order create qx-offer-sword", true},
        {"entitlements", true},
        {"builds Live Windows", true},
        {"selfpatch Live Windows", true},
        {"builds2 Live Windows", true},
        {"selfpatch2 Live Windows", true},
        {"ONLINE SUB=ZOR TEST QUERYMAPPINGS Someone", true},
        {"ONLINE SUB=ZOR TEST BUILDINFO Live", true},
        {"ONLINE SUB=ZOR TEST BUILDINFOV2 Live", true},
        {"ONLINE SUB=ZOR TEST CATALOG qx", true},
        {"ONLINE SUB=ZOR TEST PURCHASE qx-offer-sword", true},
        {"ONLINE SUB=ZOR TEST SENDINVITES someone", true},
        {"ONLINE SUB=ZOR TEST EXCHANGECODE zordemoclient", true},
        {"ONLINE SUB=ZOR TEST AUTHTEST", false},
        // What passes must end before the quit, which would fail what it cuts short.
        {"wait session start", false},
        {"wait session register", false},
        {"wait session end", false},
        {"wait refresh", false},
        {"quit", false},
    };
    std::string Script;
    for (const auto& [Line, bFails] : Lines)
    {
        Script += Line + "\n";
    }
    const FHostRun Result = RunAsDemoPlayer(Script);
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    // The echo masks secrets; the summary shows each line as the echo did.
    const std::string Echo = "LogHost: Display: > ";
    std::vector<std::string> Listed;
    for (int Index = 0, From = Result.FindLine(Echo); Index < int(Lines.size()) && From >= 0; ++Index)
    {
        if (Lines[Index].second)
        {
            Listed.push_back("LogHost: Error:   line " + std::to_string(Index + 1) + ": " +
                             Result.ErrorLines[From].substr(Echo.size()));
        }
        From = Result.FindLine(Echo, From + 1);
    }
    const int Summary = Result.FindLine("LogHost: Error: " + std::to_string(Listed.size()) +
                                        " console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    EXPECT_EQ(std::vector<std::string>(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end()),
              Listed)
        << Result.Log();
}

// Both lines run in the frame of the quit, so it cuts their requests short.
TEST_F(ConsoleLinesProgramTest, AWriteAndASessionCreateCutShortByQuitFailTheirLines)
{
    const FHostRun Result =
        Run("login\nwait login\nexpect login\ncloud write quitcheck.sav hello\nsession create Game\n");
    EXPECT_EQ(Result.ExitCode, 1) << Result.Log();
    const int Summary =
        Result.FindLine("LogHost: Error: 2 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    EXPECT_EQ(std::vector<std::string>(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end()),
              (std::vector<std::string>{"LogHost: Error:   line 4: cloud write quitcheck.sav hello",
                                        "LogHost: Error:   line 5: session create Game"}))
        << Result.Log();
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
                 "-exec=" + Scratch.WriteFile("script.zorhost", "login\nwait login\nexpect login\nquit\n"),
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
