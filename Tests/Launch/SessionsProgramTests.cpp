#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <httplib.h>
#include <string>
#include <vector>

#include "BackendHostTest.h"
#include "BackendSessionIds.h"
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

class FSessionsHostTest : public FBackendHostTest
{
};
} // namespace

// A dedicated server hosts an online and a LAN session; a player's host finds the first through the
// backend, with its data, and the second through the LAN beacon on loopback, as one empty result. A result
// index that is not a whole number, or has more digits than an index may, joins nothing.
TEST(SessionsProgramTest, TwoHostsFindEachOthersSessionsOnlineAndOnTheLAN)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    // Each host writes its output in a scratch directory of its own, where the other watches for it.
    FScratchDir ServerScratch;
    FScratchDir ClientScratch;
    const std::string Ini = ServerScratch.WriteFile("engine.ini", SessionIni(Port));
    // The server holds its sessions until the client has done with them.
    std::vector<FTypedLine> ServerLines = TypedAtOnce("session create lan1 lan\nsession create srv1 mode=ctf "
                                                      "level=3\nwait session create\nexpect session create");
    ServerLines.push_back({Shows(ClientScratch, "> quit"), "session destroy srv1"});
    for (const FTypedLine& Line : TypedAtOnce("wait session destroy\nexpect session destroy\nquit"))
    {
        ServerLines.push_back(Line);
    }
    // The client searches once the server's sessions are there.
    std::vector<FTypedLine> ClientLines = TypedAtOnce("login\nwait login\nexpect login");
    ClientLines.push_back({Shows(ServerScratch, "passed: session create"), "session find mode=ctf level=3"});
    for (const FTypedLine& Line :
         TypedAtOnce("wait session find\nexpect session find\nsession join srv1 x\n"
                     "session join srv1 0.5\nsession join srv1 0000000000\n"
                     "session find lan\nwait session find\nexpect session find\nquit"))
    {
        ClientLines.push_back(Line);
    }

    auto Server = std::async(std::launch::async,
                             [&] {
                                 return RunHostFed({"-ini=" + Ini, "-server"}, ServerLines, ServerScratch);
                             });
    const FHostRun Client =
        RunHostFed({"-ini=" + Ini, "LOGIN=rival@example.com", "PASSWORD=rival-password", "TYPE=tavo"},
                   ClientLines, ClientScratch);
    const FHostRun ServerRun = Server.get();
    Backend.Stop();

    ASSERT_EQ(ServerRun.ExitCode, 0) << ServerRun.Log();
    ASSERT_EQ(Client.ExitCode, 1) << Client.Log();
    const int Summary =
        Client.FindLine("LogHost: Error: 3 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Client.Log();
    EXPECT_EQ(std::vector<std::string>(Client.ErrorLines.begin() + Summary + 1, Client.ErrorLines.end()),
              (std::vector<std::string>{"LogHost: Error:   line 7: session join srv1 x",
                                        "LogHost: Error:   line 8: session join srv1 0.5",
                                        "LogHost: Error:   line 9: session join srv1 0000000000"}))
        << Client.Log();
    EXPECT_FALSE(Client.HasLine("OnJoinSessionComplete")) << Client.Log();
    EXPECT_TRUE(Client.HasLine("OnFindSessionsComplete bWasSuccessful=1 NumResults=1")) << Client.Log();
    const int Online = Client.FindLine("SearchResult 0 SessionInfo=HostIP: 127.0.0.1:7777");
    ASSERT_GE(Online, 0) << Client.Log();
    EXPECT_NE(Client.ErrorLines[Online].find("Owner=DedServer-"), std::string::npos)
        << Client.ErrorLines[Online];
    EXPECT_NE(Client.ErrorLines[Online].find("MODE=ctf LEVEL=3"), std::string::npos)
        << Client.ErrorLines[Online];
    EXPECT_GE(Client.FindLine("SearchResult 0 SessionInfo=none Owner= OpenPublic=0/0"), Online)
        << Client.Log();
    EXPECT_EQ(Client.OutputLines,
              (std::vector<std::string>{"passed: login", "passed: session find", "passed: session find"}));
}

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
