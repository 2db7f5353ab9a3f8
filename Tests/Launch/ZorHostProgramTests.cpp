#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <regex>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "BackendHostTest.h"
#include "HostProcess.h"
#include "LocalBackend.h"
#include "ZorRows.h"

namespace
{
const std::string EnabledIni = "[OnlineSubsystemZor]\nbEnabled=true\n";
const std::string DisabledIni = "[OnlineSubsystemZor]\n";
const std::string DemoUserId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";

/** An engine ini with the demo clients, pointing every service at Domain. */
std::string DemoIni(const std::string& Domain)
{
    return EnabledIni + "[OnlineSubsystemZor.BaseServiceZor]\nDomain=" + Domain +
           "\nGameName=ZorTest\n"
           "ServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)\n"
           "ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)\n"
           "[OnlineSubsystemZor.AccountServiceZor]\nServiceName=account\n";
}

/**
 * A loopback port bound and never listened on, held for the test's lifetime: a connection to it is refused,
 * and no other program (a parallel test's backend on --port 0, say) can take it meanwhile.
 */
class FClosedPort
{
public:
    FClosedPort()
    {
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t Length = sizeof(Address);
        const bool bBound = Socket >= 0 && bind(Socket, reinterpret_cast<sockaddr*>(&Address), Length) == 0 &&
                            getsockname(Socket, reinterpret_cast<sockaddr*>(&Address), &Length) == 0;
        EXPECT_TRUE(bBound) << "no loopback port to hold";
        Text = "127.0.0.1:" + std::to_string(bBound ? ntohs(Address.sin_port) : 0);
    }
    ~FClosedPort()
    {
        if (Socket >= 0)
        {
            close(Socket);
        }
    }
    FClosedPort(const FClosedPort&) = delete;
    FClosedPort& operator=(const FClosedPort&) = delete;

    const std::string& Address() const { return Text; }

private:
    int Socket = socket(AF_INET, SOCK_STREAM, 0);
    std::string Text;
};

int CountLines(const FHostRun& Run, const std::string& Text)
{
    int Count = 0;
    for (const std::string& Line : Run.ErrorLines)
    {
        Count += Line.find(Text) != std::string::npos;
    }
    return Count;
}

class ZorHostProgramTest : public testing::Test
{
protected:
    /** Runs zorhost on the ini text and a script file, with the extra arguments. */
    FHostRun RunScript(const std::string& Ini, const std::string& Script,
                       std::vector<std::string> Arguments = {})
    {
        Arguments.insert(Arguments.begin(), {"-ini=" + Scratch.WriteFile("Engine.ini", Ini),
                                             "-exec=" + Scratch.WriteFile("script.zorhost", Script)});
        FHostRun Run = RunHost(Arguments, "/dev/null", Scratch);
        EXPECT_FALSE(Run.bTimedOut) << Run.Log();
        return Run;
    }

    /** Runs zorhost on a terminal, typing each line as soon as it is ready. */
    FHostRun RunAtTerminal(const std::vector<std::string>& Arguments, const std::vector<FTypedLine>& Typed)
    {
        const int Terminal = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(Terminal, 0);
        EXPECT_EQ(grantpt(Terminal), 0);
        EXPECT_EQ(unlockpt(Terminal), 0);
        FHostRun Run = RunHostTyping(Arguments, ptsname(Terminal), Terminal, Typed, Scratch, 30.0);
        close(Terminal);
        return Run;
    }

    /** A loopback address nothing listens on. */
    const std::string& ClosedAddress() const { return ClosedPort.Address(); }

