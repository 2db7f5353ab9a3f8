#include <gtest/gtest.h>

#include <string>

#include "BackendHostTest.h"
#include "HostProcess.h"

namespace
{
int CountLines(const FHostRun& Run, const std::string& Text)
{
    int Count = 0;
    for (const std::string& Line : Run.ErrorLines)
    {
        Count += Line.find(Text) != std::string::npos;
    }
    return Count;
}
} // namespace

TEST_F(FBackendHostTest, TokensAsShortAsTheRefreshThresholdAreRenewedAFewTimesAMinuteNeverInALoop)
{
    // As `zorbackend --token-lifetime 100`: the user's, the purchase and the application client's tokens
    // all start at the threshold, and each check answers with what is left of them.
    Backend.SetTokenLifetime(100);
    const std::string Script =
        "login\nwait login\nexpect login\ntitle list\nwait title list\nexpect title list\nwait 20\nquit\n";
    const FHostRun Run =
        RunHost({"-ini=" + Ini, "-exec=" + Scratch.WriteFile("script.zorhost", Script),
                 "LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo", "-log=LogOnline:Verbose"},
                "/dev/null", Scratch, 120.0);
    ASSERT_FALSE(Run.bTimedOut) << "zorhost did not exit\n" << Run.Log();
    EXPECT_EQ(Run.ExitCode, 0) << Run.Log();

    const int Refreshes = CountLines(Run, "RefreshAuth request.");
    const int Checks = CountLines(Run, "VerifyAuth request.");
    const int ClientGrants = CountLines(Run, "Sending Client Auth request.");
    EXPECT_GE(Checks, 2) << Run.Log();
    EXPECT_GE(ClientGrants, 1) << Run.Log();
    // Half of a 100-second life passes before either token is renewed: in the 20 idle seconds after the login
    // and the list, the first checks and little else. A loop shows only as requests over time, so this idle
    // window is the one wait of the test that no event can end.
    EXPECT_LE(Refreshes + Checks + ClientGrants, 8)
        << "refreshes=" << Refreshes << " checks=" << Checks << " client grants=" << ClientGrants;
}
