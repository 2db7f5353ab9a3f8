#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "BackendHostTest.h"
#include "HostProcess.h"
#include "HostileService.h"
#include "LocalBackend.h"

namespace
{
const std::string DemoUserId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";

int CountLines(const FHostRun& Run, const std::string& Text)
{
    int Count = 0;
    for (const std::string& Line : Run.ErrorLines)
    {
        Count += Line.find(Text) != std::string::npos;
    }
    return Count;
}

/**
 * Runs zorhost on Ini as the demo user, typing each line as soon as it is ready, in the scratch directory, so
 * that its cloud copies land under Scratch/Saved/Cloud.
 */
FHostRun RunInScratch(const FScratchDir& Scratch, const std::string& Ini,
                      const std::vector<FTypedLine>& Typed)
{
    return RunHostFed({"-ini=" + Scratch.WriteFile("Engine.ini", Ini), "LOGIN=demo@example.com",
                       "PASSWORD=demo-password", "TYPE=tavo", "-log=LogOnline:Verbose"},
                      Typed, Scratch);
}
} // namespace

TEST(CloudHostProgramTest, RoundTripsACloudFileThroughTheBackendAndItsCache)
{
    FScratchDir Scratch;
    Scratch.WriteFile("motd.txt", "Welcome");
    ZorBackend::FLocalBackend Backend({.TitleFilesDir = Scratch.Path()});
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);

    const std::string Ini =
        "[OnlineSubsystemZor]\nbEnabled=true\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=127.0.0.1:" +
        std::to_string(Port) +
        "\nServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)\n"
        "ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)\n"
        "[OnlineSubsystemZor.AccountServiceZor]\nServiceName=account\n"
        "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n";
    const std::string Script = "cloud list\nlogin\nwait login\nexpect login\ncloud list\nwait cloud list\n"
                               "cloud write notes.txt hello cloud\nwait cloud write\nexpect cloud write\n"
                               "cloud list\nwait cloud list\nexpect cloud list\n"
                               "cloud delete notes.txt local\nexpect cloud delete\n"
                               "cloud read notes.txt\nwait cloud read\nexpect cloud read\n"
                               "cloud read notes.txt\nexpect cloud read\n"
                               "title list\nwait title list\nexpect title list\ntitle read motd.txt\nwait "
                               "title read\nexpect title read\n"
                               "time\nwait time\nexpect time\n"
                               "cloud delete notes.txt\nwait cloud delete\nexpect cloud delete\nquit\n";
    const FHostRun Run = RunInScratch(Scratch, Ini, TypedAtOnce(Script));
    Backend.Stop();

    ASSERT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("cloud: local user 0 is not logged in")) << Run.Log();
    EXPECT_EQ(Run.OutputLines,
              (std::vector<std::string>{"passed: login", "passed: cloud write", "passed: cloud list",
                                        "passed: cloud delete", "passed: cloud read", "passed: cloud read",
                                        "passed: title list", "passed: title read", "passed: time",
                                        "passed: cloud delete"}))
        << Run.Log();
    EXPECT_TRUE(Run.HasLine("  notes.txt filename=notes.txt size=11 hash=")) << Run.Log();
    // Downloaded once after the local copy went; the second read is the cache's.
    EXPECT_EQ(CountLines(Run, "ReadUserFile request complete. url="), 1) << Run.Log();
    EXPECT_EQ(CountLines(Run, "OnReadUserFileComplete bWasSuccessful=1 UserId=" + DemoUserId +
                                  " FileName=notes.txt Size=11"),
              2)
        << Run.Log();
    EXPECT_TRUE(Run.HasLine("OnReadFileComplete bWasSuccessful=1 FileName=motd.txt Size=7")) << Run.Log();
    // Reads show the start of what they read; an empty list says so.
    EXPECT_EQ(CountLines(Run, "  content (11 bytes): hello cloud"), 2) << Run.Log();
    EXPECT_TRUE(Run.HasLine("  content (7 bytes): Welcome")) << Run.Log();
    EXPECT_LT(Run.FindLine("  no files"), Run.FindLine("> cloud write")) << Run.Log();
    EXPECT_GT(Run.FindLine("  no files"), Run.FindLine("> login")) << Run.Log();
    EXPECT_TRUE(Run.HasLine("OnQueryServerUtcTimeComplete bWasSuccessful=1 DateTime=")) << Run.Log();
    EXPECT_FALSE(std::filesystem::exists(Scratch.Path() + "/Saved/Cloud/" + DemoUserId + "/notes.txt"));
    EXPECT_TRUE(std::filesystem::exists(Scratch.Path() + "/Saved/Cloud/QVR/motd.txt"));
}

