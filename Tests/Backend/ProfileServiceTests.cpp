#include "BackendTestFixture.h"
#include "ZorRows.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace ZorBackendTests
{
namespace
{
constexpr const char* BuildHeader = "X-TavoGames-ZorVersion";

std::string CommandPath(const std::string& Form, const std::string& AccountId, const std::string& Command,
                        std::optional<int64_t> Revision, const std::string& ProfileId = "profile0")
{
    std::string Path =
        "/game/api/profile/" + AccountId + "/" + Form + "/" + Command + "?profileId=" + ProfileId;
    return Revision ? Path + "&rvn=" + std::to_string(*Revision) : Path;
}

std::string ToText(const rapidjson::Value& Value)
{
    rapidjson::StringBuffer Buffer;
    rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
    Value.Accept(Writer);
    return Buffer.GetString();
}

const rapidjson::Value& Member(const rapidjson::Value& Object, const char* Key)
{
    static const rapidjson::Value Null;
    if (!Object.IsObject())
    {
        return Null;
    }
    const auto Found = Object.FindMember(Key);
    return Found == Object.MemberEnd() ? Null : Found->value;
}

/** The demo player's profile commands with the player's own token, and the replies' common checks. */
class ProfileServiceTest : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        UserToken = GrantAccessToken(DemoLogin);
    }

    httplib::Result Post(const std::string& Path, const std::string& Body, const std::string& AccessToken)
    {
        return Client->Post(Path, {{"Authorization", "bearer " + AccessToken}}, Body, "application/json");
    }

    /** A command that must succeed; its reply, after the checks every reply must pass. */
    rapidjson::Document Run(const std::string& Command, const std::string& Body,
                            std::optional<int64_t> Revision, const std::string& Form = "client",
                            const std::string& AccessToken = "")
    {
        const httplib::Result Result = Post(CommandPath(Form, DemoAccountId, Command, Revision), Body,
                                            AccessToken.empty() ? UserToken : AccessToken);
        EXPECT_TRUE(Result);
        if (!Result)
        {
            return ParseJson("{}");
        }
        EXPECT_EQ(Result->status, 200) << Result->body;
        EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
        EXPECT_EQ(Result->get_header_value(BuildHeader), std::to_string(1187));
        rapidjson::Document Reply = ParseJson(Result->body);
        EXPECT_TRUE(Reply.IsObject()) << Result->body;
        EXPECT_TRUE(Member(Reply, "serverTime").IsString());
        EXPECT_TRUE(Member(Reply, "profileChanges").IsArray());
        EXPECT_TRUE(Member(Reply, "notifications").IsArray());
        return Reply;
    }

    /** Runs a command against the profile as last seen, so that its answer is deltas. */
    rapidjson::Document RunCurrent(const std::string& Command, const std::string& Body)
    {
        rapidjson::Document Reply = Run(Command, Body, Revision);
        Revision = IntField(Reply, "profileRevision");
        return Reply;
    }

    rapidjson::Document Query()
    {
        rapidjson::Document Reply = Run("QueryProfile", "{}", Revision);
        Revision = IntField(Reply, "profileRevision");
        return Reply;
    }

    std::string GrantItem(const std::string& TemplateId, int Quantity)
    {
        const rapidjson::Document Reply =
            RunCurrent("GrantItem", R"({"templateId":")" + TemplateId + R"(","quantity":)" +
                                        std::to_string(Quantity) + "}");
        return StringField(Member(Reply, "profileChanges")[0], "itemId");
    }

    static const rapidjson::Value& OnlyChange(const rapidjson::Value& Reply)
    {
        const rapidjson::Value& Changes = Member(Reply, "profileChanges");
        EXPECT_EQ(Changes.Size(), 1u) << ToText(Reply);
        return Changes[0];
    }

    /** The profile object of a reply that must hold exactly one full profile. */
    static const rapidjson::Value& FullProfile(const rapidjson::Value& Reply)
    {
        const rapidjson::Value& Change = OnlyChange(Reply);
        EXPECT_EQ(StringField(Change, "changeType"), "fullProfileUpdate") << ToText(Reply);
        return Member(Change, "profile");
    }

    static const rapidjson::Value& Items(const rapidjson::Value& Reply)
    {
        return Member(FullProfile(Reply), "items");
    }

    static const rapidjson::Value& Stats(const rapidjson::Value& Reply)
    {
        return Member(Member(FullProfile(Reply), "stats"), "attributes");
    }

    std::string UserToken;
    std::optional<int64_t> Revision;
};

