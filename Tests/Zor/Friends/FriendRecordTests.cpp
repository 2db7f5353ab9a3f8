#include "Friends/OnlineFriendZor.h"

#include <gtest/gtest.h>

namespace
{
struct FStatusCase
{
    const char* Word;
    EInviteStatus::Type Expected;
};

TEST(FriendRecordTest, StatusWordsMatchExactly)
{
    const FStatusCase Cases[] = {
        {"ACCEPTED", EInviteStatus::Accepted},
        {"PENDING_OUTBOUND", EInviteStatus::PendingOutbound},
        {"PENDING_INBOUND", EInviteStatus::PendingInbound},
        {"accepted", EInviteStatus::Unknown},
        {"Pending_Inbound", EInviteStatus::Unknown},
        {"ACCEPTED ", EInviteStatus::Unknown},
        {"", EInviteStatus::Unknown},
    };
    for (const FStatusCase& Case : Cases)
    {
        EXPECT_EQ(FOnlineFriendZor(Case.Word, Case.Word).GetInviteStatus(), Case.Expected) << Case.Word;
    }
}

TEST(FriendRecordTest, NamesComeFromAttributesTheServiceNeverFills)
{
    const FOnlineFriendZor Friend("f1", "ACCEPTED");
    FString Value = "unchanged";
    EXPECT_EQ(Friend.GetUserId()->ToString(), FString("f1"));
    EXPECT_TRUE(Friend.GetRealName().IsEmpty());
    EXPECT_TRUE(Friend.GetDisplayName().IsEmpty());
    EXPECT_FALSE(Friend.GetUserAttribute("realName", Value));
    EXPECT_EQ(Value, FString("unchanged"));
    EXPECT_FALSE(Friend.GetPresence().bIsOnline);
}
} // namespace
