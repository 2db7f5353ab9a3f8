#include "BackendTestFixture.h"
#include "ZorRows.h"

#include <gmock/gmock.h>

#include <vector>

namespace ZorBackendTests
{
namespace
{
using SessionTest = BackendTest;

struct FKillCase
{
    const char* KillType;
    bool bCallerSurvives;
    bool bOtherClientSurvives;
};

void PrintTo(const FKillCase& Case, std::ostream* Out)
{
    *Out << Case.KillType;
}

using KillSessionsTest = TZorRows<BackendTest, FKillCase>;

TEST_P(KillSessionsTest, KillTypeEndsExactlyItsSessions)
{
    const FKillCase& Case = GetParam();
    const std::string Caller = GrantAccessToken(DemoLogin);
    const rapidjson::Document SameClient = Grant(DemoLogin);
    const std::string OtherClient = GrantAccessToken(DemoLogin, PurchaseClient);
    const std::string OtherAccount = GrantAccessToken(RivalLogin);
    const std::string ClientToken = GrantAccessToken("grant_type=client_credentials");

    const httplib::Result Result =
        Delete(std::string("/account/api/oauth/sessions/kill?killType=") + Case.KillType, Caller);
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->status, 204) << Result->body;

    EXPECT_EQ(VerifyStatus(Caller), Case.bCallerSurvives ? 200 : 401);
    // Every kind ends the caller's other sessions of the same account and client.
    EXPECT_EQ(VerifyStatus(StringField(SameClient, "access_token")), 401);
    EXPECT_EQ(VerifyStatus(OtherClient), Case.bOtherClientSurvives ? 200 : 401);
    EXPECT_EQ(VerifyStatus(OtherAccount), 200);
    EXPECT_EQ(VerifyStatus(ClientToken), 200);
    // A killed session cannot come back through its refresh token.
    const httplib::Result Refresh =
        PostToken("grant_type=refresh_token&refresh_token=" + StringField(SameClient, "refresh_token"));
    ASSERT_TRUE(Refresh);
    EXPECT_EQ(Refresh->status, 400);
}

INSTANTIATE_TEST_SUITE_P(EveryKillType, KillSessionsTest,
                         ::testing::Values(FKillCase{"ALL", false, false}, FKillCase{"OTHERS", true, false},
                                           FKillCase{"ALL_ACCOUNT_CLIENT", false, true},
                                           FKillCase{"OTHERS_ACCOUNT_CLIENT", true, true}),
                         [](const auto& Info) { return std::string(Info.param.KillType); });

TEST_F(SessionTest, KillOfClientTokensSparesUserSessionsOfThatClient)
{
    const std::string UserToken = GrantAccessToken(DemoLogin);
    const std::string First = GrantAccessToken("grant_type=client_credentials");
    const std::string Second = GrantAccessToken("grant_type=client_credentials");
    const std::string OtherClient = GrantAccessToken("grant_type=client_credentials", ServerClient);
    ASSERT_EQ(Delete("/account/api/oauth/sessions/kill?killType=OTHERS", First)->status, 204);
    EXPECT_EQ(VerifyStatus(First), 200);
    EXPECT_EQ(VerifyStatus(Second), 401);
    EXPECT_EQ(VerifyStatus(OtherClient), 200);
    EXPECT_EQ(VerifyStatus(UserToken), 200);
}

TEST_F(SessionTest, KillWithoutAValidKillTypeIsRefused)
{
    const std::string Caller = GrantAccessToken(DemoLogin);
    const std::string Other = GrantAccessToken(DemoLogin);
    for (const char* Query :
         {"", "?killType=", "?killType=EVERYTHING", "?killType=all", "?killType=ALL&killType=OTHERS"})
    {
        SCOPED_TRACE(Query);
        ExpectError(Delete(std::string("/account/api/oauth/sessions/kill") + Query, Caller), 400,
                    "errors.zor.account.oauth.invalid_request");
    }
    EXPECT_EQ(VerifyStatus(Other), 200);
    ExpectError(Delete("/account/api/oauth/sessions/kill?killType=ALL", "unknown"), 401,
                "errors.zor.account.oauth.invalid_token");
}

TEST_F(SessionTest, KillByIdEndsOnlyThatSessionOfTheCaller)
{
    const std::string Caller = GrantAccessToken(DemoLogin);
    const std::string Own = GrantAccessToken(DemoLogin, PurchaseClient);
    const std::string Rival = GrantAccessToken(RivalLogin);

    ExpectError(Delete("/account/api/oauth/sessions/kill/" + Rival, Caller), 404,
                "errors.zor.account.session_not_found");
    ExpectError(Delete("/account/api/oauth/sessions/kill/0123456789abcdef0123456789abcdef", Caller), 404,
                "errors.zor.account.session_not_found");
    EXPECT_EQ(VerifyStatus(Rival), 200);

    ASSERT_EQ(Delete("/account/api/oauth/sessions/kill/" + Own, Caller)->status, 204);
    EXPECT_EQ(VerifyStatus(Own), 401);
    EXPECT_EQ(VerifyStatus(Caller), 200);

    // Logout kills the session of the very token that signs the request.
    ASSERT_EQ(Delete("/account/api/oauth/sessions/kill/" + Caller, Caller)->status, 204);
    EXPECT_EQ(VerifyStatus(Caller), 401);
}

TEST_F(SessionTest, ListShowsTheCallersLiveSessionsWithoutTheirTokens)
{
    const std::string Caller = GrantAccessToken(DemoLogin);
    const std::string Other = GrantAccessToken(DemoLogin, PurchaseClient);
    const std::string Killed = GrantAccessToken(DemoLogin);
    const std::string Rival = GrantAccessToken(RivalLogin);
    ASSERT_TRUE(Backend->RevokeToken(Killed));

    const httplib::Result Result = Get("/account/api/oauth/sessions", Caller);
    ASSERT_TRUE(Result);
    ASSERT_EQ(Result->status, 200);
    EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
    for (const std::string& Secret : {Caller, Other, Killed, Rival})
    {
        EXPECT_EQ(Result->body.find(Secret), std::string::npos);
    }
    const rapidjson::Document Sessions = ParseJson(Result->body);
    ASSERT_TRUE(Sessions.IsArray());
    ASSERT_EQ(Sessions.Size(), 2u);
    std::vector<std::string> Clients;
    int CurrentCount = 0;
    for (const rapidjson::Value& Session : Sessions.GetArray())
    {
        EXPECT_EQ(StringField(Session, "accountId"), DemoAccountId);
        EXPECT_EQ(StringField(Session, "sessionId").size(), 32u);
        Clients.push_back(StringField(Session, "clientId"));
        CurrentCount += Session["current"].GetBool() && StringField(Session, "clientId") == GameClient.Id;
    }
    EXPECT_THAT(Clients, ::testing::UnorderedElementsAre(GameClient.Id, PurchaseClient.Id));
    EXPECT_EQ(CurrentCount, 1);
}
} // namespace
} // namespace ZorBackendTests