TEST_F(ProfileServiceTest, FreshProfileIsAnEmptyFullProfile)
{
    const rapidjson::Document Reply = Query();
    EXPECT_EQ(IntField(Reply, "profileRevision"), 1);
    const rapidjson::Value& Profile = FullProfile(Reply);
    EXPECT_FALSE(StringField(Profile, "version").empty());
    EXPECT_EQ(ToText(Member(Profile, "stats")), R"({"attributes":{}})");
    EXPECT_EQ(ToText(Member(Profile, "items")), "{}");
    EXPECT_EQ(Member(Reply, "notifications").Size(), 0u);

    // A query changes nothing, and answers with the whole profile even when the client's copy is current.
    const rapidjson::Document Again = Query();
    EXPECT_EQ(IntField(Again, "profileRevision"), 1);
    FullProfile(Again);
}

TEST_F(ProfileServiceTest, ItemCommandsAnswerCurrentClientsWithDeltas)
{
    Query();
    const rapidjson::Document Granted =
        RunCurrent("GrantItem", R"({"templateId":"weapon.sword","quantity":2})");
    EXPECT_EQ(IntField(Granted, "profileRevision"), 2);
    const rapidjson::Value& Added = OnlyChange(Granted);
    EXPECT_EQ(StringField(Added, "changeType"), "itemAdded");
    const std::string ItemId = StringField(Added, "itemId");
    EXPECT_FALSE(ItemId.empty());
    EXPECT_EQ(ToText(Member(Added, "item")), R"({"templateId":"weapon.sword","quantity":2,"attributes":{}})");
    const rapidjson::Value& Notifications = Member(Granted, "notifications");
    ASSERT_EQ(Notifications.Size(), 1u);
    EXPECT_EQ(StringField(Notifications[0], "type"), "itemGranted");
    EXPECT_TRUE(Member(Notifications[0], "primary").IsTrue());
    EXPECT_EQ(ToText(Member(Notifications[0], "payload")),
              R"({"itemId":")" + ItemId + R"(","templateId":"weapon.sword","quantity":2})");

    const rapidjson::Document Quantity =
        RunCurrent("SetItemQuantity", R"({"itemId":")" + ItemId + R"(","quantity":5})");
    EXPECT_EQ(ToText(OnlyChange(Quantity)),
              R"({"changeType":"itemQuantityChanged","itemId":")" + ItemId + R"(","quantity":5})");

    const rapidjson::Document Attribute =
        RunCurrent("SetItemAttribute",
                   R"({"itemId":")" + ItemId + R"(","name":"level","value":{"tier":[1,2],"x":null}})");
    EXPECT_EQ(ToText(OnlyChange(Attribute)),
              R"({"changeType":"itemAttrChanged","itemId":")" + ItemId +
                  R"(","attributeName":"level","attributeValue":{"tier":[1,2],"x":null}})");
    RunCurrent("SetItemAttribute", R"({"itemId":")" + ItemId + R"(","name":"dye","value":"red"})");
    const rapidjson::Document Removed =
        RunCurrent("SetItemAttribute", R"({"itemId":")" + ItemId + R"(","name":"DYE","value":null})");
    EXPECT_TRUE(Member(OnlyChange(Removed), "attributeValue").IsNull());

    const rapidjson::Document Profile = Query();
    EXPECT_EQ(IntField(Profile, "profileRevision"), 6);
    EXPECT_EQ(ToText(Member(Items(Profile), ItemId.c_str())),
              R"({"templateId":"weapon.sword","quantity":5,"attributes":{"level":{"tier":[1,2],"x":null}}})");

    const rapidjson::Document Gone = RunCurrent("RemoveItem", R"({"itemId":")" + ItemId + R"("})");
    EXPECT_EQ(ToText(OnlyChange(Gone)), R"({"changeType":"itemRemoved","itemId":")" + ItemId + R"("})");
    EXPECT_EQ(ToText(Items(Query())), "{}");
}

