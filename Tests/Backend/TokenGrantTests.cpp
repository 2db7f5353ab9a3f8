#include "BackendTestFixture.h"
#include "ZorRows.h"

namespace ZorBackendTests
{
namespace
{
using TokenGrantTest = BackendTest;

std::string ExchangeCode(const httplib::Result& Result)
{
    EXPECT_TRUE(Result);
    return Result ? StringField(ParseJson(Result->body), "code") : "";
}

TEST_F(TokenGrantTest, PasswordGrantAnswersWithEveryTokenKey)
{
    const httplib::Result Result = PostToken(DemoLogin);
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->status, 200);
    EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
    const rapidjson::Document Token = ParseJson(Result->body);
    EXPECT_EQ(StringField(Token, "access_token").size(), 32u);
    EXPECT_EQ(IntField(Token, "expires_in"), 7200);
    EXPECT_EQ(StringField(Token, "token_type"), "bearer");
    EXPECT_EQ(StringField(Token, "refresh_token").size(), 32u);
    EXPECT_NE(StringField(Token, "refresh_token"), StringField(Token, "access_token"));
    EXPECT_EQ(IntField(Token, "refresh_expires"), 28800);
    EXPECT_EQ(StringField(Token, "account_id"), DemoAccountId);
    EXPECT_EQ(StringField(Token, "client_id"), GameClient.Id);
    ASSERT_TRUE(Token.HasMember("additionalInformation"));
    EXPECT_TRUE(Token["additionalInformation"].IsObject());
}

TEST_F(TokenGrantTest, PasswordGrantMatchesEmailIgnoringCaseAndIssuesFreshTokens)
{
    const std::string First = GrantAccessToken(DemoLogin);
    const rapidjson::Document Second =
        Grant("grant_type=password&username=DEMO%40Example.COM&password=demo-password");
    EXPECT_EQ(StringField(Second, "account_id"), DemoAccountId);
    EXPECT_NE(StringField(Second, "access_token"), First);
}

TEST_F(TokenGrantTest, PasswordGrantDecodesReservedCharactersOfTheForm)
{
    const FTempSeed Seed(
        R"({"clients": [{"name": "Client", "id": "zordemoclient", "secret": "zordemoclientsecret"}],
        "accounts": [{"id": "a1", "displayName": "Odd", "email": "odd+user@example.com", "password": "p&ss=w rd+%"}]})");
    Backend.reset();
    StartBackend({.SeedPath = Seed.GetPath()});
    const rapidjson::Document Token =
        Grant("grant_type=password&username=odd%2Buser%40example.com&password=p%26ss%3Dw+rd%2B%25");
    EXPECT_EQ(StringField(Token, "account_id"), "a1");
}

TEST_F(TokenGrantTest, PasswordGrantRefusesBadCredentials)
{
    ExpectError(PostToken("grant_type=password&username=demo%40example.com&password=wrong"), 400,
                "errors.zor.account.oauth.invalid_grant");
    ExpectError(PostToken("grant_type=password&username=nobody%40example.com&password=demo-password"), 400,
                "errors.zor.account.oauth.invalid_grant");
    ExpectError(PostToken("grant_type=password&username=demo%40example.com"), 400,
                "errors.zor.account.oauth.invalid_request");
    ExpectError(PostToken("grant_type=password&username=&password=demo-password"), 400,
                "errors.zor.account.oauth.invalid_request");
}

TEST_F(TokenGrantTest, EveryGrantRefusesUnknownClientsAndWrongSecrets)
{
    ExpectError(PostToken(DemoLogin, {GameClient.Id, "wrong-secret"}), 401,
                "errors.zor.account.oauth.invalid_client");
    ExpectError(PostToken(DemoLogin, {"nosuchclient", GameClient.Secret}), 401,
                "errors.zor.account.oauth.invalid_client");
    ExpectError(PostToken("grant_type=client_credentials", {ServerClient.Id, GameClient.Secret}), 401,
                "errors.zor.account.oauth.invalid_client");
    ExpectError(Client->Post("/account/api/oauth/token", DemoLogin, "application/x-www-form-urlencoded"), 401,
                "errors.zor.account.oauth.invalid_client");
    ExpectError(Client->Post("/account/api/oauth/token", {{"Authorization", "bearer " + GameClient.Secret}},
                             DemoLogin, "application/x-www-form-urlencoded"),
                401, "errors.zor.account.oauth.invalid_client");
}

