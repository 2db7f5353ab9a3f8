#include <algorithm>
#include <gtest/gtest.h>
#include <httplib.h>
#include <string>
#include <vector>

#include "BackendFixture.h"
#include "BackendSessionIds.h"
#include "LogCapture.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
/** A host and a second player's subsystem, both against the local backend's matchmaking service. */
class FSessionsIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override { return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"; }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        PreviousNetMode = GetHostNetMode();
        PreviousVerbosity = LogOnline.GetVerbosity();
        LogOnline.SetVerbosity(ELogVerbosity::VeryVerbose);
        Other = MakeShared<FOnlineSubsystemZor>(FName("other")).ToSharedPtr();
        Other->Init();
    }
    void TearDown() override
    {
        Other->Shutdown();
        Other.Reset();
        SetHostNetMode(PreviousNetMode);
        LogOnline.SetVerbosity(PreviousVerbosity);
        FBackendIntegrationTest::TearDown();
    }

    bool TickBoth(const std::function<bool()>& Done)
    {
        return TickUntil(
            [this, &Done]
            {
                Other->Tick(0.005f);
                return Done();
            });
    }

    static bool Login(FOnlineSubsystemZor& Into, const char* User, const char* Password,
                      const std::function<bool(const std::function<bool()>&)>& Wait)
    {
        FString Result;
        ZOR_BIND_SCOPED(Into.GetZorIdentityService(), OnLoginComplete, 0,
                        FOnLoginCompleteDelegate::CreateLambda(
                            [&Result](int32, bool bOk, const FUniqueNetId&, const FString& E)
                            { Result = bOk ? "ok" : E; }));
        return Into.GetZorIdentityService()->Login(0, FOnlineAccountCredentials("tavo", User, Password)) &&
               Wait([&Result] { return !Result.IsEmpty(); }) && Result == "ok";
    }

    /** The ids of the sessions the backend holds for the demo user, asked of it directly; sorted. */
    std::vector<std::string> BackendSessionIds()
    {
        return ::BackendSessionIds(Port, Identity().GetUniquePlayerId(0)->ToString().ToStdString(),
                                   DemoAccount()->GetAccessToken().ToStdString());
    }
    /** The ids of the sessions the game holds; sorted. */
    std::vector<std::string> HeldSessionIds(const TArray<FName>& Names)
    {
        std::vector<std::string> Ids;
        for (const FName& Name : Names)
        {
            const FNamedOnlineSession* Session = Subsystem->GetZorSessionService()->GetNamedSession(Name);
            if (Session && Session->SessionInfo)
            {
                Ids.push_back(Session->SessionInfo->ToString().ToStdString());
            }
        }
        std::sort(Ids.begin(), Ids.end());
        return Ids;
    }

    FLogCapture Log;
    ENetMode PreviousNetMode = ENetMode::Standalone;
    ELogVerbosity::Type PreviousVerbosity = ELogVerbosity::Log;
    TSharedPtr<FOnlineSubsystemZor> Other;
};
} // namespace

