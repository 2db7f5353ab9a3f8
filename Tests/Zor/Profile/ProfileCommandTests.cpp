#include "Core/Config.h"
#include "ProfileTest.h"
#include "ZorRows.h"

namespace
{
FGrantParams Grant(const FString& TemplateId, int32 Quantity)
{
    FGrantParams Params;
    Params.TemplateId = TemplateId;
    Params.Quantity = Quantity;
    return Params;
}

TMap<FString, FString> BuildHeader(const FString& Value)
{
    return {{"X-TavoGames-ZorVersion", Value}};
}
} // namespace

TEST_F(FProfileTest, QueuedCommandsGoOutOneAfterAnotherEachAfterThePreviousCallback)
{
    // Shared: a command still queued when the test stops reports after this frame is gone.
    const TSharedRef<TArray<int32>> StartedAtCallback = MakeShared<TArray<int32>>();
    auto Callback = [this, StartedAtCallback]
    {
        return FOnZorQueryComplete::CreateLambda(
            [this, StartedAtCallback](const FZorQueryResult& Result)
            {
                StartedAtCallback->Add(NumStarted());
                Results.Add(Result);
            });
    };
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Callback()), Grant("weapon.sword", 1)));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Callback()), Grant("weapon.axe", 2)));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Callback()), Grant("weapon.bow", 3)));
    Tick(3);
    ASSERT_EQ(NumStarted(), 1);

    const auto First = Record(FindPending());
    EXPECT_TRUE(First.URL.Equals("http://127.0.0.1:8080/game/client/acct1/profile0/GrantItem?rvn=-1",
                                 ESearchCase::CaseSensitive))
        << *First.URL;
    EXPECT_TRUE(First.Verb.Equals("POST"));
    EXPECT_TRUE(ZorExact::Header(First, "Accept").Equals("*/*"));
    EXPECT_TRUE(ZorExact::Header(First, "Content-Type").Equals("application/json"));
    EXPECT_TRUE(ZorExact::Header(First, "Authorization").Equals("bearer access-acct1"));
    const TSharedPtr<FJsonObject> Body = Parse(First.GetContentAsString());
    ASSERT_TRUE(Body);
    EXPECT_EQ(Body->Values.Num(), 2);
    EXPECT_TRUE(ZorExact::HasKeys(Body, {"templateId", "quantity"}));
    EXPECT_TRUE(Body->GetStringField("templateId").Equals("weapon.sword"));
    EXPECT_EQ(Body->GetIntegerField("quantity"), 1);

    Answer(200, R"({"profileRevision":5})");
    Answer(200, R"({"profileRevision":6})");
    Answer(200, R"({"profileRevision":7})");

    // Each callback ran while only its own command had gone out.
    EXPECT_EQ(*StartedAtCallback, (TArray<int32>{1, 2, 3}));
    ASSERT_EQ(Results.Num(), 3);
    const auto Sent = Http().GetStartedRequests();
    EXPECT_TRUE(Sent[1].GetContentAsString().Contains("weapon.axe"));
    // The revision goes out as held when the command leaves, not when it was queued.
    EXPECT_TRUE(Sent[1].URL.EndsWith("/GrantItem?rvn=5", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Sent[2].URL.EndsWith("/GrantItem?rvn=6", ESearchCase::CaseSensitive));
    EXPECT_EQ(Profile->GetNumPendingRequests(), 0);
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::VeryVerbose, "Finished processing request, removing first of *1*"));
}

TEST_F(FProfileTest, CommandWithoutParametersSendsAnEmptyObject)
{
    ASSERT_TRUE(Profile->QueryProfile(FClientUrlContext::Default));
    Tick();
    EXPECT_TRUE(Record(FindPending()).GetContentAsString().Equals("{}"));
}

namespace
{
struct FCompletionCase
{
    int32 Code;
    FString Body;
    FString ContentType;
    FString ErrorCode;
    FString ErrorText;
    /** The warning the answer logs, where the row looks for one. */
    const char* Warning = nullptr;
};

const FCompletionCase CompletionCases[] = {
    {200, "  bad gateway page \r\n", "text/html", "NonJsonResponse", "  bad gateway page",
     "HTTP 200 response from GrantItem request [content-type=text/html] content:   bad"},
    {200, R"({"profileRevision":1})", "application/json; charset=utf-8", "NonJsonResponse",
     R"({"profileRevision":1})"},
    {502, " \n", "text/plain", "NonJsonResponse", "HTTP 502 response from function GrantItem"},
    {200, "{not json", "application/json", "InvalidJson", "Unable to parse server response."},
    {404, R"({"errorCode":"errors.missing","errorMessage":"No such profile"})", "application/json",
     "errors.missing", "No such profile",
     "Unexpected response from GrantItem request! [404] [No such profile]"},
    {204, "{}", "application/json", "JsonErrorUnknownCode", "Server error of type JsonErrorUnknownCode"},
    {400, R"({"errorCode":17})", "application/json", "JsonErrorUnknownCode",
     "Server error of type JsonErrorUnknownCode"},
    {409, R"({"errorCode":"errors.conflict"})", "application/json", "errors.conflict",
     "Server error of type errors.conflict"},
    {200, R"({"profileRevision":3})", "application/json", "", ""},
};

using FProfileCompletionTest = TZorRows<FProfileTest>;
} // namespace

