#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <httplib.h>
#include <regex>
#include <string>
#include <vector>

#include "BackendHostTest.h"
#include "BackendSessionIds.h"
#include "CaseNamePrinter.h"
#include "Core/Base64.h"
#include "HostProcess.h"
#include "LocalBackend.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
/** Every service at the backend's port, with the demo clients and the server's own client. */
std::string SessionIni(int Port)
{
    return "[OnlineSubsystemZor]\nbEnabled=true\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=127.0.0.1:" +
           std::to_string(Port) +
           "\nGameName=ZorTest\n"
           "ServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)\n"
           "ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)\n"
           "ServicePermissions=(Name=DedicatedServer,Id=zordemoserver,Key=zordemoserversecret)\n"
           "[OnlineSubsystemZor.AccountServiceZor]\nServiceName=account\n"
           "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n";
}

TSharedPtr<FJsonObject> ParseObject(const std::string& Body)
{
    TSharedPtr<FJsonObject> Object;
    FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(FString(Body)), Object);
    return Object ? Object : MakeShared<FJsonObject>().ToSharedPtr();
}

/** The ids of the sessions the backend at Port holds for the demo player, asked of it directly; sorted. */
std::vector<std::string> DemoPlayersSessionsOnTheBackend(int Port)
{
    httplib::Client Direct("127.0.0.1", Port);
    const FString Basic = "basic " + FBase64::Encode(FString("zordemoclient:zordemoclientsecret"));
    const httplib::Result Token =
        Direct.Post("/account/api/oauth/token", {{"Authorization", *Basic}},
                    "grant_type=password&username=demo%40example.com&password=demo-password",
                    "application/x-www-form-urlencoded");
    const TSharedPtr<FJsonObject> Grant = ParseObject(Token ? Token->body : "");
    return BackendSessionIds(Port, Grant->GetStringField("account_id").ToStdString(),
                             Grant->GetStringField("access_token").ToStdString());
}

/** The rival, with a token of its own, creates a session that names the demo player as its owner; the status
 * the backend answers. */
int RivalClaimsTheDemoPlayer(int Port)
{
    httplib::Client Direct("127.0.0.1", Port);
    const FString Basic = "basic " + FBase64::Encode(FString("zordemoclient:zordemoclientsecret"));
    const httplib::Result Token =
        Direct.Post("/account/api/oauth/token", {{"Authorization", *Basic}},
                    "grant_type=password&username=rival%40example.com&password=rival-password",
                    "application/x-www-form-urlencoded");
    const std::string Bearer =
        "bearer " + ParseObject(Token ? Token->body : "")->GetStringField("access_token").ToStdString();
    const httplib::Result Created = Direct.Post(
        "/game/api/matchmaking/session", {{"Authorization", Bearer}},
        R"({"ownerId":"5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e","ownerName":"DemoPlayer","maxPublicPlayers":4})",
        "application/json");
    return Created ? Created->status : -1;
}

class FSessionsHostTest : public FBackendHostTest
{
};

using ZorTestCases::PrintTo;

/** One host's sessions and a second player's host, logged in as the rival, that searches and joins them. */
struct FSessionsRun
{
    std::string Name;
    std::vector<std::string> HostArguments; // after the ini
    std::string HostScript;                 // typed at once
    std::string HostReady;                  // its output once its sessions are there for the player
    std::string HostClosing;                // typed once the player has quit
    std::string PlayerScript;               // typed once the host is ready
    std::vector<std::string> HostOutput;
    std::vector<std::string> PlayerFailures; // the player's failed lines, as its summary lists them
    std::vector<std::string> PlayerOutput;
    std::vector<std::string> PlayerLogs; // patterns of lines the player logs, in this order
    std::vector<std::string> PlayerNever;
    // Whether the rival, once the host is ready, also claims the demo player's name for a session of its own.
    bool bClaimsTheHost = false;
};

