#include "CaseNamePrinter.h"
#include "SessionTest.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "ZorRows.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
TSharedPtr<FJsonObject> BodyOf(const FInMemoryHttpTransport::FStartedRequest& Record)
{
    TSharedPtr<FJsonObject> Object;
    FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Record.GetContentAsString()), Object);
    return Object;
}
} // namespace

TEST_F(FSessionTest, CreateSendsTheSessionAndTakesTheAnswer)
{
    ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings(4)));
    EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::Creating);
    const FHttpRequestPtr Request = WaitForRequest("/api/matchmaking/session");
    ASSERT_TRUE(Request);
    const auto Sent = Record(Request);
    EXPECT_EQ(Sent.Verb, "POST");
    EXPECT_EXACT_EQ(Sent.URL, "http://127.0.0.1:8080/api/matchmaking/session");
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), "bearer access-acct1");
    const TSharedPtr<FJsonObject> Body = BodyOf(Sent);
    ASSERT_TRUE(Body);
    EXPECT_TRUE(ZorExact::HasKeys(Body, {"ownerId", "openPublicPlayers", "buildUniqueId"}));
    EXPECT_EQ(Body->GetStringField("ownerId"), "acct1");
    EXPECT_EQ(Body->GetNumberField("openPublicPlayers"), 3);
    EXPECT_EQ(Body->GetStringField("buildUniqueId"), FString::FromInt(GetBuildUniqueId()));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Log, "Sending CreateInternetSession request. url="));

    Answer("/api/matchmaking/session", 200, SessionAnswer("s1"));
    ASSERT_TRUE(PumpUntil([this] { return !Created.IsEmpty(); }));
    EXPECT_TRUE(Created[0].Value);
    const FNamedOnlineSession* Session = Sessions().GetNamedSession("Game");
    ASSERT_TRUE(Session);
    EXPECT_EQ(Session->SessionState, EOnlineSessionState::Pending);
    EXPECT_EQ(Session->SessionInfo->ToDebugString(), "HostIP: 127.0.0.1:7777 SessionId: s1");
    // Only what the answer holds is read into the host's own session.
    FString Map;
    EXPECT_TRUE(Session->SessionSettings.Get("MAPNAME", Map) && Map == "Harbor");
    EXPECT_EQ(Session->NumOpenPublicConnections, 3);
}

TEST_F(FSessionTest, CreateRefusalsFireTheirEventAndKeepTheExistingSession)
{
    CreateOnline("s1");
    Created.Empty();
    EXPECT_FALSE(Sessions().CreateSession(0, "Game", MakeSettings()));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Cannot create session 'Game': session already exists."));
    EXPECT_FALSE(Sessions().CreateSession(1, "Other", MakeSettings()));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Cannot create session 'Other': user not logged in (1)."));
    ASSERT_EQ(Created.Num(), 2);
    EXPECT_FALSE(Created[0].Value || Created[1].Value);
    EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::Pending);
    EXPECT_EQ(Sessions().GetNumSessions(), 1);
}

namespace
{
struct FTaskFailureCase
{
    int32 Code; // 0: no response
    const char* Body;
    int32 Status;
};

const FTaskFailureCase TaskFailureCases[] = {
    {401, "{}", EOnlineServerConnectionStatus::InvalidUser},
    {403, "{}", EOnlineServerConnectionStatus::NotAuthorized},
    {404, "{}", EOnlineServerConnectionStatus::InvalidSession},
    {500, "oops", EOnlineServerConnectionStatus::ServiceUnavailable},
    {0, "", EOnlineServerConnectionStatus::ServiceUnavailable},
    {200, R"({"noid":1})", 0},
    {200, "[1]", 0},
};

using FSessionTaskFailureTest = TZorRows<FSessionTest>;
} // namespace