TEST_F(ProfileServiceTest, StatsKeepAnyJsonValueUnderNamesThatIgnoreCase)
{
    Query();
    const rapidjson::Document Set = RunCurrent("SetStat", R"({"name":"xp","value":100})");
    EXPECT_EQ(ToText(OnlyChange(Set)), R"({"changeType":"statModified","name":"xp","value":100})");
    RunCurrent("SetStat", R"({"name":"XP","value":250})");
    RunCurrent("SetStat", R"({"name":"badges","value":["gold",{"at":"2024-01-01"}]})");
    RunCurrent("SetStat", R"({"name":"title","value":null})");
    EXPECT_EQ(ToText(Stats(Query())), R"({"badges":["gold",{"at":"2024-01-01"}],"title":null,"xp":250})");
}

TEST_F(ProfileServiceTest, ClientWithoutTheCurrentRevisionGetsTheWholeProfile)
{
    Query();
    const std::string Sword = GrantItem("weapon.sword", 1);
    const std::optional<int64_t> Stale[] = {std::nullopt, -1, -2, 0, *Revision - 1, *Revision + 1};
    for (const std::optional<int64_t>& ClientRevision : Stale)
    {
        SCOPED_TRACE(ClientRevision ? std::to_string(*ClientRevision) : "none");
        const rapidjson::Document Reply = Run("SetStat", R"({"name":"xp","value":1})", ClientRevision);
        // The whole profile already holds the command's change.
        EXPECT_EQ(ToText(Stats(Reply)), R"({"xp":1})");
        EXPECT_TRUE(Member(Items(Reply), Sword.c_str()).IsObject());
    }
    // An unreadable or repeated revision is no proof of a current copy either.
    Query();
    const std::string Current = std::to_string(*Revision);
    const std::string Path = CommandPath("client", DemoAccountId, "SetStat", std::nullopt);
    for (const std::string& Query :
         {"&rvn=" + Current + "x", "&rvn=" + Current + "&rvn=" + Current, std::string("&rvn=")})
    {
        SCOPED_TRACE(Query);
        const httplib::Result Result = Post(Path + Query, R"({"name":"xp","value":2})", UserToken);
        ASSERT_TRUE(Result);
        EXPECT_EQ(ToText(Stats(ParseJson(Result->body))), R"({"xp":2})");
    }

    // A granted item's notification comes with the whole profile too.
    const rapidjson::Document Granted = Run("GrantItem", R"({"templateId":"gold","quantity":9})", 0);
    EXPECT_EQ(Items(Granted).MemberCount(), 2u);
    EXPECT_EQ(Member(Granted, "notifications").Size(), 1u);
}

TEST_F(ProfileServiceTest, DeleteProfileStartsAfreshWithoutGoingBackInRevision)
{
    Query();
    GrantItem("weapon.sword", 1);
    RunCurrent("SetStat", R"({"name":"xp","value":1})");
    const rapidjson::Document Deleted = Run("DeleteProfile", "{}", Revision, "cheat",
                                            GrantAccessToken("grant_type=client_credentials", ServerClient));
    EXPECT_EQ(IntField(Deleted, "profileRevision"), *Revision + 1);
    EXPECT_EQ(ToText(Items(Deleted)), "{}");
    EXPECT_EQ(ToText(Stats(Deleted)), "{}");
    EXPECT_EQ(ToText(Items(Query())), "{}");
}

TEST_F(ProfileServiceTest, ProfilesAreKeptPerAccountAndProfileId)
{
    Query();
    const std::string Sword = GrantItem("weapon.sword", 1);
    const std::string ServerToken = GrantAccessToken("grant_type=client_credentials", ServerClient);
    const auto QueryAs = [&](const std::string& AccountId, const std::string& ProfileId,
                             const std::string& Token, const std::string& Form) {
        return ParseJson(
            Post(CommandPath(Form, AccountId, "QueryProfile", -1, ProfileId), "{}", Token)->body);
    };
    EXPECT_TRUE(
        Member(Items(QueryAs(DemoAccountId, "profile0", ServerToken, "dedicated_server")), Sword.c_str())
            .IsObject());
    EXPECT_EQ(ToText(Items(QueryAs(DemoAccountId, "collection", UserToken, "client"))), "{}");
    EXPECT_EQ(ToText(Items(QueryAs(RivalAccountId, "profile0", GrantAccessToken(RivalLogin), "client"))),
              "{}");
}

