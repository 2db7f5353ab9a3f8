#include <gtest/gtest.h>
#include <httplib.h>
#include <optional>
#include <regex>

#include "BackendFixture.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "ZorRows.h"

namespace
{
const char* const RivalUser = "rival@example.com";
const char* const RivalPassword = "rival-password";

/** One player of the two: a subsystem of its own, logged in, with the outcome of its last operation. */
struct FPlayer
{
    TSharedPtr<FOnlineSubsystemZor> Subsystem;
    FString Outcome;

    FOnlineFriendsZor& Friends() { return *Subsystem->GetZorFriendsService(); }
    FOnlineMessageZor& Messages() { return *Subsystem->GetZorMessageService(); }
    FUniqueNetIdString Id() const
    {
        return FUniqueNetIdString(*Subsystem->GetIdentityInterface()->GetUniquePlayerId(0));
    }

    void RecordOutcomes()
    {
        auto Record = [this](bool bOk, const FString& Error)
        { Outcome = bOk ? FString("ok") : "failed: " + Error; };
        auto OnFriend = FOnFriendOperationComplete::FDelegate::CreateLambda(
            [Record](int32, bool bOk, const FUniqueNetId&, const FString&, const FString& Error)
            { Record(bOk, Error); });
        Friends().AddOnReadFriendsListCompleteDelegate(FOnReadFriendsListCompleteDelegate::CreateLambda(
            [Record](int32, bool bOk, const FString&, const FString& Error) { Record(bOk, Error); }));
        Friends().AddOnSendInviteCompleteDelegate(OnFriend);
        Friends().AddOnAcceptInviteCompleteDelegate(OnFriend);
        Friends().AddOnRejectInviteCompleteDelegate(OnFriend);
        Friends().AddOnDeleteFriendCompleteDelegate(OnFriend);
        Messages().AddOnEnumerateMessagesCompleteDelegate(FOnEnumerateMessagesCompleteDelegate::CreateLambda(
            [Record](int32, bool bOk, const FString& Error) { Record(bOk, Error); }));
        Messages().AddOnSendMessageCompleteDelegate(FOnSendMessageCompleteDelegate::CreateLambda(
            [Record](int32, bool bOk, const FString& Error) { Record(bOk, Error); }));
        auto OnMessage = [Record](int32, bool bOk, const FUniqueMessageId&, const FString& Error)
        { Record(bOk, Error); };
        Messages().AddOnReadMessageCompleteDelegate(FOnReadMessageCompleteDelegate::CreateLambda(OnMessage));
        Messages().AddOnDeleteMessageCompleteDelegate(
            FOnDeleteMessageCompleteDelegate::CreateLambda(OnMessage));
    }
};

/** The demo player and its rival, each in a subsystem of its own, against one local backend. */
class FSocialIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override { return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"; }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        LoginDemoUser();
        ASSERT_EQ(LoginResult, FString("ok"));
        Demo.Subsystem = Subsystem;
        Rival.Subsystem = MakeShared<FOnlineSubsystemZor>(FName("rival")).ToSharedPtr();
        Rival.Subsystem->Init();
        FString RivalLogin;
        ZOR_BIND_SCOPED(Rival.Subsystem->GetZorIdentityService(), OnLoginComplete, 0,
                        FOnLoginCompleteDelegate::CreateLambda(
                            [&RivalLogin](int32, bool bOk, const FUniqueNetId&, const FString& E)
                            { RivalLogin = bOk ? "ok" : E; }));
        ASSERT_TRUE(Rival.Subsystem->GetZorIdentityService()->Login(
            0, FOnlineAccountCredentials("tavo", RivalUser, RivalPassword)));
        ASSERT_TRUE(Await([&RivalLogin] { return !RivalLogin.IsEmpty(); }));
        ASSERT_EQ(RivalLogin, FString("ok"));
        Demo.RecordOutcomes();
        Rival.RecordOutcomes();
    }
    void TearDown() override
    {
        if (Rival.Subsystem)
        {
            Rival.Subsystem->Shutdown();
            Rival.Subsystem.Reset();
        }
        Demo.Subsystem.Reset();
        FBackendIntegrationTest::TearDown();
    }