const FSessionsRun SessionsRuns[] = {
    {"dedicated server",
     {"-server"},
     "session create lan1 lan\nsession create srv1 mode=ctf level=3\nwait session create\n"
     "expect session create",
     "passed: session create",
     "session destroy srv1\nwait session destroy\nexpect session destroy\nquit",
     "session find mode=ctf level=3\nwait session find\nexpect session find\nsession join srv1 x\n"
     "session join srv1 0.5\nsession join srv1 0000000000\nsession find lan\nwait session find\n"
     "expect session find\nquit",
     {"passed: session create", "passed: session destroy"},
     {"line 7: session join srv1 x", "line 8: session join srv1 0.5", "line 9: session join srv1 0000000000"},
     {"passed: login", "passed: session find", "passed: session find"},
     {"OnFindSessionsComplete bWasSuccessful=1 NumResults=1",
      "SearchResult 0 SessionInfo=HostIP: 127\\.0\\.0\\.1:7777 .*Owner=DedServer-.* MODE=ctf LEVEL=3",
      "SearchResult 0 SessionInfo=none Owner= OpenPublic=0/0"},
     {"OnJoinSessionComplete"}},
    {"player",
     {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"},
     "login\nwait login\nexpect login\nsession create game mode=dm level=5\nwait session create\n"
     "expect session create\nsession start game\nexpect session start\nsession update game level=6\n"
     "wait session update\nexpect session update\n"
     "session register game 7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b\n"
     "wait session register\nexpect session register",
     "passed: session register",
     "session update game level=7\nwait session update\nexpect session update\nsession destroy game\n"
     "wait session destroy\nexpect session destroy\nquit",
     "session find mode=dm level=6\nwait session find\nexpect session find\nsession join game 000000000\n"
     "expect session join\nsession update game level=1\nwait session update\nsession destroy game\n"
     "wait session destroy\nexpect session destroy\nquit",
     {"passed: login", "passed: session create", "passed: session start", "passed: session update",
      "passed: session register", "passed: session update", "passed: session destroy"},
     {"line 9: session update game level=1"},
     {"passed: login", "passed: session find", "passed: session join", "passed: session destroy"},
     {"OnFindSessionsComplete bWasSuccessful=1 NumResults=1",
      "SearchResult 0 SessionInfo=HostIP: 127\\.0\\.0\\.1:7777 .*Owner=DemoPlayer .* LEVEL=6",
      "OnJoinSessionComplete SessionName=game Result=0",
      "UpdateSession request failed\\. Invalid response\\. code=403 ",
      "OnConnectionStatusChanged Service=.* Status=10",
      "OnDestroySessionComplete SessionName=game bWasSuccessful=1"},
     {"Sending DestroyInternetSession"},
     true},
};

using FSessionsProgramTest = ::testing::TestWithParam<FSessionsRun>;
} // namespace

