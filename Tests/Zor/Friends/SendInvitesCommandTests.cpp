#include "Core/Exec.h"
#include "FriendsTest.h"

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
        EXPECT_EQ(Oldest().URL, FString("http://127.0.0.1:8080/api/public/list/acct1/default/") + Ids[Index]);
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
    EXPECT_EQ(Oldest().URL, FString("http://127.0.0.1:8080/api/public/list/acct1/default/b"));
}

TEST_F(FSendInvitesTest, ACallersRefusalOnTheSameListDoesNotSkipAnInvitation)
{
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b", *GLog));
    EXPECT_FALSE(Friends().SendInvite(0, FUniqueNetIdString("a"), "default"));
    Tick();
    RespondOldest(200, "{}");
    Tick(2);
    EXPECT_EQ(Http().NumStarted(), 2);
    EXPECT_EQ(Oldest().URL, FString("http://127.0.0.1:8080/api/public/list/acct1/default/b"));
}

TEST_F(FSendInvitesTest, ShutdownEndsTheChainQuietly)
{
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST SENDINVITES a b c", *GLog));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(EventText(), FString("send:0:0:a:default:No response"));
    EXPECT_EQ(Http().NumStarted(), 1);
}
} // namespace