TEST_P(FSessionTaskFailureTest, TaskFailuresReportTheirStatusAfterTheEvent)
{
    const FTaskFailureCase& Case = TaskFailureCases[GetParam()];
    ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
    const FHttpRequestPtr Request = WaitForRequest("/api/matchmaking/session");
    ASSERT_TRUE(Request);
    Case.Code ? Http().Respond(Request, Case.Code, Case.Body) : Http().Fail(Request);
    ASSERT_TRUE(PumpUntil([this] { return !Created.IsEmpty(); })) << Case.Code;
    EXPECT_FALSE(Created[0].Value) << Case.Code;
    EXPECT_EQ(Statuses.Num(), Case.Status ? 1 : 0) << Case.Code;
    EXPECT_EQ(Statuses.IsEmpty() ? 0 : Statuses[0], Case.Status) << Case.Code;
    EXPECT_EQ(Sessions().GetNamedSession("Game"), nullptr) << Case.Code;
    // An answer that arrived but cannot be read says so.
    if (Case.Code == 200)
    {
        EXPECT_TRUE(
            Log.Contains(ELogVerbosity::Warning, "CreateSession request failed. Invalid response payload="));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FSessionTaskFailureTest,
                         ::testing::Range(size_t{0}, std::size(TaskFailureCases)));

TEST_F(FSessionTest, ACreateReplyBelongsOnlyToTheSessionThatSentIt)
{
    // Destroyed while Creating, then (the second case) created again under the same name before the reply.
    for (const bool bRecreate : {false, true})
    {
        const FString Stale = bRecreate ? "mms-2" : "mms-1";
        Created.Empty();
        Destroyed.Empty();
        ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
        EXPECT_FALSE(Sessions().DestroySession("Game"));
        if (bRecreate)
        {
            ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
        }
        ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
        Answer("/api/matchmaking/session", 200, SessionAnswer(Stale));
        ASSERT_TRUE(PumpUntil([this] { return !Created.IsEmpty(); })) << bRecreate;
        EXPECT_FALSE(Created[0].Value) << bRecreate;
        const FHttpRequestPtr Orphan = WaitForRequest("/session/" + Stale);
        ASSERT_TRUE(Orphan) << bRecreate;
        EXPECT_EQ(Record(Orphan).Verb, "DELETE");
        Http().Respond(Orphan, 204, "");
        if (bRecreate)
        {
            EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::Creating);
            ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
            Answer("/api/matchmaking/session", 200, SessionAnswer("mms-3"));
            ASSERT_TRUE(PumpUntil([this] { return Created.Num() == 2; }));
            EXPECT_TRUE(Created[1].Value);
            EXPECT_EQ(Sessions().GetNamedSession("Game")->SessionInfo->ToString(), "mms-3");
        }
        ASSERT_TRUE(WaitForTasks());
        EXPECT_EQ(Created.Num(), bRecreate ? 2 : 1) << bRecreate;
        ASSERT_EQ(Destroyed.Num(), 1) << bRecreate;
        EXPECT_FALSE(Destroyed[0].Value) << bRecreate;
        EXPECT_EQ(NumStarted("/session/" + Stale), 1) << bRecreate;
        EXPECT_EQ(NumStarted("/session/mms-3"), 0) << bRecreate;
        EXPECT_EQ(Sessions().GetNumSessions(), bRecreate ? 1 : 0) << bRecreate;
    }
}

namespace
{
struct FACreateReplyNoSessionOwnsIsDeletedOnTheServiceRow
{
    const char* Name;
    int32 Code;
    FString Body;
    const char* DeletedUrl;
};
const FACreateReplyNoSessionOwnsIsDeletedOnTheServiceRow
    ACreateReplyNoSessionOwnsIsDeletedOnTheServiceRows[] = {
        {"answered", 200, SessionAnswer("mms-1"), "http://127.0.0.1:8080/api/matchmaking/session/mms-1"},
        {"refused", 500, "oops", nullptr},
        {"answer without an id", 200, R"({"noid":1})", nullptr},
};

void PrintTo(const FACreateReplyNoSessionOwnsIsDeletedOnTheServiceRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FSessionTestACreateReplyNoSessionOwnsIsDeletedOnTheService =
    TZorRows<FSessionTest, FACreateReplyNoSessionOwnsIsDeletedOnTheServiceRow>;
} // namespace

// The game let the session go while it was being created: a session the service made for it is deleted there
// under the user who asked for it, and only a session the service did make.
TEST_P(FSessionTestACreateReplyNoSessionOwnsIsDeletedOnTheService,
       ACreateReplyNoSessionOwnsIsDeletedOnTheService)
{
    const FACreateReplyNoSessionOwnsIsDeletedOnTheServiceRow& Case = GetParam();
    SCOPED_TRACE(Case.Name);
    Http().Reset();
    Created.Empty();
    Destroyed.Empty();
    ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
    Sessions().DestroySession("Game");
    ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
    Answer("/api/matchmaking/session", Case.Code, Case.Body);
    ASSERT_TRUE(PumpUntil([this] { return !Created.IsEmpty(); }));
    ASSERT_TRUE(WaitForTasks());
    Tick();
    EXPECT_EQ(NumStarted("/session/"), Case.DeletedUrl ? 1 : 0);
    if (const FHttpRequestPtr Orphan = FindPending("/session/"))
    {
        const auto Sent = Record(Orphan);
        EXPECT_EQ(Sent.Verb, "DELETE");
        EXPECT_EXACT_EQ(Sent.URL, Case.DeletedUrl ? Case.DeletedUrl : "");
        EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), "bearer access-acct1");
        // The service refusing the delete is no news to the game, which already heard the create fail.
        Http().Respond(Orphan, 500, "oops");
        Tick(2);
    }
    EXPECT_EQ(Created.Num(), 1);
    EXPECT_FALSE(Created[0].Value);
    EXPECT_EQ(Destroyed.Num(), 1);
    EXPECT_EQ(Sessions().GetNumSessions(), 0);
    EXPECT_EQ(Http().FindOldestPending(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rows, FSessionTestACreateReplyNoSessionOwnsIsDeletedOnTheService,
                         ::testing::ValuesIn(ACreateReplyNoSessionOwnsIsDeletedOnTheServiceRows),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FSessionTest, ASessionWithoutAPlayerNeverReachesTheRoad)
{
    FNamedOnlineSession* Session = Sessions().AddNamedSession("Orphan", MakeSettings());
    Session->SessionInfo = MakeShared<FOnlineSessionInfoZor>("s9");
    Session->SessionState = EOnlineSessionState::Pending;
    FOnlineSessionSettings Settings = MakeSettings();
    EXPECT_TRUE(Sessions().UpdateSession("Orphan", Settings, true));
    ASSERT_TRUE(PumpUntil([this] { return !Updated.IsEmpty(); }));
    EXPECT_FALSE(Updated[0].Value);
    EXPECT_TRUE(Statuses.IsEmpty());
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Could not start session request Error: Invalid user for local "
                             "player -1."));
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FSessionTest, HeartbeatsComeEveryThirtySecondsForHostedSessions)
{
    CreateOnline("s1");
    Tick(); // the first pass ran during creation; nothing is due yet
    EXPECT_EQ(FindPending("/session/s1"), nullptr);
    Now += 29.9;
    Tick(3);
    EXPECT_EQ(FindPending("/session/s1"), nullptr);
    Now += 0.2;
    const FHttpRequestPtr Beat = WaitForRequest("/session/s1");
    ASSERT_TRUE(Beat);
    EXPECT_EQ(Record(Beat).Verb, "PUT");
    EXPECT_TRUE(Log.Contains("Sending UpdateInternetSession session heartbeat."));
    // The next pass skips a session whose heartbeat is still out.
    Now += 31.0;
    Tick(3);
    EXPECT_EQ(Http().NumPending(), 1);
    Http().Respond(Beat, 404, "{}");
    ASSERT_TRUE(PumpUntil([this] { return !Statuses.IsEmpty(); }));
    EXPECT_EQ(Statuses[0], EOnlineServerConnectionStatus::InvalidSession);
    EXPECT_TRUE(Updated.IsEmpty()); // a heartbeat fires no update event
    EXPECT_TRUE(Log.Contains("UpdateSessionUrl session heartbeat. code=404"));
    EXPECT_FALSE(Log.Contains("UpdateSessionUrl request complete."));
}