    /** Ticks both players until Done holds. */
    bool Await(const std::function<bool()>& Done)
    {
        return TickUntil(
            [this, &Done]
            {
                Rival.Subsystem->Tick(0.005f);
                return Done();
            });
    }
    /** Runs one operation of a player and waits for its outcome. */
    FString Run(FPlayer& Player, const std::function<bool()>& Start)
    {
        Player.Outcome.Empty();
        if (!Start())
        {
            return "refused: " + Player.Outcome;
        }
        return Await([&Player] { return !Player.Outcome.IsEmpty(); }) ? Player.Outcome : FString("timed out");
    }
    std::optional<EInviteStatus::Type> StatusSeenBy(FPlayer& Player, FPlayer& Other,
                                                    const FString& List = "default")
    {
        const TSharedPtr<FOnlineFriend> Friend = Player.Friends().GetFriend(0, Other.Id(), List);
        return Friend ? std::optional(Friend->GetInviteStatus()) : std::nullopt;
    }

    FPlayer Demo;
    FPlayer Rival;
};

TEST_F(FSocialIntegrationTest, TwoPlayersBefriendEachOtherOverTheBackend)
{
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().ReadFriendsList(0, "default"); }), FString("ok"));
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().SendInvite(0, Rival.Id(), "default"); }), FString("ok"));
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().ReadFriendsList(0, "default"); }), FString("ok"));
    EXPECT_EQ(StatusSeenBy(Demo, Rival), EInviteStatus::PendingOutbound);

    EXPECT_EQ(Run(Rival, [&] { return Rival.Friends().ReadFriendsList(0, "default"); }), FString("ok"));
    EXPECT_EQ(StatusSeenBy(Rival, Demo), EInviteStatus::PendingInbound);
    EXPECT_EQ(Run(Rival, [&] { return Rival.Friends().AcceptInvite(0, Demo.Id(), "default"); }),
              FString("ok"));
    EXPECT_TRUE(Rival.Friends().IsFriend(0, Demo.Id(), "default"));

    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().ReadFriendsList(0, "default"); }), FString("ok"));
    EXPECT_TRUE(Demo.Friends().IsFriend(0, Rival.Id(), "default"));

    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().DeleteFriend(0, Rival.Id(), "default"); }),
              FString("ok"));
    EXPECT_EQ(Run(Rival, [&] { return Rival.Friends().ReadFriendsList(0, "default"); }), FString("ok"));
    EXPECT_EQ(StatusSeenBy(Rival, Demo), std::nullopt);
}

TEST_F(FSocialIntegrationTest, ARejectedInvitationLeavesBothListsAndTheInviterCannotAcceptItsOwn)
{
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().SendInvite(0, Rival.Id(), "rivals"); }), FString("ok"));
    EXPECT_EQ(Run(Rival, [&] { return Rival.Friends().ReadFriendsList(0, "rivals"); }), FString("ok"));
    // The inviter cannot accept on the invitee's behalf: it has no inbound invitation of its own.
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().ReadFriendsList(0, "rivals"); }), FString("ok"));
    EXPECT_TRUE(
        Run(Demo, [&] { return Demo.Friends().AcceptInvite(0, Rival.Id(), "rivals"); }).StartsWith("failed"));

    EXPECT_EQ(Run(Rival, [&] { return Rival.Friends().RejectInvite(0, Demo.Id(), "rivals"); }),
              FString("ok"));
    EXPECT_EQ(StatusSeenBy(Rival, Demo, "rivals"), std::nullopt);
    EXPECT_EQ(Run(Demo, [&] { return Demo.Friends().ReadFriendsList(0, "rivals"); }), FString("ok"));
    TArray<TSharedRef<FOnlineFriend>> Entries;
    EXPECT_TRUE(Demo.Friends().GetFriendsList(0, "rivals", Entries));
    EXPECT_TRUE(Entries.IsEmpty());
}

