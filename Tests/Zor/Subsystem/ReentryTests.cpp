#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "Common/ZorCallSet.h"
#include "Online/LANBeacon.h"
#include "Sessions/OnlineSessionZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "ZorSubsystemTest.h"

namespace
{
using FHandler = TFunction<void()>;

/** Game code that ends the subsystem from inside one of its own events. */
class FReentryTest : public FZorSubsystemTest
{
public:
    /** Each event's Arrange binds the handler to it; its Fire drives the subsystem until it fires. */
    static void ArrangeCreateSession(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        Test.Sessions().AddOnCreateSessionCompleteDelegate(
            FOnCreateSessionCompleteDelegate::CreateLambda([Handler](FName, bool) { Handler(); }));
    }
    static void FireCreateSession(FReentryTest& Test)
    {
        FOnlineSessionSettings Settings;
        Settings.NumPublicConnections = 4;
        ASSERT_TRUE(Test.Sessions().CreateSession(0, "Game", Settings));
        ASSERT_TRUE(
            Test.PumpUntil([&Test] { return Test.FindPending("/api/matchmaking/session") != nullptr; }));
        Test.Http().Respond(Test.FindPending("/api/matchmaking/session"), 200, R"({"id":"s1"})");
    }

    static void ArrangeLANSearch(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        FOnlineSessionZor& Service = Test.Sessions();
        Service.SetClock([&Test] { return Test.Now; });
        Service.SetLANTransportFactory([] { return MakeInMemoryLANBeaconTransport(); });
        Service.SetLANSearchTimeout(2.0);
        Service.AddOnFindSessionsCompleteDelegate(
            FOnFindSessionsCompleteDelegate::CreateLambda([Handler](bool) { Handler(); }));
    }
    static void FireLANSearch(FReentryTest& Test)
    {
        const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
        Search->bIsLanQuery = true;
        ASSERT_TRUE(Test.Sessions().FindSessions(0, Search));
        Test.Now += 10.0;
    }

    static void ArrangePurchaseExpiry(FReentryTest& Test, FHandler Handler)
    {
        Test.LoginUser("acct1", 3600, 10);
        Test.Identity().AddOnLoginPurchaseCompleteDelegate(
            0, FOnLoginPurchaseCompleteDelegate::CreateLambda(
                   [Handler](int32, bool, const FUniqueNetId&, const FString&) { Handler(); }));
    }
    static void FirePurchaseExpiry(FReentryTest& Test) { Test.Tick(1, 20.0f); }

    static void ArrangeNoResponse(FReentryTest& Test, FHandler Handler)
    {
        Test.InstallUser();
        const TSharedPtr<FOnlineTitleFileZor> TitleFiles = Test.Subsystem->GetZorTitleFileService();
        TitleFiles->AddOnEnumerateFilesCompleteDelegate(
            FOnEnumerateFilesCompleteDelegate::CreateLambda([Handler](bool) { Handler(); }));
        ASSERT_TRUE(TitleFiles->EnumerateFiles());
    }
    static void FireNoResponse(FReentryTest& Test) { Test.Subsystem->Shutdown(); }

protected:
    FOnlineSessionZor& Sessions() { return *Subsystem->GetZorSessionService(); }

    double Now = 1000.0;
};

struct FEventCase
{
    const char* Name;
    void (*Arrange)(FReentryTest&, FHandler);
    void (*Fire)(FReentryTest&);
};

const FEventCase Events[] = {
    {"create-session completion from the task manager", &FReentryTest::ArrangeCreateSession,
     &FReentryTest::FireCreateSession},
    {"LAN search time-out", &FReentryTest::ArrangeLANSearch, &FReentryTest::FireLANSearch},
    {"purchase token expiry", &FReentryTest::ArrangePurchaseExpiry, &FReentryTest::FirePurchaseExpiry},
    {"\"No response\" fired by Shutdown", &FReentryTest::ArrangeNoResponse, &FReentryTest::FireNoResponse},
};
} // namespace

TEST_F(FReentryTest, AHandlerMayShutDownOrReleaseTheSubsystemFromItsOwnEvents)
{
    for (const FEventCase& Event : Events)
    {
        for (const bool bRelease : {false, true})
        {
            SCOPED_TRACE(std::string(Event.Name) + (bRelease ? ", last reference dropped" : ", Shutdown"));
            CreateSubsystem();
            const TWeakPtr<FOnlineSubsystemZor> Weak = Subsystem;
            Log.Clear();
            int32 Fired = 0;
            Event.Arrange(*this,
                          [this, bRelease, &Fired]
                          {
                              ++Fired;
                              if (bRelease)
                              {
                                  Subsystem.Reset();
                              }
                              else if (Subsystem)
                              {
                                  Subsystem->Shutdown();
                              }
                          });
            Event.Fire(*this);
            PumpUntil([&Fired] { return Fired > 0; });
            Tick(3, 1.0f);
            EXPECT_EQ(Fired, 1);
            EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
            EXPECT_EQ(Weak.IsValid(), !bRelease);
            if (Subsystem)
            {
                EXPECT_FALSE(Subsystem->GetZorIdentityService().IsValid());
                Subsystem->Shutdown();
                EXPECT_EQ(Log.Count("FOnlineSubsystemZor::Shutdown()"), 1);
                Subsystem.Reset();
            }
            Http().Reset();
        }
    }
}

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
