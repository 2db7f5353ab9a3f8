#include "SessionTest.h"

#include <chrono>
#include <thread>

#include "ZorMarkerTask.h"

FString SessionAnswer(const FString& Id, int32 BuildId, const FString& Extra)
{
    return FString::Printf(
        R"({"id":"%s","ownerId":"acct1","ownerName":"Player One","maxPublicPlayers":4,)"
        R"("maxPrivatePlayers":0,"buildUniqueId":"%d","serverAddress":"2130706433",)"
        R"("serverPort":7777,"openPublicPlayers":3,"openPrivatePlayers":0,)"
        R"("lastUpdated":"2026-01-01T00:00:00Z","publicPlayers":[],"privatePlayers":[]%s})",
        *Id, BuildId, *Extra);
}

void FSessionTest::SetUp()
{
    CreateSubsystem();
    InstallUser();
    Sessions().SetClock([this] { return Now; });
    Sessions().SetLANTransportFactory([] { return MakeInMemoryLANBeaconTransport(); });
    Sessions().SetLANSearchTimeout(2.0);
    FOnlineSessionZor& Service = Sessions();
    Service.AddOnCreateSessionCompleteDelegate(FOnCreateSessionCompleteDelegate::CreateLambda(
        [this](FName Name, bool bOk) {
            Created.Add({Name, bOk});
        }));
    Service.AddOnUpdateSessionCompleteDelegate(FOnUpdateSessionCompleteDelegate::CreateLambda(
        [this](FName Name, bool bOk) {
            Updated.Add({Name, bOk});
        }));
    Service.AddOnStartSessionCompleteDelegate(FOnStartSessionCompleteDelegate::CreateLambda(
        [this](FName Name, bool bOk) {
            Started.Add({Name, bOk});
        }));
    Service.AddOnEndSessionCompleteDelegate(FOnEndSessionCompleteDelegate::CreateLambda(
        [this](FName Name, bool bOk) {
            Ended.Add({Name, bOk});
        }));
    Service.AddOnDestroySessionCompleteDelegate(FOnDestroySessionCompleteDelegate::CreateLambda(
        [this](FName Name, bool bOk) {
            Destroyed.Add({Name, bOk});
        }));
    Service.AddOnFindSessionsCompleteDelegate(
        FOnFindSessionsCompleteDelegate::CreateLambda([this](bool bOk) { Found.Add(bOk); }));
    Service.AddOnCancelFindSessionsCompleteDelegate(
        FOnCancelFindSessionsCompleteDelegate::CreateLambda([this](bool bOk) { Cancelled.Add(bOk); }));
    Service.AddOnJoinSessionCompleteDelegate(FOnJoinSessionCompleteDelegate::CreateLambda(
        [this](FName, EOnJoinSessionCompleteResult Result) { Joined.Add(Result); }));
    Service.AddOnRegisterPlayersCompleteDelegate(FOnRegisterPlayersCompleteDelegate::CreateLambda(
        [this](FName, const TArray<FUniqueNetIdRef>& Players, bool bOk) {
            Registered.Add({bOk, Players.Num()});
        }));
    Subsystem->AddOnConnectionStatusChangedDelegate(FOnConnectionStatusChangedDelegate::CreateLambda(
        [this](const FString&, EOnlineServerConnectionStatus::Type,
               EOnlineServerConnectionStatus::Type Status) { Statuses.Add(Status); }));
}

bool FSessionTest::WaitForTasks()
{
    const TSharedRef<bool> Returned = MakeShared<bool>(false);
    Subsystem->QueueAsyncTask(new FZorMarkerTask([Returned] { *Returned = true; }));
    return PumpUntil([&Returned] { return *Returned; });
}

FHttpRequestPtr FSessionTest::WaitForRequest(const FString& Part)
{
    PumpUntil([this, &Part] { return FindPending(Part) != nullptr; });
    return FindPending(Part);
}

FOnlineSessionSettings FSessionTest::MakeSettings(int32 PublicSlots, bool bLan)
{
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = PublicSlots;
    Settings.bShouldAdvertise = true;
    Settings.bIsLANMatch = bLan;
    Settings.Set("MAPNAME", FString("Harbor"), EOnlineDataAdvertisementType::ViaOnlineService);
    return Settings;
}

void FSessionTest::CreateOnline(const FString& Id)
{
    const int32 Before = Created.Num();
    ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
    // A server sends under the application's client, which logs in first.
    PumpUntil([this] { return FindPending("/api/matchmaking/session") || FindPending("/api/oauth/token"); });
    if (FindPending("/api/oauth/token"))
    {
        Answer("/api/oauth/token", 200, TokenReply("", 7200.0, "client-access"));
    }
    ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
    Answer("/api/matchmaking/session", 200, SessionAnswer(Id));
    PumpUntil([this, Before] { return Created.Num() > Before; });
}

int32 FSessionTest::CountLANAnswers(const TFunction<void()>& Hosts)
{
    FLANSession Searcher(MakeInMemoryLANBeaconTransport());
    int32 Answers = 0;
    TArray<uint8> Query;
    Searcher.CreateClientQueryPacket(Query, Searcher.LanNonce);
    EXPECT_TRUE(Searcher.Search(
        Query, [&Answers](const uint8*, int32) { ++Answers; }, [] {}));
    Hosts();
    Tick(2);
    Searcher.Tick(0.0f);
    return Answers;
}