TEST_F(ProfileServiceTest, CommandsAreAuthorisedByTheirForm)
{
    const std::string ServerToken = GrantAccessToken("grant_type=client_credentials", ServerClient);
    const std::string Path = CommandPath("client", DemoAccountId, "QueryProfile", -1);
    ExpectError(Client->Post(Path, "{}", "application/json"), 401, "errors.zor.account.oauth.invalid_token");
    ExpectError(Post(Path, "{}", "0123456789abcdef0123456789abcdef"), 401,
                "errors.zor.account.oauth.invalid_token");
    ExpectError(Client->Post(Path, {{"Authorization", BasicAuth(GameClient)}}, "{}", "application/json"), 401,
                "errors.zor.account.oauth.invalid_token");
    // A client command takes the account's own user token.
    ExpectError(Post(Path, "{}", GrantAccessToken(RivalLogin)), 403, "errors.zor.profile.forbidden");
    ExpectError(Post(Path, "{}", ServerToken), 403, "errors.zor.profile.forbidden");
    // Server and cheat commands take a server client's token only; a refused grant takes nothing.
    const std::pair<const char*, std::string> Refused[] = {
        {"user", UserToken},
        {"user through the server client", GrantAccessToken(DemoLogin, ServerClient)},
        {"public client", GrantAccessToken("grant_type=client_credentials")},
        {"purchase client", GrantAccessToken("grant_type=client_credentials", PurchaseClient)},
    };
    const std::string Grant = R"({"templateId":"Hat:gold","quantity":999999})";
    for (const char* Form : {"dedicated_server", "cheat"})
    {
        SCOPED_TRACE(Form);
        const std::string GrantPath = CommandPath(Form, DemoAccountId, "GrantItem", -1);
        ExpectError(Client->Post(GrantPath, Grant, "application/json"), 401,
                    "errors.zor.account.oauth.invalid_token");
        for (const auto& [Who, Token] : Refused)
        {
            SCOPED_TRACE(Who);
            ExpectError(Post(GrantPath, Grant, Token), 403, "errors.zor.profile.forbidden");
        }
        EXPECT_EQ(ToText(Items(Run("QueryProfile", "{}", -1, Form, ServerToken))), "{}");
        ExpectError(Post(CommandPath(Form, "0123456789abcdef0123456789abcdef", "QueryProfile", -1), "{}",
                         ServerToken),
                    404, "errors.zor.profile.account_not_found");
    }
    EXPECT_EQ(Items(Run("GrantItem", Grant, -1, "cheat", ServerToken)).MemberCount(), 1u);
    ExpectError(Post(CommandPath("admin", DemoAccountId, "QueryProfile", -1), "{}", ServerToken), 404,
                "errors.zor.common.not_found");

    ASSERT_TRUE(Backend->RevokeToken(UserToken));
    const httplib::Result Revoked = Post(Path, "{}", UserToken);
    ExpectError(Revoked, 401, "errors.zor.account.oauth.invalid_token");
    // Refusals carry the build number too.
    EXPECT_EQ(Revoked->get_header_value(BuildHeader), "1187");
}