TEST_F(TokenGrantTest, UnknownOrMissingGrantTypesAreRefused)
{
    ExpectError(PostToken("grant_type=authorization_code&code=x"), 400,
                "errors.zor.account.oauth.unsupported_grant_type");
    ExpectError(PostToken("username=demo%40example.com&password=demo-password"), 400,
                "errors.zor.account.oauth.invalid_request");
}

TEST_F(TokenGrantTest, ExchangeCodeIsTradedOnceForATokenOfTheConsumingClient)
{
    const std::string UserToken = GrantAccessToken(DemoLogin);
    const httplib::Result CodeReply = Get("/account/api/oauth/exchange", UserToken);
    ASSERT_TRUE(CodeReply);
    ASSERT_EQ(CodeReply->status, 200);
    const rapidjson::Document Code = ParseJson(CodeReply->body);
    EXPECT_EQ(IntField(Code, "expiresInSeconds"), 300);
    EXPECT_EQ(StringField(Code, "creatingClientId"), GameClient.Id);
    ASSERT_TRUE(Code.HasMember("consumingClientId"));

    const std::string Body = "grant_type=exchange_code&exchange_code=" + StringField(Code, "code");
    const rapidjson::Document Token = Grant(Body, PurchaseClient);
    EXPECT_EQ(StringField(Token, "account_id"), DemoAccountId);
    EXPECT_EQ(StringField(Token, "client_id"), PurchaseClient.Id);
    ExpectError(PostToken(Body, PurchaseClient), 400, "errors.zor.account.oauth.invalid_grant");
}

TEST_F(TokenGrantTest, ExchangeCodeSurvivesAGrantRefusedForItsClient)
{
    const std::string Code = ExchangeCode(Get("/account/api/oauth/exchange", GrantAccessToken(DemoLogin)));
    const std::string Body = "grant_type=exchange_code&exchange_code=" + Code;
    ExpectError(PostToken(Body, {PurchaseClient.Id, "wrong"}), 401,
                "errors.zor.account.oauth.invalid_client");
    EXPECT_EQ(StringField(Grant(Body, PurchaseClient), "account_id"), DemoAccountId);
}

TEST_F(TokenGrantTest, ExpiredOrUnknownExchangeCodesAreRefused)
{
    Backend.reset();
    StartBackend({.ExchangeCodeLifetime = 0});
    const std::string Code = ExchangeCode(Get("/account/api/oauth/exchange", GrantAccessToken(DemoLogin)));
    ASSERT_FALSE(Code.empty());
    ExpectError(PostToken("grant_type=exchange_code&exchange_code=" + Code), 400,
                "errors.zor.account.oauth.invalid_grant");
    ExpectError(PostToken("grant_type=exchange_code&exchange_code=0123456789abcdef0123456789abcdef"), 400,
                "errors.zor.account.oauth.invalid_grant");
}

TEST_F(TokenGrantTest, ClientTokensCannotCreateExchangeCodes)
{
    const std::string ClientToken = GrantAccessToken("grant_type=client_credentials", ServerClient);
    ExpectError(Get("/account/api/oauth/exchange", ClientToken), 403, "errors.zor.account.oauth.forbidden");
}

TEST_F(TokenGrantTest, RefreshRotatesThePairAndEndsTheOldOne)
{
    const rapidjson::Document First = Grant(DemoLogin);
    const std::string Body = "grant_type=refresh_token&refresh_token=" + StringField(First, "refresh_token");
    const rapidjson::Document Second = Grant(Body);
    EXPECT_EQ(StringField(Second, "account_id"), DemoAccountId);
    EXPECT_NE(StringField(Second, "access_token"), StringField(First, "access_token"));
    EXPECT_NE(StringField(Second, "refresh_token"), StringField(First, "refresh_token"));
    EXPECT_EQ(VerifyStatus(StringField(First, "access_token")), 401);
    EXPECT_EQ(VerifyStatus(StringField(Second, "access_token")), 200);
    ExpectError(PostToken(Body), 400, "errors.zor.account.oauth.invalid_grant");
}

