#include "BackendTestFixture.h"
#include "CaseNamePrinter.h"
#include "ZorRows.h"

#include <algorithm>
#include <map>
#include <regex>

namespace ZorBackendTests
{
namespace
{
const std::string SessionPath = "/game/api/matchmaking/session";

std::string SessionBody(const std::string& Owner, const std::string& BuildId, const std::string& Attributes,
                        int MaxPublic = 4)
{
    return R"({"ownerId":")" + Owner + R"(","ownerName":"Host","maxPublicPlayers":)" +
           std::to_string(MaxPublic) + R"(,"maxPrivatePlayers":0,"isDedicated":false,"buildUniqueId":")" +
           BuildId + R"(","attributes":{)" + Attributes +
           R"(},"serverPort":7777,"openPublicPlayers":3,)"
           R"("openPrivatePlayers":0,"publicPlayers":[],"privatePlayers":[]})";
}

using ZorTestCases::PrintTo;

class MatchmakingServiceTest : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        Token = GrantAccessToken(DemoLogin);
        ASSERT_FALSE(Token.empty());
    }

    httplib::Result Send(const std::string& Verb, const std::string& Path, const std::string& Body)
    {
        return SendBody(Verb, Path, "bearer " + Token, Body);
    }

    // The id of a new session; its answer must succeed.
    std::string Create(const std::string& Body)
    {
        const httplib::Result Result = Send("POST", SessionPath, Body);
        EXPECT_TRUE(Result && Result->status == 200) << (Result ? Result->body : "no response");
        return Result ? StringField(ParseJson(Result->body), "id") : "";
    }

    // The ids a search answers with, in order.
    std::vector<std::string> Find(const std::string& Query)
    {
        const httplib::Result Result = Send("POST", SessionPath + "/matchMakingRequest", Query);
        std::vector<std::string> Ids;
        EXPECT_TRUE(Result && Result->status == 200);
        const rapidjson::Document Answer = ParseJson(Result ? Result->body : "[]");
        EXPECT_TRUE(Answer.IsArray());
        for (const auto& Session : Answer.GetArray())
        {
            Ids.push_back(StringField(Session, "id"));
        }
        return Ids;
    }

    // The one session of a build as the service answers a search for it; empty when there is none.
    std::string FoundBody(const std::string& BuildId)
    {
        const httplib::Result Result =
            Send("POST", SessionPath + "/matchMakingRequest",
                 R"({"criteria":[],"buildUniqueId":")" + BuildId + R"(","maxResults":10})");
        const rapidjson::Document Answer = ParseJson(Result ? Result->body : "[]");
        return Answer.IsArray() && Answer.Size() == 1 && Result ? Result->body : "";
    }

    // "ownerId:public,players" of the build's session, or "gone".
    std::string FoundState(const std::string& BuildId)
    {
        const rapidjson::Document Found = ParseJson(FoundBody(BuildId));
        if (!Found.IsArray())
        {
            return "gone";
        }
        std::string State = StringField(Found[0], "ownerId") + ":";
        for (const auto& Player : Found[0]["publicPlayers"].GetArray())
        {
            State += std::string(State.back() == ':' ? "" : ",") + Player.GetString();
        }
        return State;
    }

    std::string Token;
};
} // namespace

TEST_F(MatchmakingServiceTest, CreateAnswersWithWhatTheServiceAdds)
{
    const httplib::Result Result =
        Send("POST", SessionPath, SessionBody(DemoAccountId, "42", R"("MODE_s":"ctf")"));
    ASSERT_TRUE(Result);
    ASSERT_EQ(Result->status, 200) << Result->body;
    const rapidjson::Document Answer = ParseJson(Result->body);
    EXPECT_FALSE(StringField(Answer, "id").empty());
    EXPECT_EQ(StringField(Answer, "serverAddress"), "127.0.0.1");
    EXPECT_FALSE(StringField(Answer, "lastUpdated").empty());
    EXPECT_EQ(StringField(Answer, "buildUniqueId"), "42");
    // Open slots follow the registered players, not what the host claimed.
    EXPECT_EQ(IntField(Answer, "openPublicPlayers"), 4);
    EXPECT_EQ(StringField(Answer["attributes"], "MODE_s"), "ctf");
}