    FScratchDir Scratch;
    FClosedPort ClosedPort;
};

TEST_F(ZorHostProgramTest, StartsRunsTheScriptAndShutsDownInOrder)
{
    const FHostRun Run = RunScript(EnabledIni, "# a comment line\n\n   \nNOSUCHCOMMAND one two\n"
                                               "ONLINE SUB=ZOR TEST NOSUCHWORD\nquit\nnever reached\n");
    // Unknown lines fail the run.
    ASSERT_EQ(Run.ExitCode, 1) << Run.Log();
    const int Startup = Run.FindLine("LogOnline: Log: ZOR: Zor Startup!");
    const int SubsystemShutdown = Run.FindLine("LogOnline: Display: ZOR: FOnlineSubsystemZor::Shutdown()");
    const int ModuleShutdown = Run.FindLine("LogOnline: Log: ZOR: Zor Shutdown!");
    EXPECT_GE(Startup, 0) << Run.Log();
    EXPECT_GT(SubsystemShutdown, Startup) << Run.Log();
    EXPECT_GT(ModuleShutdown, SubsystemShutdown) << Run.Log();
    EXPECT_TRUE(Run.HasLine("LogExec: Warning: Unknown command: NOSUCHCOMMAND one two")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("LogExec: Warning: Unknown command: ONLINE SUB=ZOR TEST NOSUCHWORD"))
        << Run.Log();
    EXPECT_FALSE(Run.HasLine("a comment line")) << Run.Log();
    EXPECT_FALSE(Run.HasLine("never reached")) << Run.Log();
    EXPECT_FALSE(Run.HasLine("Zor API disabled!")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("Unknown command: NOSUCHCOMMAND one two (help lists the words)")) << Run.Log();
    EXPECT_GT(Run.FindLine("LogHost: Error: 2 console lines or the operations they started failed"),
              ModuleShutdown)
        << Run.Log();
}

TEST_F(ZorHostProgramTest, DisabledSubsystemStillRunsTheScript)
{
    const FHostRun WithoutSwitch =
        RunScript(DisabledIni, "login\nlogout\nONLINE SUB=ZOR TEST AUTHTEST\nquit\n");
    EXPECT_EQ(WithoutSwitch.ExitCode, 1) << WithoutSwitch.Log();
    EXPECT_TRUE(WithoutSwitch.HasLine("LogOnline: Warning: ZOR: Zor API disabled!")) << WithoutSwitch.Log();
    EXPECT_TRUE(WithoutSwitch.HasLine("login: there is no identity")) << WithoutSwitch.Log();
    EXPECT_TRUE(WithoutSwitch.HasLine("logout: there is no identity")) << WithoutSwitch.Log();
    EXPECT_TRUE(WithoutSwitch.HasLine("Unknown command: ONLINE SUB=ZOR TEST AUTHTEST"))
        << WithoutSwitch.Log();
    EXPECT_TRUE(WithoutSwitch.HasLine("Zor Shutdown!")) << WithoutSwitch.Log();

    const FHostRun WithNoZor = RunScript(EnabledIni, "login\nquit\n", {"-NOZOR"});
    EXPECT_EQ(WithNoZor.ExitCode, 1) << WithNoZor.Log();
    EXPECT_TRUE(WithNoZor.HasLine("Zor API disabled!")) << WithNoZor.Log();
    EXPECT_TRUE(WithNoZor.HasLine("login: there is no identity")) << WithNoZor.Log();
}

TEST_F(ZorHostProgramTest, EndOfStandardInputQuitsAfterTheLastLine)
{
    const std::string Ini = "-ini=" + Scratch.WriteFile("Engine.ini", EnabledIni);
    const FHostRun Run = RunHost({Ini}, Scratch.WriteFile("stdin.txt", "login"), Scratch);
    ASSERT_FALSE(Run.bTimedOut) << Run.Log();
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    // Without LOGIN= the login fails, and the host reports the event it bound.
    EXPECT_TRUE(Run.HasLine("AutoLogin Failed. missing LOGIN=<login id>.")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("LogHost: Display: OnLoginComplete LocalUserNum=0 bWasSuccessful=0 UserId= "
                            "Error=missing LOGIN=<login id>."))
        << Run.Log();
    EXPECT_GT(Run.FindLine("Zor Shutdown!"), Run.FindLine("FOnlineSubsystemZor::Shutdown()")) << Run.Log();
    // Standard input is no terminal here: no prompt.
    EXPECT_TRUE(Run.OutputLines.empty()) << Run.Log();
}

TEST_F(ZorHostProgramTest, PromptsWhenStandardInputIsATerminal)
{
    const FHostRun Run = RunAtTerminal({"-ini=" + Scratch.WriteFile("Engine.ini", EnabledIni)},
                                       {{Shows(Scratch, "zorhost> "), "quit"}});
    EXPECT_EQ(Run.ExitCode, 0) << Run.Log();
    ASSERT_FALSE(Run.OutputLines.empty()) << Run.Log();
    EXPECT_TRUE(Run.OutputLines[0].starts_with("zorhost> ")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("> quit")) << Run.Log();
}

TEST_F(ZorHostProgramTest, ResultsThatArriveAfterThePromptDrawItAgain)
{
    // Nothing listens there: the login fails a few frames after the prompt came back.
    const FHostRun Run =
        RunAtTerminal({"-ini=" + Scratch.WriteFile("Engine.ini", DemoIni(ClosedAddress())),
                       "LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"},
                      {{Shows(Scratch, "zorhost> "), "login"}, {Shows(Scratch, "OnLoginComplete"), "quit"}});
    EXPECT_TRUE(Run.HasLine("OnLoginComplete LocalUserNum=0 bWasSuccessful=0")) << Run.Log();
    ASSERT_FALSE(Run.OutputLines.empty()) << Run.Log();
    // Drawn again on a line of its own after each entry.
    EXPECT_GE(std::count(Run.OutputLines.begin() + 1, Run.OutputLines.end(), "zorhost> "), 1) << Run.Log();
}

TEST_F(ZorHostProgramTest, LogSettingsChooseWhatShows)
{
    const FHostRun Default = RunScript(EnabledIni, "quit\n");
    EXPECT_FALSE(Default.HasLine("Created thread (ID:")) << Default.Log();
    EXPECT_FALSE(Default.HasLine(": Verbose: ")) << Default.Log();
    EXPECT_TRUE(Default.HasLine("LogOnline: Log: ZOR: Zor Startup!")) << Default.Log();

    const FHostRun Verbose = RunScript(EnabledIni, "quit\n", {"-log=LogOnline:Verbose"});
    EXPECT_TRUE(Verbose.HasLine("LogOnline: Verbose: ZOR: Created thread (ID:")) << Verbose.Log();

    const FHostRun Quiet =
        RunScript(EnabledIni, "nosuchcommand\nquit\n", {"-log=LogOnline:Warning", "-log=LogNope:Verbose"});
    EXPECT_EQ(Quiet.ExitCode, 1) << Quiet.Log();
    EXPECT_FALSE(Quiet.HasLine("Zor Startup!")) << Quiet.Log();
    EXPECT_TRUE(Quiet.HasLine("Unknown command: nosuchcommand")) << Quiet.Log();
    EXPECT_TRUE(Quiet.HasLine("LogHost: Warning: Unknown log setting LogNope:Verbose")) << Quiet.Log();
}

TEST_F(ZorHostProgramTest, WaitKeepsTickingBeforeTheNextLine)
{
    const FHostRun Run = RunScript(EnabledIni, "wait soon\nwait -1\nwait 0.6\nquit\n");
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_GE(Run.Seconds, 0.6);
    EXPECT_EQ(Run.FindLine("usage: wait SECONDS"), Run.FindLine("> wait soon") + 1) << Run.Log();
    EXPECT_EQ(Run.FindLine("> quit"), Run.FindLine("> wait 0.6") + 1) << Run.Log();
}

TEST_F(ZorHostProgramTest, HelpPrintsTheUsageAndStartsNothing)
{
    for (const char* Help : {"--help", "-h"})
    {
        const FHostRun Run = RunHost({"LOGIN=demo", Help}, "/dev/null", Scratch);
        EXPECT_EQ(Run.ExitCode, 0) << Run.Log();
        ASSERT_FALSE(Run.OutputLines.empty()) << Help;
        EXPECT_TRUE(Run.OutputLines[0].starts_with("usage: zorhost ")) << Run.Log();
        EXPECT_TRUE(Run.ErrorLines.empty()) << Run.Log();
    }
}

TEST_F(ZorHostProgramTest, RefusesBadArgumentsAndMissingFiles)
{
    EXPECT_EQ(RunHost({"-fps=0"}, "/dev/null", Scratch).ExitCode, 2);
    // A blank instead of '=' used to drop the script and wait on the terminal.
    for (const std::vector<std::string>& Arguments :
         {std::vector<std::string>{"-exec", "script.zorhost"}, {"--ini=/x"}, {"-log", "LogOnline:Verbose"}})
    {
        const FHostRun Run = RunHost(Arguments, "/dev/null", Scratch, 10.0);
        EXPECT_EQ(Run.ExitCode, 2) << Arguments[0];
        EXPECT_TRUE(Run.HasLine("zorhost: expected ")) << Run.Log();
        EXPECT_TRUE(Run.HasLine("usage: zorhost ")) << Run.Log();
        EXPECT_FALSE(Run.HasLine("Zor Startup!")) << Run.Log();
    }

    const FHostRun NoIni = RunHost({"-ini=/nonexistent/Engine.ini"}, "/dev/null", Scratch);
    EXPECT_EQ(NoIni.ExitCode, 1);
    EXPECT_TRUE(NoIni.HasLine("LogHost: Error: Cannot read the engine ini /nonexistent/Engine.ini"))
        << NoIni.Log();

    const std::string Ini = "-ini=" + Scratch.WriteFile("Engine.ini", EnabledIni);
    const FHostRun NoScript = RunHost({Ini, "-exec=/nonexistent/script.zorhost"}, "/dev/null", Scratch);
    EXPECT_EQ(NoScript.ExitCode, 1);
    EXPECT_TRUE(NoScript.HasLine("Cannot read the console script")) << NoScript.Log();
    EXPECT_FALSE(NoScript.HasLine("Zor Startup!")) << NoScript.Log();
}

TEST_F(ZorHostProgramTest, CommandLineValuesWithBlanksReachTheModuleWhole)
{
    // Nothing listens there, so the login fails; its request line shows what the module read.
    const FHostRun Run = RunScript(DemoIni(ClosedAddress()), "login\nwait login\nquit\n",
                                   {"LOGIN=demo user@example.com", "PASSWORD=a secret", "TYPE=tavo"});
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("type=tavo, id=demo user@example.com")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("OnLoginComplete LocalUserNum=0 bWasSuccessful=0")) << Run.Log();
}

