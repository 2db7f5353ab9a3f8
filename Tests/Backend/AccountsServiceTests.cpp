#include "BackendTestFixture.h"
#include "ZorRows.h"

namespace ZorBackendTests
{
namespace
{
const std::string Accounts = "/game/api/tavoAccount/account";
const std::string DemoLinks = "/account/api/public/account/" + DemoAccountId + "/externalAuths";

class AccountsServiceTest : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        ClientToken = GrantAccessToken("grant_type=client_credentials");
        DemoToken = GrantAccessToken(DemoLogin);
    }

    httplib::Result Send(const char* Verb, const std::string& Path, const std::string& Authorization,
                         const std::string& Body = "")
    {
        const httplib::Headers Headers{{"Authorization", Authorization}};
        const std::string Method = Verb;
        if (Method == "POST")
        {
            return Client->Post(Path.c_str(), Headers, Body, "application/json");
        }
        if (Method == "PUT")
        {
            return Client->Put(Path.c_str(), Headers, Body, "application/json");
        }
        if (Method == "DELETE")
        {
            return Client->Delete(Path.c_str(), Headers);
        }
        return Client->Get(Path.c_str(), Headers);
    }

    std::string Bearer(const std::string& Token) const { return "bearer " + Token; }
    std::string Basic(const std::string& Email, const std::string& Password) const
    {
        return "basic " + EncodeBase64(Email + ":" + Password);
    }

    std::string ClientToken;
    std::string DemoToken;
};

struct FCreationRefusal
{
    bool bUserToken;
    std::string Body;
    int Status;
    const char* ErrorCode;
};

const FCreationRefusal CreationRefusals[] = {
    {true, R"({"email":"n@x.io","displayName":"N","password":"p"})", 403,
     "errors.zor.account.client_token_required"},
    {false, "not json", 400, "errors.zor.account.invalid_payload"},
    {false, R"({"email":"nx.io","displayName":"N","password":"p"})", 400, "errors.zor.account.invalid_email"},
    {false, R"({"email":"n@x.io","displayName":"N N","password":"p"})", 400,
     "errors.zor.account.invalid_display_name"},
    {false, R"({"email":"n@x.io","displayName":"N","password":""})", 400,
     "errors.zor.account.invalid_password"},
    {false, R"({"email":"DEMO@example.com","displayName":"N","password":"p"})", 409,
     "errors.zor.account.email_taken"},
    {false, R"({"email":"n@x.io","displayName":"demoplayer","password":"p"})", 409,
     "errors.zor.account.display_name_taken"},
};

using AccountCreationRefusalTest = TZorRows<AccountsServiceTest>;

TEST_P(AccountCreationRefusalTest, CreationRefusesBadValuesTakenNamesAndUserTokens)
{
    const FCreationRefusal& Case = CreationRefusals[GetParam()];
    ExpectError(Send("POST", Accounts, Bearer(Case.bUserToken ? DemoToken : ClientToken), Case.Body),
                Case.Status, Case.ErrorCode);
}

INSTANTIATE_TEST_SUITE_P(Rows, AccountCreationRefusalTest,
                         ::testing::Range(size_t{0}, std::size(CreationRefusals)));

TEST_F(AccountsServiceTest, CreationWithoutATokenIsUnauthorised)
{
    const httplib::Result NoToken = Send("POST", Accounts, "", CreationRefusals[0].Body);
    ASSERT_TRUE(NoToken);
    EXPECT_EQ(NoToken->status, 401);
}

TEST_F(AccountsServiceTest, NewAccountLogsInAndIsManagedWithItsOwnPassword)
{
    const httplib::Result Created = Send("POST", Accounts, Bearer(ClientToken),
                                         R"({"email":"n@x.io","displayName":"Nu","password":"pw"})");
    ASSERT_TRUE(Created);
    ASSERT_EQ(Created->status, 200) << Created->body;
    const rapidjson::Document Account = ParseJson(Created->body);
    EXPECT_TRUE(Account["pendingAuth"].GetBool());
    EXPECT_FALSE(Account.HasMember("password"));
    EXPECT_FALSE(GrantAccessToken("grant_type=password&username=n%40x.io&password=pw").empty());

    ExpectError(Send("PUT", Accounts + "/N@X.io", Basic("n@x.io", "wrong"),
                     R"({"newEmail":"n@x.io","newDisplayName":"Nu","newPassword":"pw2"})"),
                401, "errors.zor.account.invalid_account_credentials");
    ExpectError(Send("PUT", Accounts + "/n@x.io", Basic("n@x.io", "pw"),
                     R"({"newEmail":"rival@example.com","newDisplayName":"Nu","newPassword":"pw2"})"),
                409, "errors.zor.account.email_taken");
    ExpectError(Send("POST", Accounts + "/n@x.io/validate/guess", Bearer(ClientToken)), 400,
                "errors.zor.account.invalid_validation_token");
    ExpectError(Send("DELETE", Accounts + "/n@x.io", Basic("demo@example.com", "demo-password")), 401,
                "errors.zor.account.invalid_account_credentials");

    const httplib::Result Deleted = Send("DELETE", Accounts + "/n@x.io", Basic("n@x.io", "pw"));
    ASSERT_TRUE(Deleted);
    EXPECT_EQ(Deleted->status, 204);
    ExpectError(Send("GET", Accounts + "/n@x.io", Bearer(ClientToken)), 404,
                "errors.zor.account.account_not_found");
}

