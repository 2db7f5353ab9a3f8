#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "CaseNamePrinter.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Core/ModuleManager.h"
#include "Core/PlatformProcess.h"
#include "Core/RunnableThread.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Online/OnlineSubsystemModule.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Subsystem/OnlineSubsystemZorModule.h"
#include "Time/OnlineTimeZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "Users/OnlineUsersZor.h"
#include "ZorMarkerTask.h"
#include "ZorRows.h"
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
    EXPECT_TRUE(Created->GetSessionInterface().IsValid());
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

namespace
{
struct FGetter
{
    const char* Name;
    std::weak_ptr<const void> (*Get)(const FOnlineSubsystemZor&);
    bool IsSet(const FOnlineSubsystemZor& Zor) const { return !Get(Zor).expired(); }
};

template <auto Getter> FGetter MakeGetter(const char* Name)
{
    return {Name, [](const FOnlineSubsystemZor& Zor) { return std::weak_ptr<const void>((Zor.*Getter)()); }};
}
#define ZOR_GETTER(Getter) MakeGetter<&FOnlineSubsystemZor::Getter>(#Getter)

// Every getter; the interfaces this module does not offer, and voice on a host without audio, stay empty.
const FGetter Getters[] = {
    ZOR_GETTER(GetSessionInterface),
    ZOR_GETTER(GetFriendsInterface),
    ZOR_GETTER(GetPartyInterface),
    ZOR_GETTER(GetSharedCloudInterface),
    ZOR_GETTER(GetUserCloudInterface),
    ZOR_GETTER(GetEntitlementsInterface),
    ZOR_GETTER(GetLeaderboardsInterface),
    ZOR_GETTER(GetVoiceInterface),
    ZOR_GETTER(GetExternalUIInterface),
    ZOR_GETTER(GetTimeInterface),
    ZOR_GETTER(GetIdentityInterface),
    ZOR_GETTER(GetTitleFileInterface),
    ZOR_GETTER(GetStoreInterface),
    ZOR_GETTER(GetEventsInterface),
    ZOR_GETTER(GetAchievementsInterface),
    ZOR_GETTER(GetSharingInterface),
    ZOR_GETTER(GetUserInterface),
    ZOR_GETTER(GetMessageInterface),
    ZOR_GETTER(GetPresenceInterface),
    ZOR_GETTER(GetZorGameService),
    ZOR_GETTER(GetZorIdentityService),
    ZOR_GETTER(GetZorAccountCreationService),
    ZOR_GETTER(GetZorAccountMappingService),
    ZOR_GETTER(GetZorFriendsService),
    ZOR_GETTER(GetZorMessageService),
    ZOR_GETTER(GetZorTimeService),
    ZOR_GETTER(GetZorUserCloudService),
    ZOR_GETTER(GetZorTitleFileService),
    ZOR_GETTER(GetZorSessionService),
    ZOR_GETTER(GetZorCatalogService),
    ZOR_GETTER(GetZorOrderService),
    ZOR_GETTER(GetZorPaymentService),
    ZOR_GETTER(GetZorEntitlementsService),
    ZOR_GETTER(GetZorBuildInfoService),
    ZOR_GETTER(GetZorBuildInfoServiceV2),
};
#undef ZOR_GETTER

/** The getters that return an object, by name. */
FString SetGetters(const FOnlineSubsystemZor& Zor)
{
    TArray<FString> Names;
    for (const FGetter& Getter : Getters)
    {
        if (Getter.IsSet(Zor))
        {
            Names.Add(Getter.Name);
        }
    }
    return FString::Join(Names, ",");
}

const char* const GettersOfAnInitialisedSubsystem =
    "GetSessionInterface,GetFriendsInterface,GetUserCloudInterface,GetEntitlementsInterface,GetTimeInterface,"
    "GetIdentityInterface,GetTitleFileInterface,GetUserInterface,GetMessageInterface,GetZorGameService,"
    "GetZorIdentityService,GetZorAccountCreationService,GetZorAccountMappingService,GetZorFriendsService,"
    "GetZorMessageService,GetZorTimeService,GetZorUserCloudService,GetZorTitleFileService,"
    "GetZorSessionService,GetZorCatalogService,GetZorOrderService,GetZorPaymentService,"
    "GetZorEntitlementsService,GetZorBuildInfoService,GetZorBuildInfoServiceV2";

/** The services' own sections in creation order; the shared game-service object has none. */
const char* const ServicesInCreationOrder =
    "OnlineSubsystemZor.OnlineTimeZor,,OnlineSubsystemZor.OnlineIdentityZor,"
    "OnlineSubsystemZor.OnlineUserCloudZor,OnlineSubsystemZor.OnlineSessionZor,"
    "OnlineSubsystemZor.OnlineEntitlementsZor,OnlineSubsystemZor.OnlineBuildInfoZor,"
    "OnlineSubsystemZor.OnlineBuildInfoZorV2,OnlineSubsystemZor.OnlineCatalogServiceZor,"
    "OnlineSubsystemZor.OnlineOrderServiceZor,OnlineSubsystemZor.OnlinePaymentServiceZor,"
    "OnlineSubsystemZor.OnlineAccountCreationZor,OnlineSubsystemZor.OnlineAccountMappingZor,"
    "OnlineSubsystemZor.OnlineTitleFileZor,OnlineSubsystemZor.OnlineFriendsZor,"
    "OnlineSubsystemZor.OnlineUsersZor,OnlineSubsystemZor.OnlineMessagesZor";
} // namespace

