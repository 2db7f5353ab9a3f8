#include "Core/ModuleManager.h"
#include "Core/RunnableThread.h"
#include "Online/OnlineSubsystemModule.h"
#include "Subsystem/OnlineSubsystemZorModule.h"
#include "ZorSubsystemTest.h"

namespace
{
class FLifecycleTest : public FZorSubsystemTest
{
protected:
    FLifecycleTest()
    {
        FModuleManager::Get().RegisterModule(OnlineSubsystemZorModuleName, &InitializeModule);
    }
    ~FLifecycleTest() override { FModuleManager::Get().UnloadModule(OnlineSubsystemZorModuleName); }

    IOnlineSubsystem* LoadAndGet()
    {
        FModuleManager::Get().LoadModule(OnlineSubsystemZorModuleName);
        return IOnlineSubsystem::Get("ZOR");
    }
};
} // namespace

TEST_F(FLifecycleTest, EnabledModuleCreatesAnInitialisedSubsystem)
{
    IOnlineSubsystem* Created = LoadAndGet();
    ASSERT_NE(Created, nullptr);
    EXPECT_TRUE(Log.Contains("ZOR: Zor Startup!"));
    EXPECT_TRUE(Created->GetIdentityInterface().IsValid());
    EXPECT_FALSE(Created->GetVoiceInterface().IsValid()); // this host has no audio devices
    EXPECT_FALSE(Created->GetSessionInterface().IsValid());
    EXPECT_EQ(Created, IOnlineSubsystem::Get("zor"));

    FModuleManager::Get().UnloadModule(OnlineSubsystemZorModuleName);
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Display, "ZOR: FOnlineSubsystemZor::Shutdown()"));
    EXPECT_TRUE(Log.Contains("ZOR: Zor Shutdown!"));
    EXPECT_EQ(IOnlineSubsystem::Get("ZOR"), nullptr);
}

TEST_F(FLifecycleTest, MissingEnabledSwitchDisablesTheSubsystem)
{
    SetIni("[OnlineSubsystemZor]\n");
    EXPECT_EQ(LoadAndGet(), nullptr);
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "ZOR: Zor API disabled!"));
    EXPECT_TRUE(Log.Contains("FOnlineSubsystemZor::Shutdown()"));
}

TEST_F(FLifecycleTest, NoZorSwitchDisablesAnEnabledSubsystem)
{
    SetCommandLine("-game -nozor");
    EXPECT_EQ(LoadAndGet(), nullptr);
    EXPECT_TRUE(Log.Contains("Zor API disabled!"));
}

TEST_F(FZorSubsystemTest, GettersAreEmptyAfterShutdown)
{
    CreateSubsystem();
    ASSERT_TRUE(Subsystem->GetZorIdentityService().IsValid());
    ASSERT_TRUE(Subsystem->GetZorGameService().IsValid());
    EXPECT_TRUE(Subsystem->Shutdown());
    EXPECT_FALSE(Subsystem->GetZorIdentityService().IsValid());
    EXPECT_FALSE(Subsystem->GetZorGameService().IsValid());
    EXPECT_FALSE(Subsystem->GetIdentityInterface().IsValid());
    EXPECT_FALSE(Subsystem->GetVoiceInterface().IsValid());
    EXPECT_TRUE(Subsystem->GetAppId().IsEmpty());
    Tick(2); // a shut-down subsystem still ticks harmlessly
}

TEST_F(FZorSubsystemTest, ShutdownWithoutInitFindsNothingToDo)
{
    FOnlineSubsystemZor Uninitialised("default");
    EXPECT_TRUE(Uninitialised.Shutdown());
}

TEST_F(FZorSubsystemTest, UpdateServiceConfigReachesEveryServiceInTheList)
{
    CreateSubsystem();
    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=moved:1\n");
    Subsystem->UpdateServiceConfig();
    EXPECT_TRUE(Subsystem->GetZorGameService()->GetZorConfiguration().Domain.Equals("moved:1"));
    EXPECT_TRUE(Subsystem->GetZorIdentityService()->GetBaseUrl().Equals("http://moved:1/account"));
}

namespace
{
/** The name of the task thread, found through the thread id the subsystem logs when it creates it. */
FString LastTaskThreadName(const FLogCapture& Log)
{
    FString Name;
    for (const auto& Line : Log.Lines())
    {
        FString Id;
        if (Line.Message.Split("Created thread (ID:", nullptr, &Id))
        {
            Name = FThreadManager::Get().GetThreadName(static_cast<uint32>(FCString::Atoi64(*Id)));
        }
    }
    return Name;
}
} // namespace

TEST_F(FZorSubsystemTest, EachInitNamesItsTaskThreadWithTheNextNumber)
{
    auto First = MakeShared<FOnlineSubsystemZor>(FName("first"));
    First->Init();
    const FString FirstName = LastTaskThreadName(Log);
    auto Second = MakeShared<FOnlineSubsystemZor>(FName("second"));
    Second->Init();
    const FString SecondName = LastTaskThreadName(Log);
    First->Shutdown();
    Second->Shutdown();

    ASSERT_TRUE(FirstName.StartsWith("OnlineAsyncTaskThreadZor ", ESearchCase::CaseSensitive)) << *FirstName;
    const int32 FirstNumber =
        FCString::Atoi(*FirstName.RightChop(FString("OnlineAsyncTaskThreadZor ").Len()));
    EXPECT_TRUE(SecondName.Equals(FString::Printf("OnlineAsyncTaskThreadZor %d", FirstNumber + 1)))
        << *SecondName;
}