struct FLinkRefusal
{
    bool bRival;
    std::string Body;
    int Status;
    const char* ErrorCode;
};

const FLinkRefusal LinkRefusals[] = {
    {true, R"({"authType":"pad","externalAuthToken":"p1:proof"})", 403,
     "errors.zor.account.not_your_account"},
    {false, R"({"authType":"pad","externalAuthToken":"no-colon"})", 400,
     "errors.zor.account.external_auth.invalid_token"},
    {false, R"({"authType":"pad","externalAuthToken":"p1:"})", 400,
     "errors.zor.account.external_auth.invalid_token"},
    {false, R"({"authType":"console","externalAuthToken":"c2:proof"})", 409,
     "errors.zor.account.external_auth.type_already_linked"},
    {false, R"([])", 400, "errors.zor.account.invalid_payload"},
};

using AccountLinkRefusalTest = TZorRows<AccountsServiceTest>;

TEST_P(AccountLinkRefusalTest, LinksAreRefusedToOthersAndForBadTokens)
{
    const FLinkRefusal& Refusal = LinkRefusals[GetParam()];
    const std::string Token = Refusal.bRival ? GrantAccessToken(RivalLogin) : DemoToken;
    ExpectError(Send("POST", DemoLinks, Bearer(Token), Refusal.Body), Refusal.Status, Refusal.ErrorCode);
}

INSTANTIATE_TEST_SUITE_P(Rows, AccountLinkRefusalTest, ::testing::Range(size_t{0}, std::size(LinkRefusals)));

TEST_F(AccountsServiceTest, LinksBelongToTheirAccountAndLogInAfterwards)
{
    const std::string RivalToken = GrantAccessToken(RivalLogin);
    ExpectError(Send("POST", "/account/api/public/account/" + RivalAccountId + "/externalAuths",
                     Bearer(RivalToken), R"({"authType":"internal","externalAuthToken":"demo:other"})"),
                409, "errors.zor.account.external_auth.linked_to_another_account");

    const httplib::Result Linked =
        Send("POST", DemoLinks, Bearer(DemoToken), R"({"authType":"pad","externalAuthToken":"p1:proof"})");
    ASSERT_TRUE(Linked);
    EXPECT_EQ(Linked->status, 200) << Linked->body;
    EXPECT_FALSE(
        GrantAccessToken("grant_type=external_auth&external_auth_type=pad&external_auth_token=p1%3Aproof")
            .empty());

    const httplib::Result Typed = Send("GET", DemoLinks + "/PAD", Bearer(DemoToken));
    ASSERT_TRUE(Typed);
    EXPECT_EQ(Typed->body, R"([{"tavoId":")" + DemoAccountId +
                               R"(","externalAccounts":[{"type":"pad","externalId":"p1"}]}])");
    EXPECT_EQ(Send("DELETE", DemoLinks + "/pad", Bearer(DemoToken))->status, 200);
    ExpectError(Send("DELETE", DemoLinks + "/pad", Bearer(DemoToken)), 404,
                "errors.zor.account.external_auth.not_linked");
}

TEST_F(AccountsServiceTest, DisplayNamesAndPublicInformation)
{
    const httplib::Result Found =
        Send("GET", "/account/api/public/account/displayName/demorival", Bearer(DemoToken));
    ASSERT_TRUE(Found);
    EXPECT_EQ(StringField(ParseJson(Found->body), "id"), RivalAccountId);
    ExpectError(Send("GET", "/account/api/public/account/displayName/No%20One", Bearer(DemoToken)), 404,
                "errors.zor.account.display_name_not_found");

    const httplib::Result Users = Send("GET",
                                       "/account/api/public/account?accountId=" + RivalAccountId +
                                           "&accountId=unknown&accountId=" + DemoAccountId,
                                       Bearer(DemoToken));
    ASSERT_TRUE(Users);
    const rapidjson::Document List = ParseJson(Users->body);
    ASSERT_TRUE(List.IsArray());
    ASSERT_EQ(List.Size(), 2u);
    EXPECT_EQ(StringField(List[0], "id"), RivalAccountId);
    EXPECT_FALSE(List[0].HasMember("email"));
    EXPECT_EQ(StringField(List[1], "email"), "demo@example.com");

    std::string TooMany = "/account/api/public/account?accountId=a";
    for (int Index = 0; Index < 100; ++Index)
    {
        TooMany += "&accountId=a" + std::to_string(Index); // the server folds repeated pairs into one
    }
    for (const std::string& Path : {std::string("/account/api/public/account"), TooMany})
    {
        ExpectError(Send("GET", Path, Bearer(DemoToken)), 400, "errors.zor.account.too_many_account_ids");
    }
}
} // namespace
} // namespace ZorBackendTests