TEST_F(FZorSubsystemTest, GettersAreEmptyAfterShutdown)
{
    CreateSubsystem();
    EXPECT_EQ(SetGetters(*Subsystem), FString(GettersOfAnInitialisedSubsystem));
    TArray<std::weak_ptr<const void>> Held;
    for (const FGetter& Getter : Getters)
    {
        Held.Add(Getter.Get(*Subsystem));
    }
    EXPECT_TRUE(Subsystem->Shutdown());
    EXPECT_EQ(SetGetters(*Subsystem), FString());
    // Freed, not only detached, once Shutdown has returned outside any event.
    for (int32 Index = 0; Index < Held.Num(); ++Index)
    {
        EXPECT_TRUE(Held[Index].expired()) << Getters[Index].Name;
    }
    EXPECT_TRUE(Subsystem->GetAppId().IsEmpty());
    Tick(2); // a shut-down subsystem still ticks harmlessly
}

namespace
{
/** Every service game code may hold past its subsystem. */
struct FHeldServices
{
    explicit FHeldServices(const FOnlineSubsystemZor& Zor)
        : Identity(Zor.GetZorIdentityService()), Sessions(Zor.GetZorSessionService()),
          Catalog(Zor.GetZorCatalogService()), TitleFiles(Zor.GetZorTitleFileService()),
          Builds(Zor.GetZorBuildInfoService()), BuildsV2(Zor.GetZorBuildInfoServiceV2()),
          Messages(Zor.GetZorMessageService()), Friends(Zor.GetZorFriendsService()),
          Mapping(Zor.GetZorAccountMappingService()), Accounts(Zor.GetZorAccountCreationService()),
          Entitlements(Zor.GetZorEntitlementsService()), Orders(Zor.GetZorOrderService()),
          Payment(Zor.GetZorPaymentService()), Time(Zor.GetZorTimeService()),
          Cloud(Zor.GetZorUserCloudService()), Users(Zor.GetUserInterface())
    {
    }