TEST_F(FSessionTest, HeartbeatSkipsSessionsHostedByOthersOnAClient)
{
    CreateOnline("s1");
    Sessions().GetNamedSession("Game")->OwningUserId = MakeShared<FUniqueNetIdString>("someone-else");
    FNamedOnlineSession* Joined = Sessions().AddNamedSession("Joined", MakeSettings());
    Joined->SessionState = EOnlineSessionState::Pending;
    Joined->HostingPlayerNum = 0; // no owner at all: compared safely
    Now += 31.0;
    Tick();
    EXPECT_TRUE(WaitForTasks());
    EXPECT_EQ(Http().NumPending(), 0);
}

TEST_F(FSessionTest, ADedicatedServerBeatsEveryLiveSessionUnderOneOwner)
{
    SetHostNetMode(ENetMode::DedicatedServer);
    ASSERT_TRUE(Sessions().CreateSession(0, "First", MakeSettings(4)));
    ASSERT_TRUE(Sessions().CreateSession(0, "Second", MakeSettings(4)));
    const FNamedOnlineSession* First = Sessions().GetNamedSession("First");
    const FNamedOnlineSession* Second = Sessions().GetNamedSession("Second");
    EXPECT_EQ(*First->OwningUserId, *Second->OwningUserId);
    EXPECT_EQ(First->OwningUserId->ToString().Len(), 32);
    EXPECT_TRUE(First->OwningUserName.StartsWith("DedServer-"));
    EXPECT_TRUE(First->SessionSettings.bIsDedicated);
    EXPECT_EQ(First->NumOpenPublicConnections, 3); // the caller's settings were not dedicated

    FNamedOnlineSession* Joined = Sessions().AddNamedSession("Joined", MakeSettings());
    Joined->SessionInfo = MakeShared<FOnlineSessionInfoZor>("joined");
    Joined->SessionState = EOnlineSessionState::Ended;
    FNamedOnlineSession* Leaving = Sessions().AddNamedSession("Leaving", MakeSettings());
    Leaving->SessionInfo = MakeShared<FOnlineSessionInfoZor>("leaving");
    Leaving->SessionState = EOnlineSessionState::Destroying;
    Now += 31.0;
    // Tasks run one at a time: the creations (under the application's client) go first.
    ASSERT_TRUE(WaitForRequest("/api/oauth/token"));
    Answer("/api/oauth/token", 200, TokenReply("", 7200.0, "client-access"));
    for (const char* Id : {"first", "second"})
    {
        ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
        Answer("/api/matchmaking/session", 200, SessionAnswer(Id));
    }
    ASSERT_TRUE(WaitForRequest("/session/joined"));
    Answer("/session/joined", 200, "{}");
    EXPECT_TRUE(WaitForTasks());
    EXPECT_EQ(NumStarted("/session/leaving"), 0);
}