/** Sessions of build 42 at level 3 and level 5, and one of another build that no search may find. */
class MatchmakingCriteriaTest : public MatchmakingServiceTest
{
protected:
    void SetUp() override
    {
        MatchmakingServiceTest::SetUp();
        Level3 = Create(SessionBody(DemoAccountId, "42", R"("LEVEL_i":3,"MODE_s":"ctf","RANKED_b":true)"));
        Level5 = Create(SessionBody(DemoAccountId, "42", R"("LEVEL_i":5,"MODE_s":"dm","RANKED_b":false)"));
        Create(SessionBody(DemoAccountId, "43", R"("LEVEL_i":3,"MODE_s":"ctf","RANKED_b":true)"));
    }

    std::string Level3;
    std::string Level5;
};

enum class EFound
{
    None,
    Level3,
    Level5,
    Both,
};

struct FCriteriaCase
{
    const char* Criteria;
    EFound Found;
};

const FCriteriaCase CriteriaCases[] = {
    {"", EFound::Both},
    {R"({"type":"EQUAL","key":"LEVEL_i","value":3})", EFound::Level3},
    {R"({"type":"NOT_EQUAL","key":"LEVEL_i","value":3})", EFound::Level5},
    {R"({"type":"GREATER_THAN","key":"LEVEL_i","value":3})", EFound::Level5},
    {R"({"type":"GREATER_THAN_OR_EQUAL","key":"LEVEL_i","value":3})", EFound::Both},
    {R"({"type":"LESS_THAN","key":"LEVEL_i","value":5})", EFound::Level3},
    {R"({"type":"LESS_THAN_OR_EQUAL","key":"LEVEL_i","value":5})", EFound::Both},
    {R"({"type":"EQUAL","key":"MODE_s","value":"dm"})", EFound::Level5},
    {R"({"type":"EQUAL","key":"RANKED_b","value":true})", EFound::Level3},
    {R"({"type":"EQUAL","key":"MISSING_i","value":1})", EFound::None},
    {R"({"type":"EQUAL","key":"LEVEL_i","value":"3"})", EFound::None},
    {R"({"type":"EQUAL","key":"LEVEL_i","value":3},{"type":"EQUAL","key":"MODE_s","value":"dm"})",
     EFound::None},
};

class MatchmakingOperatorTest : public MatchmakingCriteriaTest, public ::testing::WithParamInterface<size_t>
{
protected:
    std::vector<std::string> Expected(EFound Found) const
    {
        switch (Found)
        {
        case EFound::Level3:
            return {Level3};
        case EFound::Level5:
            return {Level5};
        case EFound::Both:
            return {Level3, Level5};
        case EFound::None:
            break;
        }
        return {};
    }
};

TEST_P(MatchmakingOperatorTest, CriteriaCompareWithEachOperator)
{
    const FCriteriaCase& Case = CriteriaCases[GetParam()];
    EXPECT_EQ(
        Find(R"({"criteria":[)" + std::string(Case.Criteria) + R"(],"buildUniqueId":"42","maxResults":10})"),
        Expected(Case.Found))
        << Case.Criteria;
}

INSTANTIATE_TEST_SUITE_P(Rows, MatchmakingOperatorTest,
                         ::testing::Range(size_t{0}, std::size(CriteriaCases)));

TEST_F(MatchmakingCriteriaTest, SearchesTakeTheirLimitAndDedicatedWish)
{
    EXPECT_EQ(Find(R"({"criteria":[],"buildUniqueId":"42","maxResults":1})").size(), 1u);
    EXPECT_EQ(Find(R"({"criteria":[],"buildUniqueId":"42","requireDedicated":true,"maxResults":10})").size(),
              0u);
}

TEST_F(MatchmakingServiceTest, PlayersChangeTheCountsAndFindThePlayer)
{
    const std::string Id = Create(SessionBody(DemoAccountId, "42", "", 2));
    const std::string Players = SessionPath + "/" + Id + "/players";
    httplib::Result Result = Send("POST", Players, R"({"publicPlayers":["p1","p2"],"privatePlayers":[]})");
    ASSERT_TRUE(Result && Result->status == 200);
    EXPECT_EQ(IntField(ParseJson(Result->body), "openPublicPlayers"), 0);
    EXPECT_EQ(Find(R"({"criteria":[],"buildUniqueId":"42","openPlayersRequired":1,"maxResults":10})").size(),
              0u);
    EXPECT_EQ(Find(R"({"criteria":[],"buildUniqueId":"42","minCurrentPlayers":1,"maxResults":10})").size(),
              1u);
    EXPECT_EQ(Find(R"({"criteria":[],"buildUniqueId":"42","maxCurrentPlayers":0,"maxResults":10})").size(),
              0u);

    Result = Get(SessionPath + "/findPlayer/p2", Token);
    ASSERT_TRUE(Result && Result->status == 200);
    EXPECT_EQ(StringField(ParseJson(Result->body)[0], "id"), Id);

    Result = Send("DELETE", Players, R"(["p1"])");
    ASSERT_TRUE(Result && Result->status == 200) << (Result ? Result->body : "");
    EXPECT_EQ(IntField(ParseJson(Result->body), "openPublicPlayers"), 1);
    Result = Send("DELETE", SessionPath + "/" + Id, "");
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->status, 204);
    Result = Get(SessionPath + "/findPlayer/p2", Token);
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->body, "[]");
}

