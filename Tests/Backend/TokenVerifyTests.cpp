#include "BackendTestFixture.h"

namespace ZorBackendTests
{
namespace
{
using TokenVerifyTest = BackendTest;

TEST_F(TokenVerifyTest, ValidTokenAnswersWithTheVerifyRecord)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    const httplib::Result Result = Get("/account/api/oauth/verify", AccessToken);
    ASSERT_TRUE(Result);
    ASSERT_EQ(Result->status, 200);
    EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
    const rapidjson::Document Verify = ParseJson(Result->body);
    EXPECT_EQ(StringField(Verify, "client_id"), GameClient.Id);
    EXPECT_EQ(StringField(Verify, "client_service"), "game");
    EXPECT_EQ(StringField(Verify, "account_id"), DemoAccountId);
    EXPECT_GT(IntField(Verify, "expires_in"), 7100);
    EXPECT_LE(IntField(Verify, "expires_in"), 7200);
    EXPECT_EQ(StringField(Verify, "auth_method"), "password");
}

TEST_F(TokenVerifyTest, VerifyRecordFollowsTheClientAndTheGrant)
{
    const rapidjson::Document Client = ParseJson(
        Get("/account/api/oauth/verify", GrantAccessToken("grant_type=client_credentials", ServerClient))
            ->body);
    EXPECT_EQ(StringField(Client, "account_id"), "");
    EXPECT_EQ(StringField(Client, "auth_method"), "client_credentials");

    const rapidjson::Document Purchase =
        ParseJson(Get("/account/api/oauth/verify", GrantAccessToken(DemoLogin, PurchaseClient))->body);
    EXPECT_EQ(StringField(Purchase, "client_service"), "commerce");

    // A refreshed token keeps the way its session was opened.
    const rapidjson::Document External =
        Grant("grant_type=external_auth&external_auth_type=console&external_auth_token=demo-console-ticket");
    const std::string Refreshed =
        GrantAccessToken("grant_type=refresh_token&refresh_token=" + StringField(External, "refresh_token"));
    EXPECT_EQ(StringField(ParseJson(Get("/account/api/oauth/verify", Refreshed)->body), "auth_method"),
              "external_auth");
}

TEST_F(TokenVerifyTest, RevokedTokenIsRefused)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    const std::string Other = GrantAccessToken(DemoLogin);
    EXPECT_TRUE(Backend->RevokeToken(AccessToken));
    ExpectError(Get("/account/api/oauth/verify", AccessToken), 401, "errors.zor.account.oauth.invalid_token");
    EXPECT_EQ(VerifyStatus(Other), 200);
    EXPECT_FALSE(Backend->RevokeToken("0123456789abcdef0123456789abcdef"));
}

TEST_F(TokenVerifyTest, ExpiredTokenIsRefusedButStillRefreshes)
{
    Backend->SetTokenLifetime(0);
    const rapidjson::Document Token = Grant(DemoLogin);
    EXPECT_EQ(IntField(Token, "expires_in"), 0);
    ExpectError(Get("/account/api/oauth/verify", StringField(Token, "access_token")), 401,
                "errors.zor.account.oauth.invalid_token");

    Backend->SetTokenLifetime(60);
    const rapidjson::Document Refreshed =
        Grant("grant_type=refresh_token&refresh_token=" + StringField(Token, "refresh_token"));
    EXPECT_EQ(IntField(Refreshed, "expires_in"), 60);
    EXPECT_EQ(VerifyStatus(StringField(Refreshed, "access_token")), 200);
}

TEST_F(TokenVerifyTest, UnknownMissingOrMisnamedCredentialsAreRefused)
{
    ExpectError(Get("/account/api/oauth/verify", "0123456789abcdef0123456789abcdef"), 401,
                "errors.zor.account.oauth.invalid_token");
    ExpectError(Client->Get("/account/api/oauth/verify"), 401, "errors.zor.account.oauth.invalid_token");
    ExpectError(Client->Get("/account/api/oauth/verify", {{"Authorization", BasicAuth(GameClient)}}), 401,
                "errors.zor.account.oauth.invalid_token");
    ExpectError(Client->Get("/account/api/oauth/verify", {{"Authorization", "bearer "}}), 401,
                "errors.zor.account.oauth.invalid_token");
}
} // namespace
} // namespace ZorBackendTests