TEST_F(ProfileServiceTest, UnknownCommandsParametersAndItemsAreRefusedWithoutAChange)
{
    Query();
    const std::string Sword = GrantItem("weapon.sword", 1);
    const auto Expect =
        [&](const std::string& Command, const std::string& Body, int Status, const std::string& Code)
    {
        SCOPED_TRACE(Command + " " + Body);
        ExpectError(Post(CommandPath("client", DemoAccountId, Command, Revision), Body, UserToken), Status,
                    Code);
    };
    Expect("DropTables", "{}", 404, "errors.zor.profile.operation_not_found");
    Expect("queryprofile", "{}", 404, "errors.zor.profile.operation_not_found");
    Expect("SetItemQuantity", R"({"itemId":")" + Sword + R"("})", 400,
           "errors.zor.profile.invalid_parameter");
    Expect("SetItemAttribute", R"({"itemId":")" + Sword + R"(","name":"level"})", 400,
           "errors.zor.profile.invalid_parameter");
    Expect("SetItemAttribute", R"({"itemId":")" + Sword + R"(","value":1})", 400,
           "errors.zor.profile.invalid_parameter");
    Expect("RemoveItem", R"({"itemId":42})", 400, "errors.zor.profile.invalid_parameter");
    Expect("SetStat", R"({"value":1})", 400, "errors.zor.profile.invalid_parameter");
    Expect("SetStat", R"({"name":"xp"})", 400, "errors.zor.profile.invalid_parameter");

    const std::string Missing = "ffffffffffffffffffffffffffffffff";
    Expect("SetItemQuantity", R"({"itemId":")" + Missing + R"(","quantity":2})", 404,
           "errors.zor.profile.item_not_found");
    Expect("SetItemAttribute", R"({"itemId":")" + Missing + R"(","name":"a","value":1})", 404,
           "errors.zor.profile.item_not_found");
    Expect("RemoveItem", R"({"itemId":")" + Missing + R"("})", 404, "errors.zor.profile.item_not_found");

    const rapidjson::Document After = Run("QueryProfile", "{}", Revision);
    EXPECT_EQ(IntField(After, "profileRevision"), *Revision);
    EXPECT_EQ(ToText(Member(Items(After), Sword.c_str())),
              R"({"templateId":"weapon.sword","quantity":1,"attributes":{}})");
    EXPECT_EQ(Member(Items(After), "").IsNull(), true);

    // A refused command does not bring a profile into being.
    ExpectError(Post(CommandPath("client", DemoAccountId, "GrantItem", 5, "spare"), "{}", UserToken), 400,
                "errors.zor.profile.invalid_parameter");
    EXPECT_EQ(IntField(ParseJson(Post(CommandPath("client", DemoAccountId, "QueryProfile", -1, "spare"), "{}",
                                      UserToken)
                                     ->body),
                       "profileRevision"),
              1);
}

const std::string BadGrants[] = {
    "{}",
    R"({"quantity":1})",
    R"({"templateId":"","quantity":1})",
    R"({"templateId":7,"quantity":1})",
    R"({"templateId":"gold"})",
    R"({"templateId":"gold","quantity":0})",
    R"({"templateId":"gold","quantity":-3})",
    R"({"templateId":"gold","quantity":2.5})",
    R"({"templateId":"gold","quantity":"3"})",
    R"({"templateId":"gold","quantity":2147483648})",
};

using ProfileBadGrantTest = TZorRows<ProfileServiceTest>;

TEST_P(ProfileBadGrantTest, BadGrantsAreRefusedWithoutAChange)
{
    const std::string& Body = BadGrants[GetParam()];
    SCOPED_TRACE(Body);
    Query();
    const std::string Sword = GrantItem("weapon.sword", 1);
    ExpectError(Post(CommandPath("client", DemoAccountId, "GrantItem", Revision), Body, UserToken), 400,
                "errors.zor.profile.invalid_parameter");
    const rapidjson::Document After = Run("QueryProfile", "{}", Revision);
    EXPECT_EQ(IntField(After, "profileRevision"), *Revision);
    EXPECT_EQ(ToText(Member(Items(After), Sword.c_str())),
              R"({"templateId":"weapon.sword","quantity":1,"attributes":{}})");
}

INSTANTIATE_TEST_SUITE_P(Rows, ProfileBadGrantTest, ::testing::Range(size_t{0}, std::size(BadGrants)));

const std::string BadProfileIdQueries[] = {
    "?rvn=1",           "?profileId=&rvn=1",        "?profileId=a/b",
    "?profileId=a%20b", "?profileId=p&profileId=q", "?profileId=" + std::string(65, 'p'),
};

using ProfileIdQueryTest = TZorRows<ProfileServiceTest>;

TEST_P(ProfileIdQueryTest, ProfileIdMustBePresentOnceAndPlain)
{
    const std::string& Query = BadProfileIdQueries[GetParam()];
    SCOPED_TRACE(Query);
    ExpectError(Post("/game/api/profile/" + DemoAccountId + "/client/QueryProfile" + Query, "{}", UserToken),
                400, "errors.zor.profile.invalid_parameter");
    Run("QueryProfile", "{}", -1);
}

