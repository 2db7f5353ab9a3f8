#include <gtest/gtest.h>

#include "ExactText.h"
#include "FStringPrinter.h"
#include "LogCapture.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionJsonZor.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
TSharedPtr<FJsonObject> Parse(const FString& Text)
{
    TSharedPtr<FJsonObject> Object;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object)) << *Text;
    return Object;
}

FOnlineSession ReadResult(const FString& Text, const FZorSessionJsonContext& Context = {})
{
    FOnlineSession Session;
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>();
    Info->HostAddr = MakeShared<FInternetAddr>();
    Session.SessionInfo = Info;
    if (const TSharedPtr<FJsonObject> Object = Parse(Text))
    {
        ZorSessionJson::ReadSessionFromJson(*Object, Session, Context);
    }
    return Session;
}

const FOnlineSessionInfoZor& InfoOf(const FOnlineSession& Session)
{
    return static_cast<const FOnlineSessionInfoZor&>(*Session.SessionInfo);
}

FNamedOnlineSession MakeHosted()
{
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 8;
    Settings.NumPrivateConnections = 2;
    Settings.bAllowJoinInProgress = true;
    Settings.bUsesStats = true;
    Settings.bAllowJoinViaPresenceFriendsOnly = true;
    Settings.BuildUniqueId = -123;
    Settings.Set("MAXPING", 50, EOnlineDataAdvertisementType::ViaOnlineService);
    Settings.Set("MAPNAME", FString("Harbor"), EOnlineDataAdvertisementType::ViaOnlineServiceAndPing);
    Settings.Set("RATIO", 0.5f, EOnlineDataAdvertisementType::ViaOnlineService);
    Settings.Set("RANKED", true, EOnlineDataAdvertisementType::ViaOnlineService);
    Settings.Set("PINGONLY", 7, EOnlineDataAdvertisementType::ViaPingOnly);
    Settings.Set("BIG", int64(1) << 40, EOnlineDataAdvertisementType::ViaOnlineService);
    Settings.Set("EMPTY", FString(), EOnlineDataAdvertisementType::ViaOnlineService);
    FNamedOnlineSession Session("Game", Settings);
    Session.OwningUserId = MakeShared<FUniqueNetIdString>("owner-1");
    Session.OwningUserName = "Host Name";
    Session.NumOpenPublicConnections = 7;
    Session.NumOpenPrivateConnections = 2;
    return Session;
}
} // namespace

