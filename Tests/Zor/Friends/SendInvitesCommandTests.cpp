#include "Core/Exec.h"
#include "FriendsTest.h"
#include "ZorRows.h"

namespace
{
using FSendInvitesTest = FFriendsTest;

TEST_F(FSendInvitesTest, EachInvitationGoesOutAfterThePreviousOneEndsWhateverItsOutcome)
{
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b c", *GLog));
    const int32 Codes[] = {200, 500, 200};
    const char* Ids[] = {"a", "b", "c"};
    for (int32 Index = 0; Index < 3; ++Index)
    {
        Tick();
        ASSERT_EQ(Http().NumPending(), 1) << "one invitation at a time";
        EXPECT_EXACT_EQ(Oldest().URL,
                        FString("http://127.0.0.1:8080/api/public/list/acct1/default/") + Ids[Index]);
        RespondOldest(Codes[Index], "{}");
        Tick();
    }
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 3);
    EXPECT_EQ(EventText(),
              FString("send:0:1:a:default:,send:0:0:b:default:Invalid response. code=500 error={},"
                      "send:0:1:c:default:"));
}

TEST_F(FSendInvitesTest, ARefusedInvitationMovesStraightOnAndNoIdsSendNothing)
{
    ReadList(R"([{"tavoId":"a","status":"ACCEPTED"}])");
    Events.Empty();
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES", *GLog));
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b", *GLog));
    EXPECT_EQ(EventText(), FString("send:0:0:a:default:Already invited friend=a."));
    Tick();
    EXPECT_EXACT_EQ(Oldest().URL, FString("http://127.0.0.1:8080/api/public/list/acct1/default/b"));
}

TEST_F(FSendInvitesTest, ACallersRefusalOnTheSameListDoesNotSkipAnInvitation)
{
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b", *GLog));
    EXPECT_FALSE(Friends().SendInvite(0, FUniqueNetIdString("a"), "default"));
    Tick();
    RespondOldest(200, "{}");
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 2);
    EXPECT_EXACT_EQ(Oldest().URL, FString("http://127.0.0.1:8080/api/public/list/acct1/default/b"));
}

namespace
{
struct FInvitationsWaitOutAnotherCallersRequestOnTheListRow
{
    const char* Command;
    bool bReadFirst;            // a caller's read holds the list when the chain starts
    bool bReadOnEachInvitation; // a caller, bound first, reads the list again from its invitation handler
    const char* Requests;
};
const FInvitationsWaitOutAnotherCallersRequestOnTheListRow
    InvitationsWaitOutAnotherCallersRequestOnTheListRows[] = {
        {"TEST SENDINVITES a b", true, false, "GET default,POST default/a,POST default/b,"},
        {"TEST SENDINVITES c d", false, true, "POST default/c,GET default,POST default/d,GET default,"},
};

using FSendInvitesTestInvitationsWaitOutAnotherCallersRequestOnTheList = TZorRows<FSendInvitesTest>;
} // namespace

TEST_P(FSendInvitesTestInvitationsWaitOutAnotherCallersRequestOnTheList,
       InvitationsWaitOutAnotherCallersRequestOnTheList)
{
    const FInvitationsWaitOutAnotherCallersRequestOnTheListRow& Case =
        InvitationsWaitOutAnotherCallersRequestOnTheListRows[GetParam()];
    SCOPED_TRACE(Case.Command);
    Http().Reset();
    Events.Empty();
    FDelegateHandle Reader;
    if (Case.bReadOnEachInvitation)
    {
        Reader = Friends().AddOnSendInviteCompleteDelegate(FOnSendInviteCompleteDelegate::CreateLambda(
            [this](int32, bool, const FUniqueNetId&, const FString&, const FString&)
            { Friends().ReadFriendsList(0, "default"); }));
    }
    if (Case.bReadFirst)
    {
        ASSERT_TRUE(Friends().ReadFriendsList(0, "default"));
    }
    EXPECT_TRUE(Subsystem->Exec(nullptr, Case.Command, *GLog));
    for (int32 Round = 0; Round < 8; ++Round)
    {
        Tick();
        if (Http().NumPending() == 0)
        {
            break;
        }
        ASSERT_EQ(Http().NumPending(), 1) << "one request on the list at a time";
        RespondOldest(200, Oldest().Verb == "GET" ? "[]" : "{}");
    }
    Friends().ClearOnSendInviteCompleteDelegate(Reader);
    FString Requests;
    for (const auto& Started : Http().GetStartedRequests())
    {
        Requests += Started.Verb + " " +
                    Started.URL.RightChop(FString("http://127.0.0.1:8080/api/public/list/acct1/").Len()) +
                    ",";
    }
    EXPECT_EQ(Requests.ToStdString(), Case.Requests);
    EXPECT_FALSE(EventText().Contains("Already pending")) << *EventText();
}

INSTANTIATE_TEST_SUITE_P(Rows, FSendInvitesTestInvitationsWaitOutAnotherCallersRequestOnTheList,
                         ::testing::Range(size_t{0},
                                          std::size(InvitationsWaitOutAnotherCallersRequestOnTheListRows)));

TEST_F(FSendInvitesTest, ShutdownEndsTheChainQuietly)
{
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b c", *GLog));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(EventText(), FString("send:0:0:a:default:No response"));
    EXPECT_EQ(Http().NumStarted(), 1);
}

TEST_F(FSendInvitesTest, ShutdownWhileWaitingForTheListEndsTheChainQuietly)
{
    ASSERT_TRUE(Friends().ReadFriendsList(0, "default"));
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b c", *GLog));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(EventText(), FString("read:0:0:default:No response"));
    EXPECT_EQ(Http().NumStarted(), 1);
}
} // namespace