// A dedicated server hosts an online and a LAN session; the player finds the first through the backend,
// with its data, and the second through the LAN beacon on loopback, as one empty result. A result index
// that is not a whole number, or has more digits than an index may, joins nothing. A player hosts a session,
// changes it and registers the rival; the rival finds the change, joins (by an index of as many digits as it
// may have), cannot change the host's session and leaves it without a word to the backend; the host still
// changes and destroys it.
TEST_P(FSessionsProgramTest, ASecondPlayerFindsAndJoinsWhatAHostHolds)
{
    const FSessionsRun& Run = GetParam();
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    // Each host writes its output in a scratch directory of its own, where the other watches for it.
    FScratchDir HostScratch;
    FScratchDir PlayerScratch;
    const std::string Ini = HostScratch.WriteFile("engine.ini", SessionIni(Port));
    // The host holds its sessions until the player has done with them.
    std::vector<FTypedLine> HostLines = TypedAtOnce(Run.HostScript);
    std::vector<FTypedLine> Closing = TypedAtOnce(Run.HostClosing);
    Closing[0].Ready = Shows(PlayerScratch, "> quit");
    HostLines.insert(HostLines.end(), Closing.begin(), Closing.end());
    std::vector<FTypedLine> PlayerLines = TypedAtOnce("login\nwait login\nexpect login");
    std::vector<FTypedLine> Searching = TypedAtOnce(Run.PlayerScript);
    // The rival's claim goes in once the host's session stands: it is refused, and the demo player is
    // still found in that session alone.
    int ClaimStatus = 0;
    std::vector<std::string> DemoSessions;
    Searching[0].Ready = [&, HostReady = Shows(HostScratch, Run.HostReady)]
    {
        if (!HostReady())
        {
            return false;
        }
        if (Run.bClaimsTheHost && ClaimStatus == 0)
        {
            ClaimStatus = RivalClaimsTheDemoPlayer(Port);
            DemoSessions = DemoPlayersSessionsOnTheBackend(Port);
        }
        return true;
    };
    PlayerLines.insert(PlayerLines.end(), Searching.begin(), Searching.end());

    std::vector<std::string> HostArguments = {"-ini=" + Ini};
    HostArguments.insert(HostArguments.end(), Run.HostArguments.begin(), Run.HostArguments.end());
    auto Host =
        std::async(std::launch::async, [&] { return RunHostFed(HostArguments, HostLines, HostScratch); });
    const FHostRun Player =
        RunHostFed({"-ini=" + Ini, "LOGIN=rival@example.com", "PASSWORD=rival-password", "TYPE=tavo"},
                   PlayerLines, PlayerScratch);
    const FHostRun HostRun = Host.get();
    Backend.Stop();

    if (Run.bClaimsTheHost)
    {
        EXPECT_EQ(ClaimStatus, 403);
        EXPECT_EQ(DemoSessions.size(), 1u);
    }
    EXPECT_EQ(HostRun.ExitCode, 0) << HostRun.Log();
    EXPECT_EQ(HostRun.OutputLines, Run.HostOutput) << HostRun.Log();
    ASSERT_EQ(Player.ExitCode, 1) << Player.Log();
    const int Summary = Player.FindLine(std::to_string(Run.PlayerFailures.size()) +
                                        " console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Player.Log();
    std::vector<std::string> Listed;
    for (const std::string& Failure : Run.PlayerFailures)
    {
        Listed.push_back("LogHost: Error:   " + Failure);
    }
    EXPECT_EQ(std::vector<std::string>(Player.ErrorLines.begin() + Summary + 1, Player.ErrorLines.end()),
              Listed)
        << Player.Log();
    EXPECT_EQ(Player.OutputLines, Run.PlayerOutput) << Player.Log();
    auto Line = Player.ErrorLines.begin();
    for (const std::string& Pattern : Run.PlayerLogs)
    {
        const std::regex Expected(".*" + Pattern + ".*");
        Line =
            std::find_if(Line, Player.ErrorLines.end(),
                         [&Expected](const std::string& Text) { return std::regex_match(Text, Expected); });
        ASSERT_NE(Line, Player.ErrorLines.end()) << Pattern << "\n" << Player.Log();
    }
    for (const std::string& Text : Run.PlayerNever)
    {
        EXPECT_FALSE(Player.HasLine(Text)) << Text << "\n" << Player.Log();
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, FSessionsProgramTest, ::testing::ValuesIn(SessionsRuns),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

// Each destroy comes before its create's reply: the service keeps only the two sessions the game still holds.
TEST_F(FSessionsHostTest, SessionsDestroyedWhileCreatingAreNotLeftOnTheBackend)
{
    std::string Script = "login\nwait login\nexpect login\nsession create kept\n";
    for (int Pair = 0; Pair < 10; ++Pair)
    {
        Script += "session create q1\nsession destroy q1\n";
    }
    Script += "session create q1\nwait session create\nsession dump";
    // Once every create has had its reply, the deletes of the sessions the game let go are on their way; the
    // host stays until the backend holds only the two sessions the game still holds, or the run's limit.
    std::vector<FTypedLine> Typed = TypedAtOnce(Script);
    Typed.push_back({[this]
                     {
                         return ReadRunOutput(Scratch).find("> session dump") != std::string::npos &&
                                DemoPlayersSessionsOnTheBackend(Port).size() == 2;
                     },
                     "quit"});
    const FHostRun Run = FeedAsDemoPlayer(Typed);
    ASSERT_FALSE(Run.bTimedOut) << "zorhost did not exit\n" << Run.Log();
    std::vector<std::string> Held;
    for (const std::string& Line : Run.ErrorLines)
    {
        const size_t At = Line.find("SessionInfo: HostIP: ");
        if (At != std::string::npos && Line.find("SessionId: ", At) != std::string::npos)
        {
            Held.push_back(Line.substr(Line.find("SessionId: ", At) + 11));
        }
    }
    std::sort(Held.begin(), Held.end());
    EXPECT_EQ(Held.size(), 2u) << Run.Log();
    EXPECT_EQ(DemoPlayersSessionsOnTheBackend(Port), Held);
    // Every pair's create and destroy failed; the last create (line 25) stands, though its name is theirs.
    EXPECT_TRUE(Run.HasLine("20 console lines or the operations they started failed:")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("line 5: session create q1")) << Run.Log();
    EXPECT_FALSE(Run.HasLine("line 25: ")) << Run.Log();
}
