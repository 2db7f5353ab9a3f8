#include <gtest/gtest.h>

#include "BackendHostTest.h"

namespace
{
const std::string DemoUserId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";
const std::string RivalUserId = "7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b";

struct FPlayer
{
    const char* Login;
    const char* Password;
};

FHostRun Play(const FScratchDir& Scratch, const std::string& Ini, const FPlayer& Player,
              const std::string& Script)
{
    return RunHost({"-ini=" + Ini, "-exec=" + Scratch.WriteFile("script.zorhost", Script),
                    std::string("LOGIN=") + Player.Login, std::string("PASSWORD=") + Player.Password,
                    "TYPE=tavo"},
                   "/dev/null", Scratch);
}
} // namespace

TEST(SocialHostProgramTest, TwoHostsBefriendEachOtherAndExchangeAMessage)
{
    FScratchDir Scratch;
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    const std::string Ini = Scratch.WriteFile("Engine.ini", LocalBackendIni(Port));
    const FPlayer Demo{"demo@example.com", "demo-password"};
    const FPlayer Rival{"rival@example.com", "rival-password"};

    const FHostRun Invite = Play(Scratch, Ini, Demo,
                                 "login\nwait login\nexpect login\nfriends invite " + RivalUserId +
                                     "\nwait friends invite\nexpect friends invite\nquit\n");
    const FHostRun Answer =
        Play(Scratch, Ini, Rival,
             "login\nwait login\nfriends read\nwait friends read\nexpect friends read\nfriends accept " +
                 DemoUserId + "\nwait friends accept\nexpect friends accept\nmessages send " + DemoUserId +
                 " gold=5 ratio=2.5 note=hello\nwait messages send\nexpect messages send\nquit\n");
    const FHostRun Read = Play(Scratch, Ini, Demo,
                               "login\nwait login\nfriends read\nwait friends read\nmessages list\nwait "
                               "messages list\nexpect messages list\n"
                               "messages read msg-1\nwait messages read\nexpect messages read\nmessages "
                               "delete msg-1\nwait messages delete\n"
                               "expect messages delete\nquit\n");
    Backend.Stop();

    EXPECT_EQ(Invite.ExitCode, 0) << Invite.Log();
    EXPECT_EQ(Answer.ExitCode, 0) << Answer.Log();
    EXPECT_TRUE(Answer.HasLine("  " + DemoUserId + " PendingInbound")) << Answer.Log();
    EXPECT_EQ(Read.ExitCode, 0) << Read.Log();
    EXPECT_TRUE(Read.HasLine("  " + RivalUserId + " Accepted")) << Read.Log();
    EXPECT_TRUE(Read.HasLine("  msg-1 from=" + RivalUserId + " (DemoRival) type=text")) << Read.Log();
    for (const char* Value : {"  gold=5 (Int32)", "  ratio=2.5 (Double)", "  note=hello (String)"})
    {
        EXPECT_TRUE(Read.HasLine(Value)) << Value << "\n" << Read.Log();
    }
}