TEST_P(FProfileCompletionTest, EveryCompletionClassReachesTheCallback)
{
    const FCompletionCase& Case = CompletionCases[GetParam()];
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    Tick();
    Answer(Case.Code, Case.Body, {}, Case.ContentType);
    ASSERT_EQ(Results.Num(), 1) << *Case.Body;
    EXPECT_EQ(Results[0].bSucceeded, Case.ErrorCode.IsEmpty()) << *Case.Body;
    EXPECT_EQ(Results[0].HttpResponseCode, Case.Code);
    EXPECT_TRUE(Results[0].ErrorCode.Equals(Case.ErrorCode, ESearchCase::CaseSensitive))
        << *Results[0].ErrorCode;
    EXPECT_TRUE(Results[0].ErrorText.ToString().Equals(Case.ErrorText, ESearchCase::CaseSensitive))
        << *Results[0].ErrorText.ToString();
    if (Case.ErrorCode.IsEmpty())
    {
        EXPECT_EQ(Profile->GetProfileRevision(), 3);
    }
    if (Case.Warning)
    {
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, Case.Warning));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileCompletionTest,
                         ::testing::Range(size_t{0}, std::size(CompletionCases)));

TEST_F(FProfileTest, ConnectionFailureIsReportedAndTheQueueMovesOn)
{
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 2)));
    Tick();
    Http().Fail(FindPending());
    Tick();
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_FALSE(Results[0].bSucceeded);
    EXPECT_EQ(Results[0].HttpResponseCode, 0);
    EXPECT_TRUE(Results[0].ErrorCode.Equals("ConnectionFailure"));
    EXPECT_TRUE(Results[0].ErrorText.ToString().Equals("Connection to the server failed."));
    EXPECT_TRUE(Results[0].ErrorText.GetKey().Equals("ConnectionFailure"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "ZOR-Profile: GrantItem request was unable to send, connection failure."));
    EXPECT_EQ(NumStarted(), 2);
}

namespace
{
struct FBuildHeaderCase
{
    FString Key;
    int64 Value;
    /** The line the answer logs, where the row looks for one. */
    const char* Logged = nullptr;
};

const FBuildHeaderCase BuildHeaderCases[] = {
    {"  4711-hotfix", 4711},
    {"-17", -17, "ZOR-Profile (CL=-17): Received HTTP 200 response to QueryProfile"},
    {"+8", 8},
    {"build", 0},
    {"99999999999999999999999", INT64_MAX},
    {"-99999999999999999999999", INT64_MIN},
};

using FProfileBuildHeaderTest = TZorRows<FProfileTest>;
} // namespace

TEST_P(FProfileBuildHeaderTest, BuildHeaderSetsTheServiceRevisionWithSaturation)
{
    const FBuildHeaderCase& Case = BuildHeaderCases[GetParam()];
    EXPECT_EQ(Profile->GetZorRevision(), -1);
    Profile->QueryProfile(FClientUrlContext::Default);
    Tick();
    Answer(200, "{}", BuildHeader(Case.Key));
    EXPECT_EQ(Profile->GetZorRevision(), Case.Value) << *Case.Key;
    if (Case.Logged)
    {
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Log, Case.Logged));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileBuildHeaderTest,
                         ::testing::Range(size_t{0}, std::size(BuildHeaderCases)));

TEST_F(FProfileTest, AReplyWithoutTheBuildHeaderReadsAsZero)
{
    Profile->QueryProfile(FClientUrlContext::Default);
    Tick();
    Answer(500, "oops", {}, "text/plain");
    EXPECT_EQ(Profile->GetZorRevision(), 0) << "a reply without the header reads as 0";
}

