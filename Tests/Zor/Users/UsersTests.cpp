#include "ZorSubsystemTest.h"

#include "Users/OnlineUsersZor.h"
#include "ZorRows.h"

namespace
{
const char* const QueryUrl = "http://127.0.0.1:8080/account/api/public/account";

TArray<FUniqueNetIdRef> Ids(std::initializer_list<const char*> Texts)
{
    TArray<FUniqueNetIdRef> Out;
    for (const char* Text : Texts)
    {
        Out.Add(MakeShared<FUniqueNetIdString>(Text));
    }
    return Out;
}
} // namespace

class FUsersTest : public FZorSubsystemTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        for (int32 LocalUserNum = 0; LocalUserNum < 2; ++LocalUserNum)
        {
            Users().AddOnQueryUserInfoCompleteDelegate(
                LocalUserNum,
                FOnQueryUserInfoCompleteDelegate::CreateLambda(
                    [this](int32 Num, bool bOk, const TArray<FUniqueNetIdRef>& UserIds, const FString& Error)
                    {
                        std::string Text = std::to_string(Num) + (bOk ? " ok" : " fail");
                        for (const FUniqueNetIdRef& Id : UserIds)
                        {
                            Text += " " + Id->ToString().ToStdString();
                        }
                        Events.push_back(Text + (Error.IsEmpty() ? "" : " / " + Error.ToStdString()));
                    }));
        }
    }

    IOnlineUser& Users() { return *Subsystem->GetUserInterface(); }

    void LogIn()
    {
        LoginUser();
        if (FindPending("/sessions/kill"))
        {
            Answer("/sessions/kill", 204, "");
        }
    }

    /** Every record kept for local user 0 as "id:displayName" words. */
    std::string Kept()
    {
        TArray<TSharedRef<FOnlineUser>> All;
        if (!Users().GetAllUserInfo(0, All))
        {
            return "none";
        }
        std::string Text;
        for (const TSharedRef<FOnlineUser>& User : All)
        {
            Text += (Text.empty() ? "" : " ") + User->GetUserId()->ToString().ToStdString() + ":" +
                    User->GetDisplayName().ToStdString();
        }
        return Text;
    }

    void Reply(int32 Code, const FString& Body)
    {
        Tick();
        RespondOldest(Code, Body);
        Tick();
    }

    std::vector<std::string> Events;
};

TEST_F(FUsersTest, QueryRefusedBeforeSending)
{
    EXPECT_FALSE(Users().QueryUserInfo(0, Ids({"a"})));
    LogIn();
    EXPECT_FALSE(Users().QueryUserInfo(0, {}));
    EXPECT_FALSE(Users().QueryUserInfo(1, Ids({"a"})));
    ASSERT_TRUE(Users().QueryUserInfo(0, Ids({"a"})));
    EXPECT_FALSE(Users().QueryUserInfo(0, Ids({"b"})));
    EXPECT_EQ(Events, (std::vector<std::string>{"0 fail a / Invalid userid", "0 fail / No users specified",
                                                "1 fail a / Invalid LocalUserNum=1",
                                                "0 fail b / Already pending for LocalUserNum=0"}));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "QueryUserInfo request failed. Invalid LocalUserNum=1"));
}

namespace
{
struct FOneAccountIdParameterPerUserInOrderRow
{
    TArray<FUniqueNetIdRef> UserIds;
    std::string Url;
};
const FOneAccountIdParameterPerUserInOrderRow OneAccountIdParameterPerUserInOrderRows[] = {
    {Ids({"a"}), std::string(QueryUrl) + "?accountId=a"},
    {Ids({"c", "a", "b"}), std::string(QueryUrl) + "?accountId=c&accountId=a&accountId=b"},
    {Ids({"x&accountId=y", "p+q r#"}),
     std::string(QueryUrl) + "?accountId=x%26accountId=y&accountId=p%2Bq%20r%23"},
};

using FUsersTestOneAccountIdParameterPerUserInOrder = TZorRows<FUsersTest>;
} // namespace

