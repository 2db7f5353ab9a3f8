#include "BackendTestFixture.h"

namespace ZorBackendTests
{
namespace
{
using AccountInfoTest = BackendTest;

rapidjson::Document AccountInfo(const httplib::Result& Result)
{
    EXPECT_TRUE(Result);
    if (!Result)
    {
        return ParseJson("{}");
    }
    EXPECT_EQ(Result->status, 200) << Result->body;
    EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
    return ParseJson(Result->body);
}

TEST_F(AccountInfoTest, OwnAccountShowsTheKeysTheLoginReads)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    const rapidjson::Document Info =
        AccountInfo(Get("/account/api/public/account/" + DemoAccountId, AccessToken));
    EXPECT_EQ(StringField(Info, "id"), DemoAccountId);
    EXPECT_EQ(StringField(Info, "displayName"), "DemoPlayer");
    EXPECT_EQ(StringField(Info, "name"), "Demo Player");
    EXPECT_EQ(StringField(Info, "email"), "demo@example.com");
    // ISO 8601 UTC, written at the grant.
    const std::string LastLogin = StringField(Info, "lastLogin");
    ASSERT_EQ(LastLogin.size(), 24u);
    EXPECT_EQ(LastLogin[10], 'T');
    EXPECT_EQ(LastLogin.back(), 'Z');
    EXPECT_FALSE(Info.HasMember("password"));
}

TEST_F(AccountInfoTest, OtherAccountsHideTheirEmail)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    const rapidjson::Document Rival =
        AccountInfo(Get("/account/api/public/account/" + RivalAccountId, AccessToken));
    EXPECT_EQ(StringField(Rival, "displayName"), "DemoRival");
    EXPECT_FALSE(Rival.HasMember("email"));
    EXPECT_FALSE(Rival.HasMember("lastLogin"));

    const std::string ServerToken = GrantAccessToken("grant_type=client_credentials", ServerClient);
    const rapidjson::Document Demo =
        AccountInfo(Get("/account/api/public/account/" + DemoAccountId, ServerToken));
    EXPECT_EQ(StringField(Demo, "id"), DemoAccountId);
    EXPECT_FALSE(Demo.HasMember("email"));
}

TEST_F(AccountInfoTest, UnknownAccountsAndBadTokensAreRefused)
{
    const std::string AccessToken = GrantAccessToken(DemoLogin);
    ExpectError(Get("/account/api/public/account/nosuchaccount", AccessToken), 404,
                "errors.zor.account.account_not_found");
    ExpectError(Client->Get(("/account/api/public/account/" + DemoAccountId).c_str()), 401,
                "errors.zor.account.oauth.invalid_token");
    ASSERT_TRUE(Backend->RevokeToken(AccessToken));
    ExpectError(Get("/account/api/public/account/" + DemoAccountId, AccessToken), 401,
                "errors.zor.account.oauth.invalid_token");
}
} // namespace
} // namespace ZorBackendTests