TEST_F(FProfileTest, PlaceholdersAreReplacedExactlyOnce)
{
    GConfig->SetString(UZorProfile::ConfigSection, "ZorClientCommandUrl",
                       "/p/`AccountId/`accountId/`profileId/`fname", GEngineIni);
    Profile->SetProfileId("`fname");
    Profile->QueryProfile(FClientUrlContext::Default);
    Tick();
    // A placeholder in other letter case stays, and a replacement is never read as a placeholder itself.
    EXPECT_TRUE(Record(FindPending("/p/"))
                    .URL.Equals("http://127.0.0.1:8080/p/`AccountId/acct1/`fname/QueryProfile?rvn=-1",
                                ESearchCase::CaseSensitive));
}

TEST_F(FProfileTest, QueryStringInTheTemplateGetsTheRevisionAppended)
{
    Profile->DeleteProfile(FDevCheatUrlContext::Default);
    Tick();
    GrantClientToken("cheatclient");
    const auto Sent = Record(FindPending("/game/cheat/"));
    EXPECT_TRUE(
        Sent.URL.EndsWith("/game/cheat/acct1/DeleteProfile?force=true&rvn=-1", ESearchCase::CaseSensitive))
        << *Sent.URL;
    EXPECT_TRUE(ZorExact::Header(Sent, "Authorization").Equals("bearer client-token"));
}

TEST_F(FProfileTest, ServerCommandsTakeTheClientRoadUnderTheServerPermissions)
{
    ASSERT_TRUE(Profile->ServerGrant(FDedicatedServerUrlContext(Collect()), Grant("gold", 5)));
    Tick();
    EXPECT_EQ(NumStarted(), 0);
    EXPECT_TRUE(Log.Contains("Queuing Zor request for client=serverclient"));
    GrantClientToken("serverclient");
    const auto Sent = Record(FindPending("/game/server/"));
    EXPECT_TRUE(
        Sent.URL.EndsWith("/game/server/acct1/profile0/ServerGrant?rvn=-1", ESearchCase::CaseSensitive));
    EXPECT_TRUE(ZorExact::Header(Sent, "Authorization").Equals("bearer client-token"));
}

TEST_F(FProfileTest, DispatchFailuresCallBackAtOnceAndQueueNothing)
{
    Profile->Broken(FClientUrlContext(Collect()));
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_TRUE(Results[0].ErrorCode.Equals("InternalError"));
    EXPECT_TRUE(Results[0].ErrorText.ToString().Equals("Request failed to serialize"));
    EXPECT_TRUE(Results[0].ErrorText.GetKey().Equals("FailSerialize"));

    SetIni(FString(ProfileTestIni).Replace("ZorClientCommandUrl", "SomethingElse"));
    EXPECT_FALSE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    ASSERT_EQ(Results.Num(), 2) << "called before the command returned";
    EXPECT_TRUE(Results[1].ErrorText.ToString().Equals(
        "Unable to resolve UrlConfig at section 'OnlineSubsystemZor.ZorProfile' 'ZorClientCommandUrl'"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "ZOR-Profile: Error dispatching GrantItem Unable to resolve"));

    UTestProfile* Unbound = NewObject<UTestProfile>();
    Unbound->Initialize(nullptr, MakeShared<FUniqueNetIdString>("acct1"), true);
    EXPECT_FALSE(Unbound->QueryProfile(FClientUrlContext(Collect())));
    ASSERT_EQ(Results.Num(), 3);
    EXPECT_TRUE(Results[2].ErrorText.ToString().Equals("Request failed due to no Zor"));
    EXPECT_TRUE(Results[2].ErrorText.GetKey().Equals("NoZor"));
    EXPECT_TRUE(Results[2].ErrorText.GetNamespace().Equals("ZorProfile"));

    EXPECT_EQ(Profile->GetNumPendingRequests(), 0);
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 0);
    EXPECT_EQ(Results.Num(), 3);
}