TEST(SessionJsonTest, SessionReadsBackFromItsOwnJson)
{
    FLogCapture Log;
    const FNamedOnlineSession Hosted = MakeHosted();
    const FString Text = ZorSessionJson::WriteSessionToJson(Hosted, {});
    EXPECT_TRUE(Text.Contains("\"MAXPING_i\": 50", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Text.Contains("\"buildUniqueId\": \"-123\"", ESearchCase::CaseSensitive));
    EXPECT_FALSE(Text.Contains("PINGONLY"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Unable to write session setting BIG:"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Unable to write session setting EMPTY:"));
    // Without session info the body carries only the port; the service fills the address.
    EXPECT_TRUE(Text.Contains("\"serverPort\": 7777", ESearchCase::CaseSensitive));
    EXPECT_FALSE(Text.Contains("serverAddress"));

    const FOnlineSession Read = ReadResult(Text);
    const FOnlineSessionSettings& Settings = Read.SessionSettings;
    EXPECT_EQ(Settings.NumPublicConnections, 8);
    EXPECT_EQ(Settings.NumPrivateConnections, 2);
    EXPECT_TRUE(Settings.bAllowJoinInProgress && Settings.bUsesStats &&
                Settings.bAllowJoinViaPresenceFriendsOnly);
    EXPECT_FALSE(Settings.bIsDedicated || Settings.bUsesPresence || Settings.bAllowInvites);
    EXPECT_FALSE(Settings.bShouldAdvertise); // the reader leaves the host's own flag alone
    EXPECT_EQ(Settings.BuildUniqueId, -123);
    EXPECT_EQ(Read.OwningUserName, "Host Name");
    EXPECT_EQ(Read.NumOpenPublicConnections, 7);
    int32 MaxPing = 0;
    FString Map;
    float Ratio = 0.0f;
    bool bRanked = false;
    EXPECT_TRUE(Settings.Get("MAXPING", MaxPing) && MaxPing == 50);
    EXPECT_TRUE(Settings.Get("MAPNAME", Map) && Map == "Harbor");
    EXPECT_TRUE(Settings.Get("RATIO", Ratio) && Ratio == 0.5f);
    EXPECT_TRUE(Settings.Get("RANKED", bRanked) && bRanked);
    EXPECT_EQ(Settings.Settings.Num(), 4);
}

TEST(SessionJsonTest, LargeWholeNumbersTravelExactly)
{
    FNamedOnlineSession Hosted = MakeHosted();
    Hosted.SessionSettings.Settings.Empty();
    Hosted.SessionSettings.Set("SCORE", 16777217, EOnlineDataAdvertisementType::ViaOnlineService);
    Hosted.SessionSettings.NumPublicConnections = 2147483647;
    const FOnlineSession Read = ReadResult(ZorSessionJson::WriteSessionToJson(Hosted, {}));
    int32 Score = 0;
    EXPECT_TRUE(Read.SessionSettings.Get("SCORE", Score));
    EXPECT_EQ(Score, 16777217);
    EXPECT_EQ(Read.SessionSettings.NumPublicConnections, 2147483647);
}

namespace
{
struct FHostAddressInEveryFormRow
{
    const char* Address;
    const char* Expected; // empty: the address stays unset
};
const FHostAddressInEveryFormRow HostAddressInEveryFormRows[] = {
    {"\"0:0:0:0:0:0:0:1\"", "127.0.0.1:7000"},
    {"\"2130706433\"", "127.0.0.1:7000"},
    {"\"10.1.2.3\"", "10.1.2.3:7000"},
    {"\"4294967295\"", "255.255.255.255:7000"},
    {"\"4294967296\"", ""},
    {"\"0\"", ""},
    {"\"-1\"", ""},
    {"\"host.example\"", ""},
    {"2130706433", ""}, // a number where a string belongs
};

using FHostAddressInEveryFormTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FHostAddressInEveryFormTest, HostAddressInEveryForm)
{
    const FHostAddressInEveryFormRow& Case = HostAddressInEveryFormRows[GetParam()];
    const FOnlineSession Read =
        ReadResult(FString::Printf(R"({"id":"s1","serverAddress":%s,"serverPort":7000})", Case.Address));
    const FOnlineSessionInfoZor& Info = InfoOf(Read);
    EXPECT_EQ(Info.HostAddr->IsValid() ? Info.HostAddr->ToString(true) : FString(), FString(Case.Expected))
        << Case.Address;
}

INSTANTIATE_TEST_SUITE_P(Rows, FHostAddressInEveryFormTest,
                         ::testing::Range(size_t{0}, std::size(HostAddressInEveryFormRows)));

TEST(SessionJsonTest, WrittenAddressReadsBack)
{
    FNamedOnlineSession Hosted = MakeHosted();
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>("s1");
    Info->HostAddr = MakeShared<FInternetAddr>(0x7F000001, 7777);
    Hosted.SessionInfo = Info;
    const FString Text = ZorSessionJson::WriteSessionToJson(Hosted, {});
    EXPECT_TRUE(Text.Contains("\"serverAddress\": \"2130706433\"", ESearchCase::CaseSensitive));
    EXPECT_EQ(InfoOf(ReadResult(Text)).HostAddr->ToString(true), "127.0.0.1:7777");
    Info->HostAddr.Reset();
    const FString NoAddress = ZorSessionJson::WriteSessionToJson(Hosted, {});
    EXPECT_FALSE(NoAddress.Contains("serverAddress") || NoAddress.Contains("serverPort"));
    EXPECT_TRUE(Info->ToDebugString().Contains("INVALID"));
}

namespace
{
const char* const PortsOutsideTheirRange[] = {"0", "-5", "65536", "1e12", "7000.5", "\"7000\""};

using FSessionJsonPortTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FSessionJsonPortTest, PortsOutsideTheirRangeAreIgnored)
{
    const char* Port = PortsOutsideTheirRange[GetParam()];
    const FOnlineSession Read =
        ReadResult(FString::Printf(R"({"id":"s1","serverAddress":"10.0.0.1","serverPort":%s})", Port));
    EXPECT_EQ(InfoOf(Read).HostAddr->GetPort(), 0) << Port;
}

INSTANTIATE_TEST_SUITE_P(Rows, FSessionJsonPortTest,
                         ::testing::Range(size_t{0}, std::size(PortsOutsideTheirRange)));

TEST(SessionJsonTest, NetDriverPortMismatchWarnsAndTakesTheAdvertisedPort)
{
    FLogCapture Log;
    FZorSessionJsonContext Context;
    Context.NetDriverPort = 7777;
    const FOnlineSession Read = ReadResult(R"({"serverAddress":"10.0.0.1","serverPort":7000})", Context);
    EXPECT_EQ(InfoOf(Read).HostAddr->GetPort(), 7000);
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Port advertised [7000] does not match net driver port [7777]"));
}

TEST(SessionJsonTest, HostileAnswersAreReadSafely)
{
    FLogCapture Log;
    const FString LongKey(std::string(5000, 'K') + "_i");
    const FOnlineSession Read = ReadResult(FString::Printf(
        R"({"ownerId":null,"ownerName":5,"serverName":["x"],"maxPublicPlayers":1e300,"maxPrivatePlayers":-1e20,)"
        R"("isDedicated":"true","buildUniqueId":"99999999999","openPublicPlayers":"3",)"
        R"("attributes":{"%s":1,"NOUNDERSCORE":1,"BAD_x":1,"INT_i":1e40,"F_f":1e300,"S_s":7,"OK_b":true}})",
        *LongKey));
    EXPECT_FALSE(Read.OwningUserId.IsValid());
    EXPECT_TRUE(Read.OwningUserName.IsEmpty());
    EXPECT_EQ(Read.SessionSettings.NumPublicConnections, 0);
    EXPECT_EQ(Read.SessionSettings.NumPrivateConnections, 0);
    EXPECT_FALSE(Read.SessionSettings.bIsDedicated);
    EXPECT_EQ(Read.SessionSettings.BuildUniqueId, 0);
    EXPECT_EQ(Read.NumOpenPublicConnections, 0);
    EXPECT_EQ(Read.SessionSettings.Settings.Num(), 1); // OK_b only
    EXPECT_EQ(Log.Count("Failed to parse setting from key"), 6);
    // A rejected key is logged cut short.
    EXPECT_FALSE(Log.Contains(std::string(200, 'K')));
}

namespace
{
const TPair<const char*, int32> BuildIdsOutsideTheSignedRangeReadAsZeroRows[] = {
    {"42", 42}, {"-2147483648", INT32_MIN}, {"2147483648", 0}, {"12abc", 0}, {"", 0}, {" 7 ", 7},
    {"-0", 0},  {"99999999999999999999", 0}};

using FBuildIdsOutsideTheSignedRangeReadAsZeroTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FBuildIdsOutsideTheSignedRangeReadAsZeroTest, BuildIdsOutsideTheSignedRangeReadAsZero)
{
    const TPair<const char*, int32>& Case = BuildIdsOutsideTheSignedRangeReadAsZeroRows[GetParam()];
    EXPECT_EQ(ZorSessionJson::ParseBuildUniqueId(Case.Key), Case.Value) << Case.Key;
}

INSTANTIATE_TEST_SUITE_P(Rows, FBuildIdsOutsideTheSignedRangeReadAsZeroTest,
                         ::testing::Range(size_t{0}, std::size(BuildIdsOutsideTheSignedRangeReadAsZeroRows)));

TEST(SessionJsonTest, SearchCriteriaFollowTheServiceRules)
{
    FLogCapture Log;
    FOnlineSessionSearch Search;
    Search.MaxSearchResults = 20;
    FOnlineSearchSettings& Query = Search.QuerySettings;
    Query.Set("MAPNAME", FString("Harbor"), EOnlineComparisonOp::Equals);
    Query.Set("MAXPING", 50, EOnlineComparisonOp::LessThanEquals);
    Query.Set("REGION", FString("eu"), EOnlineComparisonOp::Near);
    Query.Set("RANKED", true, EOnlineComparisonOp::NotEquals);
    Query.Set("BIG", int64(5), EOnlineComparisonOp::Equals);
    Query.Set("EMPTYONLY", true, EOnlineComparisonOp::Equals);
    Query.Set("NONEMPTYONLY", true, EOnlineComparisonOp::Equals);
    Query.Set("DEDICATEDONLY", true, EOnlineComparisonOp::Equals);
    Query.Set("MINSLOTSAVAILABLE", 3, EOnlineComparisonOp::Equals);
    const TSharedPtr<FJsonObject> Written = Parse(ZorSessionJson::WriteSearchToJson(Search, 77));
    ASSERT_TRUE(Written);
    EXPECT_TRUE(ZorExact::HasKeys(Written, {"criteria", "requireDedicated", "maxCurrentPlayers",
                                            "openPlayersRequired", "buildUniqueId", "maxResults"}));
    const TArray<TSharedPtr<FJsonValue>>& Criteria = Written->GetArrayField("criteria");
    ASSERT_EQ(Criteria.Num(), 3);
    const TPair<const char*, const char*> Expected[] = {
        {"LESS_THAN_OR_EQUAL", "MAXPING_i"}, {"EQUAL", "REGION_s"}, {"NOT_EQUAL", "RANKED_b"}};
    for (int32 Index = 0; Index < 3; ++Index)
    {
        EXPECT_TRUE(ZorExact::HasKeys(Criteria[Index]->AsObject(), {"type", "key", "value"}));
        EXPECT_EXACT_EQ(Criteria[Index]->AsObject()->GetStringField("type"), Expected[Index].Key);
        EXPECT_EXACT_EQ(Criteria[Index]->AsObject()->GetStringField("key"), Expected[Index].Value);
    }
    EXPECT_EQ(Criteria[0]->AsObject()->GetNumberField("value"), 50);
    EXPECT_TRUE(Written->GetBoolField("requireDedicated"));
    EXPECT_EQ(Written->GetNumberField("maxCurrentPlayers"), 0);
    EXPECT_FALSE(Written->HasField("minCurrentPlayers"));
    EXPECT_EQ(Written->GetNumberField("openPlayersRequired"), 3);
    EXPECT_EQ(Written->GetStringField("buildUniqueId"), "77");
    EXPECT_EQ(Written->GetNumberField("maxResults"), 20);
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "Can't have empty and non-empty search criteria at the same "
                             "time!  Ignoring non-empty."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Unable to write search parameter Value=5 : Equals"));
    // The caller's search keeps its parameters.
    EXPECT_EQ(Query.SearchParams.Num(), 9);
}

namespace
{
const TPair<EOnlineComparisonOp, const char*> EveryComparisonHasItsServiceWordRows[] = {
    {EOnlineComparisonOp::Equals, "EQUAL"},
    {EOnlineComparisonOp::NotEquals, "NOT_EQUAL"},
    {EOnlineComparisonOp::GreaterThan, "GREATER_THAN"},
    {EOnlineComparisonOp::GreaterThanEquals, "GREATER_THAN_OR_EQUAL"},
    {EOnlineComparisonOp::LessThan, "LESS_THAN"},
    {EOnlineComparisonOp::LessThanEquals, "LESS_THAN_OR_EQUAL"},
    {EOnlineComparisonOp::Near, "EQUAL"},
    {static_cast<EOnlineComparisonOp>(7), "EQUAL"}};

using FEveryComparisonHasItsServiceWordTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FEveryComparisonHasItsServiceWordTest, EveryComparisonHasItsServiceWord)
{
    const TPair<EOnlineComparisonOp, const char*>& Case = EveryComparisonHasItsServiceWordRows[GetParam()];
    EXPECT_STREQ(ZorSessionJson::ToServiceComparisonOp(Case.Key), Case.Value) << int32(Case.Key);
}

INSTANTIATE_TEST_SUITE_P(Rows, FEveryComparisonHasItsServiceWordTest,
                         ::testing::Range(size_t{0}, std::size(EveryComparisonHasItsServiceWordRows)));

namespace
{
struct FPlayerCountsThatDisagreeWarnRow
{
    const char* Answer;
    bool bWarns;
};
const FPlayerCountsThatDisagreeWarnRow PlayerCountsThatDisagreeWarnRows[] = {
    {R"({"openPublicPlayers":6,"openPrivatePlayers":2,"publicPlayers":["A","b"],"privatePlayers":[]})",
     false},
    {R"({"openPublicPlayers":6,"openPrivatePlayers":2,"publicPlayers":["a"],"privatePlayers":["B"]})", false},
    {R"({"openPublicPlayers":7,"openPrivatePlayers":2,"publicPlayers":["a","b"],"privatePlayers":[]})", true},
    {R"({"openPublicPlayers":6,"openPrivatePlayers":2,"publicPlayers":["a","c"],"privatePlayers":[]})", true},
    {R"({"openPublicPlayers":6,"openPrivatePlayers":2,"publicPlayers":["a","b",null,3],"privatePlayers":[]})",
     false},
};

using FPlayerCountsThatDisagreeWarnTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FPlayerCountsThatDisagreeWarnTest, PlayerCountsThatDisagreeWarn)
{
    const FPlayerCountsThatDisagreeWarnRow& Case = PlayerCountsThatDisagreeWarnRows[GetParam()];
    FLogCapture Log;
    FNamedOnlineSession Session = MakeHosted();
    Session.RegisteredPlayers = {MakeShared<FUniqueNetIdString>("a"), MakeShared<FUniqueNetIdString>("b")};
    ZorSessionJson::ReadPlayersFromJson(*Parse(Case.Answer), Session);
    EXPECT_EQ(Log.Contains(ELogVerbosity::Warning, "Mismatch in player registration"), Case.bWarns)
        << Case.Answer;
    EXPECT_EQ(Session.RegisteredPlayers.Num(), 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, FPlayerCountsThatDisagreeWarnTest,
                         ::testing::Range(size_t{0}, std::size(PlayerCountsThatDisagreeWarnRows)));
