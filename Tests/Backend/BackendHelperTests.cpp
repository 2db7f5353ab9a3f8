#include "BackendHttp.h"
#include "BackendSeed.h"
#include "LocalBackend.h"

#include <gtest/gtest.h>

namespace ZorBackendTests
{
namespace
{
using namespace ZorBackend;

TEST(BackendFormTest, DecodesPercentEscapesAndPlus)
{
    const auto Form = ParseForm("username=a%40b.c&password=p%26q%3Dr+s%2B&empty=&flag");
    ASSERT_TRUE(Form);
    EXPECT_EQ(Form->at("username"), "a@b.c");
    EXPECT_EQ(Form->at("password"), "p&q=r s+");
    EXPECT_EQ(Form->at("empty"), "");
    EXPECT_EQ(Form->at("flag"), "");
    EXPECT_EQ(Form->size(), 4u);
}

TEST(BackendFormTest, ValueMayHoldEqualsSignsAndEmptyPairsAreSkipped)
{
    const auto Form = ParseForm("&token=a=b==&&x=%41%6a&");
    ASSERT_TRUE(Form);
    EXPECT_EQ(Form->at("token"), "a=b==");
    EXPECT_EQ(Form->at("x"), "Aj");
    EXPECT_TRUE(ParseForm("")->empty());
}

TEST(BackendFormTest, RefusesBadEscapesEmptyAndRepeatedKeys)
{
    for (const char* Body : {"a=%", "a=%4", "a=%4g", "%=1", "a=1&=2", "a=1&a=2", "a=1&%61=2"})
    {
        EXPECT_FALSE(ParseForm(Body)) << Body;
    }
}

TEST(BackendBase64Test, DecodesEveryPaddingLength)
{
    EXPECT_EQ(Base64Decode("YQ=="), "a");
    EXPECT_EQ(Base64Decode("YWI="), "ab");
    EXPECT_EQ(Base64Decode("YWJj"), "abc");
    EXPECT_EQ(Base64Decode(""), "");
    EXPECT_EQ(Base64Decode("AP8="), std::string("\x00\xff", 2));
}

TEST(BackendBase64Test, RefusesWhatNoEncoderWrites)
{
    for (const char* Text : {"YQ", "YQ=", "Y===", "====", "YW!j", "YR==", "YQ==YQ==", "YWJ j"})
    {
        EXPECT_FALSE(Base64Decode(Text)) << Text;
    }
}

TEST(BackendAuthHeaderTest, SplitsBasicCredentialsAtTheFirstColon)
{
    const auto Credentials = ParseBasicAuth("Basic  aWQ6c2U6Y3JldA==  ");
    ASSERT_TRUE(Credentials);
    EXPECT_EQ(Credentials->Id, "id");
    EXPECT_EQ(Credentials->Secret, "se:cret");
    EXPECT_FALSE(ParseBasicAuth("basic aWQ="));
    EXPECT_FALSE(ParseBasicAuth("basicaWQ6cw=="));
    EXPECT_FALSE(ParseBasicAuth("bearer aWQ6cw=="));
}

TEST(BackendAuthHeaderTest, ReadsBearerTokens)
{
    EXPECT_EQ(ParseBearerAuth("bearer abc"), "abc");
    EXPECT_EQ(ParseBearerAuth("BEARER abc "), "abc");
    EXPECT_FALSE(ParseBearerAuth("bearer"));
    EXPECT_FALSE(ParseBearerAuth("bearer   "));
    EXPECT_FALSE(ParseBearerAuth("basic abc"));
}

TEST(BackendAuthHeaderTest, ComparesSecretsExactly)
{
    EXPECT_TRUE(ConstantTimeEquals("secret", "secret"));
    EXPECT_FALSE(ConstantTimeEquals("secret", "secreT"));
    EXPECT_FALSE(ConstantTimeEquals("secret", "secret2"));
    EXPECT_FALSE(ConstantTimeEquals("", "x"));
    EXPECT_EQ(MediaType(" Application/JSON ; charset=utf-8"), "application/json");
}

TEST(BackendSeedTest, ShippedSeedHoldsTheDemoClientsAndUser)
{
    FBackendState State;
    ASSERT_EQ(LoadSeedFile(DefaultSeedPath(), State), std::nullopt);
    std::vector<std::string> Names;
    for (const auto& [Id, Client] : State.Clients)
    {
        Names.push_back(Client.Name);
        EXPECT_EQ(Client.bServer, Client.Name == "DedicatedServer") << Id;
    }
    EXPECT_EQ(Names.size(), 3u);
    for (const char* Name : {"Client", "PurchaseClient", "DedicatedServer"})
    {
        EXPECT_NE(std::find(Names.begin(), Names.end(), Name), Names.end()) << Name;
    }
    const FAccount* Demo = State.FindAccountByEmail("demo@example.com");
    ASSERT_NE(Demo, nullptr);
    EXPECT_EQ(Demo->DisplayName, "DemoPlayer");
    EXPECT_EQ(Demo->Password, "demo-password");
}

namespace
{
const std::string RefusesMalformedSeedsRows[] = {
    "",
    "[]",
    "{\"clients\": {}}",
    "{\"clients\": [{\"name\": \"Client\", \"id\": \"c\"}]}",
    "{\"clients\": [{\"name\": \"Client\", \"id\": \"c\", \"secret\": 5}]}",
    "{\"clients\": [{\"name\": \"A\", \"id\": \"c\", \"secret\": \"s\"}, {\"name\": \"B\", \"id\": "
    "\"c\", "
    "\"secret\": \"t\"}]}",
    "{\"accounts\": [{\"id\": \"a\", \"displayName\": \"A\", \"email\": \"a@x\"}]}",
    "{\"accounts\": [{\"id\": \"a\", \"displayName\": \"A\", \"email\": \"a@x\", \"password\": \"p\"}, "
    "{\"id\": \"b\", \"displayName\": \"B\", \"email\": \"A@X\", \"password\": \"p\"}]}",
    "{\"accounts\": [{\"id\": \"a\", \"displayName\": \"A\", \"email\": \"a@x\", \"password\": \"p\", "
    "\"externalAuths\": [{\"type\": \"console\", \"id\": \"x\"}]}]}",
    "{\"accounts\": [{\"id\": \"\xff\", \"displayName\": \"A\", \"email\": \"a@x\", \"password\": "
    "\"p\"}]}",
    "{\"clients\": " + std::string(200000, '['),
    "{\"clients\": [{\"name\": \"S\", \"id\": \"s\", \"secret\": \"t\", \"server\": \"yes\"}]}",
};

using FRefusesMalformedSeedsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FRefusesMalformedSeedsTest, RefusesMalformedSeeds)
{
    const std::string& Seed = RefusesMalformedSeedsRows[GetParam()];
    FBackendState State;
    EXPECT_NE(LoadSeedJson(Seed, State), std::nullopt) << Seed.substr(0, 80);
}

INSTANTIATE_TEST_SUITE_P(Rows, FRefusesMalformedSeedsTest,
                         ::testing::Range(size_t{0}, std::size(RefusesMalformedSeedsRows)));

TEST(BackendSeedTest, StartReportsAMissingSeed)
{
    FLocalBackend Backend({.SeedPath = "/nonexistent/zorbackend-seed.json"});
    std::string Error;
    EXPECT_EQ(Backend.Start(0, Error), -1);
    EXPECT_NE(Error.find("/nonexistent/zorbackend-seed.json"), std::string::npos);
}
} // namespace
} // namespace ZorBackendTests
