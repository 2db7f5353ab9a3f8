#include "BackendHostTest.h"

std::string LocalBackendIni(int Port)
{
    return "[OnlineSubsystemZor]\nbEnabled=true\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=127.0.0.1:" +
           std::to_string(Port) +
           "\nServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)\n"
           "ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)\n"
           "[OnlineSubsystemZor.AccountServiceZor]\nServiceName=account\n"
           "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"
           "[OnlineSubsystemZor.OnlineCatalogServiceZor]\nServiceName=commerce\n"
           "[OnlineSubsystemZor.OnlineOrderServiceZor]\nServiceName=commerce\n"
           "[OnlineSubsystemZor.OnlinePaymentServiceZor]\nServiceName=commerce\n"
           "[OnlineSubsystemZor.OnlineEntitlementsZor]\nServiceName=commerce\n";
}

int StartOnFreePort(ZorBackend::FLocalBackend& Backend)
{
    std::string Error;
    const int Port = Backend.Start(0, Error);
    EXPECT_GT(Port, 0) << Error;
    return Port;
}

void FBackendHostTest::SetUp()
{
    Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    Ini = Scratch.WriteFile("Engine.ini", LocalBackendIni(Port));
}

void FBackendHostTest::TearDown()
{
    Backend.Stop();
}

namespace
{
std::vector<std::string> DemoPlayerArguments(const std::string& Ini)
{
    return {"-ini=" + Ini, "LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"};
}
} // namespace

FHostRun FBackendHostTest::RunAsDemoPlayer(const std::string& Script)
{
    std::vector<std::string> Arguments = DemoPlayerArguments(Ini);
    Arguments.push_back("-exec=" + Scratch.WriteFile("script.zorhost", Script));
    FHostRun Result = RunHost(Arguments, "/dev/null", Scratch);
    EXPECT_FALSE(Result.bTimedOut) << Result.Log();
    return Result;
}

FHostRun FBackendHostTest::FeedAsDemoPlayer(const std::vector<FTypedLine>& Typed)
{
    FHostRun Result = RunHostFed(DemoPlayerArguments(Ini), Typed, Scratch);
    EXPECT_FALSE(Result.bTimedOut) << Result.Log();
    return Result;
}
