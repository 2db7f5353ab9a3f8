#include <gtest/gtest.h>

#include "AccountMapping/AddExternalAccountJson.h"
#include "AccountMapping/ZorExternalAccountCache.h"
#include "CaseNamePrinter.h"

namespace
{
/** The cached list as "type:id" words, or "none" when the account has no list. */
std::string Listed(const FZorExternalAccountCache& Cache, const FString& AccountId)
{
    const TArray<FExternalOnlineAccount>* List = Cache.Find(AccountId);
    if (!List)
    {
        return "none";
    }
    std::string Text;
    for (const FExternalOnlineAccount& Account : *List)
    {
        Text += (Text.empty() ? "" : " ") + Account.Type.ToStdString() + ":" + Account.Id.ToStdString();
        EXPECT_TRUE(Account.Token.IsEmpty() || Account.Token == "tok") << "unexpected token";
    }
    return Text;
}

/** a1 holds two "x" accounts and one "y"; a2 one "x". */
FZorExternalAccountCache Seeded()
{
    FZorExternalAccountCache Cache;
    Cache.Add("a1", {"x", "1", "tok"});
    Cache.Add("a1", {"x", "2", "tok"});
    Cache.Add("a1", {"y", "3", "tok"});
    Cache.Add("a2", {"x", "4", "tok"});
    return Cache;
}
} // namespace

TEST(ExternalOnlineAccount, EqualByTypeAndIdIgnoringCaseButNotToken)
{
    EXPECT_TRUE(FExternalOnlineAccount("Steamish", "AbC", "t1") ==
                FExternalOnlineAccount("steamISH", "abc", "t2"));
    EXPECT_FALSE(FExternalOnlineAccount("x", "1", "") == FExternalOnlineAccount("x", "2", ""));
    EXPECT_FALSE(FExternalOnlineAccount("x", "1", "") == FExternalOnlineAccount("y", "1", ""));
}

TEST(ExternalOnlineAccount, LinkBodyCarriesTypeAndTokenOnly)
{
    const FAddExternalAccountJson Body(FExternalOnlineAccount("console", "ignored-id", "proof"));
    EXPECT_EQ(Body.ToJson(false).ToStdString(), R"({"authType":"console","externalAuthToken":"proof"})");
}

TEST(ExternalAccountCache, LinkAndUnlink)
{
    FZorExternalAccountCache Cache = Seeded();
    EXPECT_EQ(Listed(Cache, "A1"), "x:1 x:2 y:3");

    Cache.Add("a1", {"X", "1", "other"}); // the same account in other letter case
    EXPECT_EQ(Listed(Cache, "a1"), "x:1 x:2 y:3");

    Cache.RemoveType("a1", "X");
    EXPECT_EQ(Listed(Cache, "a1"), "y:3");
    EXPECT_EQ(Listed(Cache, "a2"), "x:4");

    Cache.RemoveType("never", "x");
    EXPECT_EQ(Listed(Cache, "never"), "none");
}

namespace
{
struct FQueryRepliesReplaceWhatTheyCoverRow
{
    const char* Name;
    const char* Type;
    const char* Reply;
    const char* A1;
    const char* A2;
    const char* A3;
};
const FQueryRepliesReplaceWhatTheyCoverRow QueryRepliesReplaceWhatTheyCoverRows[] = {
    {"empty reply", "", "[]", "x:1 x:2 y:3", "x:4", "none"},
    {"untyped replaces the whole list", "",
     R"([{"tavoId":"a1","externalAccounts":[{"type":"z","externalId":"9"}]}])", "z:9", "x:4", "none"},
    {"typed keeps the other types", "x",
     R"([{"tavoId":"a1","externalAccounts":[{"type":"x","externalId":"7"}]}])", "y:3 x:7", "x:4", "none"},
    {"typed in other case", "X", R"([{"tavoId":"A1","externalAccounts":[]}])", "y:3", "x:4", "none"},
    {"typed reply naming a kept type lists it once", "x",
     R"([{"tavoId":"a1","externalAccounts":[{"type":"y","externalId":"3"},{"type":"x","externalId":"8"}]}])",
     "y:3 x:8", "x:4", "none"},
    {"empty externalAccounts empties", "", R"([{"tavoId":"a2","externalAccounts":[]}])", "x:1 x:2 y:3", "",
     "none"},
    {"new account id", "", R"([{"tavoId":"a3","externalAccounts":[{"type":"q","externalId":"5"}]}])",
     "x:1 x:2 y:3", "x:4", "q:5"},
    {"unusable elements are skipped", "",
     R"([1,"a1",null,{"externalAccounts":[]},{"tavoId":"","externalAccounts":[]},)"
     R"({"tavoId":"a3","externalAccounts":[{"type":"","externalId":"1"},{"type":"q"},{"externalId":"2"},7,)"
     R"({"type":"q","externalId":"6"}]}])",
     "x:1 x:2 y:3", "x:4", "q:6"},
};

void PrintTo(const FQueryRepliesReplaceWhatTheyCoverRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FQueryRepliesReplaceWhatTheyCoverTest = ::testing::TestWithParam<FQueryRepliesReplaceWhatTheyCoverRow>;
} // namespace

TEST_P(FQueryRepliesReplaceWhatTheyCoverTest, QueryRepliesReplaceWhatTheyCover)
{
    const FQueryRepliesReplaceWhatTheyCoverRow& Case = GetParam();
    FZorExternalAccountCache Cache = Seeded();
    EXPECT_TRUE(Cache.ApplyQueryReply(Case.Reply, Case.Type).IsEmpty()) << Case.Name;
    EXPECT_EQ(Listed(Cache, "a1"), Case.A1) << Case.Name;
    EXPECT_EQ(Listed(Cache, "a2"), Case.A2) << Case.Name;
    EXPECT_EQ(Listed(Cache, "a3"), Case.A3) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FQueryRepliesReplaceWhatTheyCoverTest,
                         ::testing::ValuesIn(QueryRepliesReplaceWhatTheyCoverRows),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

namespace
{
const char* const RepliesThatAreNoList[] = {
    "",
    "null",
    "not json",
    R"({"tavoId":"a1","externalAccounts":[]})",
    R"([], "zorAccountInfos": [{"tavoId":"a1","externalAccounts":[]}])",
    R"([{"tavoId":"a1","externalAccounts":[]}] trailing)",
};

using FRepliesThatAreNoListTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FRepliesThatAreNoListTest, RepliesThatAreNoListFailAndChangeNothing)
{
    const char* Reply = RepliesThatAreNoList[GetParam()];
    FZorExternalAccountCache Cache = Seeded();
    EXPECT_EQ(Cache.ApplyQueryReply(Reply, "").ToStdString(),
              std::string("Invalid response payload=") + Reply);
    EXPECT_EQ(Listed(Cache, "a1"), "x:1 x:2 y:3") << Reply;
}

INSTANTIATE_TEST_SUITE_P(Rows, FRepliesThatAreNoListTest,
                         ::testing::Range(size_t{0}, std::size(RepliesThatAreNoList)));
