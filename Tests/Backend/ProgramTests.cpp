#include "BackendHttp.h"
#include "BackendTestFixture.h"
#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ZorBackendTests
{
namespace
{
using FClock = std::chrono::steady_clock;

// Long enough for a loaded machine to start and stop a few backends; short enough that children that never
// end fail their own test, named, well before the run's own time limit.
FClock::time_point ChildDeadline()
{
    return FClock::now() + std::chrono::seconds(45);
}

// A zorbackend process whose standard output and standard error are readable line by line, in one stream.
// Reading and waiting end at its deadline, which kills a child that is still running and names it.
class FProgram
{
public:
    explicit FProgram(std::vector<std::string> Arguments, FClock::time_point InDeadline = ChildDeadline(),
                      const std::string& Program = ZOR_BACKEND_PROGRAM)
        : Deadline(InDeadline)
    {
        Arguments.insert(Arguments.begin(), Program);
        Name = DescribeChild(Arguments);
        std::vector<char*> Argv;
        for (std::string& Argument : Arguments)
        {
            Argv.push_back(Argument.data());
        }
        Argv.push_back(nullptr);
        int Pipe[2];
        if (pipe(Pipe) != 0)
        {
            return;
        }
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
        if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0)
        {
            Pid = -1;
        }
        posix_spawn_file_actions_destroy(&Actions);
        close(Pipe[1]);
        Output = std::make_unique<FChildOutput>(Pipe[0]);
    }

    ~FProgram()
    {
        if (Pid > 0 && !bReaped)
        {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }

    std::string ReadLine() { return Output ? Output->ReadLine(Due()) : ""; }

    // Everything up to the end of the output.
    std::string ReadAll()
    {
        std::string Text;
        for (std::string Line = ReadLine(); !Line.empty(); Line = ReadLine())
        {
            Text += Line;
        }
        return Text;
    }

    // The exit code, or -1 when the process did not exit normally or was killed at the deadline.
    int Wait()
    {
        const std::chrono::duration<double> Left = Due() - FClock::now();
        bool bTimedOut = false;
        const int ExitCode = WaitForChild(Pid, Name, Left.count(), bTimedOut);
        bReaped = true;
        return ExitCode;
    }

    pid_t Pid = -1;

private:
    // A child started after a shared deadline passed still gets a moment, so that only those that hang are
    // blamed.
    FClock::time_point Due() const { return std::max(Deadline, FClock::now() + std::chrono::seconds(2)); }

    FClock::time_point Deadline;
    std::string Name;
    std::unique_ptr<FChildOutput> Output;
    bool bReaped = false;
};

int PortOf(const std::string& Line)
{
    const std::string Prefix = "zorbackend listening on 127.0.0.1:";
    return Line.rfind(Prefix, 0) == 0 ? std::atoi(Line.c_str() + Prefix.size()) : -1;
}

TEST(BackendProgramTest, ReportsItsPortServesAndStopsOnSigterm)
{
    FProgram Program({"--port", "0", "--token-lifetime", "90"});
    ASSERT_GT(Program.Pid, 0);
    const int Port = PortOf(Program.ReadLine());
    ASSERT_GT(Port, 0);

    httplib::Client Client("127.0.0.1", Port);
    const httplib::Result Result =
        Client.Post("/account/api/oauth/token", {{"Authorization", BasicAuth(GameClient)}}, DemoLogin,
                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(Result);
    EXPECT_EQ(IntField(ParseJson(Result->body), "expires_in"), 90);

    ASSERT_EQ(kill(Program.Pid, SIGTERM), 0);
    EXPECT_EQ(Program.Wait(), 0);
}

TEST(BackendProgramTest, StopsOnSigint)
{
    FProgram Program({"--port", "0"});
    ASSERT_GT(PortOf(Program.ReadLine()), 0);
    ASSERT_EQ(kill(Program.Pid, SIGINT), 0);
    EXPECT_EQ(Program.Wait(), 0);
}

TEST(BackendProgramTest, HelpPrintsTheUsage)
{
    for (const char* Help : {"--help", "-h"})
    {
        FProgram Program({"--port", "0", Help});
        const std::string Output = Program.ReadAll();
        EXPECT_EQ(Program.Wait(), 0) << Help;
        EXPECT_EQ(Output.rfind("usage: zorbackend ", 0), 0u) << Output;
        EXPECT_NE(Output.find("--port N"), std::string::npos) << Output;
        EXPECT_EQ(Output.find("listening"), std::string::npos) << Output;
    }
}

TEST(BackendProgramTest, FindsTheSeedNextToTheProgramBeforeTheSources)
{
    // A copy of the backend away from its build, as an install or a copied build directory has it.
    const std::filesystem::path Dir =
        std::filesystem::temp_directory_path() / ("zorbackend-copy-" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
    const std::string Copy = (Dir / "zorbackend").string();
    std::filesystem::copy_file(ZOR_BACKEND_PROGRAM, Copy, std::filesystem::copy_options::overwrite_existing);

    FProgram FromSources({"--help"}, ChildDeadline(), Copy);
    const std::string SourcesUsage = FromSources.ReadAll();
    EXPECT_EQ(FromSources.Wait(), 0);
    EXPECT_NE(SourcesUsage.find("/Config/LocalBackend.json)"), std::string::npos) << SourcesUsage;

    std::filesystem::copy_file(ZorBackend::DefaultSeedPath(), Dir / "LocalBackend.json");
    FProgram NextToIt({"--help"}, ChildDeadline(), Copy);
    const std::string NextToItUsage = NextToIt.ReadAll();
    EXPECT_EQ(NextToIt.Wait(), 0);
    EXPECT_NE(NextToItUsage.find("(default " + (Dir / "LocalBackend.json").string() + ")"), std::string::npos)
        << NextToItUsage;

    FProgram Serving({"--port", "0"}, ChildDeadline(), Copy);
    EXPECT_GT(PortOf(Serving.ReadLine()), 0);
    std::filesystem::remove_all(Dir);
}

struct FBadArguments
{
    std::vector<std::string> Arguments;
    // The option as the message shows it: the controls a terminal acts on and bytes outside UTF-8 escaped.
    std::string Shown;
};

const FBadArguments BadArguments[] = {
    {{"--port"}, "--port"},
    {{"--port", "70000"}, "--port"},
    {{"--port", "12x"}, "--port"},
    {{"--token-lifetime", "0"}, "--token-lifetime"},
    {{"--extra-builds", "-1"}, "--extra-builds"},
    {{"--verbose", "1"}, "--verbose"},
    {{"--\x1b]0;x\x07\n\x7f\xc2\x9f\x9b\t\xc3\xa9", "1"},
     R"(--\x1b]0;x\x07\x0a\x7f\xc2\x9f\x9b)"
     "\t\xc3\xa9"},
};

using BackendBadArgumentsTest = ::testing::TestWithParam<size_t>;

TEST_P(BackendBadArgumentsTest, RefusesBadArguments)
{
    const FBadArguments& Case = BadArguments[GetParam()];
    FProgram Program(Case.Arguments);
    const std::string Output = Program.ReadAll();
    EXPECT_EQ(Program.Wait(), 2) << Case.Shown;
    EXPECT_NE(Output.find("zorbackend: bad or incomplete option: " + Case.Shown + "\n"), std::string::npos)
        << Output;
    EXPECT_NE(Output.find("usage: zorbackend "), std::string::npos) << Output;
    EXPECT_EQ(Output.find('\x1b'), std::string::npos) << Case.Shown;
}

INSTANTIATE_TEST_SUITE_P(Rows, BackendBadArgumentsTest, ::testing::Range(size_t{0}, std::size(BadArguments)));

TEST(BackendProgramTest, RefusesBusyPortsAndMissingSeeds)
{
    // One deadline for every child: backends that all keep serving still end the test in time.
    const FClock::time_point Deadline = ChildDeadline();
    ZorBackend::FLocalBackend Busy;
    std::string Error;
    const int Port = Busy.Start(0, Error);
    ASSERT_GT(Port, 0) << Error;
    FProgram Program({"--port", std::to_string(Port)}, Deadline);
    const std::string Output = Program.ReadAll();
    EXPECT_EQ(Program.Wait(), 1);
    EXPECT_NE(Output.find("cannot listen on 127.0.0.1:" + std::to_string(Port) +
                          ": the port is in use, perhaps by another zorbackend; --port N picks another port"),
              std::string::npos)
        << Output;
    FProgram BadSeed({"--port", "0", "--seed", "/nonexistent/\x1b[2Jseed.json"}, Deadline);
    const std::string SeedOutput = BadSeed.ReadAll();
    EXPECT_EQ(BadSeed.Wait(), 1);
    EXPECT_NE(SeedOutput.find(R"(cannot open seed file /nonexistent/\x1b[2Jseed.json)"), std::string::npos)
        << ZorBackend::Printable(SeedOutput);
}

TEST(BackendProgramTest, ShowsAnEmailFromARequestWithItsControlBytesEscaped)
{
    FProgram Program({"--port", "0"});
    const int Port = PortOf(Program.ReadLine());
    ASSERT_GT(Port, 0);
    httplib::Client Client("127.0.0.1", Port);
    const httplib::Result Grant =
        Client.Post("/account/api/oauth/token", {{"Authorization", BasicAuth(GameClient)}},
                    "grant_type=client_credentials", "application/x-www-form-urlencoded");
    ASSERT_TRUE(Grant);
    const httplib::Headers Bearer{
        {"Authorization", "bearer " + StringField(ParseJson(Grant->body), "access_token")}};
    const std::string Shown = R"(evil\x1b]0;x\x07\x0a\x7f\xc2\x85\x00@example.com)";
    const httplib::Result Created = Client.Post(
        "/game/api/tavoAccount/account", Bearer,
        R"({"email":"evil\u001b]0;x\u0007\n\u007f\u0085\u0000@example.com","displayName":"Evil","password":"p"})",
        "application/json");
    ASSERT_TRUE(Created);
    EXPECT_EQ(Created->status, 200) << Created->body;
    const httplib::Result Reset = Client.Post(
        "/game/api/tavoAccount/account/evil%1B%5D0%3Bx%07%0A%7F%C2%85%00%40example.com/resetPassword", Bearer,
        "", "application/json");
    ASSERT_TRUE(Reset);
    EXPECT_EQ(Reset->status, 204) << Reset->body;

    for (const std::string& Line : {"zorbackend: validation token for " + Shown + ": ",
                                    "zorbackend: password reset requested for " + Shown})
    {
        const std::string Printed = Program.ReadLine();
        EXPECT_EQ(Printed.rfind(Line, 0), 0u) << ZorBackend::Printable(Printed);
    }
    ASSERT_EQ(kill(Program.Pid, SIGTERM), 0);
    EXPECT_EQ(Program.Wait(), 0);
}
} // namespace
} // namespace ZorBackendTests