TEST_F(ZorHostProgramTest, DomainOptionSendsEveryServiceToTheBackendAndAFailedConnectionNamesTheAddress)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    const std::string Address = "127.0.0.1:" + std::to_string(Port);
    // Nothing listens on Closed; a family section naming its own Domain is overridden too.
    const std::string& Closed = ClosedAddress();
    const std::string Ini = DemoIni(Closed) + "Domain=" + Closed + "\n";
    const std::string Script = "login\nwait login\nexpect login\nquit\n";
    const std::vector<std::string> Login = {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"};

    std::vector<std::string> Named = Login;
    Named.push_back("-domain=" + Address);
    const FHostRun Overridden = RunScript(Ini, Script, Named);
    const FHostRun FromIni = RunScript(Ini, Script, Login);
    Backend.Stop();

    EXPECT_EQ(Overridden.ExitCode, 0) << Overridden.Log();
    EXPECT_TRUE(
        Overridden.HasLine("LogHost: Display: Services at http://" + Address + " (given by -domain=)"))
        << Overridden.Log();
    EXPECT_EQ(Overridden.OutputLines, std::vector<std::string>{"passed: login"}) << Overridden.Log();

    EXPECT_EQ(FromIni.ExitCode, 1) << FromIni.Log();
    EXPECT_TRUE(FromIni.HasLine("Services at http://" + Closed +
                                " (the ini's Domain; -domain=HOST:PORT names another)"))
        << FromIni.Log();
    EXPECT_TRUE(FromIni.HasLine("LogHttp: Warning: HTTP request failed: cannot connect to " + Closed + ": "))
        << FromIni.Log();
}

