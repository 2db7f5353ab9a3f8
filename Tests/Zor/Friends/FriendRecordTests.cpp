#include "Friends/OnlineFriendZor.h"

#include <gtest/gtest.h>

namespace
{
struct FStatusCase
{
    const char* Word;
    EInviteStatus::Type Expected;
};

namespace
{
const FStatusCase StatusWordsMatchExactlyRows[] = {
    {"ACCEPTED", EInviteStatus::Accepted},
    {"PENDING_OUTBOUND", EInviteStatus::PendingOutbound},
    {"PENDING_INBOUND", EInviteStatus::PendingInbound},
    {"accepted", EInviteStatus::Unknown},
    {"Pending_Inbound", EInviteStatus::Unknown},
    {"ACCEPTED ", EInviteStatus::Unknown},
    {"", EInviteStatus::Unknown},
};

using FriendRecordTestStatusWordsMatchExactly = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FriendRecordTestStatusWordsMatchExactly, StatusWordsMatchExactly)
{
    const FStatusCase& Case = StatusWordsMatchExactlyRows[GetParam()];
    EXPECT_EQ(FOnlineFriendZor(Case.Word, Case.Word).GetInviteStatus(), Case.Expected) << Case.Word;
}

INSTANTIATE_TEST_SUITE_P(Rows, FriendRecordTestStatusWordsMatchExactly,
                         ::testing::Range(size_t{0}, std::size(StatusWordsMatchExactlyRows)));

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
