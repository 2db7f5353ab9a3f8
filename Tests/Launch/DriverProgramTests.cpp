#include <gtest/gtest.h>

#include <algorithm>

#include "BackendHostTest.h"

namespace
{
const std::string DemoUserId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";
const std::string RivalUserId = "7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b";

/** zorhost logged in as the demo player against a local backend of its own. */
class DriverProgramTest : public FBackendHostTest
{
protected:
    /** Logs in (the purchase login too), runs the console lines, and quits once every text of Shown has
     * shown. */
    FHostRun Run(const std::string& Lines, const std::vector<std::string>& Shown)
    {
        std::vector<FTypedLine> Typed = TypedAtOnce(
            "login\nwait login\nexpect login\nwait purchase login\nexpect purchase login\n" + Lines);
        Typed.push_back({[this, Shown]
                         {
                             const std::string Output = ReadRunOutput(Scratch);
                             return std::all_of(Shown.begin(), Shown.end(),
                                                [&Output](const std::string& Text)
                                                { return Output.find(Text) != std::string::npos; });
                         },
                         "quit"});
        const FHostRun Result = FeedAsDemoPlayer(Typed);
        EXPECT_EQ(Result.ExitCode, 0) << Result.Log();
        for (const std::string& Text : Shown)
        {
            EXPECT_TRUE(Result.HasLine(Text)) << Text << "\n" << Result.Log();
        }
        return Result;
    }
};

TEST_F(DriverProgramTest, QueryMappingsListsTheLinksThenFindsTheNamedUser)
{
    Run("ONLINE SUB=ZOR TEST QUERYMAPPINGS DemoRival",
        {"LogOnline: Log: ZOR: query account mappings. Result=true Error=[]",
         "LogOnline: Log: External account Id=demo-console-id Type=console",
         "LogOnline: Log: ZOR: query account by display name [DemoRival]. Result=true RequestingUserId=" +
             DemoUserId + ", FoundUserId=" + RivalUserId + " Error=[]"});
}
TEST_F(DriverProgramTest, PurchaseOrdersADemoOfferAndChecksItOutToPaid)
{
    const std::string Prefix = "LogOnline: Log: ZOR: ";
    const std::string User = "UserId=" + DemoUserId;
    const FHostRun Result =
        Run("orders list\nwait orders list\norder preview qx-offer-gold\nwait order preview\n"
            "ONLINE SUB=ZOR TEST PURCHASE qx-offer-sword",
            {
                Prefix + "query offers complete. Result=true Error=[]",
                Prefix + "create order complete. " + User + " OrderId=order-1 Result=true Error=[]",
                Prefix + "query orders complete. " + User + " Result=true Error=[]",
                Prefix + "query billing accounts complete. " + User + " Result=true Error=[]",
                Prefix + "checkout order complete. " + User + " OrderId=order-1 Result=true Error=[]",
                "  order order-1 status=PAID total=999 USD",
            });
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
}

TEST_F(DriverProgramTest, CatalogAndBuildInfoWordsRunTheirChainsBesideEachOther)
{
    const std::string Prefix = "LogOnline: Log: ZOR: ";
    const FHostRun Result =
        Run("ONLINE SUB=ZOR TEST CATALOG qx\nONLINE SUB=ZOR TEST BUILDINFOV2 "
            "Live\nONLINE SUB=ZOR TEST BUILDINFO Live\nhelp",
            {
                Prefix + "query categories complete. Result=true Error=[]",
                Prefix + "query currencies complete. Result=true Error=[]",
                Prefix + "query items complete. Result=true Error=[]",
                Prefix + "query offers complete. Result=true Error=[]",
                Prefix + "query self patch builds complete. Result=true Error=[]",
                Prefix + "query entitled builds complete. UserId=" + DemoUserId + " Result=true Error=[]",
                Prefix + "query signed downloads complete. UserId=" + DemoUserId + " Result=true Error=[]",
                // The version 1 word binds nothing: the host's own handler shows its answers.
                "LogHost: Display: OnQuerySelfPatchBuildComplete bWasSuccessful=1",
                // Both downloads end before the quit, which would cut the second short and fail its line.
                "CatalogItemId=demo-game-item bWasSuccessful=1",
                "CatalogItemId=demo-game-deluxe-item bWasSuccessful=1",
            });
    for (const char* Word :
         {"QUERYMAPPINGS", "BUILDINFO LABEL", "BUILDINFOV2 LABEL", "CATALOG NAMESPACE", "PURCHASE OFFERID"})
    {
        EXPECT_TRUE(Result.HasLine(std::string("  ONLINE SUB=ZOR TEST ") + Word)) << Word << "\n"
                                                                                  << Result.Log();
    }
}
TEST(DriverScaleProgramTest, ALogoutAmidThousandsOfBuildsEndsTheBuildInfoDriverInOneLoop)
{
    // Once the login has ended, no download is asked for it: neither one refusal per build nor a stack frame
    // per build.
    constexpr int ExtraBuilds = 20000;
    ZorBackend::FBackendOptions Options;
    Options.ExtraBuilds = ExtraBuilds;
    ZorBackend::FLocalBackend Backend(Options);
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    FScratchDir Scratch;
    // The logout comes once the first download is answered, while the others are being asked for.
    std::vector<FTypedLine> Typed =
        TypedAtOnce("login\nwait login\nexpect login\nONLINE SUB=ZOR TEST BUILDINFOV2 Live");
    Typed.push_back({Shows(Scratch, "OnQuerySignedDownloadComplete"), "logout"});
    Typed.push_back({nullptr, "wait logout"});
    Typed.push_back({nullptr, "expect logout"});
    Typed.push_back({nullptr, "wait 1"});
    Typed.push_back({nullptr, "quit"});
    const FHostRun Result = RunHostFed({"-ini=" + Scratch.WriteFile("Engine.ini", LocalBackendIni(Port)),
                                        "-log=LogOnline:Warning", "LOGIN=demo@example.com",
                                        "PASSWORD=demo-password", "TYPE=tavo"},
                                       Typed, Scratch, 120.0);
    Backend.Stop();
    ASSERT_FALSE(Result.bTimedOut);
    EXPECT_EQ(Result.ExitCode, 0) << Result.Log();
    EXPECT_TRUE(Result.HasLine("expect logout: passed"));
    for (const std::string& Line : Result.ErrorLines)
    {
        EXPECT_EQ(Line.find("QuerySignedDownload request failed."), std::string::npos) << Line;
    }
}
} // namespace
