#include "FriendsTest.h"

#include "CaseNamePrinter.h"
#include "ZorRows.h"

namespace
{
const FString Base = "http://127.0.0.1:8080";
const FString TwoFriends =
    R"([{"tavoId":"f1","status":"PENDING_INBOUND"},{"tavoId":"f2","status":"ACCEPTED"}])";

using FFriendOperation = bool (FOnlineFriendsZor::*)(int32, const FUniqueNetId&, const FString&);

struct FShapeCase
{
    FFriendOperation Operation;
    const char* Verb;
    const char* Path;
};

const FShapeCase ShapeCases[] = {
    {&FOnlineFriendsZor::AcceptInvite, "POST", "/api/public/list/f%2F1/default/acct1/accept"},
    {&FOnlineFriendsZor::RejectInvite, "POST", "/api/public/list/f%2F1/default/acct1/reject"},
    {&FOnlineFriendsZor::DeleteFriend, "DELETE", "/api/public/list/acct1/default/f%2F1"},
};

using FFriendsShapeTest = TZorRows<FFriendsTest>;

TEST_P(FFriendsShapeTest, EachOperationSendsItsVerbAndPathWithTheAcceptorInTheAccountSlot)
{
    const FShapeCase& Case = ShapeCases[GetParam()];
    ReadList(R"([{"tavoId":"f/1","status":"PENDING_INBOUND"}])");
    ASSERT_TRUE((Friends().*Case.Operation)(0, FUniqueNetIdString("f/1"), "default")) << Case.Path;
    Tick();
    const auto Sent = Oldest();
    EXPECT_EXACT_EQ(Sent.URL, Base + Case.Path);
    EXPECT_EQ(Sent.Verb, FString(Case.Verb));
    EXPECT_EQ(ZorExact::Header(Sent, "Content-Type"), FString("application/json"));
    EXPECT_TRUE(Sent.Content.IsEmpty());
    RespondOldest(500, "no");
    Tick();
}

INSTANTIATE_TEST_SUITE_P(Rows, FFriendsShapeTest, ::testing::Range(size_t{0}, std::size(ShapeCases)));

TEST_F(FFriendsTest, AnInviteNamesTheInviterThenTheListThenTheInvited)
{
    ReadList(R"([{"tavoId":"f/1","status":"PENDING_INBOUND"}])");
    ASSERT_TRUE(Friends().SendInvite(0, FUniqueNetIdString("f9"), "my list"));
    Tick();
    EXPECT_EXACT_EQ(Oldest().URL, Base + "/api/public/list/acct1/my%20list/f9");
    EXPECT_EQ(Oldest().Verb, FString("POST"));
}

struct FRefusalCase
{
    const char* Name;
    int32 LocalUserNum;
    const char* List;
    const char* Error;
};

const FRefusalCase RefusalCases[] = {
    {"another local user", 1, "other", "Invalid LocalUserNum=1"},
    {"same list in other case", 0, "DEFAULT", "Already pending for LocalUserNum=0"},
};

void PrintTo(const FRefusalCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

using FFriendsRefusalTest = TZorRows<FFriendsTest, FRefusalCase>;

TEST_P(FFriendsRefusalTest, RefusedCallsReportAtOnceAndSendNothing)
{
    const FRefusalCase& Case = GetParam();
    ASSERT_TRUE(Friends().ReadFriendsList(0, "Default"));
    Events.Empty();
    EXPECT_FALSE(Friends().ReadFriendsList(Case.LocalUserNum, Case.List)) << Case.Name;
    EXPECT_EQ(EventText(), FString::Printf("read:%d:0:%s:%s", Case.LocalUserNum, Case.List, Case.Error));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, FString("ReadFriendsList request failed. ") + Case.Error));
}

INSTANTIATE_TEST_SUITE_P(Rows, FFriendsRefusalTest, ::testing::ValuesIn(RefusalCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FFriendsTest, AnotherListRunsBesideAPendingOneAndALoggedOutUserIsRefused)
{
    ASSERT_TRUE(Friends().ReadFriendsList(0, "Default"));
    EXPECT_TRUE(Friends().DeleteFriendsList(0, "other")) << "another list may run beside it";
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 2);

    Identity().Logout(0);
    Events.Empty();
    EXPECT_FALSE(Friends().DeleteFriend(0, FUniqueNetIdString("f1"), "third"));
    EXPECT_EQ(EventText(), FString("delete:0:0:f1:third:Invalid userid"));
}

struct FListReplyCase
{
    const char* Name;
    int32 Code;
    FString Body;
    bool bSucceeds;
    int32 Cached;
    FString Error;
};

TEST_F(FFriendsTest, ListRepliesReplaceTheCacheOnlyWhenTheyHoldAList)
{
    const FListReplyCase Cases[] = {
        {"two friends", 200, TwoFriends, true, 2, ""},
        {"not JSON leaves the cache", 200, "oops", false, 2, "Invalid response payload=oops"},
        {"an object leaves the cache", 200, R"({"a":1})", false, 2, R"(Invalid response payload={"a":1})"},
        {"server error leaves the cache", 503, R"({"errorMessage":"busy"})", false, 2,
         R"(Invalid response. code=503 error={"errorMessage":"busy"})"},
        {"wrong kinds are skipped", 200,
         R"([{"tavoId":"f3","status":5},"x",{"tavoId":7,"status":"ACCEPTED"},{"tavoId":"f4","status":"ACCEPTED"}])",
         true, 1, ""},
        {"an empty list empties it", 200, "[]", true, 0, ""},
    };
    for (const FListReplyCase& Case : Cases)
    {
        Events.Empty();
        ASSERT_TRUE(Friends().ReadFriendsList(0, "default"));
        Tick();
        Answer(ListUrl, Case.Code, Case.Body);
        EXPECT_EQ(EventText(), FString::Printf("read:0:%d:default:%s", Case.bSucceeds, *Case.Error))
            << Case.Name;
        TArray<TSharedRef<FOnlineFriend>> Cached;
        EXPECT_TRUE(Friends().GetFriendsList(0, "DEFAULT", Cached));
        EXPECT_EQ(Cached.Num(), Case.Cached) << Case.Name;
    }
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "You have 4 friends."));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::VeryVerbose, "ReadFriendsList request complete. url=" + Base + ListUrl));
}