namespace
{
struct FOwnerRoute
{
    const char* Name;
    std::string Verb;
    std::string Suffix;
    std::string Body; // "BUILD" stands for the session's own build, so that it is still found
    int OwnerStatus;
    // ownerId and public players after the owner's call, OWNER standing for the creator's; "gone" when ended
    std::string OwnerState;
};

// A caller's token of each kind; a second one of the same kind is a later grant.
const char* const Callers[] = {"player",
                               "player again",
                               "other player",
                               "public client",
                               "server",
                               "server again",
                               "player through the server's client"};

/** A session's creator, a route that changes or ends it, and who calls it. */
struct FOwnerRun
{
    std::string Creator;
    FOwnerRoute Route;
    std::string Caller;
    bool bOwner;
    std::string Name;
};

std::vector<FOwnerRun> OwnerRuns()
{
    const FOwnerRoute Routes[] = {
        {"PUT", "PUT", "", SessionBody("caller", "BUILD", ""), 200, "caller:p1"},
        {"POST players", "POST", "/players", R"({"publicPlayers":["p2"],"privatePlayers":[]})", 200,
         "OWNER:p1,p2"},
        {"DELETE players", "DELETE", "/players", R"(["p1"])", 200, "OWNER:"},
        {"DELETE", "DELETE", "", "", 204, "gone"},
    };
    const std::map<std::string, std::vector<std::string>> OwnersOf = {
        {"player", {"player", "player again", "player through the server's client"}},
        {"server", {"server", "server again"}},
    };
    std::vector<FOwnerRun> Runs;
    for (const auto& [Creator, Owners] : OwnersOf)
    {
        for (const FOwnerRoute& Route : Routes)
        {
            for (const std::string Caller : Callers)
            {
                const bool bOwner = std::find(Owners.begin(), Owners.end(), Caller) != Owners.end();
                const std::string Name = Creator + "'s session, " + Route.Name + " by " + Caller;
                Runs.push_back({Creator, Route, Caller, bOwner, ZorTestCases::TestName(Name)});
            }
        }
    }
    return Runs;
}

class MatchmakingOwnerTest : public MatchmakingServiceTest, public ::testing::WithParamInterface<FOwnerRun>
{
protected:
    // A fresh grant of the caller's kind; the fixture's own token is the player's first.
    std::string GrantOf(const std::string& Caller)
    {
        if (Caller == "player")
        {
            return Token;
        }
        if (Caller == "player again")
        {
            return GrantAccessToken(DemoLogin);
        }
        if (Caller == "other player")
        {
            return GrantAccessToken(RivalLogin);
        }
        if (Caller == "public client")
        {
            return GrantAccessToken("grant_type=client_credentials", GameClient);
        }
        if (Caller == "player through the server's client")
        {
            return GrantAccessToken(DemoLogin, ServerClient);
        }
        return GrantAccessToken("grant_type=client_credentials", ServerClient);
    }
};
} // namespace