TEST_F(ZorHostProgramTest, LogsInMakesAnExchangeCodeAndLogsOutAgainstTheLocalBackend)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);

    const FHostRun Run = RunScript(
        DemoIni("127.0.0.1:" + std::to_string(Port)),
        "login\nwait login\nexpect login\nwait purchase login\nexpect purchase login\nwait verify\n"
        "expect verify\nONLINE SUB=ZOR TEST EXCHANGECODE zordemoclient\nwait Exchange Code\n"
        "expect Exchange Code\nlogout\nwait logout\nexpect logout\nquit\n",
        {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo", "-log=LogOnline:VeryVerbose"});
    Backend.Stop();
    ASSERT_EQ(Run.ExitCode, 0) << Run.Log();
    const int LoginLine =
        Run.FindLine("OnLoginComplete LocalUserNum=0 bWasSuccessful=1 UserId=" + DemoUserId);
    ASSERT_GE(LoginLine, 0) << Run.Log();
    EXPECT_TRUE(Run.ErrorLines[LoginLine].ends_with(" Error=")) << Run.ErrorLines[LoginLine];
    EXPECT_TRUE(Run.HasLine("OnLoginStatusChanged LocalUserNum=0 OldStatus=NotLoggedIn NewStatus=LoggedIn"))
        << Run.Log();
    EXPECT_TRUE(Run.HasLine("OnLoginPurchaseComplete LocalUserNum=0 bWasSuccessful=1")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("Queuing Zor request for user=" + DemoUserId)) << Run.Log();

    const int CodeLine = Run.FindLine("OnGenerateExchangeCodeComplete");
    ASSERT_GE(CodeLine, 0) << Run.Log();
    // Only a prefix of the code shows: it is a credential.
    EXPECT_TRUE(std::regex_search(
        Run.ErrorLines[CodeLine],
        std::regex("bWasSuccessful=1 UserId=" + DemoUserId + " Code=[0-9a-f]{4}\\.\\.\\. ")))
        << Run.ErrorLines[CodeLine];
    EXPECT_EQ(Run.OutputLines,
              (std::vector<std::string>{"passed: login", "passed: purchase login", "passed: verify",
                                        "passed: Exchange Code", "passed: logout"}))
        << Run.Log();

    EXPECT_GT(Run.FindLine("OnLogoutComplete LocalUserNum=0 bWasSuccessful=1"), CodeLine) << Run.Log();
    EXPECT_TRUE(Run.HasLine("OldStatus=LoggedIn NewStatus=NotLoggedIn")) << Run.Log();
}

TEST_F(ZorHostProgramTest, RoundTripsThePlayerProfileOfTheLoggedInUser)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);

    const FHostRun Run =
        RunScript(DemoIni("127.0.0.1:" + std::to_string(Port)) +
                      "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"
                      "[OnlineSubsystemZor.ZorProfile]\n"
                      "ZorClientCommandUrl=/api/profile/`accountId/client/`fname?profileId=`profileId\n",
                  "profile query\nlogin\nwait login\nprofile command GrantItem "
                  "{\"templateId\":\"Hat.Red\",\"quantity\":2}\n"
                  "profile command SetStat {\"name\":\"wins\",\"value\":7}\nprofile command NoSuchCommand\n"
                  "profile command SetStat [1]\nwait profile GrantItem\nwait profile SetStat\n"
                  "wait profile NoSuchCommand\nexpect profile GrantItem\nexpect profile SetStat\n"
                  "logout\nwait logout\nprofile query\nquit\n",
                  {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"});
    Backend.Stop();
    ASSERT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("profile: local user 0 is not logged in")) << Run.Log();
    // After logout the profile of that login is gone: the same answer as before any login.
    const int LogoutLine = Run.FindLine("OnLogoutComplete LocalUserNum=0 bWasSuccessful=1");
    ASSERT_GE(LogoutLine, 0) << Run.Log();
    EXPECT_EQ(CountLines(Run, "profile: local user 0 is not logged in"), 2) << Run.Log();
    EXPECT_FALSE(Run.HasLine("Profile QueryProfile bSucceeded=0")) << Run.Log();
    EXPECT_EQ(Run.OutputLines,
              (std::vector<std::string>{"passed: profile GrantItem", "passed: profile SetStat"}))
        << Run.Log();
    const int GrantLine = Run.FindLine("Profile GrantItem bSucceeded=1 HttpResponseCode=200");
    ASSERT_GE(GrantLine, 0) << Run.Log();
    EXPECT_GT(Run.FindLine("template=Hat.Red quantity=2"), GrantLine) << Run.Log();
    EXPECT_TRUE(Run.HasLine("Profile stat wins=7")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("Profile NoSuchCommand bSucceeded=0 HttpResponseCode=404")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("profile command: the parameters are not a JSON object: [1]")) << Run.Log();
}
namespace
{
struct FExitStatusRow
{
    const char* Script;
    int ExitCode;
    const char* Logged;
};
const FExitStatusRow ExitStatusRows[] = {
    {"help\nwait 0\nquit\n", 0, "> quit"},
    {"nosuchword\n", 1, "Unknown command: nosuchword"},
    {"wait x\n", 1, "usage: wait SECONDS|OPERATION (one of login, "},
    // Nothing under way: the next line runs at once.
    {"wait login\nquit\n", 0, "> quit"},
    {"profile\n", 1, "usage: profile query"},
    {"profile query\n", 1, "profile: local user 0 is not logged in"},
    {"logout\n", 1, "OnLogoutComplete LocalUserNum=0 bWasSuccessful=0"},
    // TEST words report failure only through warnings.
    {"ONLINE SUB=ZOR TEST EXCHANGECODE\n", 1, "usage: EXCHANGECODE <clientId>"},
    {"ONLINE SUB=ZOR TEST EXCHANGECODE zordemoclient\n", 1, "No logged in user! Log in first"},
    {"expect\n", 1, "usage: expect OPERATION"},
    {"expect login\n", 1, "LogHost: Error: expect login: it has not ended"},
    {"expect nonsense\n", 1, "expect nonsense: no word reports an operation of that name; one of login, "},
    {"login\nexpect LOGIN\n", 1, "LogHost: Error: expect LOGIN: it failed"},
};

using FExitStatusTest = TZorRows<ZorHostProgramTest>;
} // namespace