TEST_F(FSessionTest, UserUpdateReturnsTrueAndFiresWhenTheTaskEnds)
{
    CreateOnline("s1");
    FOnlineSessionSettings Settings = MakeSettings(6);
    EXPECT_TRUE(Sessions().UpdateSession("Game", Settings, true));
    const FHttpRequestPtr Request = WaitForRequest("/session/s1");
    ASSERT_TRUE(Request);
    EXPECT_TRUE(ZorExact::HasKeys(BodyOf(Record(Request)), {"maxPublicPlayers"}));
    EXPECT_EQ(BodyOf(Record(Request))->GetNumberField("maxPublicPlayers"), 6);
    Http().Respond(Request, 200, R"({"openPublicPlayers":5,"openPrivatePlayers":0,"publicPlayers":[]})");
    ASSERT_TRUE(PumpUntil([this] { return !Updated.IsEmpty(); }));
    EXPECT_TRUE(Updated[0].Value);
    EXPECT_EQ(Sessions().GetNamedSession("Game")->NumOpenPublicConnections, 5);
}

TEST_F(FSessionTest, StateGuards)
{
    // No session info yet: an update with refresh fails with its event and sends nothing.
    ASSERT_TRUE(Sessions().CreateSession(0, "Game", MakeSettings()));
    FOnlineSessionSettings Settings = MakeSettings();
    EXPECT_FALSE(Sessions().UpdateSession("Game", Settings, true));
    ASSERT_EQ(Updated.Num(), 1);
    EXPECT_FALSE(Updated[0].Value);
    // Ending a session being created leaves it Creating.
    EXPECT_FALSE(Sessions().EndSession("Game"));
    EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::Creating);
    EXPECT_FALSE(Sessions().StartSession("Game"));
    ASSERT_TRUE(WaitForRequest("/api/matchmaking/session"));
    Answer("/api/matchmaking/session", 200, SessionAnswer("s1"));
    ASSERT_TRUE(PumpUntil([this] { return !Created.IsEmpty(); }));

    EXPECT_TRUE(Sessions().StartSession("Game"));
    EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::InProgress);
    EXPECT_TRUE(Sessions().EndSession("Game"));
    EXPECT_EQ(Sessions().GetSessionState("Game"), EOnlineSessionState::Ended);
    ASSERT_EQ(Ended.Num(), 2);
    EXPECT_FALSE(Ended[0].Value);
    EXPECT_TRUE(Ended[1].Value);

    EXPECT_TRUE(Sessions().DestroySession("Game"));
    EXPECT_FALSE(Sessions().DestroySession("Game"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Already in process of destroying session (Game)"));
    const FHttpRequestPtr Delete = WaitForRequest("/session/s1");
    EXPECT_EQ(Record(Delete).Verb, "DELETE");
    Http().Respond(Delete, 204, "");
    ASSERT_TRUE(PumpUntil([this] { return !Destroyed.IsEmpty(); }));
    EXPECT_EQ(Destroyed.Num(), 1);
    EXPECT_TRUE(Destroyed[0].Value);
    EXPECT_EQ(Sessions().GetNumSessions(), 0);
}

TEST_F(FSessionTest, RegisteringPlayersSendsOnlyNewOnesOnAServer)
{
    SetHostNetMode(ENetMode::ListenServer);
    CreateOnline("s1");
    const FUniqueNetIdRef Guest = MakeShared<FUniqueNetIdString>("guest");
    EXPECT_TRUE(Sessions().RegisterPlayers("Game", {Guest}, false));
    PumpUntil([this] { return Http().NumPending() > 0; });
    const FHttpRequestPtr Request = Http().FindOldestPending();
    ASSERT_TRUE(Request);
    EXPECT_EXACT_EQ(Record(Request).URL, "http://127.0.0.1:8080/api/matchmaking/session/s1/players");
    EXPECT_TRUE(ZorExact::HasKeys(BodyOf(Record(Request)), {"publicPlayers"}));
    EXPECT_EQ(BodyOf(Record(Request))->GetArrayField("publicPlayers").Num(), 1);
    Http().Respond(Request, 200, R"({"openPublicPlayers":2,"publicPlayers":["guest"],"privatePlayers":[]})");
    ASSERT_TRUE(PumpUntil([this] { return !Registered.IsEmpty(); }));
    EXPECT_TRUE(Registered[0].Key);
    // Already registered: no request, the event at once.
    EXPECT_TRUE(Sessions().RegisterPlayer("Game", *Guest, false));
    ASSERT_EQ(Registered.Num(), 2);
    EXPECT_TRUE(Registered[1].Key);
    EXPECT_TRUE(Sessions().IsPlayerInSession("Game", FUniqueNetIdString("guest")));

    // Invited players go on the private list; leaving sends a bare array.
    EXPECT_TRUE(Sessions().RegisterPlayer("Game", FUniqueNetIdString("friend"), true));
    PumpUntil([this] { return Http().NumPending() > 0; });
    const TSharedPtr<FJsonObject> Invited = BodyOf(Record(Http().FindOldestPending()));
    ASSERT_TRUE(Invited);
    EXPECT_TRUE(ZorExact::HasKeys(Invited, {"publicPlayers", "privatePlayers"}));
    EXPECT_TRUE(Invited->GetArrayField("publicPlayers").IsEmpty());
    EXPECT_EQ(Invited->GetArrayField("privatePlayers")[0]->AsString(), "friend");
    RespondOldest(200, R"({"publicPlayers":["guest"],"privatePlayers":["friend"]})");
    ASSERT_TRUE(PumpUntil([this] { return Registered.Num() == 3; }));
    EXPECT_TRUE(Sessions().UnregisterPlayer("Game", *Guest));
    PumpUntil([this] { return Http().NumPending() > 0; });
    const auto Leave = Record(Http().FindOldestPending());
    EXPECT_EQ(Leave.Verb, "DELETE");
    EXPECT_EQ(Leave.GetContentAsString().Replace("\r\n", "").Replace("\t", ""), "[\"guest\"]");
    EXPECT_FALSE(Sessions().IsPlayerInSession("Game", *Guest));
}

TEST_F(FSessionTest, RegisteringOnAClientSendsNothing)
{
    CreateOnline("s1");
    EXPECT_TRUE(Sessions().RegisterPlayer("Game", FUniqueNetIdString("guest"), false));
    ASSERT_TRUE(PumpUntil([this] { return !Registered.IsEmpty(); }));
    EXPECT_TRUE(Registered[0].Key);
    EXPECT_EQ(Http().NumPending(), 0);
    EXPECT_TRUE(Sessions().IsPlayerInSession("Game", FUniqueNetIdString("guest")));
}

TEST_F(FSessionTest, JoinUnderANameInUseLeavesThatSession)
{
    CreateOnline("s1");
    FOnlineSessionSearchResult Result;
    Result.Session.SessionInfo = MakeShared<FOnlineSessionInfoZor>("s2");
    EXPECT_FALSE(Sessions().JoinSession(0, "Game", Result));
    ASSERT_EQ(Joined.Num(), 1);
    EXPECT_EQ(Joined[0], EOnJoinSessionCompleteResult::UnknownError);
    EXPECT_EQ(Sessions().GetNamedSession("Game")->SessionInfo->ToString(), "s1");

    EXPECT_TRUE(Sessions().JoinSession(0, "Joined", Result));
    EXPECT_EQ(Joined[1], EOnJoinSessionCompleteResult::Success);
    EXPECT_EQ(Sessions().GetSessionState("Joined"), EOnlineSessionState::Pending);
    // A result without session info fails and leaves nothing behind.
    EXPECT_FALSE(Sessions().JoinSession(0, "Empty", FOnlineSessionSearchResult()));
    EXPECT_EQ(Sessions().GetNamedSession("Empty"), nullptr);
}

TEST_F(FSessionTest, SearchKeepsOnlyJoinableResults)
{
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    ASSERT_TRUE(Sessions().FindSessions(0, Search));
    EXPECT_EQ(Search->SearchState, EOnlineAsyncTaskState::InProgress);
    const FHttpRequestPtr Request = WaitForRequest("matchMakingRequest");
    ASSERT_TRUE(Request);
    Http().Respond(Request, 200,
                   FString::Printf("[%s,%s,null,3,\"x\",%s,%s]", *SessionAnswer("good"),
                                   *SessionAnswer("zero", 0), *SessionAnswer("other", GetBuildUniqueId() + 1),
                                   *SessionAnswer("", GetBuildUniqueId())));
    ASSERT_TRUE(PumpUntil([this] { return !Found.IsEmpty(); }));
    EXPECT_TRUE(Found[0]);
    EXPECT_EQ(Search->SearchState, EOnlineAsyncTaskState::Done);
    ASSERT_EQ(Search->SearchResults.Num(), 1);
    EXPECT_EQ(Search->SearchResults[0].Session.SessionInfo->ToString(), "good");
    EXPECT_EQ(Search->SearchResults[0].Session.OwningUserId->ToString(), "acct1");
    EXPECT_TRUE(Search->SearchResults[0].Session.SessionSettings.bShouldAdvertise);
    EXPECT_TRUE(Log.Contains("Num Valid / Total Search Results 1 / 7"));
    FString Connect;
    EXPECT_TRUE(Sessions().GetResolvedConnectString(Search->SearchResults[0], NAME_GamePort, Connect));
    EXPECT_EQ(Connect, "127.0.0.1:7777");
    EXPECT_FALSE(Sessions().GetResolvedConnectString(Search->SearchResults[0], NAME_BeaconPort, Connect));
}

TEST_F(FSessionTest, ASecondSearchIsRefusedUnlessItIsTheRunningOne)
{
    const TSharedRef<FOnlineSessionSearch> First = MakeShared<FOnlineSessionSearch>();
    const TSharedRef<FOnlineSessionSearch> Second = MakeShared<FOnlineSessionSearch>();
    ASSERT_TRUE(Sessions().FindSessions(0, First));
    EXPECT_TRUE(Sessions().FindSessions(0, First));
    EXPECT_FALSE(Sessions().FindSessions(0, Second));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Ignoring game search request while another search is pending"));
    EXPECT_EQ(Second->SearchState, EOnlineAsyncTaskState::NotStarted);
    EXPECT_TRUE(Found.IsEmpty());
}

TEST_F(FSessionTest, ACancelledSearchNeverReceivesLateResults)
{
    const TSharedRef<FOnlineSessionSearch> Old = MakeShared<FOnlineSessionSearch>();
    ASSERT_TRUE(Sessions().FindSessions(0, Old));
    const FHttpRequestPtr OldRequest = WaitForRequest("matchMakingRequest");
    ASSERT_TRUE(Sessions().CancelFindSessions());
    EXPECT_EQ(Old->SearchState, EOnlineAsyncTaskState::Failed);
    ASSERT_EQ(Cancelled.Num(), 1);

    const TSharedRef<FOnlineSessionSearch> New = MakeShared<FOnlineSessionSearch>();
    ASSERT_TRUE(Sessions().FindSessions(0, New));
    Http().Respond(OldRequest, 200, FString::Printf("[%s]", *SessionAnswer("late")));
    ASSERT_TRUE(PumpUntil([this] { return !Found.IsEmpty(); }));
    EXPECT_FALSE(Found[0]);
    EXPECT_TRUE(Old->SearchResults.IsEmpty());
    EXPECT_TRUE(New->SearchResults.IsEmpty());
    EXPECT_EQ(New->SearchState, EOnlineAsyncTaskState::InProgress);
    EXPECT_EQ(Sessions().GetCurrentSessionSearch(), New.ToSharedPtr());

    // Without a search, a cancel warns and still reports.
    ASSERT_TRUE(Sessions().CancelFindSessions());
    EXPECT_FALSE(Sessions().CancelFindSessions());
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Can't cancel a search that isn't in progress"));
    EXPECT_EQ(Cancelled.Num(), 3);
}

TEST_F(FSessionTest, FriendSearchPicksTheLatestSession)
{
    const TSharedRef<FOnlineSessionSearch> Pending = MakeShared<FOnlineSessionSearch>();
    TArray<FString> Best;
    ZOR_BIND_SCOPED(
        Subsystem->GetZorSessionService(), OnFindFriendSessionComplete,
        FOnFindFriendSessionCompleteDelegate::CreateLambda(
            [&Best](int32, bool bOk, const FOnlineSessionSearchResult& Result)
            {
                Best.Add(bOk ? (Result.Session.SessionInfo ? Result.Session.SessionInfo->ToString() : "none")
                             : "fail");
            }));
    ASSERT_TRUE(Sessions().FindFriendSession(0, FUniqueNetIdString("friend/1?x")));
    EXPECT_FALSE(Sessions().FindSessions(0, Pending));
    const FHttpRequestPtr Request = WaitForRequest("findPlayer");
    ASSERT_TRUE(Request);
    EXPECT_TRUE(Record(Request).URL.EndsWith("/findPlayer/friend%2F1%3Fx", ESearchCase::CaseSensitive));
    const FString Answer =
        FString::Printf("[%s,%s,%s]", *SessionAnswer("a", GetBuildUniqueId(), R"(,"lastUpdated":"2026-02")"),
                        *SessionAnswer("b", GetBuildUniqueId(), R"(,"lastUpdated":"2026-02")"),
                        *SessionAnswer("c", GetBuildUniqueId(), R"(,"lastUpdated":"2025-12")"));
    Http().Respond(Request, 200, Answer);
    ASSERT_TRUE(PumpUntil([&Best] { return !Best.IsEmpty(); }));
    EXPECT_EQ(Best[0], "a");

    ASSERT_TRUE(Sessions().FindFriendSession(0, FUniqueNetIdString("friend")));
    Http().Respond(WaitForRequest("findPlayer"), 200, "");
    ASSERT_TRUE(PumpUntil([&Best] { return Best.Num() == 2; }));
    EXPECT_EQ(Best[1], "none");
}

TEST_F(FSessionTest, LANSearchEndsOnTimeoutWithOneResultPerHost)
{
    FOnlineSessionZor& Service = Sessions();
    // Another process's host on the same bus.
    FLANSession OtherHost(MakeInMemoryLANBeaconTransport());
    ASSERT_TRUE(OtherHost.Host(
        [&OtherHost](const uint8*, int32, uint64 Nonce)
        {
            TArray<uint8> Packet;
            OtherHost.CreateHostResponsePacket(Packet, Nonce);
            OtherHost.BroadcastPacket(Packet);
        }));
    ASSERT_TRUE(Service.CreateSession(0, "Lan", MakeSettings(4, true)));
    ASSERT_EQ(Created.Num(), 1);
    EXPECT_TRUE(Created[0].Value);

    EXPECT_EQ(CountLANAnswers([&OtherHost] { OtherHost.Tick(0.0f); }),
              2); // the other host and this service's hosted LAN session

    // The service's own search, from a second subsystem-free beacon point of view: destroy then search.
    ASSERT_TRUE(Service.DestroySession("Lan"));
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    Search->bIsLanQuery = true;
    ASSERT_TRUE(Service.FindSessions(0, Search));
    OtherHost.Tick(0.0f);
    Tick(2);
    EXPECT_EQ(Search->SearchResults.Num(), 1);
    EXPECT_TRUE(Found.IsEmpty());
    Now += 2.5;
    Tick();
    ASSERT_EQ(Found.Num(), 1);
    EXPECT_TRUE(Found[0]);
    EXPECT_EQ(Search->SearchState, EOnlineAsyncTaskState::Done);
    // A LAN answer carries nothing to join.
    EXPECT_FALSE(Service.JoinSession(0, "LanJoin", Search->SearchResults[0]));
    EXPECT_EQ(Joined.Last(), EOnJoinSessionCompleteResult::UnknownError);
}

TEST_F(FSessionTest, OnlyALANSessionWithAnOpenPublicSlotAnswersSearches)
{
    struct FCase
    {
        int32 PublicSlots; // the host takes one
        int32 Answers;
    };
    for (const FCase Case : {FCase{1, 0}, FCase{2, 1}})
    {
        ASSERT_TRUE(Sessions().CreateSession(0, "Lan", MakeSettings(Case.PublicSlots, true)));
        ASSERT_EQ(Sessions().GetNamedSession("Lan")->NumOpenPublicConnections, Case.PublicSlots - 1);
        EXPECT_EQ(CountLANAnswers([] {}), Case.Answers) << Case.PublicSlots;
        ASSERT_TRUE(Sessions().DestroySession("Lan"));
    }
}

TEST_F(FSessionTest, LANSearchEndPathsLeaveRoomForTheNextSearch)
{
    FOnlineSessionZor& Service = Sessions();
    const auto Lan = []
    {
        const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
        Search->bIsLanQuery = true;
        return Search;
    };
    // Cancelled: no late success from the timeout.
    const TSharedRef<FOnlineSessionSearch> First = Lan();
    ASSERT_TRUE(Service.FindSessions(0, First));
    ASSERT_TRUE(Service.CancelFindSessions());
    Now += 10.0;
    Tick(2);
    EXPECT_TRUE(Found.IsEmpty());
    EXPECT_EQ(First->SearchState, EOnlineAsyncTaskState::Failed);
    // The beacon is released while searching (a handler destroying a LAN session): the search ends too.
    const TSharedRef<FOnlineSessionSearch> Second = Lan();
    ASSERT_TRUE(Service.FindSessions(0, Second));
    ASSERT_TRUE(Service.CreateSession(0, "Lan", MakeSettings(4, true)));
    EXPECT_EQ(Second->SearchState, EOnlineAsyncTaskState::Failed);
    ASSERT_TRUE(Service.DestroySession("Lan"));
    ASSERT_EQ(Found.Num(), 1);
    EXPECT_FALSE(Found[0]);
    const TSharedRef<FOnlineSessionSearch> Interrupted = Lan();
    ASSERT_TRUE(Service.FindSessions(0, Interrupted));
    Subsystem->Shutdown();
    EXPECT_EQ(Interrupted->SearchState, EOnlineAsyncTaskState::Failed);
    EXPECT_EQ(Found.Num(), 2);
}

TEST_F(FSessionTest, AListenServerHostsItsLANSessionAgainAfterSearching)
{
    SetHostNetMode(ENetMode::ListenServer);
    FOnlineSessionZor& Service = Sessions();
    ASSERT_TRUE(Service.CreateSession(0, "Lan", MakeSettings(4, true)));
    ASSERT_TRUE(Service.GetLANSession()->IsHosting());
    for (const bool bCancel : {true, false})
    {
        const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
        Search->bIsLanQuery = true;
        ASSERT_TRUE(Service.FindSessions(0, Search));
        EXPECT_EQ(Service.GetLANSession()->GetBeaconState(), ELanBeaconState::Searching);
        if (bCancel)
        {
            ASSERT_TRUE(Service.CancelFindSessions());
        }
        else
        {
            Now += 5.0;
            Tick();
        }
        EXPECT_TRUE(Service.GetLANSession()->IsHosting()) << bCancel;
        EXPECT_EQ(Service.GetCurrentSessionSearch(), nullptr) << bCancel;
    }
}

TEST_F(FSessionTest, AFindHandlerMayStartTheNextLANSearch)
{
    FOnlineSessionZor& Service = Sessions();
    const auto Lan = []
    {
        const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
        Search->bIsLanQuery = true;
        return Search;
    };
    // A handler that starts a new search from the find event.
    const TSharedRef<FOnlineSessionSearch> Third = Lan();
    const TSharedRef<FOnlineSessionSearch> Fourth = Lan();
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnFindSessionsComplete,
                    FOnFindSessionsCompleteDelegate::CreateLambda(
                        [&Service, &Fourth](bool)
                        {
                            if (Fourth->SearchState == EOnlineAsyncTaskState::NotStarted)
                            {
                                EXPECT_TRUE(Service.FindSessions(0, Fourth));
                            }
                        }));
    ASSERT_TRUE(Service.FindSessions(0, Third));
    Now += 10.0;
    Tick();
    EXPECT_EQ(Third->SearchState, EOnlineAsyncTaskState::Done);
    EXPECT_EQ(Fourth->SearchState, EOnlineAsyncTaskState::InProgress);
    Now += 10.0;
    Tick();
    EXPECT_EQ(Fourth->SearchState, EOnlineAsyncTaskState::Done);
    EXPECT_EQ(Found, TArray<int32>({1, 1}));
}