    TSharedPtr<FOnlineIdentityZor> Identity;
    TSharedPtr<FOnlineSessionZor> Sessions;
    TSharedPtr<FOnlineCatalogServiceZor> Catalog;
    TSharedPtr<FOnlineTitleFileZor> TitleFiles;
    TSharedPtr<FOnlineBuildInfoServiceZor> Builds;
    TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildsV2;
    TSharedPtr<FOnlineMessageZor> Messages;
    TSharedPtr<FOnlineFriendsZor> Friends;
    TSharedPtr<FOnlineAccountMappingZor> Mapping;
    TSharedPtr<FOnlineAccountCreationZor> Accounts;
    TSharedPtr<FOnlineEntitlementsZor> Entitlements;
    TSharedPtr<FOnlineOrderServiceZor> Orders;
    TSharedPtr<FOnlinePaymentServiceZor> Payment;
    TSharedPtr<FOnlineTimeZor> Time;
    TSharedPtr<FOnlineUserCloudZor> Cloud;
    IOnlineUserPtr Users;
};

const FUniqueNetIdString HeldUser("acct1");

TArray<FUniqueNetIdRef> HeldOthers()
{
    return {MakeShared<FUniqueNetIdString>("acct2")};
}

struct FHeldCallCase
{
    const char* Name;
    bool (*Call)(const FHeldServices&);
};

const FHeldCallCase HeldCallCases[] = {
    {"login", [](const FHeldServices& S)
     { return S.Identity->Login(0, FOnlineAccountCredentials("tavo", "u", "p")); }},
    {"create session",
     [](const FHeldServices& S) { return S.Sessions->CreateSession(0, "Game", FOnlineSessionSettings()); }},
    {"catalog", [](const FHeldServices& S) { return S.Catalog->QueryCategories(FPagedQuery()); }},
    {"title list", [](const FHeldServices& S) { return S.TitleFiles->EnumerateFiles(); }},
    {"title read", [](const FHeldServices& S) { return S.TitleFiles->ReadFile("motd.txt"); }},
    {"launcher build",
     [](const FHeldServices& S) { return S.Builds->QuerySelfPatchBuild("Live", "Windows"); }},
    {"launcher build v2",
     [](const FHeldServices& S) { return S.BuildsV2->QuerySelfPatchBuild("Windows", "Live", ""); }},
    {"message", [](const FHeldServices& S)
     { return S.Messages->SendMessage(0, HeldOthers(), "gift", FOnlineMessagePayload()); }},
    {"friends", [](const FHeldServices& S) { return S.Friends->ReadFriendsList(0, "default"); }},
    {"mapping", [](const FHeldServices& S) { return S.Mapping->QueryExternalAccounts(HeldUser, ""); }},
    {"account", [](const FHeldServices& S) { return S.Accounts->QueryAccountInfo("p@x.io"); }},
    {"entitlements", [](const FHeldServices& S) { return S.Entitlements->QueryEntitlements(HeldUser); }},
    {"orders", [](const FHeldServices& S) { return S.Orders->QueryOrders(HeldUser); }},
    {"billing", [](const FHeldServices& S) { return S.Payment->QueryDefaultBillingAccount(HeldUser); }},
    {"time", [](const FHeldServices& S) { return S.Time->QueryServerUtcTime(); }},
    {"users", [](const FHeldServices& S) { return S.Users->QueryUserInfo(0, HeldOthers()); }},
};

void PrintTo(const FHeldCallCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

using FHeldServiceCallTest = TZorRows<FZorSubsystemTest, FHeldCallCase>;
} // namespace

TEST_P(FHeldServiceCallTest, ServicesHeldPastADestroyedSubsystemRefuseEveryCallWithoutReachingIt)
{
    const FHeldCallCase& Case = GetParam();
    CreateSubsystem();
    InstallUser();
    const FHeldServices Held(*Subsystem);
    Subsystem.Reset(); // game code still holds every service; the address sanitizer sees any later reach
    EXPECT_FALSE(Case.Call(Held)) << Case.Name;
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FHeldServiceCallTest, ::testing::ValuesIn(HeldCallCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FZorSubsystemTest, ServicesHeldPastADestroyedSubsystemReachNothingWithCallsWithoutAResult)
{
    CreateSubsystem();
    InstallUser();
    const FHeldServices Held(*Subsystem);
    Subsystem.Reset();
    Held.Identity->GetLoginStatus(0);
    Held.Cloud->EnumerateUserFiles(HeldUser);
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FZorSubsystemTest, ShutdownWithoutInitFindsNothingToDo)
{
    FOnlineSubsystemZor Uninitialised("default");
    EXPECT_TRUE(Uninitialised.Shutdown());
    EXPECT_EQ(SetGetters(Uninitialised), FString());
    EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        EXPECT_GT(Line.Verbosity, ELogVerbosity::Warning) << *Line.Message;
    }
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FZorSubsystemTest, InitCreatesTheServicesInOrderAndUpdateServiceConfigReachesEachOfThem)
{
    TArray<FString> Sections;
    FServiceConfigZor::GetZorConfigurationDelegate().BindLambda(
        [&Sections](const FString& Section, const FString&, FServiceConfigZor&) { Sections.Add(Section); });
    const FZorScopedBinding Bound([] { FServiceConfigZor::GetZorConfigurationDelegate().Unbind(); });
    CreateSubsystem();
    EXPECT_EQ(FString::Join(Sections, ","), FString(ServicesInCreationOrder));

    Sections.Empty();
    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.BaseServiceZor]\nDomain=moved:1\n");
    Subsystem->UpdateServiceConfig();
    EXPECT_EQ(FString::Join(Sections, ","), FString(ServicesInCreationOrder));
    EXPECT_TRUE(Subsystem->GetZorGameService()->GetBaseUrl().Equals("http://moved:1"));
    EXPECT_TRUE(Subsystem->GetZorIdentityService()->GetBaseUrl().Equals("http://moved:1/account"));
}