INSTANTIATE_TEST_SUITE_P(Rows, ProfileIdQueryTest,
                         ::testing::Range(size_t{0}, std::size(BadProfileIdQueries)));

const char GarbageWithNul[] = "{\"templateId\":\"go\0ld\",\"quantity\":1}";

const std::string GarbageBodies[] = {
    "",
    "not json",
    "[]",
    "\"text\"",
    R"({"templateId":"gold","quantity":1} trailing)",
    std::string(GarbageWithNul, sizeof(GarbageWithNul) - 1),
    "{\"templateId\":\"\xff\xfe\",\"quantity\":1}",
    std::string(200000, '['),
    "{\"templateId\":\"gold\",\"quantity\":1,\"x\":" + std::string(40, '[') + std::string(40, ']') + "}",
    "{\"templateId\":\"gold\",\"quantity\":1,\"x\":" + std::string(32, '[') + std::string(32, ']') + "}",
    std::string("\x01\x02\x00\xfe\xff garbage", 14),
};

using ProfileGarbageBodyTest = TZorRows<ProfileServiceTest>;

TEST_P(ProfileGarbageBodyTest, GarbageBodiesAreRefusedAndTheServiceCarriesOn)
{
    const std::string& Body = GarbageBodies[GetParam()];
    SCOPED_TRACE(Body.substr(0, 40));
    ExpectError(Post(CommandPath("client", DemoAccountId, "GrantItem", -1), Body, UserToken), 400,
                "errors.zor.profile.invalid_payload");
    EXPECT_EQ(ToText(Items(Query())), "{}");
}

INSTANTIATE_TEST_SUITE_P(Rows, ProfileGarbageBodyTest, ::testing::Range(size_t{0}, std::size(GarbageBodies)));

TEST_F(ProfileServiceTest, OtherMediaAndHugeBodiesAreRefusedAndNestingAtTheLimitIsKept)
{
    const std::string Path = CommandPath("client", DemoAccountId, "GrantItem", -1);
    ExpectError(Client->Post(Path, {{"Authorization", "bearer " + UserToken}},
                             R"({"templateId":"gold","quantity":1})", "text/plain"),
                415, "errors.zor.common.unsupported_media_type");
    const httplib::Result Huge = Post(Path, std::string(2 * 1024 * 1024, ' '), UserToken);
    ASSERT_TRUE(Huge);
    EXPECT_EQ(Huge->status, 413);

    // Nesting at the limit is kept, brackets inside strings do not count, and the profile took nothing else.
    const std::string Nested = std::string(31, '[') + "\"[[[[{{{{\\\"\"" + std::string(31, ']');
    Run("SetStat", R"({"name":"deep","value":)" + Nested + "}", -1);
    const rapidjson::Document Profile = Query();
    EXPECT_EQ(ToText(Items(Profile)), "{}");
    EXPECT_EQ(ToText(Member(Stats(Profile), "deep")), Nested);
}

TEST_F(ProfileServiceTest, ConcurrentGrantsEachTakeTheirOwnRevisionAndItem)
{
    Query();
    constexpr int Threads = 4;
    constexpr int GrantsPerThread = 10;
    std::vector<std::thread> Workers;
    for (int Thread = 0; Thread < Threads; ++Thread)
    {
        Workers.emplace_back(
            [&]
            {
                httplib::Client Own("127.0.0.1", Port);
                for (int Grant = 0; Grant < GrantsPerThread; ++Grant)
                {
                    const httplib::Result Result =
                        Own.Post(CommandPath("client", DemoAccountId, "GrantItem", std::nullopt),
                                 {{"Authorization", "bearer " + UserToken}},
                                 R"({"templateId":"gold","quantity":1})", "application/json");
                    EXPECT_TRUE(Result && Result->status == 200);
                }
            });
    }
    for (std::thread& Worker : Workers)
    {
        Worker.join();
    }
    const rapidjson::Document Profile = Query();
    EXPECT_EQ(IntField(Profile, "profileRevision"), 1 + Threads * GrantsPerThread);
    EXPECT_EQ(Items(Profile).MemberCount(), static_cast<unsigned>(Threads * GrantsPerThread));
}
} // namespace
} // namespace ZorBackendTests
