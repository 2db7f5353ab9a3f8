#include <gtest/gtest.h>

#include "AccountCreation/TavoAccountJson.h"
#include "AccountCreation/ZorAccountChecks.h"

namespace
{
struct FCheckCase
{
    const char* Text;
    bool bEmail;
    bool bWord; // display names and passwords share one rule
};

const FCheckCase CheckCases[] = {
    {"a@b.c", true, true},
    {"Player.One@Example.COM", true, true},
    {"", false, false},
    {"ab.c", false, true},
    {"a@bc", false, true},
    {"a @b.c", false, false},
    {" a@b.c", false, false},
    {"a@b.c ", false, false},
    {"@.", true, true},
    {"name", false, true},
    {"tab\there@x.y", true, true}, // only the blank is refused, as the service does
};
} // namespace

namespace
{
using FEmailDisplayNameAndPasswordRulesTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FEmailDisplayNameAndPasswordRulesTest, EmailDisplayNameAndPasswordRules)
{
    const FCheckCase& Case = CheckCases[GetParam()];
    EXPECT_EQ(ZorAccountChecks::IsEmailValid(Case.Text), Case.bEmail) << '"' << Case.Text << '"';
    EXPECT_EQ(ZorAccountChecks::IsDisplayNameValid(Case.Text), Case.bWord) << '"' << Case.Text << '"';
    EXPECT_EQ(ZorAccountChecks::IsPasswordValid(Case.Text), Case.bWord) << '"' << Case.Text << '"';
}

INSTANTIATE_TEST_SUITE_P(Rows, FEmailDisplayNameAndPasswordRulesTest,
                         ::testing::Range(size_t{0}, std::size(CheckCases)));

namespace
{
struct FBodyCase
{
    FString (*Write)(const FTavoAccountInfo& Info);
    const char* Expected;
};

const FBodyCase BodyCases[] = {
    {[](const FTavoAccountInfo& Info) { return FTavoAccountInfoJson(Info).ToJson(false); },
     R"({"email":"New@Example.com","displayName":"NewName","id":"acct-1","pendingAuth":false})"},
    {[](const FTavoAccountInfo& Info) { return FCreateTavoAccountJson(Info, "pw\"1").ToJson(false); },
     R"({"email":"New@Example.com","displayName":"NewName","password":"pw\"1","pendingAuth":false})"},
    {[](const FTavoAccountInfo& Info)
     { return FUpdateTavoAccountJson("Old@Example.com", Info, "pw2").ToJson(false); },
     R"({"email":"Old@Example.com","newEmail":"New@Example.com","newDisplayName":"NewName","newPassword":"pw2"})"},
};

using FAccountBodyTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FAccountBodyTest, BodiesCarryTheirKeysInOrder)
{
    const FBodyCase& Case = BodyCases[GetParam()];
    const FTavoAccountInfo Info("acct-1", "New@Example.com", "NewName");
    EXPECT_EQ(Case.Write(Info).ToStdString(), Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Bodies, FAccountBodyTest, ::testing::Range(size_t{0}, std::size(BodyCases)));

TEST(AccountRecords, ReadsAReplyAndRefusesWhatIsNoObject)
{
    FTavoAccountInfoJson Read;
    ASSERT_TRUE(Read.FromJson(
        R"({"id":"acct-9","email":"p@x.io","displayName":"Pee","pendingAuth":true,"extra":[1,2],"password":"x"})"));
    EXPECT_EQ(Read.AccountInfo.id.ToStdString(), "acct-9");
    EXPECT_EQ(Read.AccountInfo.email.ToStdString(), "p@x.io");
    EXPECT_EQ(Read.AccountInfo.displayName.ToStdString(), "Pee");
    EXPECT_TRUE(Read.AccountInfo.pendingAuth);

    for (const char* Reply : {"", "[]", "\"p@x.io\"", "{\"email\":", "null"})
    {
        FTavoAccountInfoJson Refused;
        EXPECT_FALSE(Refused.FromJson(FString(Reply))) << Reply;
        EXPECT_TRUE(Refused.AccountInfo.email.IsEmpty()) << Reply;
    }
}

TEST(AccountRecords, FieldsOfAnotherKindAreLeftEmpty)
{
    FTavoAccountInfoJson Read;
    ASSERT_TRUE(Read.FromJson(R"({"email":{"a":1},"displayName":7,"pendingAuth":"yes"})"));
    EXPECT_TRUE(Read.AccountInfo.email.IsEmpty());
    EXPECT_FALSE(ZorAccountChecks::IsEmailValid(Read.AccountInfo.email));
    EXPECT_FALSE(Read.AccountInfo.pendingAuth);
}