TEST_P(FExitStatusTest, TheExitStatusTellsWhetherEveryLineSucceeded)
{
    const FExitStatusRow& Case = ExitStatusRows[GetParam()];
    const FHostRun Run = RunScript(EnabledIni, Case.Script);
    EXPECT_EQ(Run.ExitCode, Case.ExitCode) << Case.Script << Run.Log();
    EXPECT_TRUE(Run.HasLine(Case.Logged)) << Case.Script << Run.Log();
    EXPECT_EQ(Run.HasLine("console lines or the operations they started failed"), Case.ExitCode != 0)
        << Case.Script << Run.Log();
    EXPECT_TRUE(Run.OutputLines.empty()) << Case.Script << Run.Log();
}

INSTANTIATE_TEST_SUITE_P(Rows, FExitStatusTest, ::testing::Range(size_t{0}, std::size(ExitStatusRows)));
TEST_F(ZorHostProgramTest, FindsTheDefaultIniNextToTheProgramBeforeTheSources)
{
    // A copy of the host away from its build, as an install or a copied build directory has it.
    std::filesystem::create_directory(Scratch.Path() + "/bin");
    const std::string Copy = Scratch.Path() + "/bin/zorhost";
    ASSERT_TRUE(std::filesystem::copy_file(ZOR_HOST_PROGRAM, Copy));
    const std::string Script = "-exec=" + Scratch.WriteFile("script.zorhost", "quit\n");

    const FHostRun FromSources = RunProgram(Copy, {Script}, "/dev/null", Scratch);
    EXPECT_EQ(FromSources.ExitCode, 0) << FromSources.Log();
    const int SourcesLine = FromSources.FindLine("LogHost: Log: Engine ini /");
    ASSERT_GE(SourcesLine, 0) << FromSources.Log();
    EXPECT_TRUE(FromSources.ErrorLines[SourcesLine].ends_with("/Config/DefaultEngine.ini"))
        << FromSources.Log();

    Scratch.WriteFile("bin/DefaultEngine.ini", DisabledIni);
    const FHostRun NextToIt = RunProgram(Copy, {Script}, "/dev/null", Scratch);
    EXPECT_EQ(NextToIt.ExitCode, 0) << NextToIt.Log();
    EXPECT_TRUE(NextToIt.HasLine("LogHost: Log: Engine ini " + Scratch.Path() + "/bin/DefaultEngine.ini"))
        << NextToIt.Log();
    EXPECT_TRUE(NextToIt.HasLine("Zor API disabled!")) << NextToIt.Log();
}
TEST_F(ZorHostProgramTest, TheDemoScriptPassesEveryStepAgainstTheLocalBackend)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    const std::string Ini = Scratch.WriteFile(
        "Engine.ini", DemoIni("127.0.0.1:" + std::to_string(Port)) +
                          "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"
                          "[OnlineSubsystemZor.ZorProfile]\n"
                          "ZorClientCommandUrl=/api/profile/`accountId/client/`fname?profileId=`profileId\n");
    const FHostRun Run = RunHost({"-ini=" + Ini, std::string("-exec=") + ZOR_DEMO_SCRIPT,
                                  "LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"},
                                 "/dev/null", Scratch);
    Backend.Stop();
    EXPECT_EQ(Run.ExitCode, 0) << Run.Log();
    EXPECT_EQ(Run.OutputLines,
              (std::vector<std::string>{"passed: login", "passed: verify", "passed: exchange code",
                                        "passed: profile QueryProfile", "passed: profile GrantItem",
                                        "passed: profile SetStat", "passed: profile QueryProfile",
                                        "passed: profile item Weapon.Sword x 1",
                                        "passed: profile stat level = 3", "passed: logout"}))
        << Run.Log();
    // The logout's session kills were answered before quit.
    EXPECT_FALSE(Run.HasLine("Kill auth sessions request failed")) << Run.Log();
}