TEST_F(FZorSubsystemTest, TickRunsTasksThenSessionsThenIdentityThenTheClientAndUserRoads)
{
    CreateSubsystem();
    InstallUser();
    ASSERT_TRUE(Identity().AuthClient("testclient"));
    Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-1"));
    Identity().GetClientAuthTokenZor("testclient")->TimeToVerify = 3600.0;
    Subsystem->GetZorSessionService()->SetClock(
        []
        {
            UE_LOG(LogOnline, Log, "tick: sessions");
            return 0.0;
        });
    auto Order = [this]
    {
        const TPair<const char*, const char*> Steps[] = {{"tick: tasks", "tasks"},
                                                         {"tick: sessions", "sessions"},
                                                         {"VerifyAuth request.", "identity"},
                                                         {"Running Zor request for client=", "client"},
                                                         {"Running Zor request for user=", "user"}};
        TArray<FString> Seen;
        for (const FLogCapture::FLine& Line : Log.Lines())
        {
            for (const auto& Step : Steps)
            {
                if (Line.Message.Contains(Step.Key) && (Seen.IsEmpty() || Seen.Last() != Step.Value))
                {
                    Seen.Add(Step.Value);
                }
            }
        }
        return FString::Join(Seen, ",");
    };

    // One tick in which identity verifies and each road has a request to send.
    Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken.TimeToVerify = -1.0;
    FString Error;
    FOnlineSubsystemZor& Zor = *Subsystem;
    ASSERT_TRUE(Zor.ProcessUserRequest(*Zor.GetZorGameService(), FUniqueNetIdString("acct1"),
                                       FHttpModule::Get().CreateRequest(), Error));
    ASSERT_TRUE(Zor.ProcessClientRequest(*Zor.GetZorGameService(), "testclient",
                                         FHttpModule::Get().CreateRequest(), Error));
    Log.Clear();
    Tick();
    EXPECT_EQ(Order(), FString("sessions,identity,client,user"));

    // A finished task is handed back at the start of the tick it is found in.
    const TSharedRef<bool> Returned = MakeShared<bool>(false);
    Zor.QueueAsyncTask(new FZorMarkerTask(
        [Returned]
        {
            UE_LOG(LogOnline, Log, "tick: tasks");
            *Returned = true;
        }));
    Log.Clear();
    for (int32 Attempt = 0; Attempt < 5000 && !*Returned; ++Attempt)
    {
        FPlatformProcess::Sleep(0.001f);
        Tick();
    }
    EXPECT_TRUE(Order().EndsWith("tasks,sessions")) << *Order();
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

TEST_F(FZorSubsystemTest, ASecondInitWithoutShutdownKeepsTheFirstOnesServicesAndTaskThread)
{
    CreateSubsystem();
    const TSharedPtr<FOnlineIdentityZor> First = Subsystem->GetZorIdentityService();
    EXPECT_TRUE(Subsystem->Init());
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "FOnlineSubsystemZor::Init() called again without Shutdown()"));
    EXPECT_EQ(Subsystem->GetZorIdentityService(), First);
    bool bReturned = false;
    Subsystem->QueueAsyncTask(new FZorMarkerTask([&bReturned] { bReturned = true; }));
    EXPECT_TRUE(PumpUntil([&bReturned] { return bReturned; }));
    Subsystem.Reset();
    EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
}
