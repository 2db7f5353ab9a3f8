#include <gtest/gtest.h>

#include "CaseNamePrinter.h"
#include "Users/ZorUserInfoCache.h"

namespace
{
/** The local user's records as their ids, or "none" when it has no list. */
std::string Ids(const FZorUserInfoCache& Cache, const FString& LocalUserId)
{
    const FZorUserInfoCache::FUserList* List = Cache.Find(LocalUserId);
    if (!List)
    {
        return "none";
    }
    std::string Text;
    for (const TSharedRef<FOnlineUserInfoZor>& User : *List)
    {
        Text += (Text.empty() ? "" : " ") + User->GetUserId()->ToString().ToStdString();
    }
    return Text;
}
} // namespace

TEST(OnlineUserInfo, AttributesAreFoundIgnoringCase)
{
    FOnlineUserInfoZor User("u1");
    User.Attributes.Add({"displayName", "Dee"});
    User.Attributes.Add({"name", "Dee Real"});
    User.Attributes.Add({"DISPLAYNAME", "second spelling never wins"});
    FString Value = "untouched";
    EXPECT_TRUE(User.GetUserAttribute("DisplayName", Value));
    EXPECT_EQ(Value.ToStdString(), "Dee");
    EXPECT_EQ(User.GetDisplayName().ToStdString(), "Dee");
    EXPECT_EQ(User.GetRealName().ToStdString(), "Dee Real");
    Value = "untouched";
    EXPECT_FALSE(User.GetUserAttribute("email", Value));
    EXPECT_EQ(Value.ToStdString(), "untouched");
    EXPECT_TRUE(FOnlineUserInfoZor("u2").GetDisplayName().IsEmpty());
}

namespace
{
struct FRepliesReplaceTheirUsersAndMoveThemLastRow
{
    const char* Name;
    const char* Reply;
    const char* Ids;
};
const FRepliesReplaceTheirUsersAndMoveThemLastRow RepliesReplaceTheirUsersAndMoveThemLastRows[] = {
    {"empty reply", "[]", "a b"},
    {"new user appended", R"([{"id":"c"}])", "a b c"},
    {"queried again moves last", R"([{"id":"a"}])", "b a"},
    {"twice in one reply kept once", R"([{"id":"c"},{"id":"c"}])", "a b c"},
    {"ids compare exactly", R"([{"id":"A"}])", "a b A"},
    {"unusable elements skipped", R"([1,null,"a",{"id":""},{"id":7},{"name":"x"},{"id":["a"]}])", "a b 7"},
};

void PrintTo(const FRepliesReplaceTheirUsersAndMoveThemLastRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FRepliesReplaceTheirUsersAndMoveThemLastTest =
    ::testing::TestWithParam<FRepliesReplaceTheirUsersAndMoveThemLastRow>;
} // namespace

TEST_P(FRepliesReplaceTheirUsersAndMoveThemLastTest, RepliesReplaceTheirUsersAndMoveThemLast)
{
    const FRepliesReplaceTheirUsersAndMoveThemLastRow& Case = GetParam();
    FZorUserInfoCache Cache;
    ASSERT_TRUE(Cache.ApplyQueryReply("me", R"([{"id":"a"},{"id":"b"}])").IsEmpty());
    EXPECT_TRUE(Cache.ApplyQueryReply("ME", Case.Reply).IsEmpty()) << Case.Name;
    EXPECT_EQ(Ids(Cache, "me"), Case.Ids) << Case.Name;
    EXPECT_EQ(Ids(Cache, "other"), "none") << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FRepliesReplaceTheirUsersAndMoveThemLastTest,
                         ::testing::ValuesIn(RepliesReplaceTheirUsersAndMoveThemLastRows),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST(UserInfoCache, OnlyTextFieldsBecomeAttributes)
{
    FZorUserInfoCache Cache;
    ASSERT_TRUE(
        Cache
            .ApplyQueryReply(
                "me", R"([{"id":"u1","displayName":42,"name":"Real","flag":true,"o":{},"email":"e@x.y"}])")
            .IsEmpty());
    const TSharedPtr<FOnlineUserInfoZor> User = Cache.FindUser("me", FUniqueNetIdString("u1"));
    ASSERT_TRUE(User);
    std::string Keys;
    for (const TPair<FString, FString>& Attribute : User->Attributes)
    {
        Keys += Attribute.Key.ToStdString() + "=" + Attribute.Value.ToStdString() + " ";
    }
    EXPECT_EQ(Keys, "id=u1 name=Real email=e@x.y ");
    EXPECT_TRUE(User->GetDisplayName().IsEmpty());
    EXPECT_FALSE(Cache.FindUser("me", FUniqueNetIdString("u2")));
    EXPECT_FALSE(Cache.FindUser("other", FUniqueNetIdString("u1")));
}

TEST(UserInfoCache, RecordsOutliveTheirReplacement)
{
    FZorUserInfoCache Cache;
    ASSERT_TRUE(Cache.ApplyQueryReply("me", R"([{"id":"u1","displayName":"Old"}])").IsEmpty());
    const TSharedPtr<FOnlineUserInfoZor> Held = Cache.FindUser("me", FUniqueNetIdString("u1"));
    ASSERT_TRUE(Cache.ApplyQueryReply("me", R"([{"id":"u1","displayName":"New"}])").IsEmpty());
    EXPECT_EQ(Held->GetDisplayName().ToStdString(), "Old");
    EXPECT_EQ(Cache.FindUser("me", FUniqueNetIdString("u1"))->GetDisplayName().ToStdString(), "New");
}

TEST(UserInfoCache, RepliesThatAreNoListFailAndCreateNothing)
{
    for (const char* Reply : {"", "null", "{}", R"({"id":"u1"})", R"([{"id":"u1"}], "users": [])", "[{"})
    {
        FZorUserInfoCache Cache;
        EXPECT_EQ(Cache.ApplyQueryReply("me", Reply).ToStdString(),
                  std::string("Invalid response payload=") + Reply);
        EXPECT_EQ(Ids(Cache, "me"), "none") << Reply;
    }
}
