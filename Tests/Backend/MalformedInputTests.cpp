#include "BackendTestFixture.h"
#include "ZorRows.h"

#include <numeric>
#include <thread>
#include <vector>

namespace ZorBackendTests
{
namespace
{
using MalformedInputTest = BackendTest;

const std::string MalformedFormBodies[] = {
    std::string("\x01\x02\x00\xfe\xff garbage", 14),
    "%",
    "grant_type=password%4",
    "grant_type=%zzpassword",
    "=password",
    "grant_type",
    "&&&",
    "grant_type=password&username=demo%40example.com&password=demo-password&grant_type=client_"
    "credentials",
};

using MalformedFormBodyTest = TZorRows<BackendTest>;

TEST_P(MalformedFormBodyTest, MalformedFormBodiesAreRefused)
{
    const std::string& Body = MalformedFormBodies[GetParam()];
    SCOPED_TRACE(Body);
    ExpectError(PostToken(Body), 400, "errors.zor.account.oauth.invalid_request");
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedFormBodyTest,
                         ::testing::Range(size_t{0}, std::size(MalformedFormBodies)));

TEST_F(MalformedInputTest, AGrantTypeWithANulIsUnsupported)
{
    ExpectError(PostToken(std::string("grant_type=client_credentials\0", 30)), 400,
                "errors.zor.account.oauth.unsupported_grant_type");
}

TEST_F(MalformedInputTest, FormsWithTooManyFieldsAreRefused)
{
    std::string Body = "grant_type=client_credentials";
    for (int Index = 0; Index < 40; ++Index)
    {
        Body += "&field" + std::to_string(Index) + "=x";
    }
    ExpectError(PostToken(Body), 400, "errors.zor.account.oauth.invalid_request");
}

TEST_F(MalformedInputTest, BodiesOfAnotherMediaTypeAreRefused)
{
    ExpectError(Client->Post("/account/api/oauth/token", {{"Authorization", BasicAuth(GameClient)}},
                             R"({"grant_type":"client_credentials"})", "application/json"),
                415, "errors.zor.common.unsupported_media_type");
    const httplib::Result WithCharset =
        Client->Post("/account/api/oauth/token", {{"Authorization", BasicAuth(GameClient)}},
                     "grant_type=client_credentials", "Application/X-WWW-Form-Urlencoded; charset=utf-8");
    ASSERT_TRUE(WithCharset);
    EXPECT_EQ(WithCharset->status, 200);
}

TEST_F(MalformedInputTest, HugeBodiesAreRefusedWithTheErrorReply)
{
    ExpectError(PostToken("grant_type=client_credentials&pad=" + std::string(20 * 1024, 'a')), 413,
                "errors.zor.common.payload_too_large");
    ExpectError(Client->Post("/account/api/oauth/token", {{"Authorization", BasicAuth(GameClient)}},
                             std::string(2 * 1024 * 1024, '\xff'), "application/octet-stream"),
                413, "errors.zor.common.payload_too_large");
}

TEST_F(MalformedInputTest, HugeOrOddUrlsAndHeadersGetTheErrorReply)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    ExpectError(Get("/account/api/public/account/" + std::string(7000, 'a'), AccessToken), 404,
                "errors.zor.account.account_not_found");
    const httplib::Result LongUri = Get("/account/api/public/account/" + std::string(9000, 'a'), AccessToken);
    ASSERT_TRUE(LongUri);
    EXPECT_GE(LongUri->status, 400);
    EXPECT_EQ(LongUri->get_header_value("Content-Type"), "application/json");
    const httplib::Result LongHeader = Get("/account/api/oauth/verify", std::string(100 * 1024, 'a'));
    if (LongHeader)
    {
        EXPECT_GE(LongHeader->status, 400);
    }
    ExpectError(Get("/account/api/oauth/nothing", AccessToken), 404, "errors.zor.common.not_found");
    ExpectError(Client->Get("/account/api/oauth/token"), 404, "errors.zor.common.not_found");
}

const std::string MalformedBasicHeaders[] = {
    "basic !!!!",
    "basic " + EncodeBase64("no-colon"),
    "basic " + EncodeBase64(":" + GameClient.Secret),
    "basic " + EncodeBase64(GameClient.Id + ":" + GameClient.Secret).substr(1),
    "basic" + EncodeBase64(GameClient.Id + ":" + GameClient.Secret),
    "basic ",
};

using MalformedBasicCredentialsTest = TZorRows<BackendTest>;

TEST_P(MalformedBasicCredentialsTest, MalformedBasicCredentialsAreRefused)
{
    const std::string& Header = MalformedBasicHeaders[GetParam()];
    SCOPED_TRACE(Header);
    ExpectError(Client->Post("/account/api/oauth/token", {{"Authorization", Header}},
                             "grant_type=client_credentials", "application/x-www-form-urlencoded"),
                401, "errors.zor.account.oauth.invalid_client");
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedBasicCredentialsTest,
                         ::testing::Range(size_t{0}, std::size(MalformedBasicHeaders)));

TEST_F(MalformedInputTest, TheBasicSchemeIsReadInAnyCase)
{
    const httplib::Result Upper = Client->Post(
        "/account/api/oauth/token", {{"Authorization", "BASIC " + BasicAuth(GameClient).substr(6)}},
        "grant_type=client_credentials", "application/x-www-form-urlencoded");
    ASSERT_TRUE(Upper);
    EXPECT_EQ(Upper->status, 200);
}

enum class EBodyCaller
{
    User,
    App,
    Basic,
};

// Every route that reads a JSON body, with a body that is accepted when DEEP is a plain string. {orders},
// {order} and {session} stand for the player's orders, an order and a session made before the row.
struct FBodyRoute
{
    const char* Verb;
    std::string Path;
    EBodyCaller Caller;
    std::string Body;
    int Status;
    const char* ErrorCode;
};

const std::string DeepLines = R"("lineOffers":[{"namespace":"qx","offerId":"qx-offer-sword"}])";

const FBodyRoute BodyRoutes[] = {
    {"POST", "{orders}/preview", EBodyCaller::User, "{" + DeepLines + R"(,"x":DEEP})", 200,
     "errors.zor.orders.invalid_payload"},
    {"POST", "{orders}", EBodyCaller::User, "{" + DeepLines + R"(,"x":DEEP})", 200,
     "errors.zor.orders.invalid_payload"},
    {"POST", "{order}/checkout", EBodyCaller::User, R"({"x":DEEP})", 200,
     "errors.zor.orders.invalid_payload"},
    {"POST", "/game/api/tavoAccount/account", EBodyCaller::App,
     R"({"email":"n@x.io","displayName":"Nu","password":"pw","x":DEEP})", 200,
     "errors.zor.account.invalid_payload"},
    {"PUT", "/game/api/tavoAccount/account/demo@example.com", EBodyCaller::Basic,
     R"({"newEmail":"demo@example.com","newDisplayName":"DemoPlayer","newPassword":"demo-password","x":DEEP})",
     200, "errors.zor.account.invalid_payload"},
    {"POST", "/account/api/public/account/" + DemoAccountId + "/externalAuths", EBodyCaller::User,
     R"({"authType":"handheld","externalAuthToken":"handheld-1:proof","x":DEEP})", 200,
     "errors.zor.account.invalid_payload"},
    {"POST", "/game/api/messaging/" + DemoAccountId + "/outbox", EBodyCaller::User,
     R"({"type":"note","toTavoIds":[")" + RivalAccountId + R"("],"body":"aGk=","x":DEEP})", 204,
     "errors.zor.messaging.invalid_payload"},
    {"POST", "/game/api/profile/" + DemoAccountId + "/client/GrantItem?profileId=profile0", EBodyCaller::User,
     R"({"templateId":"gold","quantity":1,"x":DEEP})", 200, "errors.zor.profile.invalid_payload"},
    {"POST", "/game/api/matchmaking/session", EBodyCaller::User, R"({"ownerName":DEEP})", 200,
     "errors.zor.matchmaking.invalid_payload"},
    {"PUT", "{session}", EBodyCaller::User, R"({"ownerName":DEEP})", 200,
     "errors.zor.matchmaking.invalid_payload"},
    {"POST", "{session}/players", EBodyCaller::User, R"({"publicPlayers":[DEEP],"privatePlayers":[]})", 200,
     "errors.zor.matchmaking.invalid_payload"},
    {"DELETE", "{session}/players", EBodyCaller::User, "[DEEP]", 200,
     "errors.zor.matchmaking.invalid_payload"},
    {"POST", "/game/api/matchmaking/session/matchMakingRequest", EBodyCaller::User,
     R"({"buildUniqueId":DEEP})", 200, "errors.zor.matchmaking.invalid_payload"},
};

std::string WithValue(std::string Text, const std::string& Key, const std::string& Value)
{
    const size_t At = Text.find(Key);
    return At == std::string::npos ? Text : Text.replace(At, Key.size(), Value);
}

using DeeplyNestedBodyTest = TZorRows<BackendTest>;

TEST_P(DeeplyNestedBodyTest, DeeplyNestedBodiesAreRefusedOnEveryRouteAndTheBackendGoesOn)
{
    const FBodyRoute& Route = BodyRoutes[GetParam()];
    const std::string User = "bearer " + GrantAccessToken(DemoLogin);
    const std::string Orders = "/commerce/api/shared/accounts/" + DemoAccountId + "/orders";
    const std::string Sessions = "/game/api/matchmaking/session";
    const httplib::Result Order = SendBody("POST", Orders, User, "{" + DeepLines + "}");
    const httplib::Result Session = SendBody("POST", Sessions, User, "{}");
    ASSERT_TRUE(Order && Session);
    std::string Path = WithValue(Route.Path, "{orders}", Orders);
    Path = WithValue(Path, "{order}", Orders + "/" + StringField(ParseJson(Order->body), "orderId"));
    Path = WithValue(Path, "{session}", Sessions + "/" + StringField(ParseJson(Session->body), "id"));
    const std::string Authorization = Route.Caller == EBodyCaller::User ? User
                                      : Route.Caller == EBodyCaller::App
                                          ? "bearer " + GrantAccessToken("grant_type=client_credentials")
                                          : "basic " + EncodeBase64("demo@example.com:demo-password");
    SCOPED_TRACE(std::string(Route.Verb) + " " + Path);
    // Left open, as a hostile client sends it, and closed, which parses and would be kept and written back.
    const std::string DeepValues[] = {std::string(200000, '['),
                                      std::string(30000, '[') + "\"s\"" + std::string(30000, ']')};
    for (const std::string& Deep : DeepValues)
    {
        ExpectError(SendBody(Route.Verb, Path, Authorization, WithValue(Route.Body, "DEEP", Deep)), 400,
                    Route.ErrorCode);
    }
    const httplib::Result Shallow =
        SendBody(Route.Verb, Path, Authorization, WithValue(Route.Body, "DEEP", "\"s\""));
    ASSERT_TRUE(Shallow) << "the backend no longer answers";
    EXPECT_EQ(Shallow->status, Route.Status) << Shallow->body;
}

INSTANTIATE_TEST_SUITE_P(Rows, DeeplyNestedBodyTest, ::testing::Range(size_t{0}, std::size(BodyRoutes)));

TEST_F(MalformedInputTest, ConcurrentClientsKeepTheStateConsistent)
{
    constexpr int ThreadCount = 8;
    constexpr int Rounds = 15;
    std::vector<int> Failures(ThreadCount, 0);
    std::vector<std::thread> Threads;
    for (int Thread = 0; Thread < ThreadCount; ++Thread)
    {
        Threads.emplace_back(
            [this, Thread, &Failures]
            {
                httplib::Client Local("127.0.0.1", Port);
                const httplib::Headers Basic{{"Authorization", BasicAuth(GameClient)}};
                for (int Round = 0; Round < Rounds; ++Round)
                {
                    const auto Grant = Local.Post("/account/api/oauth/token", Basic, DemoLogin,
                                                  "application/x-www-form-urlencoded");
                    const std::string Token =
                        Grant ? StringField(ParseJson(Grant->body), "access_token") : "";
                    const httplib::Headers Bearer{{"Authorization", "bearer " + Token}};
                    const auto Verify = Local.Get("/account/api/oauth/verify", Bearer);
                    const auto Kill =
                        Local.Delete(("/account/api/oauth/sessions/kill/" + Token).c_str(), Bearer);
                    Failures[Thread] += !(Verify && Verify->status == 200 && Kill && Kill->status == 204);
                }
            });
    }
    for (std::thread& Thread : Threads)
    {
        Thread.join();
    }
    EXPECT_EQ(std::accumulate(Failures.begin(), Failures.end(), 0), 0);
    EXPECT_EQ(VerifyStatus(GrantAccessToken(DemoLogin)), 200);
}
} // namespace
} // namespace ZorBackendTests