TEST_F(FProfileTest, SendTimeRefusalsAreLoggedAndCompleteAsConnectionFailures)
{
    UTestProfile* NoAccount = NewProfile("");
    NoAccount->QueryProfile(FClientUrlContext(Collect()));
    // The URL names the missing account, and the send is refused before the road is asked.
    EXPECT_TRUE(Log.Contains(
        "Dispatching request to http://127.0.0.1:8080/game/client/Invalid/profile0/QueryProfile"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Failed to start profile request. Error: Invalid client GameAccountId."));
    EXPECT_EQ(Results.Num(), 0) << "never inside the call";

    UTestProfile* Ghost = NewProfile("ghost");
    Ghost->QueryProfile(FClientUrlContext(Collect()));
    EXPECT_TRUE(Log.Contains("Error: Invalid user auth for id=ghost. Need to login first"));

    Profile->AnyContext(FBaseUrlContext(Collect(), "ZorClientCommandUrl",
                                        static_cast<FBaseUrlContext::EContextCredentials>(7)));
    EXPECT_TRUE(Log.Contains("Error: Invalid request context."));

    RestartSubsystem(FString(ProfileTestIni).Replace("Name=Cheater", "Name=Someone"));
    Profile->DeleteProfile(FDevCheatUrlContext(Collect()));

    Tick();
    ASSERT_EQ(Results.Num(), 3);
    // The cheat command waited behind the refused one and is refused in turn when it leaves.
    EXPECT_TRUE(Log.Contains("Error: Unable to find service permissions for cheater."));
    Tick();
    ASSERT_EQ(Results.Num(), 4);
    for (const FZorQueryResult& Result : Results)
    {
        EXPECT_TRUE(Result.ErrorCode.Equals("ConnectionFailure"));
    }
    EXPECT_EQ(Http().NumStarted(), 0);
    NoAccount->RemoveFromRoot();
    Ghost->RemoveFromRoot();
}

TEST_F(FProfileTest, MissingServerPermissionsRefuseTheSend)
{
    RestartSubsystem(FString(ProfileTestIni).Replace("Name=DedicatedServer", "Name=Other"));
    Profile->ServerGrant(FDedicatedServerUrlContext(Collect()), Grant("gold", 1));
    EXPECT_TRUE(Log.Contains("Error: Unable to find service permissions for server."));
    Tick();
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_TRUE(Results[0].ErrorCode.Equals("ConnectionFailure"));
}

TEST_F(FProfileTest, LongQueueFailingAtSendDrainsInOrderWithoutNesting)
{
    UTestProfile* NoAccount = NewProfile("");
    constexpr int32 Count = 300;
    // Shared: commands still queued when the test stops report after this frame is gone.
    struct FCallbacks
    {
        TArray<int32> Order;
        bool bInside = false;
        bool bNested = false;
    };
    const TSharedRef<FCallbacks> Seen = MakeShared<FCallbacks>();
    for (int32 Index = 0; Index < Count; ++Index)
    {
        NoAccount->QueryProfile(FClientUrlContext(FOnZorQueryComplete::CreateLambda(
            [Seen, Index](const FZorQueryResult&)
            {
                Seen->bNested |= Seen->bInside;
                Seen->bInside = true;
                Seen->Order.Add(Index);
                Seen->bInside = false;
            })));
    }
    for (int32 Round = 0; Round < Count && Seen->Order.Num() < Count; ++Round)
    {
        const int32 Before = Seen->Order.Num();
        Tick();
        ASSERT_EQ(Seen->Order.Num(), Before + 1) << "one refused command completes per tick";
    }
    EXPECT_FALSE(Seen->bNested);
    ASSERT_EQ(Seen->Order.Num(), Count);
    for (int32 Index = 0; Index < Count; ++Index)
    {
        ASSERT_EQ(Seen->Order[Index], Index);
    }
    EXPECT_EQ(NoAccount->GetNumPendingRequests(), 0);
    NoAccount->RemoveFromRoot();
}

TEST_F(FProfileTest, ShutDownOrGoneSubsystemIsNeverReached)
{
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 2)));
    Subsystem->Shutdown();
    // The queued first command is cancelled by the shutdown; the second then finds no subsystem to send
    // through.
    Tick();
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Failed to start profile request. Error: "));
    Tick();
    ASSERT_EQ(Results.Num(), 2);
    EXPECT_TRUE(Results[1].ErrorCode.Equals("ConnectionFailure"));

    EXPECT_FALSE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 3)));
    EXPECT_TRUE(Results.Last().ErrorText.ToString().Equals("Request failed due to no Zor"));

    Subsystem.Reset();
    EXPECT_FALSE(Profile->QueryProfile(FClientUrlContext(Collect())));
    EXPECT_TRUE(Results.Last().ErrorText.ToString().Equals("Request failed due to no Zor"));
    EXPECT_TRUE(Profile->GetBaseUrl().IsEmpty());
    EXPECT_EQ(Http().NumStarted(), 0);
}

TEST_F(FProfileTest, CompletionForAProfileThatIsGoneIsDropped)
{
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    Tick();
    const FHttpRequestPtr Sent = FindPending();
    ASSERT_TRUE(Sent);
    const TWeakObjectPtr<UTestProfile> Watch(Profile);
    Profile->RemoveFromRoot();
    Profile = nullptr;
    EXPECT_GE(CollectGarbage(), 1);
    EXPECT_FALSE(Watch.IsValid());

    Http().Respond(Sent, 200, R"({"profileRevision":9})");
    Tick();
    EXPECT_EQ(Results.Num(), 0);
    EXPECT_FALSE(Log.Contains("Received HTTP 200 response to GrantItem"));
}