TEST_P(FUsersTestOneAccountIdParameterPerUserInOrder, OneAccountIdParameterPerUserInOrder)
{
    LogIn();
    const FOneAccountIdParameterPerUserInOrderRow& Case = OneAccountIdParameterPerUserInOrderRows[GetParam()];
    ASSERT_TRUE(Users().QueryUserInfo(0, Case.UserIds));
    Tick();
    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_EQ(Sent.URL.ToStdString(), Case.Url);
    EXPECT_EQ(Sent.Verb.ToStdString(), "GET");
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization").ToStdString(), "bearer access-1");
    EXPECT_EQ(ZorExact::Header(Sent, "Content-Type").ToStdString(), "application/json");
    RespondOldest(200, "[]");
    Tick();
}

INSTANTIATE_TEST_SUITE_P(Rows, FUsersTestOneAccountIdParameterPerUserInOrder,
                         ::testing::Range(size_t{0}, std::size(OneAccountIdParameterPerUserInOrderRows)));

TEST_F(FUsersTest, RepliesFillTheCacheInOrder)
{
    LogIn();
    EXPECT_EQ(Kept(), "none");
    const struct
    {
        const char* Name;
        int32 Code;
        const char* Body;
        const char* Kept;
        /** None when the reply fires nothing. */
        std::string Event;
        /** The user logs out and in again as this account before the reply comes. */
        const char* LoginAgainAs = nullptr;
    } Steps[] = {
        {"empty reply makes the list", 200, "[]", "", "0 ok u1 u2"},
        {"records in reply order", 200, R"([{"id":"u2","displayName":"Two"},{"id":"u1","displayName":1}])",
         "u2:Two u1:", "0 ok u1 u2"},
        {"queried again moves last", 200, R"([{"id":"u2","displayName":"Deux"},{"name":"no id"}])",
         "u1: u2:Deux", "0 ok u1 u2"},
        {"refused code keeps the cache", 500, "oops", "u1: u2:Deux",
         "0 fail u1 u2 / Invalid response. code=500 error=oops"},
        {"redirect keeps the cache", 302, R"([{"id":"u1","displayName":"Moved"}])", "u1: u2:Deux",
         R"(0 fail u1 u2 / Invalid response. code=302 error=[{"id":"u1","displayName":"Moved"}])"},
        {"object instead of a list", 200, R"({"id":"u3"})", "u1: u2:Deux",
         R"(0 fail u1 u2 / Invalid response payload={"id":"u3"})"},
        {"reply for a login that ended", 200, R"([{"id":"u1","displayName":"Late"}])", "u1: u2:Deux",
         "0 fail u1 u2 / No response", "acct1"},
    };
    for (const auto& Step : Steps)
    {
        Events.clear();
        ASSERT_TRUE(Users().QueryUserInfo(0, Ids({"u1", "u2"}))) << Step.Name;
        if (Step.LoginAgainAs)
        {
            Tick(); // sent for the first login
            Identity().Logout(0);
            LoginUser(Step.LoginAgainAs);
        }
        Reply(Step.Code, Step.Body);
        EXPECT_EQ(Kept(), Step.Kept) << Step.Name;
        EXPECT_EQ(Events,
                  Step.Event.empty() ? std::vector<std::string>() : std::vector<std::string>{Step.Event})
            << Step.Name;
    }
    const TSharedPtr<FOnlineUser> Found = Users().GetUserInfo(0, FUniqueNetIdString("u2"));
    ASSERT_TRUE(Found);
    FString Value;
    EXPECT_TRUE(Found->GetUserAttribute("DISPLAYNAME", Value));
    EXPECT_EQ(Value.ToStdString(), "Deux");
    EXPECT_FALSE(Users().GetUserInfo(0, FUniqueNetIdString("u9")));
    EXPECT_FALSE(Users().GetUserInfo(1, FUniqueNetIdString("u2")));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Verbose, FString("QueryUserInfo request complete. url=") + QueryUrl));
}

TEST_F(FUsersTest, ShutdownReportsThePendingQueryOnce)
{
    LogIn();
    ASSERT_TRUE(Users().QueryUserInfo(0, Ids({"u1"})));
    const IOnlineUserPtr Held = Subsystem->GetUserInterface();
    Subsystem->Shutdown();
    Tick(2);
    EXPECT_FALSE(Subsystem->GetUserInterface());
    EXPECT_EQ(Events, std::vector<std::string>{"0 fail u1 / No response"});
}
