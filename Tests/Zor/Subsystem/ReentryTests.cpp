#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "CaseNamePrinter.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Common/ZorCallSet.h"
#include "Core/Exec.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Online/LANBeacon.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Profile/ZorProfile.h"
#include "Sessions/OnlineSessionZor.h"
#include "Time/OnlineTimeZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UObject/GarbageCollection.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "Users/OnlineUsersZor.h"
#include "ZorMarkerTask.h"
#include "ZorRows.h"
#include "ZorScopedBinding.h"
#include "ZorSubsystemTest.h"

namespace
{
using FHandler = TFunction<void()>;
using ZorTestCases::PrintTo;

/** How the service answers the request whose reply fires the event. */
enum class EReply
{
    Success,
    Error,
    None,
};

/** Binds a handler to any event, whatever its parameters. */
struct FAnyEvent
{
    FHandler Handler;
    template <typename DelegateType> operator DelegateType() const
    {
        return DelegateType::CreateLambda([Run = Handler](auto&&...) { Run(); });
    }
};

/** The events a piece of work fires after the first one. */
using FSeen = TArray<FString>;

/** The handler on the first call, Seen on each later one. */
FAnyEvent FirstThenSeen(FHandler Handler, FSeen& Seen, const char* Word)
{
    return FAnyEvent{[Handler, &Seen, Word, bFirst = MakeShared<bool>(true)]
                     {
                         if (*bFirst)
                         {
                             *bFirst = false;
                             Handler();
                             return;
                         }
                         Seen.Add(Word);
                     }};
}

const char* const ReentryIni = R"ini(
[OnlineSubsystemZor.ZorProfile]
ZorClientCommandUrl=/game/client/`accountId/`profileId/`fname
)ini";

/** Game code that ends the subsystem from inside one of its own events. */
class FReentryTest : public FZorSubsystemTest
{
public:
    /** Each event's Arrange binds the handler to it; its reply, or its Fire told how the service answers,
     * drives it. */
    static void ArrangeCreateSession(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Sessions().AddOnCreateSessionCompleteDelegate(FAnyEvent{Handler});
        FOnlineSessionSettings Settings;
        Settings.NumPublicConnections = 4;
        ASSERT_TRUE(Test.Sessions().CreateSession(0, "Game", Settings));
    }
    static void ArrangeLANSearch(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        FOnlineSessionZor& Service = Test.Sessions();
        Service.SetClock([&Test] { return Test.Now; });
        Service.SetLANTransportFactory([] { return MakeInMemoryLANBeaconTransport(); });
        Service.SetLANSearchTimeout(2.0);
        Service.AddOnFindSessionsCompleteDelegate(FAnyEvent{Handler});
    }
    static void FireLANSearch(FReentryTest& Test, EReply)
    {
        const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
        Search->bIsLanQuery = true;
        ASSERT_TRUE(Test.Sessions().FindSessions(0, Search));
        Test.Now += 10.0;
    }

    static void ArrangePurchaseExpiry(FReentryTest& Test, FHandler Handler)
    {
        Test.LoginUser("acct1", 3600, 10);
        Test.Identity().AddOnLoginPurchaseCompleteDelegate(0, FAnyEvent{Handler});
    }
    static void FirePurchaseExpiry(FReentryTest& Test, EReply) { Test.Tick(1, 20.0f); }

    static void ArrangeNoResponse(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineTitleFileZor> TitleFiles = Test.Subsystem->GetZorTitleFileService();
        TitleFiles->AddOnEnumerateFilesCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(TitleFiles->EnumerateFiles());
    }
    static void FireNoResponse(FReentryTest& Test, EReply) { Test.Subsystem->Shutdown(); }

    static void ArrangeLogin(FReentryTest& Test, FHandler Handler)
    {
        Test.Identity().AddOnLoginCompleteDelegate(0, FAnyEvent{Handler});
        ASSERT_TRUE(Test.Identity().Login(0, FOnlineAccountCredentials("tavo", "user@example.com", "pw")));
    }
    static void FireLogin(FReentryTest& Test, EReply Kind)
    {
        Test.Reply("/api/oauth/token", Kind, TokenReply("acct1", 3600));
        if (Kind == EReply::Success)
        {
            Test.Reply("/api/public/account/acct1", Kind, R"({"id":"acct1","displayName":"Player One"})");
        }
    }

    static void ArrangeLogout(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Identity().AddOnLogoutCompleteDelegate(0, FAnyEvent{Handler});
        Test.Identity().AddOnLogoutCompleteDelegate(1, FAnyEvent{Handler});
    }
    /** An error logs out a local user that has nobody; a logout waits for no reply, so none is as a success.
     */
    static void FireLogout(FReentryTest& Test, EReply Kind)
    {
        Test.Identity().Logout(Kind == EReply::Error ? 1 : 0);
    }

    static void ArrangeVerify(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Tick(); // the installed token's own check
        Test.Identity().AddOnVerifyAuthCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Test.Identity().VerifyAuth(Test.UserToken()));
    }
    static void ArrangeRefresh(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Identity().AddOnRefreshAuthCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Test.Identity().RefreshAuth(Test.UserToken()));
    }
    static void FireRefresh(FReentryTest& Test, EReply Kind)
    {
        Test.Reply("/api/oauth/token", Kind, TokenReply("acct1", 3600, "access-2"));
    }

    static void ArrangeProfile(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Profile = NewObject<UZorProfile>();
        Test.Profile->AddToRoot();
        Test.Profile->Initialize(Test.Subsystem.Get(), MakeShared<FUniqueNetIdString>("acct1"), true);
        ASSERT_TRUE(Test.Profile->ForceQueryProfile(
            FOnZorQueryComplete::CreateLambda([Handler](const FZorQueryResult&) { Handler(); })));
    }
    static void ArrangeFriends(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineFriendsZor> Friends = Test.Subsystem->GetZorFriendsService();
        Friends->AddOnReadFriendsListCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Friends->ReadFriendsList(0, "default"));
    }
    static void ArrangeMessages(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineMessageZor> Messages = Test.Subsystem->GetZorMessageService();
        Messages->AddOnEnumerateMessagesCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Messages->EnumerateMessages(0));
    }
    static void ArrangeUserCloud(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineUserCloudZor> Cloud = Test.Subsystem->GetZorUserCloudService();
        Cloud->AddOnEnumerateUserFilesCompleteDelegate(FAnyEvent{Handler});
        Cloud->EnumerateUserFiles(FUniqueNetIdString("acct1"));
    }
    static void ArrangeTitleFiles(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineTitleFileZor> TitleFiles = Test.Subsystem->GetZorTitleFileService();
        TitleFiles->AddOnEnumerateFilesCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(TitleFiles->EnumerateFiles());
        Test.GrantClient();
    }
    static void ArrangeTime(FReentryTest& Test, FHandler Handler)
    {
        const TSharedPtr<FOnlineTimeZor> Time = Test.Subsystem->GetZorTimeService();
        Time->AddOnQueryServerUtcTimeCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Time->QueryServerUtcTime());
    }
    static void ArrangeCatalog(FReentryTest& Test, FHandler Handler)
    {
        const TSharedPtr<FOnlineCatalogServiceZor> Catalog = Test.Subsystem->GetZorCatalogService();
        Catalog->AddOnQueryCategoriesCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Catalog->QueryCategories(FPagedQuery()));
        Test.GrantClient();
    }
    static void ArrangeOrders(FReentryTest& Test, FHandler Handler)
    {
        Test.LoginUser();
        const TSharedPtr<FOnlineOrderServiceZor> Orders = Test.Subsystem->GetZorOrderService();
        Orders->AddOnQueryOrdersCompleteDelegate(FAnyEvent{Handler});
        // The second waits in the service's own queue for the first's reply.
        ASSERT_TRUE(Orders->QueryOrders(FUniqueNetIdString("acct1")));
        ASSERT_TRUE(Orders->QueryOrderById(FUniqueNetIdString("acct1"), "o2"));
    }
    static void ArrangePayment(FReentryTest& Test, FHandler Handler)
    {
        Test.LoginUser();
        const TSharedPtr<FOnlinePaymentServiceZor> Payment = Test.Subsystem->GetZorPaymentService();
        Payment->AddOnQueryDefaultBillingAccountCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Payment->QueryDefaultBillingAccount(FUniqueNetIdString("acct1")));
    }
    static void ArrangeEntitlements(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineEntitlementsZor> Entitlements = Test.Subsystem->GetZorEntitlementsService();
        Entitlements->AddOnQueryEntitlementsCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Entitlements->QueryEntitlements(FUniqueNetIdString("acct1")));
    }
    static void ArrangeAccounts(FReentryTest& Test, FHandler Handler)
    {
        ASSERT_TRUE(Test.Identity().AuthClient("testclient"));
        Test.GrantClient();
        Test.Tick();
        const TSharedPtr<FOnlineAccountCreationZor> Accounts = Test.Subsystem->GetZorAccountCreationService();
        Accounts->AddOnQueryAccountInfoCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Accounts->QueryAccountInfo("p@x.io"));
    }
    static void ArrangeMapping(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineAccountMappingZor> Mapping = Test.Subsystem->GetZorAccountMappingService();
        Mapping->AddOnQueryExternalAccountsCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Mapping->QueryExternalAccounts(FUniqueNetIdString("acct1"), ""));
    }
    static void ArrangeUsers(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const IOnlineUserPtr Users = Test.Subsystem->GetUserInterface();
        Users->AddOnQueryUserInfoCompleteDelegate(0, FAnyEvent{Handler});
        ASSERT_TRUE(Users->QueryUserInfo(0, {MakeShared<FUniqueNetIdString>("u1")}));
    }
    static void ArrangeBuilds(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineBuildInfoServiceZor> Builds = Test.Subsystem->GetZorBuildInfoService();
        Builds->AddOnQueryEntitledBuildsCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Builds->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    }
    static void ArrangeBuildsV2(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineBuildInfoServiceZorV2> Builds = Test.Subsystem->GetZorBuildInfoServiceV2();
        Builds->AddOnQueryEntitledBuildsCompleteDelegate(FAnyEvent{Handler});
        ASSERT_TRUE(Builds->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", ""));
    }

    /** Each chain's Arrange binds the handler to its first event and records in Seen each event the work
     * fires after it; its Fire drives the first event. */
    static void ArrangePurchaseDriver(FReentryTest& Test, FHandler Handler, FSeen& Seen)
    {
        Test.LoginUser();
        FOnlineSubsystemZor& Zor = *Test.Subsystem;
        Zor.GetZorCatalogService()->AddOnQueryOffersCompleteDelegate(FAnyEvent{Handler});
        const FAnyEvent Step{[&Seen] { Seen.Add("step"); }};
        Zor.GetZorOrderService()->AddOnCreateOrderCompleteDelegate(Step);
        Zor.GetZorOrderService()->AddOnQueryOrdersCompleteDelegate(Step);
        Zor.GetZorOrderService()->AddOnCheckoutOrderCompleteDelegate(Step);
        Zor.GetZorPaymentService()->AddOnQueryDefaultBillingAccountCompleteDelegate(Step);
        ASSERT_TRUE(Zor.Exec(nullptr, "TEST PURCHASE o1", *GLog));
    }
    static void FirePurchaseDriver(FReentryTest& Test)
    {
        Test.GrantClient();
        Test.Reply("/namespace/qx/offers", EReply::Success,
                   R"({"paging":{"start":0,"count":1,"total":1},"elements":[{"id":"o1","title":"Sword"}]})");
    }
    static void ArrangeInvitations(FReentryTest& Test, FHandler Handler, FSeen& Seen)
    {
        Test.InstallUser();
        Test.Subsystem->GetZorFriendsService()->AddOnSendInviteCompleteDelegate(
            FirstThenSeen(Handler, Seen, "invite"));
        ASSERT_TRUE(Test.Subsystem->Exec(nullptr, "TEST SENDINVITES a b c", *GLog));
    }
    static void FireInvitations(FReentryTest& Test)
    {
        Test.Reply("/api/public/list/acct1/default/a", EReply::Success, "{}");
    }
    static void ArrangeOrderQueue(FReentryTest& Test, FHandler Handler, FSeen& Seen)
    {
        Test.LoginUser();
        const TSharedPtr<FOnlineOrderServiceZor> Orders = Test.Subsystem->GetZorOrderService();
        Orders->AddOnQueryOrdersCompleteDelegate(FAnyEvent{Handler});
        Orders->AddOnQueryOrderByIdCompleteDelegate(FOnQueryOrderByIdCompleteDelegate::CreateLambda(
            [&Seen](bool bOk, const FUniqueNetId&, const FString&, const FString&)
            { Seen.Add(bOk ? "o2:true" : "o2:false"); }));
        ASSERT_TRUE(Orders->QueryOrders(FUniqueNetIdString("acct1")));
        ASSERT_TRUE(Orders->QueryOrderById(FUniqueNetIdString("acct1"), "o2"));
    }
    static void FireOrderQueue(FReentryTest& Test)
    {
        Test.Reply("/api/shared/accounts/acct1/orders", EReply::Success, R"({"paging":{},"elements":[]})");
    }
    static void ArrangeSessionStatus(FReentryTest& Test, FHandler Handler, FSeen& Seen)
    {
        Test.Subsystem->AddOnConnectionStatusChangedDelegate(FAnyEvent{[&Seen] { Seen.Add("status"); }});
        ArrangeCreateSession(Test, Handler);
    }
    static void FireSessionStatus(FReentryTest& Test)
    {
        Test.Reply("/api/matchmaking/session", EReply::Error, "");
    }

protected:
    ~FReentryTest() override
    {
        if (Profile)
        {
            Profile->RemoveFromRoot();
        }
        CollectGarbage();
    }

    FOnlineSessionZor& Sessions() { return *Subsystem->GetZorSessionService(); }
    FAuthTokenZor& UserToken()
    {
        return Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken;
    }

    /** Ticks until a request whose URL contains Part waits, then answers it as Kind says. */
    void Reply(const FString& Part, EReply Kind, const FString& Body)
    {
        ASSERT_TRUE(PumpUntil([this, &Part] { return FindPending(Part) != nullptr; })) << *Part;
        const FHttpRequestPtr Request = FindPending(Part);
        switch (Kind)
        {
        case EReply::Success:
            Http().Respond(Request, 200, Body);
            break;
        case EReply::Error:
            Http().Respond(Request, 400, R"({"errorCode":"errors.refused","errorMessage":"refused"})");
            break;
        case EReply::None:
            Http().Fail(Request);
            break;
        }
    }
    /** Gives the application client the token its road waits for. */
    void GrantClient() { Reply("/api/oauth/token", EReply::Success, TokenReply("", 3600, "client-token")); }

    /** Ends local user 0's login and, unless Logout says otherwise, installs one of Account with tokens of
     * its own, purchase token too. */
    void LogInAgain(const FString& Account)
    {
        Identity().Logout(0);
        if (Account.IsEmpty())
        {
            return;
        }
        InstallReadyUser(0, Account, "access-again", "purchase-again");
    }

    double Now = 1000.0;
    UZorProfile* Profile = nullptr;
};

struct FEventCase
{
    const char* Name;
    void (*Arrange)(FReentryTest&, FHandler);
    /** The request whose reply fires the event, and the body of its success. */
    const char* Url;
    const char* Body;
    /** Drives an event that takes more than that one reply. */
    void (*Fire)(FReentryTest&, EReply) = nullptr;
    /** Whether a reply of the service fires the event, so that each kind of reply is tried. */
    bool bReplies = true;
};

const FEventCase Events[] = {
    {"create-session completion from the task manager", &FReentryTest::ArrangeCreateSession,
     "/api/matchmaking/session", R"({"id":"s1"})"},
    {"LAN search time-out", &FReentryTest::ArrangeLANSearch, nullptr, nullptr, &FReentryTest::FireLANSearch,
     false},
    {"purchase token expiry", &FReentryTest::ArrangePurchaseExpiry, nullptr, nullptr,
     &FReentryTest::FirePurchaseExpiry, false},
    {"\"No response\" fired by Shutdown", &FReentryTest::ArrangeNoResponse, nullptr, nullptr,
     &FReentryTest::FireNoResponse, false},
    {"login", &FReentryTest::ArrangeLogin, nullptr, nullptr, &FReentryTest::FireLogin},
    {"logout", &FReentryTest::ArrangeLogout, nullptr, nullptr, &FReentryTest::FireLogout},
    {"verify", &FReentryTest::ArrangeVerify, "/api/oauth/verify",
     R"({"account_id":"acct1","expires_in":3600})"},
    {"refresh", &FReentryTest::ArrangeRefresh, nullptr, nullptr, &FReentryTest::FireRefresh},
    {"profile query", &FReentryTest::ArrangeProfile, "/game/client/acct1/",
     R"({"profileRevision":1,"profileChanges":[]})"},
    {"friends list", &FReentryTest::ArrangeFriends, "/api/public/list/acct1/default",
     R"([{"tavoId":"f1","status":"ACCEPTED"}])"},
    {"messages", &FReentryTest::ArrangeMessages, "/api/messaging/acct1/inbox", "[]"},
    {"user files", &FReentryTest::ArrangeUserCloud, "/api/cloudstorage/user/acct1", "[]"},
    {"title files", &FReentryTest::ArrangeTitleFiles, "/api/cloudstorage/system", "[]"},
    {"server time", &FReentryTest::ArrangeTime, "/api/3/timestamp", "2030-01-01T00:00:00.000Z"},
    {"catalog categories", &FReentryTest::ArrangeCatalog, "/api/shared/categories",
     R"({"paging":{"start":0,"count":1,"total":0},"elements":[]})"},
    {"orders list", &FReentryTest::ArrangeOrders, "/api/shared/accounts/acct1/orders",
     R"({"paging":{},"elements":[]})"},
    {"default billing account", &FReentryTest::ArrangePayment, "/billingaccounts/default",
     R"({"billingAccountName":"Card"})"},
    {"entitlements", &FReentryTest::ArrangeEntitlements, "/api/account/acct1/entitlements",
     R"([{"id":"e1"}])"},
    {"account information", &FReentryTest::ArrangeAccounts, "/api/tavoAccount/account/p@x.io",
     R"({"id":"acct-9","email":"p@x.io"})"},
    {"external accounts", &FReentryTest::ArrangeMapping, "/api/public/account/acct1/externalAuths", "[]"},
    {"user information", &FReentryTest::ArrangeUsers, "/api/public/account?",
     R"([{"id":"u1","displayName":"Dee"}])"},
    {"entitled builds", &FReentryTest::ArrangeBuilds, "/api/buildManifest?", R"([{"appName":"Game"}])"},
    {"entitled builds v2", &FReentryTest::ArrangeBuildsV2, "/api/public/assets/Windows?",
     R"([{"appName":"Game"}])"},
};

const char* ReplyName(EReply Kind)
{
    switch (Kind)
    {
    case EReply::Success:
        return "success";
    case EReply::Error:
        return "error";
    case EReply::None:
        return "no response";
    }
    return "";
}

/** Lines at Warning or worse. */
int32 CountWarnings(const FLogCapture& Log)
{
    int32 Count = 0;
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        Count += Line.Verbosity <= ELogVerbosity::Warning ? 1 : 0;
    }
    return Count;
}

/** One run of the matrix: an event, how the service answers it, and how the handler lets the subsystem go.
 */
struct FEventRun
{
    const FEventCase* Case;
    EReply Kind;
    bool bRelease;
    std::string Name;
};

std::vector<FEventRun> EventRuns()
{
    std::vector<FEventRun> Runs;
    for (const FEventCase& Event : Events)
    {
        for (const EReply Kind : {EReply::Success, EReply::Error, EReply::None})
        {
            if (!Event.bReplies && Kind != EReply::Success)
            {
                continue;
            }
            for (const bool bRelease : {false, true})
            {
                const std::string Name = std::string(Event.Name) + ", " + ReplyName(Kind) +
                                         (bRelease ? ", last reference dropped" : ", Shutdown");
                Runs.push_back({&Event, Kind, bRelease, ZorTestCases::TestName(Name)});
            }
        }
    }
    return Runs;
}

using FReentryEventTest = TZorRows<FReentryTest, FEventRun>;
} // namespace

TEST_P(FReentryEventTest, AHandlerMayShutDownOrReleaseTheSubsystemFromItsOwnEvents)
{
    const FEventCase& Event = *GetParam().Case;
    const EReply Kind = GetParam().Kind;
    const bool bRelease = GetParam().bRelease;
    SetIni(FString(ZorTestIni) + ReentryIni);
    CreateSubsystem();
    const TWeakPtr<FOnlineSubsystemZor> Weak = Subsystem;
    int32 Fired = 0;
    int32 WarningsBefore = -1;
    int32 StartedBefore = -1;
    Event.Arrange(*this,
                  [this, bRelease, &Fired, &WarningsBefore, &StartedBefore]
                  {
                      if (++Fired == 1)
                      {
                          WarningsBefore = CountWarnings(Log);
                          StartedBefore = Http().NumStarted();
                      }
                      if (bRelease)
                      {
                          Subsystem.Reset();
                      }
                      else if (Subsystem)
                      {
                          Subsystem->Shutdown();
                      }
                  });
    Log.Clear();
    if (Event.Fire)
    {
        Event.Fire(*this, Kind);
    }
    else
    {
        Reply(Event.Url, Kind, Event.Body);
    }
    PumpUntil([&Fired] { return Fired > 0; });
    Tick(3, 1.0f);
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
    EXPECT_EQ(Weak.IsValid(), !bRelease);
    // Nothing goes out after Shutdown; what went out before the subsystem was let go is ended.
    EXPECT_EQ(bRelease ? Http().NumPending() : Http().NumStarted(), bRelease ? 0 : StartedBefore);
    // The reply took its path: a success warns of nothing, an error of something.
    if (Event.bReplies && Kind != EReply::None)
    {
        EXPECT_EQ(WarningsBefore == 0, Kind == EReply::Success);
    }
    if (Subsystem)
    {
        EXPECT_FALSE(Subsystem->GetZorIdentityService().IsValid());
        Subsystem->Shutdown();
        EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Events, FReentryEventTest, ::testing::ValuesIn(EventRuns()),
                         [](const auto& Info) { return Info.param.Name; });

namespace
{
/** What a handler calls from inside an event that Init or Shutdown fires. */
enum class ELifecycleCall
{
    Init,
    Shutdown,
    Release,
};

/** Binds the handler to one section's configuration, which Init fires for each service it creates. */
void BindConfiguration(const FString& Section, const FHandler& Handler)
{
    FServiceConfigZor::GetZorConfigurationDelegate().BindLambda(
        [Section, Handler](const FString& Fired, const FString&, FServiceConfigZor&)
        {
            if (Fired == Section)
            {
                Handler();
            }
        });
}

struct FLifecycleEvent
{
    const char* Name;
    /** Binds the handler on a subsystem that has not run Init; for Shutdown's events, runs Init and starts
     * what Shutdown then ends. */
    void (*Arrange)(FReentryTest&, const FHandler&);
    bool bFiredByInit;
};

const FLifecycleEvent LifecycleEvents[] = {
    {"first service's configuration",
     [](FReentryTest&, const FHandler& Handler)
     { BindConfiguration("OnlineSubsystemZor.OnlineTimeZor", Handler); },
     true},
    {"identity's configuration",
     [](FReentryTest&, const FHandler& Handler)
     { BindConfiguration("OnlineSubsystemZor.OnlineIdentityZor", Handler); },
     true},
    {"last service's configuration",
     [](FReentryTest&, const FHandler& Handler)
     { BindConfiguration("OnlineSubsystemZor.OnlineMessagesZor", Handler); },
     true},
    {"configuration override",
     [](FReentryTest&, const FHandler& Handler)
     {
         FServiceConfigZor::GetZorConfigOverrideDelegate().BindLambda(
             [Handler]
             {
                 Handler();
                 return FString();
             });
     },
     true},
    {"pending login",
     [](FReentryTest& Test, const FHandler& Handler)
     { FReentryTest::ArrangeLogin(Test, [Handler] { Handler(); }); },
     false},
    {"pending title-file list",
     [](FReentryTest& Test, const FHandler& Handler)
     { FReentryTest::ArrangeNoResponse(Test, [Handler] { Handler(); }); },
     false},
    {"queued order",
     [](FReentryTest& Test, const FHandler& Handler)
     { FReentryTest::ArrangeOrders(Test, [Handler] { Handler(); }); },
     false},
    {"pending server time",
     [](FReentryTest& Test, const FHandler& Handler)
     { FReentryTest::ArrangeTime(Test, [Handler] { Handler(); }); },
     false},
    {"pending session creation",
     [](FReentryTest& Test, const FHandler& Handler)
     { FReentryTest::ArrangeCreateSession(Test, [Handler] { Handler(); }); },
     false},
};

const char* CallName(ELifecycleCall Call)
{
    switch (Call)
    {
    case ELifecycleCall::Init:
        return "Init";
    case ELifecycleCall::Shutdown:
        return "Shutdown";
    case ELifecycleCall::Release:
        return "last reference dropped";
    }
    return "";
}

bool HasServices(const FOnlineSubsystemZor& Zor)
{
    return Zor.GetZorIdentityService() && Zor.GetZorUserCloudService() && Zor.GetZorSessionService() &&
           Zor.GetZorMessageService();
}

/** An event of Init or Shutdown and what its handler calls. */
struct FLifecycleRun
{
    const FLifecycleEvent* Event;
    ELifecycleCall Call;
    std::string Name;
};

std::vector<FLifecycleRun> LifecycleRuns()
{
    std::vector<FLifecycleRun> Runs;
    for (const FLifecycleEvent& Event : LifecycleEvents)
    {
        for (const ELifecycleCall Call :
             {ELifecycleCall::Init, ELifecycleCall::Shutdown, ELifecycleCall::Release})
        {
            Runs.push_back(
                {&Event, Call, ZorTestCases::TestName(std::string(Event.Name) + ", " + CallName(Call))});
        }
    }
    return Runs;
}

using FReentryLifecycleTest = TZorRows<FReentryTest, FLifecycleRun>;
} // namespace

TEST_P(FReentryLifecycleTest, InitShutdownOrReleaseFromInsideInitOrShutdownNeverReportsAFalseSuccess)
{
    const FLifecycleEvent& Event = *GetParam().Event;
    const ELifecycleCall Call = GetParam().Call;
    const FZorScopedBinding Unbound(
        []
        {
            FServiceConfigZor::GetZorConfigurationDelegate().Unbind();
            FServiceConfigZor::GetZorConfigOverrideDelegate().Unbind();
        });
    Subsystem = MakeShared<FOnlineSubsystemZor>(FName("default")).ToSharedPtr();
    FOnlineSubsystemZor* const Zor = Subsystem.Get();
    const TWeakPtr<FOnlineSubsystemZor> Weak = Subsystem;
    int32 Fired = 0;
    bool bInner = false;
    const FHandler Handler = [this, Call, Zor, &Fired, &bInner]
    {
        if (++Fired > 1)
        {
            return;
        }
        switch (Call)
        {
        case ELifecycleCall::Init:
            bInner = Zor->Init();
            break;
        case ELifecycleCall::Shutdown:
            bInner = Zor->Shutdown();
            break;
        case ELifecycleCall::Release:
            Subsystem.Reset();
            break;
        }
    };
    if (!Event.bFiredByInit)
    {
        ASSERT_TRUE(Zor->Init());
    }
    Event.Arrange(*this, Handler);
    Log.Clear();
    const bool bOuter = Event.bFiredByInit ? Zor->Init() : Zor->Shutdown();
    FServiceConfigZor::GetZorConfigurationDelegate().Unbind();
    FServiceConfigZor::GetZorConfigOverrideDelegate().Unbind();
    EXPECT_GE(Fired, 1);
    EXPECT_EQ(Weak.IsValid(), Call != ELifecycleCall::Release);
    if (Subsystem)
    {
        // A call that succeeded left its services; one that did not said why.
        const bool bServing = HasServices(*Subsystem);
        EXPECT_EQ(bServing, Event.bFiredByInit && bOuter);
        EXPECT_FALSE(Call == ELifecycleCall::Init && bInner && !bServing);
        EXPECT_EQ(!bOuter, Event.bFiredByInit && Call == ELifecycleCall::Shutdown);
        EXPECT_EQ(Log.Contains(ELogVerbosity::Warning, "Init() called from inside"),
                  Call == ELifecycleCall::Init);
        EXPECT_EQ(Log.Contains(ELogVerbosity::Warning, "Init() failed"), Event.bFiredByInit && !bOuter);
        EXPECT_TRUE(Subsystem->Shutdown());
        EXPECT_FALSE(HasServices(*Subsystem));
    }
    else
    {
        Subsystem = MakeShared<FOnlineSubsystemZor>(FName("default")).ToSharedPtr();
    }
    // Whatever the nesting, the next Init serves, with its task thread, and the next Shutdown ends it.
    ASSERT_TRUE(Subsystem->Init());
    EXPECT_TRUE(HasServices(*Subsystem));
    bool bReturned = false;
    Subsystem->QueueAsyncTask(new FZorMarkerTask([&bReturned] { bReturned = true; }));
    EXPECT_TRUE(PumpUntil([&bReturned] { return bReturned; }));
    EXPECT_TRUE(Subsystem->Shutdown());
    EXPECT_FALSE(HasServices(*Subsystem));
    Subsystem.Reset();
}

INSTANTIATE_TEST_SUITE_P(Lifecycle, FReentryLifecycleTest, ::testing::ValuesIn(LifecycleRuns()),
                         [](const auto& Info) { return Info.param.Name; });

namespace
{

/** Work that fires an event and then goes on: a next step, a next request or a next event. */
struct FChainCase
{
    const char* Name;
    /** Binds the handler to the work's first event, and records in Seen each event the work fires after it.
     */
    void (*Arrange)(FReentryTest&, FHandler, FSeen&);
    /** Drives the first event. */
    void (*Fire)(FReentryTest&);
    /** The events that may follow the handler: only a queued request's own failure. */
    const char* Later;
};

const FChainCase Chains[] = {
    {"purchase driver's next step", &FReentryTest::ArrangePurchaseDriver, &FReentryTest::FirePurchaseDriver,
     ""},
    {"invitation chain's next invitation", &FReentryTest::ArrangeInvitations, &FReentryTest::FireInvitations,
     ""},
    {"order queue's next request", &FReentryTest::ArrangeOrderQueue, &FReentryTest::FireOrderQueue,
     "o2:false"},
    {"session task's connection status", &FReentryTest::ArrangeSessionStatus,
     &FReentryTest::FireSessionStatus, ""},
};

/** What the handler does inside the first event. */
enum class EEnding
{
    Logout,
    OtherAccount,
    SameAccount,
    Shutdown,
};

const char* EndingName(EEnding Ending)
{
    switch (Ending)
    {
    case EEnding::Logout:
        return "logout";
    case EEnding::OtherAccount:
        return "logout, then another account";
    case EEnding::SameAccount:
        return "logout, then the same account again";
    case EEnding::Shutdown:
        return "shutdown";
    }
    return "";
}

/** Work that goes on and how the handler of its first event ends the login or subsystem. */
struct FChainRun
{
    const FChainCase* Chain;
    EEnding Ending;
    std::string Name;
};

std::vector<FChainRun> ChainRuns()
{
    std::vector<FChainRun> Runs;
    for (const FChainCase& Chain : Chains)
    {
        for (const EEnding Ending :
             {EEnding::Logout, EEnding::OtherAccount, EEnding::SameAccount, EEnding::Shutdown})
        {
            Runs.push_back({&Chain, Ending,
                            ZorTestCases::TestName(std::string(Chain.Name) + ", " + EndingName(Ending))});
        }
    }
    return Runs;
}

using FReentryChainTest = TZorRows<FReentryTest, FChainRun>;
} // namespace

TEST_P(FReentryChainTest, WorkThatGoesOnAfterItsFirstEventStopsOnceAHandlerEndedItsLoginOrSubsystem)
{
    const FChainCase& Chain = *GetParam().Chain;
    const EEnding Ending = GetParam().Ending;
    CreateSubsystem();
    FSeen Seen;
    int32 Fired = 0;
    int32 StartedBefore = -1;
    Chain.Arrange(
        *this,
        [this, Ending, &Fired, &StartedBefore]
        {
            ++Fired;
            StartedBefore = Http().NumStarted();
            switch (Ending)
            {
            case EEnding::Logout:
                return LogInAgain("");
            case EEnding::OtherAccount:
                return LogInAgain("acct2");
            case EEnding::SameAccount:
                return LogInAgain("acct1");
            case EEnding::Shutdown:
                Subsystem->Shutdown();
                return;
            }
        },
        Seen);
    Chain.Fire(*this);
    PumpUntil([&Fired] { return Fired > 0; });
    Tick(3, 1.0f);
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(FString::Join(Seen, ","), FString(Chain.Later));
    // Nothing went out for the work once its login or subsystem had ended; identity's own requests for the
    // login that followed aside.
    const TArray<FInMemoryHttpTransport::FStartedRequest> Started = Http().GetStartedRequests();
    for (int32 Index = std::max(StartedBefore, 0); Index < Started.Num(); ++Index)
    {
        EXPECT_TRUE(Started[Index].URL.Contains("/api/oauth/")) << *Started[Index].URL;
    }
}

INSTANTIATE_TEST_SUITE_P(Chains, FReentryChainTest, ::testing::ValuesIn(ChainRuns()),
                         [](const auto& Info) { return Info.param.Name; });

TEST_F(FZorSubsystemTest, InitAfterShutdownServesAgainAndTheNextShutdownEndsItsCalls)
{
    CreateSubsystem();
    Subsystem->Shutdown();
    ASSERT_TRUE(Subsystem->Init());
    InstallUser();
    const TSharedPtr<FOnlineTitleFileZor> TitleFiles = Subsystem->GetZorTitleFileService();
    ASSERT_TRUE(TitleFiles);
    FString Enumerated;
    TitleFiles->AddOnEnumerateFilesCompleteDelegate(FOnEnumerateFilesCompleteDelegate::CreateLambda(
        [&Enumerated](bool bOk) { Enumerated += bOk ? "ok;" : "failed;"; }));
    ASSERT_TRUE(TitleFiles->EnumerateFiles());
    Tick(2);
    EXPECT_GT(Http().NumStarted(), 0);
    Log.Clear();
    Subsystem.Reset();
    EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
    EXPECT_EQ(Enumerated, FString("failed;"));
}

namespace
{
/** A service of the game family that opens its calls to the tests. */
class FOpenCallsServiceZor : public FGameServiceZor
{
public:
    explicit FOpenCallsServiceZor(FOnlineSubsystemZor* InSubsystem)
        : FGameServiceZor(InSubsystem, "TestSection")
    {
    }
    using FBaseServiceZor::GetCalls;
};
} // namespace

TEST_F(FZorSubsystemTest, CallsSentOffTheGameThreadWhileTheServiceShutsDownEachEndOnce)
{
    CreateSubsystem();
    InstallUser();
    const auto WaitFor = [](const std::atomic<int32>& Counter, int32 Count)
    {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Counter < Count && std::chrono::steady_clock::now() < Deadline)
        {
            std::this_thread::yield();
        }
    };
    // Rounds, so that the shutdown meets a send at each of its steps at least once.
    for (int32 Round = 0; Round < 20; ++Round)
    {
        const TSharedRef<FOpenCallsServiceZor> Service = MakeShared<FOpenCallsServiceZor>(Subsystem.Get());
        Service->Init();
        FZorCall Call;
        Call.Operation = "Test op";
        Call.Url = Service->GetBaseUrl() + "/items";
        std::atomic<int32> Sent{0};
        std::atomic<int32> Ran{0};
        std::atomic<int32> Refused{0};
        std::atomic<bool> bStop{false};
        std::thread Sender(
            [&]
            {
                const FUniqueNetIdString User("acct1");
                while (!bStop)
                {
                    FZorError Error;
                    Service->GetCalls().SendAsUser(
                        Call, User, [&Ran](FZorReply&) { ++Ran; }, Error);
                    Refused += Error ? 1 : 0;
                    ++Sent;
                }
            });
        WaitFor(Sent, 20);
        Service->Shutdown();
        Service->DetachSubsystem();
        WaitFor(Sent, Sent + 20);
        bStop = true;
        Sender.join();
        Tick(2); // the road still holds the service's deferred requests
        EXPECT_EQ(Refused.load(), 0) << Round;
        EXPECT_EQ(Ran.load(), Sent.load()) << Round;
    }
}