// Each route that changes or ends a session, from each kind of caller, on a player's session and on a
// dedicated server's: only the owner's tokens (a later one too) reach it; anyone else gets 403 and the
// session stays as it was, to its last-updated time.
TEST_P(MatchmakingOwnerTest, OnlyTheOwnerChangesOrEndsASession)
{
    const FOwnerRun& Run = GetParam();
    const std::string Build = "101";
    const std::string CreatorToken = GrantOf(Run.Creator);
    const std::string CallerToken = Run.Caller == Run.Creator ? CreatorToken : GrantOf(Run.Caller);
    Token = CreatorToken;
    const std::string Owner = Run.Creator == "player" ? DemoAccountId : "host";
    const std::string Id = Create(SessionBody(Owner, Build, ""));
    const httplib::Result Seated =
        Send("POST", SessionPath + "/" + Id + "/players", R"({"publicPlayers":["p1"],"privatePlayers":[]})");
    ASSERT_TRUE(Seated && Seated->status == 200);
    const std::string Before = FoundBody(Build);
    const httplib::Result Result =
        SendBody(Run.Route.Verb, SessionPath + "/" + Id + Run.Route.Suffix, "bearer " + CallerToken,
                 std::regex_replace(Run.Route.Body, std::regex("BUILD"), Build));
    ASSERT_TRUE(Result);
    if (!Run.bOwner)
    {
        ExpectError(Result, 403, "errors.zor.matchmaking.forbidden");
        EXPECT_EQ(FoundBody(Build), Before);
        return;
    }
    EXPECT_EQ(Result->status, Run.Route.OwnerStatus) << Result->body;
    EXPECT_EQ(FoundState(Build), std::regex_replace(Run.Route.OwnerState, std::regex("OWNER"), Owner));
}

INSTANTIATE_TEST_SUITE_P(Owners, MatchmakingOwnerTest, ::testing::ValuesIn(OwnerRuns()),
                         [](const auto& Info) { return Info.param.Name; });

namespace
{
// A body may take 64 KiB, and blanks count.
constexpr size_t MaxSessionBody = 64 * 1024;

std::string PaddedTo(std::string Body, size_t Size)
{
    return Body + std::string(Size - Body.size(), ' ');
}

struct FBadSessionCall
{
    std::string Verb;
    /** After the sessions path; "{id}" stands for the id of a session the player created. */
    std::string Path;
    std::string Body;
    int Status;
    std::string Code;
};

const FBadSessionCall BadSessionCalls[] = {
    {"PUT", "/missing", "{}", 404, "errors.zor.matchmaking.session_not_found"},
    {"DELETE", "/missing", "", 404, "errors.zor.matchmaking.session_not_found"},
    {"POST", "", "[1]", 400, "errors.zor.matchmaking.invalid_payload"},
    {"POST", "", R"({"attributes":{"X_s":{"deep":1}}})", 400, "errors.zor.matchmaking.invalid_payload"},
    {"PUT", "/{id}", "not json", 400, "errors.zor.matchmaking.invalid_payload"},
    {"PUT", "/{id}", PaddedTo("{}", MaxSessionBody + 1), 400, "errors.zor.matchmaking.invalid_payload"},
    {"POST", "/{id}/players", R"({"publicPlayers":[1]})", 400, "errors.zor.matchmaking.invalid_payload"},
    {"DELETE", "/{id}/players", R"({"p":1})", 400, "errors.zor.matchmaking.invalid_payload"},
    {"POST", "/matchMakingRequest", "[]", 400, "errors.zor.matchmaking.invalid_payload"},
    {"POST", "", SessionBody(RivalAccountId, "44", ""), 403, "errors.zor.matchmaking.forbidden"},
};

using MatchmakingBadCallTest = TZorRows<MatchmakingServiceTest>;
} // namespace

TEST_P(MatchmakingBadCallTest, RefusesBadCallsWithErrorReplies)
{
    const FBadSessionCall& Case = BadSessionCalls[GetParam()];
    const std::string Id = Create(PaddedTo(SessionBody(DemoAccountId, "42", ""), MaxSessionBody));
    std::string Path = SessionPath + Case.Path;
    if (const size_t At = Path.find("{id}"); At != std::string::npos)
    {
        Path.replace(At, 4, Id);
    }
    SCOPED_TRACE(Case.Verb + " " + Path + " " + Case.Body);
    ExpectError(Send(Case.Verb, Path, Case.Body), Case.Status, Case.Code);
    // A refused session is not stored.
    EXPECT_TRUE(Find(R"({"criteria":[],"buildUniqueId":"44","maxResults":10})").empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, MatchmakingBadCallTest,
                         ::testing::Range(size_t{0}, std::size(BadSessionCalls)));

TEST_F(MatchmakingServiceTest, RefusesCallsWithoutAValidToken)
{
    Token = "not-a-token";
    ExpectError(Send("POST", SessionPath, SessionBody("host", "42", "")), 401,
                "errors.zor.account.oauth.invalid_token");
}
} // namespace ZorBackendTests
