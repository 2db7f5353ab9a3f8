#include "AccountMapping/OnlineAccountMappingZor.h"
#include "CaseNamePrinter.h"
#include "DriverTest.h"
#include "ZorRows.h"

namespace
{
const char* const ExternalAuths = "/api/public/account/acct1/externalAuths";
const char* const DisplayName = "/api/public/account/displayName/";
const char* const TwoAccounts = R"([{"tavoId":"acct1","externalAccounts":[{"type":"psn","externalId":"p-1"},)"
                                R"({"type":"xbl","externalId":"x-2"}]}])";

class FAccountMappingDriverTest : public FDriverTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        InstallUser();
    }

    FOnlineAccountMappingZor& Mapping() { return *Subsystem->GetZorAccountMappingService(); }

    /** Sends what the user road holds, then answers the request whose URL holds Part. */
    void Reply(const char* Part, int32 Code, const FString& Body)
    {
        Tick();
        Answer(Part, Code, Body);
    }

    /** A driver that has gone no longer answers the service's events. */
    void ExpectDriverGone()
    {
        Log.Clear();
        Mapping().TriggerOnQueryExternalAccountsCompleteDelegates(true, FUniqueNetIdString("acct1"), "");
        Mapping().TriggerOnQueryUserIdFromDisplayNameCompleteDelegates(true, FUniqueNetIdString("acct1"), "x",
                                                                       FUniqueNetIdString("y"), "");
        EXPECT_EQ(Transcript(), "");
    }
};

namespace
{
struct FChainsTheQueriesTheDisplayNameAsksRow
{
    const char* Name;
    const char* Command;
    int32 AccountsCode;
    const char* AccountsBody;
    const char* NameBody;
    std::string Transcript;
};
const FChainsTheQueriesTheDisplayNameAsksRow ChainsTheQueriesTheDisplayNameAsksRows[] = {
    {"no display name: one query", "TEST QUERYMAPPINGS", 200, TwoAccounts, nullptr,
     "ZOR: query account mappings. Result=true Error=[]\n"
     "External account Id=p-1 Type=psn\nExternal account Id=x-2 Type=xbl\n"},
    {"quoted display name", "TEST QUERYMAPPINGS \"Player Two\"", 200,
     R"([{"tavoId":"acct1","externalAccounts":[]}])", R"({"id":"acct2"})",
     "ZOR: query account mappings. Result=true Error=[]\n"
     "ZOR: query account by display name [Player Two]. Result=true RequestingUserId=acct1, "
     "FoundUserId=acct2 Error=[]\n"},
    {"a failed step does not stop the chain", "TEST QUERYMAPPINGS nobody", 500, "{}", R"({"id":"acct3"})",
     "ZOR: query account mappings. Result=false Error=[Invalid response. code=500 error={}]\n"
     "ZOR: query account by display name [nobody]. Result=true RequestingUserId=acct1, "
     "FoundUserId=acct3 Error=[]\n"},
};

void PrintTo(const FChainsTheQueriesTheDisplayNameAsksRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FAccountMappingDriverTestChainsTheQueriesTheDisplayNameAsks =
    TZorRows<FAccountMappingDriverTest, FChainsTheQueriesTheDisplayNameAsksRow>;
} // namespace

TEST_P(FAccountMappingDriverTestChainsTheQueriesTheDisplayNameAsks, ChainsTheQueriesTheDisplayNameAsks)
{
    const FChainsTheQueriesTheDisplayNameAsksRow& Case = GetParam();
    SCOPED_TRACE(Case.Name);
    Log.Clear();
    Http().Reset();
    ASSERT_TRUE(Exec(Case.Command));
    Reply(ExternalAuths, Case.AccountsCode, Case.AccountsBody);
    if (Case.NameBody)
    {
        Reply(DisplayName, 200, Case.NameBody);
    }
    Tick();
    EXPECT_EQ(Http().NumPending(), 0);
    EXPECT_EQ(Transcript(), Case.Transcript);
    ExpectDriverGone();
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountMappingDriverTestChainsTheQueriesTheDisplayNameAsks,
                         ::testing::ValuesIn(ChainsTheQueriesTheDisplayNameAsksRows),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FAccountMappingDriverTest, StepsRefusedAtOnceEndTheDriverInsideTheCommand)
{
    // Someone else's query holds the user, so both steps are refused before anything is sent.
    ASSERT_TRUE(Mapping().QueryExternalAccounts(FUniqueNetIdString("acct1"), ""));
    EXPECT_TRUE(Exec("TEST QUERYMAPPINGS someone"));
    EXPECT_EQ(Transcript(),
              "ZOR: query account mappings. Result=false Error=[Already pending for user=acct1]\n"
              "ZOR: query account by display name [someone]. Result=false RequestingUserId=acct1, "
              "FoundUserId= Error=[Already pending for requesting user=acct1]\n");
    Log.Clear();
    Reply(ExternalAuths, 200, TwoAccounts);
    EXPECT_EQ(Transcript(), "");
}

namespace
{
struct FShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRow
{
    const char* Name;
    TFunction<void(TSharedPtr<FOnlineSubsystemZor>&)> End;
};
const FShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRow
    ShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRows[] = {
        {"shut down", [](TSharedPtr<FOnlineSubsystemZor>& Zor) { Zor->Shutdown(); }},
        // The driver holds the service: the reply would otherwise lead its next step into the freed
        // subsystem.
        {"released without a shutdown", [](TSharedPtr<FOnlineSubsystemZor>& Zor) { Zor.Reset(); }},
};

void PrintTo(const FShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FAccountMappingDriverTestShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReply =
    TZorRows<FAccountMappingDriverTest, FShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRow>;
} // namespace

TEST_P(FAccountMappingDriverTestShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReply,
       ShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReply)
{
    const FShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRow& Case = GetParam();
    SCOPED_TRACE(Case.Name);
    CreateSubsystem();
    InstallUser();
    Log.Clear();
    EXPECT_TRUE(Exec("TEST QUERYMAPPINGS someone"));
    Tick();
    const FHttpRequestPtr Sent = FindPending(ExternalAuths);
    ASSERT_TRUE(Sent);
    Case.End(Subsystem);
    EXPECT_EQ(Transcript(), "ZOR: query account mappings. Result=false Error=[No response]\n");
    Log.Clear();
    Http().Respond(Sent, 200, TwoAccounts);
    Tick(2);
    EXPECT_EQ(Transcript(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FAccountMappingDriverTestShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReply,
    ::testing::ValuesIn(ShutdownOrReleaseMidChainFinishesTheDriverAndDropsTheLateReplyRows),
    [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FAccountMappingDriverTest, TwoCommandsMakeTwoIndependentDrivers)
{
    EXPECT_TRUE(Exec("TEST QUERYMAPPINGS"));
    EXPECT_TRUE(Exec("TEST QUERYMAPPINGS"));
    // The second is refused while the first is pending; both hear the refusal and take it as their answer.
    EXPECT_EQ(Transcript(),
              "ZOR: query account mappings. Result=false Error=[Already pending for user=acct1]\n"
              "ZOR: query account mappings. Result=false Error=[Already pending for user=acct1]\n");
    ExpectDriverGone();
    Reply(ExternalAuths, 200, "[]");
    EXPECT_EQ(Transcript(), "");
}
} // namespace
