#include <gtest/gtest.h>

#include "BackendHostTest.h"
#include "HostProcess.h"
#include "LocalBackend.h"
#include "ZorRows.h"

namespace
{
std::string AccountsIni(int Port)
{
    return "[OnlineSubsystemZor]\nbEnabled=true\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=127.0.0.1:" +
           std::to_string(Port) +
           "\nServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)\n"
           "ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)\n"
           "[OnlineSubsystemZor.AccountServiceZor]\nServiceName=account\n"
           "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n";
}

class AccountHostWordsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Port = StartOnFreePort(Backend);
        ASSERT_GT(Port, 0);
    }

    FHostRun Run(const std::string& Script, std::vector<std::string> Arguments)
    {
        Arguments.insert(Arguments.begin(), {"-ini=" + Scratch.WriteFile("Engine.ini", AccountsIni(Port)),
                                             "-exec=" + Scratch.WriteFile("script.zorhost", Script)});
        FHostRun Result = RunHost(Arguments, "/dev/null", Scratch);
        EXPECT_FALSE(Result.bTimedOut) << Result.Log();
        return Result;
    }

    ZorBackend::FLocalBackend Backend;
    FScratchDir Scratch;
    int Port = 0;
};
} // namespace

TEST_F(AccountHostWordsTest, CreatesAnAccountLogsInWithItAndLinksAndFinds)
{
    const FHostRun Result =
        Run("account create new@example.com NewPlayer new-password\nwait account create\n"
            "expect account create\n"
            "login\nwait login\nexpect login\n"
            "mapping add console newcon:ticket\nwait mapping add\nexpect mapping add\n"
            "mapping query\nwait mapping query\nexpect mapping query\n"
            "mapping find newplayer\nwait mapping find\nexpect mapping find\n"
            "users query 5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e\nwait users query\nexpect users query\n"
            "mapping remove console\nwait mapping remove\nexpect mapping remove\n"
            "account delete new@example.com new-password\nwait account delete\nexpect account delete\nquit\n",
            {"LOGIN=new@example.com", "PASSWORD=new-password", "TYPE=tavo"});
    ASSERT_EQ(Result.ExitCode, 0) << Result.Log();
    EXPECT_EQ(Result.OutputLines, (std::vector<std::string>{
                                      "passed: account create", "passed: login", "passed: mapping add",
                                      "passed: mapping query", "passed: mapping find", "passed: users query",
                                      "passed: mapping remove", "passed: account delete"}))
        << Result.Log();
    EXPECT_TRUE(Result.HasLine("Email=new@example.com DisplayName=NewPlayer PendingAuth=1")) << Result.Log();
    EXPECT_TRUE(Result.HasLine("ExternalAccount UserId=")) << Result.Log();
    EXPECT_TRUE(Result.HasLine("User Id=5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e DisplayName=DemoPlayer"))
        << Result.Log();
    EXPECT_FALSE(Result.HasLine("new-password")) << Result.Log();
    EXPECT_FALSE(Result.HasLine("newcon:ticket")) << Result.Log();
    EXPECT_TRUE(Result.HasLine("> account create new@example.com NewPlayer ***")) << Result.Log();
    EXPECT_TRUE(Result.HasLine("> mapping add console ***")) << Result.Log();
}

namespace
{
struct FRefusalsFailTheRunRow
{
    const char* Script;
    const char* Line;
};
const FRefusalsFailTheRunRow RefusalsFailTheRunRows[] = {
    {"account create demo@example.com Taken pw\nwait account create\nquit\n",
     "OnCreateAccountComplete bWasSuccessful=0"},
    {"account create\nquit\n", "usage: account create EMAIL NAME PASSWORD"},
    {"mapping query\nquit\n", "mapping: local user 0 is not logged in"},
    {"users query\nquit\n", "usage: users query ID..."},
};

using FRefusalsFailTheRunTest = TZorRows<AccountHostWordsTest>;
} // namespace

TEST_P(FRefusalsFailTheRunTest, RefusalsFailTheRun)
{
    const FRefusalsFailTheRunRow& Case = RefusalsFailTheRunRows[GetParam()];
    const FHostRun Result = Run(Case.Script, {});
    EXPECT_EQ(Result.ExitCode, 1) << Case.Script << Result.Log();
    EXPECT_TRUE(Result.HasLine(Case.Line)) << Case.Script << Result.Log();
}

INSTANTIATE_TEST_SUITE_P(Rows, FRefusalsFailTheRunTest,
                         ::testing::Range(size_t{0}, std::size(RefusalsFailTheRunRows)));