TEST_F(TokenGrantTest, RefreshIsRefusedForRevokedExpiredForeignOrUnknownTokens)
{
    const rapidjson::Document Revoked = Grant(DemoLogin);
    ASSERT_TRUE(Backend->RevokeToken(StringField(Revoked, "access_token")));
    ExpectError(PostToken("grant_type=refresh_token&refresh_token=" + StringField(Revoked, "refresh_token")),
                400, "errors.zor.account.oauth.invalid_grant");

    const rapidjson::Document Foreign = Grant(DemoLogin);
    ExpectError(PostToken("grant_type=refresh_token&refresh_token=" + StringField(Foreign, "refresh_token"),
                          PurchaseClient),
                400, "errors.zor.account.oauth.invalid_grant");

    Backend->SetRefreshLifetime(0);
    const rapidjson::Document Expired = Grant(DemoLogin);
    EXPECT_EQ(IntField(Expired, "refresh_expires"), 0);
    ExpectError(PostToken("grant_type=refresh_token&refresh_token=" + StringField(Expired, "refresh_token")),
                400, "errors.zor.account.oauth.invalid_grant");

    ExpectError(PostToken("grant_type=refresh_token&refresh_token=unknown"), 400,
                "errors.zor.account.oauth.invalid_grant");
    ExpectError(PostToken("grant_type=refresh_token&refresh_token="), 400,
                "errors.zor.account.oauth.invalid_request");
}

TEST_F(TokenGrantTest, ClientCredentialsGiveAClientTokenWithoutRefresh)
{
    const rapidjson::Document Token = Grant("grant_type=client_credentials", ServerClient);
    EXPECT_EQ(StringField(Token, "client_id"), ServerClient.Id);
    EXPECT_EQ(IntField(Token, "expires_in"), 7200);
    EXPECT_FALSE(Token.HasMember("refresh_token"));
    EXPECT_FALSE(Token.HasMember("account_id"));
    EXPECT_EQ(VerifyStatus(StringField(Token, "access_token")), 200);
}

TEST_F(TokenGrantTest, ExternalGrantsFindTheLinkedAccount)
{
    EXPECT_EQ(StringField(Grant("grant_type=external_auth&external_auth_type=console&external_auth_token="
                                "demo-console-ticket"),
                          "account_id"),
              DemoAccountId);
    EXPECT_EQ(StringField(Grant("grant_type=external_auth&external_auth_type=CONSOLE&external_auth_token="
                                "rival-console-ticket"),
                          "account_id"),
              RivalAccountId);
    EXPECT_EQ(StringField(Grant("grant_type=external_auth&external_auth_type=internal&external_auth_token="
                                "demo:demo-internal-secret"),
                          "account_id"),
              DemoAccountId);
}

const char* const UnlinkedExternalGrants[] = {
    "grant_type=external_auth&external_auth_type=console&external_auth_token=forged",
    "grant_type=external_auth&external_auth_type=other&external_auth_token=demo-console-ticket",
    "grant_type=external_auth&external_auth_type=internal&external_auth_token=demo:wrong",
    "grant_type=external_auth&external_auth_type=internal&external_auth_token=demo-internal-secret",
};

using UnlinkedExternalGrantTest = TZorRows<BackendTest>;

TEST_P(UnlinkedExternalGrantTest, ExternalGrantsRefuseUnlinkedCredentials)
{
    const char* Body = UnlinkedExternalGrants[GetParam()];
    SCOPED_TRACE(Body);
    ExpectError(PostToken(Body), 400, "errors.zor.account.oauth.invalid_grant");
}

INSTANTIATE_TEST_SUITE_P(Rows, UnlinkedExternalGrantTest,
                         ::testing::Range(size_t{0}, std::size(UnlinkedExternalGrants)));

TEST_F(TokenGrantTest, AnExternalGrantNeedsItsType)
{
    ExpectError(PostToken("grant_type=external_auth&external_auth_token=demo-console-ticket"), 400,
                "errors.zor.account.oauth.invalid_request");
}
} // namespace
} // namespace ZorBackendTests