namespace
{
/** A beacon transport that cannot open its port. */
class FClosedLANTransport : public ILANBeaconTransport
{
public:
    bool Open(int32) override { return false; }
    void Close() override {}
    bool Broadcast(const TArray<uint8>&, int32) override { return false; }
    bool Receive(TArray<uint8>&) override { return false; }
};

TSharedRef<FOnlineSessionSearch> LanSearch()
{
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    Search->bIsLanQuery = true;
    return Search;
}

/** A find handler that starts Retry on the first failure, after BeforeRetry. */
FOnFindSessionsCompleteDelegate SearchAgainOnFailure(
    FOnlineSessionZor& Service, const TSharedRef<FOnlineSessionSearch>& Retry,
    TFunction<void()> BeforeRetry = [] {})
{
    return FOnFindSessionsCompleteDelegate::CreateLambda(
        [&Service, Retry, BeforeRetry](bool bOk)
        {
            if (!bOk && Retry->SearchState == EOnlineAsyncTaskState::NotStarted)
            {
                BeforeRetry();
                EXPECT_TRUE(Service.FindSessions(0, Retry));
            }
        });
}
} // namespace

TEST_F(FSessionTest, ALANSearchWhoseBeaconCannotStartIsReportedOnce)
{
    FOnlineSessionZor& Service = Sessions();
    bool bBroken = true;
    Service.SetLANTransportFactory(
        [&bBroken]() -> TUniquePtr<ILANBeaconTransport>
        {
            if (bBroken)
            {
                return MakeUnique<FClosedLANTransport>();
            }
            return MakeInMemoryLANBeaconTransport();
        });
    const TSharedRef<FOnlineSessionSearch> Failing = LanSearch();
    const TSharedRef<FOnlineSessionSearch> Retry = LanSearch();
    // The handler searches again on the failure, this time with a working beacon.
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnFindSessionsComplete,
                    SearchAgainOnFailure(Service, Retry, [&bBroken] { bBroken = false; }));
    EXPECT_FALSE(Service.FindSessions(0, Failing));
    EXPECT_EQ(Found, TArray<int32>({0}));
    EXPECT_EQ(Failing->SearchState, EOnlineAsyncTaskState::Failed);
    EXPECT_EQ(Retry->SearchState, EOnlineAsyncTaskState::InProgress);
    EXPECT_EQ(Service.GetCurrentSessionSearch(), Retry);
    Now += 5.0;
    Tick();
    EXPECT_EQ(Retry->SearchState, EOnlineAsyncTaskState::Done);
    EXPECT_EQ(Found, TArray<int32>({0, 1}));
}