TEST_F(ZorHostProgramTest, ListsTheDemoUsersEntitlementsAndBuildsAgainstTheLocalBackend)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    const FHostRun Run = RunScript(
        DemoIni("127.0.0.1:" + std::to_string(Port)) +
            "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n" +
            "[OnlineSubsystemZor.OnlineEntitlementsZor]\nServiceName=commerce\n",
        "login\nwait login\nexpect login\nentitlements\nbuilds Live Windows\nselfpatch Live Windows\n"
        "builds2 Live Windows\nselfpatch2 Live Linux\nwait entitlements\nwait builds\nwait selfpatch\n"
        "wait builds2\nwait selfpatch2\nexpect entitlements\nexpect builds\nexpect selfpatch\n"
        "expect builds2\nexpect selfpatch2\ndownload2 ZorDemoGame demo-game-deluxe-item\nwait download2\n"
        "expect download2\ndownload2 NoSuchApp\nquit\n",
        {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"});
    Backend.Stop();
    // The one failure is the download of a build that the last answer did not hold.
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("download2: no build of NoSuchApp")) << Run.Log();
    EXPECT_EQ(Run.OutputLines,
              (std::vector<std::string>{"passed: login", "passed: entitlements", "passed: builds",
                                        "passed: selfpatch", "passed: builds2", "passed: selfpatch2",
                                        "passed: download2"}))
        << Run.Log();
    EXPECT_EQ(CountLines(Run, "  entitlement Id="), 3) << Run.Log();
    EXPECT_TRUE(Run.HasLine("Name=ZorDemoGame Deluxe ItemId=demo-game-deluxe-item")) << Run.Log();
    EXPECT_EQ(CountLines(Run, "  build AppName=ZorDemoGame "), 5) << Run.Log();
    EXPECT_EQ(CountLines(Run, "  build AppName=TolvanEngineLauncher "), 2) << Run.Log();
    EXPECT_TRUE(Run.HasLine("item ZorDemoGame.manifest Path=ZorDemoGame/Windows/1.4.0-deluxe/")) << Run.Log();
}
} // namespace