TEST_F(FSessionsIntegrationTest, HostCreatesBeatsRegistersAndAnotherPlayerFindsIt)
{
    double Now = 100.0;
    Subsystem->GetZorSessionService()->SetClock([&Now] { return Now; });
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    ASSERT_TRUE(Login(*Other, "rival@example.com", "rival-password",
                      [this](const std::function<bool()>& Done) { return TickBoth(Done); }));
    FOnlineSessionZor& Host = *Subsystem->GetZorSessionService();
    FOnlineSessionZor& Seeker = *Other->GetZorSessionService();

    TArray<int32> Events;
    ZOR_BIND_SCOPED(
        Subsystem->GetZorSessionService(), OnCreateSessionComplete,
        FOnCreateSessionCompleteDelegate::CreateLambda([&Events](FName, bool bOk) { Events.Add(bOk); }));
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 4;
    Settings.bShouldAdvertise = true;
    Settings.Set("MODE", FString("ctf"), EOnlineDataAdvertisementType::ViaOnlineService);
    Settings.Set("LEVEL", 3, EOnlineDataAdvertisementType::ViaOnlineService);
    // A listen server from the start: its requests carry the application's token, so the session is that
    // client's, and its heartbeat, registration and destroy below are the owner's.
    SetHostNetMode(ENetMode::ListenServer);
    ASSERT_TRUE(Host.CreateSession(0, "Game", Settings));
    ASSERT_TRUE(TickBoth([&Events] { return !Events.IsEmpty(); }));
    ASSERT_TRUE(Events[0]);
    const FNamedOnlineSession* Hosted = Host.GetNamedSession("Game");
    ASSERT_TRUE(Hosted && Hosted->SessionInfo && Hosted->SessionInfo->IsValid());
    EXPECT_EQ(Hosted->SessionInfo->ToDebugString(),
              FString::Printf("HostIP: 127.0.0.1:7777 SessionId: %s", *Hosted->SessionInfo->ToString()));

    // The heartbeat is a full update that fires no event.
    Now += 31.0;
    ASSERT_TRUE(TickBoth([this] { return Log.Contains("UpdateSessionUrl session heartbeat. code=200"); }));
    EXPECT_FALSE(Log.Contains("UpdateSession request failed"));

    // Another player finds it, with its data, by criteria.
    SetHostNetMode(ENetMode::Standalone);
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    Search->MaxSearchResults = 10;
    Search->QuerySettings.Set("MODE", FString("ctf"), EOnlineComparisonOp::Equals);
    Search->QuerySettings.Set("LEVEL", 2, EOnlineComparisonOp::GreaterThan);
    TArray<int32> Found;
    ZOR_BIND_SCOPED(Other->GetZorSessionService(), OnFindSessionsComplete,
                    FOnFindSessionsCompleteDelegate::CreateLambda([&Found](bool bOk) { Found.Add(bOk); }));
    ASSERT_TRUE(Seeker.FindSessions(0, Search));
    ASSERT_TRUE(TickBoth([&Found] { return !Found.IsEmpty(); }));
    ASSERT_TRUE(Found[0]);
    ASSERT_EQ(Search->SearchResults.Num(), 1);
    const FOnlineSession& Result = Search->SearchResults[0].Session;
    EXPECT_EQ(Result.OwningUserName, "DemoPlayer");
    EXPECT_EQ(Result.NumOpenPublicConnections, 4);
    FString Mode;
    EXPECT_TRUE(Result.SessionSettings.Get("MODE", Mode) && Mode == "ctf");
    FString Connect;
    EXPECT_TRUE(Seeker.GetResolvedConnectString(Search->SearchResults[0], NAME_GamePort, Connect));
    EXPECT_EQ(Connect, "127.0.0.1:7777");

    // A listen server registers the player who joined; the service counts it.
    SetHostNetMode(ENetMode::ListenServer);
    TArray<int32> Registered;
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnRegisterPlayersComplete,
                    FOnRegisterPlayersCompleteDelegate::CreateLambda(
                        [&Registered](FName, const TArray<FUniqueNetIdRef>&, bool bOk)
                        { Registered.Add(bOk); }));
    ASSERT_TRUE(Host.RegisterPlayer("Game", *Other->GetZorIdentityService()->GetUniquePlayerId(0), false));
    ASSERT_TRUE(TickBoth([&Registered] { return !Registered.IsEmpty(); }));
    EXPECT_TRUE(Registered[0]);
    EXPECT_EQ(Host.GetNamedSession("Game")->NumOpenPublicConnections, 3);

    // Destroyed: no longer found.
    TArray<int32> Destroyed;
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnDestroySessionComplete,
                    FOnDestroySessionCompleteDelegate::CreateLambda([&Destroyed](FName, bool bOk)
                                                                    { Destroyed.Add(bOk); }));
    ASSERT_TRUE(Host.DestroySession("Game"));
    ASSERT_TRUE(TickBoth([&Destroyed] { return !Destroyed.IsEmpty(); }));
    EXPECT_TRUE(Destroyed[0]);
    SetHostNetMode(ENetMode::Standalone);
    ASSERT_TRUE(Seeker.FindSessions(0, Search));
    ASSERT_TRUE(TickBoth([&Found] { return Found.Num() == 2; }));
    EXPECT_TRUE(Found[1]);
    EXPECT_TRUE(Search->SearchResults.IsEmpty());
}

TEST_F(FSessionsIntegrationTest, SessionsDestroyedWhileCreatingAreNotLeftOnTheService)
{
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    FOnlineSessionZor& Host = *Subsystem->GetZorSessionService();
    int32 Successes = 0;
    int32 Replies = 0;
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnCreateSessionComplete,
                    FOnCreateSessionCompleteDelegate::CreateLambda(
                        [&Successes, &Replies](FName, bool bOk)
                        {
                            ++Replies;
                            Successes += bOk;
                        }));
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 4;
    Settings.bShouldAdvertise = true;
    ASSERT_TRUE(Host.CreateSession(0, "Kept", Settings));
    // A burst of pairs under one name, as a game that changes its mind at once sends them; the last one
    // stays.
    constexpr int32 Pairs = 100;
    for (int32 Pair = 0; Pair < Pairs; ++Pair)
    {
        ASSERT_TRUE(Host.CreateSession(0, "q1", Settings));
        ASSERT_FALSE(Host.DestroySession("q1"));
    }
    ASSERT_TRUE(Host.CreateSession(0, "q1", Settings));
    const auto Settled = [this, &Replies]
    {
        return Replies == Pairs + 2 &&
               Log.Count("DestroySessionUrl request complete") + Log.Count("DestroySession request failed") ==
                   Pairs;
    };
    EXPECT_TRUE(TickUntil(Settled, 60.0)) << "create replies " << Replies << ", deletes sent "
                                          << Log.Count("Sending DestroyInternetSession request");
    EXPECT_EQ(Successes, 2);
    EXPECT_EQ(Log.Count("DestroySession request failed"), 0);
    const std::vector<std::string> Held = HeldSessionIds({"Kept", "q1"});
    EXPECT_EQ(Held.size(), 2u);
    EXPECT_EQ(BackendSessionIds(), Held);
}
