#include <gtest/gtest.h>

#include "BackendHostTest.h"

namespace
{
const std::string DemoUserId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";
const std::string RivalUserId = "7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b";

/** zorhost logged in as the demo player against a local backend of its own. */
class DriverProgramTest : public FBackendHostTest
{
protected:
    /** Logs in, runs the console lines with time for their requests, and quits. */
    FHostRun Run(const std::string& Lines)
    {
        const FHostRun Result = RunAsDemoPlayer("login\nwait login\nexpect login\n" + Lines + "\nwait 2\nquit\n");
        EXPECT_EQ(Result.ExitCode, 0) << Result.Log();
        return Result;
    }
};

TEST_F(DriverProgramTest, QueryMappingsListsTheLinksThenFindsTheNamedUser)
{
    const FHostRun Result = Run("ONLINE SUB=ZOR TEST QUERYMAPPINGS DemoRival");
    for (const std::string& Line : {
             std::string("LogOnline: Log: ZOR: query account mappings. Result=true Error=[]"),
             std::string("LogOnline: Log: External account Id=demo-console-id Type=console"),
             "LogOnline: Log: ZOR: query account by display name [DemoRival]. Result=true RequestingUserId=" +
                 DemoUserId + ", FoundUserId=" + RivalUserId + " Error=[]",
         })
    {
        EXPECT_TRUE(Result.HasLine(Line)) << Line << "\n" << Result.Log();
    }
}
TEST_F(DriverProgramTest, PurchaseOrdersADemoOfferAndChecksItOutToPaid)
{
    const FHostRun Result = Run("orders list\nwait 1\norder preview qx-offer-gold\nwait 1\n"
                                "ONLINE SUB=ZOR TEST PURCHASE qx-offer-sword");
    const std::string Prefix = "LogOnline: Log: ZOR: ";
    const std::string User = "UserId=" + DemoUserId;
    for (const std::string& Line : {
             Prefix + "query offers complete. Result=true Error=[]",
             Prefix + "create order complete. " + User + " OrderId=order-1 Result=true Error=[]",
             Prefix + "query orders complete. " + User + " Result=true Error=[]",
             Prefix + "query billing accounts complete. " + User + " Result=true Error=[]",
             Prefix + "checkout order complete. " + User + " OrderId=order-1 Result=true Error=[]",
         })
    {
        EXPECT_TRUE(Result.HasLine(Line)) << Line << "\n" << Result.Log();
    }
    // The order's dump follows on lines of its own.
    const int Checkout = Result.FindLine("checkout order complete.");
    ASSERT_GE(Checkout, 0) << Result.Log();
    ASSERT_LT(Checkout + 4, static_cast<int>(Result.ErrorLines.size()));
    EXPECT_EQ(Result.ErrorLines[Checkout + 1], "LogOnline: Log: ZOR: \torder. dump={") << Result.Log();
    EXPECT_EQ(Result.ErrorLines[Checkout + 4], "    \t\"orderStatus\": \"PAID\",") << Result.Log();
    // The host's own listing tells a preview from an order, and says when there is none.
    EXPECT_LT(Result.FindLine("  no orders"), Result.FindLine("> order preview")) << Result.Log();
    EXPECT_TRUE(Result.HasLine(" status=PREVIEW total=1000 USD")) << Result.Log();
    EXPECT_EQ(Result.FindLine("  preview "), Result.FindLine(" status=PREVIEW total=1000 USD"))
        << Result.Log();
    EXPECT_TRUE(Result.HasLine("  order order-1 status=PAID total=999 USD")) << Result.Log();
}

TEST_F(DriverProgramTest, CatalogAndBuildInfoWordsRunTheirChainsBesideEachOther)
{
    const FHostRun Result = Run("ONLINE SUB=ZOR TEST CATALOG qx\nONLINE SUB=ZOR TEST BUILDINFOV2 "
                                "Live\nONLINE SUB=ZOR TEST BUILDINFO Live\n"
                                "wait 2\nhelp");
    const std::string Prefix = "LogOnline: Log: ZOR: ";
    for (const std::string& Line : {
             Prefix + "query categories complete. Result=true Error=[]",
             Prefix + "query currencies complete. Result=true Error=[]",
             Prefix + "query items complete. Result=true Error=[]",
             Prefix + "query offers complete. Result=true Error=[]",
             Prefix + "query self patch builds complete. Result=true Error=[]",
             Prefix + "query entitled builds complete. UserId=" + DemoUserId + " Result=true Error=[]",
             Prefix + "query signed downloads complete. UserId=" + DemoUserId + " Result=true Error=[]",
             // The version 1 word binds nothing: the host's own handler shows its answers.
             std::string("LogHost: Display: OnQuerySelfPatchBuildComplete bWasSuccessful=1"),
         })
    {
        EXPECT_TRUE(Result.HasLine(Line)) << Line << "\n" << Result.Log();
    }
    for (const char* Word :
         {"QUERYMAPPINGS", "BUILDINFO LABEL", "BUILDINFOV2 LABEL", "CATALOG NAMESPACE", "PURCHASE OFFERID"})
    {
        EXPECT_TRUE(Result.HasLine(std::string("  ONLINE SUB=ZOR TEST ") + Word)) << Word << "\n"
                                                                                  << Result.Log();
    }
}
TEST(DriverScaleProgramTest, ALogoutAmidThousandsOfBuildsEndsTheBuildInfoDriverInOneLoop)
{
    // Refused after the logout, each download answers inside its own call: nested, that was a stack frame per
    // build, and the host died before its next line.
    constexpr int ExtraBuilds = 20000;
    ZorBackend::FBackendOptions Options;
    Options.ExtraBuilds = ExtraBuilds;
    ZorBackend::FLocalBackend Backend(Options);
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    FScratchDir Scratch;
    const std::string Script = "login\nwait login\nexpect login\nONLINE SUB=ZOR TEST BUILDINFOV2 Live\nwait 5\n"
                               "logout\nwait logout\nexpect logout\nquit\n";
    const FHostRun Result =
        RunHost({"-ini=" + Scratch.WriteFile("Engine.ini", LocalBackendIni(Port)), "-log=LogOnline:Warning",
                 "-exec=" + Scratch.WriteFile("script.zorhost", Script), "LOGIN=demo@example.com",
                 "PASSWORD=demo-password", "TYPE=tavo"},
                "/dev/null", Scratch, 120.0);
    Backend.Stop();
    ASSERT_FALSE(Result.bTimedOut);
    // The refused downloads count as failed operations; a crash has no exit code.
    EXPECT_GE(Result.ExitCode, 0);
    EXPECT_TRUE(Result.HasLine("expect logout: passed"));
    int Refused = 0;
    for (const std::string& Line : Result.ErrorLines)
    {
        Refused += Line.find("ZOR: QuerySignedDownload request failed. Invalid user auth for id=" +
                             DemoUserId) != std::string::npos;
    }
    EXPECT_GT(Refused, ExtraBuilds / 2);
    // The refusals take one line of the summary, not one each.
    const int Summary =
        Result.FindLine("LogHost: Error: 0 console lines or the operations they started failed:");
    ASSERT_GE(Summary, 0) << Result.Log();
    const std::vector<std::string> Listed(Result.ErrorLines.begin() + Summary + 1, Result.ErrorLines.end());
    ASSERT_EQ(Listed.size(), 1u);
    EXPECT_TRUE(Listed[0].starts_with("LogHost: Error:   download2: ")) << Listed[0];
    EXPECT_TRUE(Listed[0].ends_with(" failed, none started by a line")) << Listed[0];
}
} // namespace