TEST_F(FSessionTest, AFindHandlerMaySearchAgainWhenHostingEndsTheSearch)
{
    FOnlineSessionZor& Service = Sessions();
    const TSharedRef<FOnlineSessionSearch> Ended = LanSearch();
    const TSharedRef<FOnlineSessionSearch> Retry = LanSearch();
    ZOR_BIND_SCOPED(Subsystem->GetZorSessionService(), OnFindSessionsComplete,
                    SearchAgainOnFailure(Service, Retry));
    ASSERT_TRUE(Service.FindSessions(0, Ended));
    ASSERT_TRUE(Service.CreateSession(0, "Lan", MakeSettings(4, true)));
    EXPECT_EQ(Ended->SearchState, EOnlineAsyncTaskState::Failed);
    // The handler's search holds the beacon; hosting does not silently end it.
    EXPECT_EQ(Service.GetLANSession()->GetBeaconState(), ELanBeaconState::Searching);
    Now += 5.0;
    Tick();
    EXPECT_EQ(Retry->SearchState, EOnlineAsyncTaskState::Done);
    EXPECT_EQ(Found, TArray<int32>({0, 1}));
    EXPECT_EQ(Service.GetCurrentSessionSearch(), nullptr);
}

TEST_F(FSessionTest, ShutdownReportsEachPendingOperationOnceAndNoLateCompletion)
{
    CreateOnline("s1");
    FOnlineSessionSettings Settings = MakeSettings(6);
    ASSERT_TRUE(Sessions().UpdateSession("Game", Settings, true));
    const FHttpRequestPtr Update = WaitForRequest("/session/s1");
    ASSERT_TRUE(Sessions().CreateSession(0, "Second", MakeSettings()));
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    ASSERT_TRUE(Sessions().FindSessions(0, Search));
    const TSharedPtr<FOnlineSessionZor> Held = Subsystem->GetZorSessionService();
    Created.Empty();

    Subsystem->Shutdown();
    ASSERT_EQ(Created.Num(), 1);
    EXPECT_EQ(Created[0].Key, "Second");
    EXPECT_FALSE(Created[0].Value);
    ASSERT_EQ(Updated.Num(), 1);
    EXPECT_EQ(Updated[0].Key, "Game");
    EXPECT_FALSE(Updated[0].Value);
    EXPECT_EQ(Found, TArray<int32>({0}));
    EXPECT_EQ(Search->SearchState, EOnlineAsyncTaskState::Failed);
    if (Update)
    {
        Http().Respond(Update, 200, "{}");
    }
    Tick(3);
    EXPECT_EQ(Updated.Num(), 1);
    EXPECT_FALSE(Subsystem->GetSessionInterface().IsValid());

    // A caller that kept the service hears of a new operation at once.
    ASSERT_TRUE(Held->FindSessions(0, Search));
    EXPECT_EQ(Found, TArray<int32>({0, 0}));
    EXPECT_EQ(Search->SearchState, EOnlineAsyncTaskState::Failed);
}