TEST_F(FFriendsTest, InvitationsMoveThroughTheirStates)
{
    ReadList(TwoFriends);
    EXPECT_FALSE(Friends().IsFriend(0, FUniqueNetIdString("f1"), "default"));

    Answered(&FOnlineFriendsZor::AcceptInvite, "f1", 200);
    EXPECT_TRUE(Friends().IsFriend(0, FUniqueNetIdString("f1"), "default"));

    Answered(&FOnlineFriendsZor::SendInvite, "f3", 204);
    EXPECT_EQ(StatusOf("f3"), EInviteStatus::PendingOutbound);

    Answered(&FOnlineFriendsZor::RejectInvite, "f3", 404);
    EXPECT_EQ(StatusOf("f3"), EInviteStatus::PendingOutbound) << "a failed rejection keeps the record";
    Answered(&FOnlineFriendsZor::RejectInvite, "f3", 200);
    EXPECT_EQ(StatusOf("f3"), std::nullopt);

    Answered(&FOnlineFriendsZor::DeleteFriend, "f2", 404);
    EXPECT_EQ(StatusOf("f2"), std::nullopt) << "a failed deletion drops the record too";

    EXPECT_EQ(EventText(),
              FString("read:0:1:default:,accept:0:1:f1:default:,send:0:1:f3:default:,"
                      "reject:0:0:f3:default:Invalid response. code=404 error={},"
                      "reject:0:1:f3:default:,delete:0:0:f2:default:Invalid response. code=404 error={}"));
}

TEST_F(FFriendsTest, CacheTestsRefuseBeforeSending)
{
    ReadList(TwoFriends);
    Events.Empty();
    EXPECT_FALSE(Friends().SendInvite(0, FUniqueNetIdString("F1"), "default"));
    EXPECT_FALSE(Friends().AcceptInvite(0, FUniqueNetIdString("f9"), "default"));
    EXPECT_FALSE(Friends().RejectInvite(0, FUniqueNetIdString("f9"), "other"));
    EXPECT_EQ(EventText(), FString("send:0:0:F1:default:Already invited friend=F1.,"
                                   "accept:0:0:f9:default:No cached friend=f9. Read friends list first,"
                                   "reject:0:0:f9:other:No cached friend=f9. Read friends list first"));
    EXPECT_EQ(Http().NumStarted(), 1);
}

TEST_F(FFriendsTest, AnInviteIntoAListNeverReadAddsNoRecord)
{
    TArray<TSharedRef<FOnlineFriend>> Cached;
    EXPECT_FALSE(Friends().GetFriendsList(0, "default", Cached));
    EXPECT_TRUE(Log.Contains("FOnlineFriendsZor::GetFriendsList - Unable to find friends lists for acct1"));

    // The first completion only adds the user's entry, the second the empty list: no record either time.
    Answered(&FOnlineFriendsZor::SendInvite, "f1", 200);
    EXPECT_EQ(StatusOf("f1"), std::nullopt);
    EXPECT_FALSE(Friends().GetFriendsList(0, "default", Cached));
    EXPECT_TRUE(Log.Contains(
        "FOnlineFriendsZor::GetFriendsList - FriendList default not found in the list of lists"));

    Answered(&FOnlineFriendsZor::SendInvite, "f1", 200);
    EXPECT_EQ(StatusOf("f1"), std::nullopt);
    EXPECT_TRUE(Friends().GetFriendsList(0, "default", Cached));
    EXPECT_TRUE(Cached.IsEmpty());
    EXPECT_EQ(EventText(), FString("send:0:1:f1:default:,send:0:1:f1:default:"));
}

TEST_F(FFriendsTest, DeletingAListDropsItsCache)
{
    ReadList(TwoFriends);
    ASSERT_TRUE(Friends().DeleteFriendsList(0, "DEFAULT"));
    Tick();
    EXPECT_EQ(Oldest().Verb, FString("DELETE"));
    Answer("/api/public/list/acct1/DEFAULT", 204, "");
    TArray<TSharedRef<FOnlineFriend>> Cached;
    EXPECT_FALSE(Friends().GetFriendsList(0, "default", Cached));
}

TEST_F(FFriendsTest, ShutdownReportsPendingOnceThenRefusesAtOnce)
{
    const TSharedPtr<FOnlineFriendsZor> Held = Subsystem->GetZorFriendsService();
    ASSERT_TRUE(Held->ReadFriendsList(0, "default"));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(EventText(), FString("read:0:0:default:No response"));
    EXPECT_FALSE(Subsystem->GetFriendsInterface());

    Events.Empty();
    EXPECT_FALSE(Held->ReadFriendsList(0, "default"));
    EXPECT_EQ(Events.Num(), 1);
    EXPECT_EQ(Http().NumStarted(), 1);
}
} // namespace