TEST_F(FSocialIntegrationTest, AMessageTravelsWithItsPayloadAndIsDeleted)
{
    FOnlineMessagePayload Payload;
    Payload.SetAttribute("gold", FVariantData(5));
    Payload.SetAttribute("ratio", FVariantData(2.5));
    Payload.SetAttribute("note", FVariantData("see you"));
    Payload.SetAttribute("blob", FVariantData(TArray<uint8>{0, 1, 255}));
    const TArray<FUniqueNetIdRef> To = {MakeShared<FUniqueNetIdString>(Demo.Id())};
    EXPECT_EQ(Run(Rival, [&] { return Rival.Messages().SendMessage(0, To, "gift", Payload); }),
              FString("ok"));

    EXPECT_EQ(Run(Demo, [&] { return Demo.Messages().EnumerateMessages(0); }), FString("ok"));
    TArray<TSharedRef<FOnlineMessageHeader>> Headers;
    ASSERT_TRUE(Demo.Messages().GetMessageHeaders(0, Headers));
    ASSERT_EQ(Headers.Num(), 1);
    EXPECT_EQ(Headers[0]->FromUserId->ToString(), Rival.Id().ToString());
    EXPECT_EQ(Headers[0]->FromName, FString("DemoRival"));
    EXPECT_EQ(Headers[0]->Type, FString("gift"));
    const FUniqueNetIdString MessageId(*Headers[0]->MessageId);

    EXPECT_EQ(Run(Demo, [&] { return Demo.Messages().ReadMessage(0, MessageId); }), FString("ok"));
    const TSharedPtr<FOnlineMessage> Message = Demo.Messages().GetMessage(0, MessageId);
    ASSERT_TRUE(Message);
    EXPECT_EQ(Message->Payload, Payload);

    EXPECT_EQ(Run(Demo, [&] { return Demo.Messages().DeleteMessage(0, MessageId); }), FString("ok"));
    EXPECT_FALSE(Demo.Messages().GetMessage(0, MessageId));
    EXPECT_EQ(Run(Demo, [&] { return Demo.Messages().EnumerateMessages(0); }), FString("ok"));
    EXPECT_TRUE(Demo.Messages().GetMessageHeaders(0, Headers));
    EXPECT_TRUE(Headers.IsEmpty());
    EXPECT_TRUE(Run(Demo, [&] { return Demo.Messages().ReadMessage(0, MessageId); })
                    .StartsWith("failed: Invalid response. code=404"));
}

struct FRouteCase
{
    const char* Verb;
    const char* Path; // DEMO and RIVAL stand for the two accounts' ids
};

const FRouteCase RouteCases[] = {
    {"GET", "/game/api/public/list/RIVAL/default"},
    {"POST", "/game/api/public/list/RIVAL/default/DEMO"},
    {"POST", "/game/api/public/list/DEMO/default/RIVAL/accept"},
    {"DELETE", "/game/api/public/list/RIVAL/default/DEMO"},
    {"GET", "/game/api/messaging/RIVAL/inbox"},
    {"POST", "/game/api/messaging/RIVAL/outbox"},
};

using FSocialRouteTest = TZorRows<FSocialIntegrationTest>;

TEST_P(FSocialRouteTest, EveryRouteServesOnlyTheAccountInItsAccountSlot)
{
    const FRouteCase& Case = RouteCases[GetParam()];
    const std::string Path =
        std::regex_replace(std::regex_replace(Case.Path, std::regex("RIVAL"), *Rival.Id().ToString()),
                           std::regex("DEMO"), *Demo.Id().ToString());
    httplib::Client Client("127.0.0.1", Port);
    const httplib::Headers Bearer = {
        {"Authorization", "bearer " + DemoAccount()->GetAccessToken().ToStdString()}};
    const httplib::Result Result = std::string(Case.Verb) == "GET" ? Client.Get(Path, Bearer)
                                   : std::string(Case.Verb) == "POST"
                                       ? Client.Post(Path, Bearer, "{}", "application/json")
                                       : Client.Delete(Path, Bearer);
    ASSERT_TRUE(Result) << Path;
    EXPECT_EQ(Result->status, 403) << Case.Verb << " " << Path;
}

INSTANTIATE_TEST_SUITE_P(Routes, FSocialRouteTest, ::testing::Range(size_t{0}, std::size(RouteCases)));
} // namespace