TEST(CloudHostProgramTest, RedirectedWriteAndListFailAndTheSavedCopyStays)
{
    FScratchDir Scratch;
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    // In front of the backend: every upload but "kept.txt" and every list are answered with a redirect.
    FHostileService Hostile;
    const int HostilePort = Hostile.Start(Port);
    ASSERT_GT(HostilePort, 0);
    Hostile.Override({"PUT", ".*/cloudstorage/user/[^/]+/moved\\.txt", "", 302, ""});
    Hostile.Override({"GET", ".*/cloudstorage/user/[^/]+", "", 302, "[]"});
    const std::string Ini = LocalBackendIni(HostilePort);
    const std::string Script =
        "login\nwait login\nexpect login\n"
        "cloud write kept.txt saved\nwait cloud write\nexpect cloud write\n"
        "cloud write moved.txt lost\nwait cloud write\ncloud list\nwait cloud list\nquit\n";
    const FHostRun Run = RunInScratch(Scratch, Ini, TypedAtOnce(Script));
    Backend.Stop();

    ASSERT_FALSE(Run.bTimedOut) << "zorhost did not exit\n" << Run.Log();
    EXPECT_EQ(Run.OutputLines, (std::vector<std::string>{"passed: login", "passed: cloud write"}))
        << Run.Log();
    EXPECT_TRUE(
        Run.HasLine("OnWriteUserFileComplete bWasSuccessful=0 UserId=" + DemoUserId + " FileName=moved.txt"))
        << Run.Log();
    EXPECT_TRUE(Run.HasLine("OnEnumerateUserFilesComplete bWasSuccessful=0")) << Run.Log();
    EXPECT_TRUE(std::filesystem::exists(Scratch.Path() + "/Saved/Cloud/" + DemoUserId + "/kept.txt"));
    EXPECT_FALSE(std::filesystem::exists(Scratch.Path() + "/Saved/Cloud/" + DemoUserId + "/moved.txt"));
}

// The read given the missing file failed; the later read of the same word, given a file that is there, did
// not.
TEST(CloudHostProgramTest, AFailedReadIsListedUnderTheLineThatNamedItsFile)
{
    FScratchDir Scratch;
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    // Both reads are under way together, and either may end first.
    std::vector<FTypedLine> Typed =
        TypedAtOnce("login\nwait login\ncloud write present.sav kept\nwait cloud write\n"
                    "cloud delete present.sav local\ncloud read missing.sav\n"
                    "cloud read present.sav\nwait cloud read");
    Typed.push_back({Shows(Scratch, "FileName=missing.sav Size=0"), "quit"});
    const FHostRun Run = RunInScratch(Scratch, LocalBackendIni(Port), Typed);
    Backend.Stop();

    ASSERT_FALSE(Run.bTimedOut) << Run.Log();
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("FileName=present.sav Size=4")) << Run.Log();
    const int Summary =
        Run.FindLine("LogHost: Error: 1 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Run.Log();
    EXPECT_EQ(std::vector<std::string>(Run.ErrorLines.begin() + Summary + 1, Run.ErrorLines.end()),
              std::vector<std::string>{"LogHost: Error:   line 6: cloud read missing.sav"})
        << Run.Log();
}
