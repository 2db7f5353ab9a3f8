#include "ProfileTest.h"
#include "ZorRows.h"

namespace
{
struct FRevisionCase
{
    int64 Held;
    int64 AfterRefusal;
};

// Only a profile that was never received is taken as an empty one.
const FRevisionCase RevisionCases[] = {{-1, 0}, {-3, 0}, {0, 0}, {7, 7}, {123456789012, 123456789012}};

using FProfileHeldRevisionTest = TZorRows<FProfileTest>;

struct FHugeBodyCase
{
    const char* ContentType;
    const char* ErrorCode;
};

// Not JSON, and JSON that does not parse.
const FHugeBodyCase HugeBodyCases[] = {{"text/html", "NonJsonResponse"}, {"application/json", "InvalidJson"}};

using FProfileHugeBodyTest = TZorRows<FProfileTest>;
} // namespace

TEST_P(FProfileHeldRevisionTest, QueryRefusedForLackOfZorKeepsAHeldRevision)
{
    const FRevisionCase& Case = RevisionCases[GetParam()];
    Subsystem->Shutdown();
    Profile->SetProfileRevision(Case.Held);
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    EXPECT_EQ(Profile->GetProfileRevision(), Case.AfterRefusal) << Case.Held;
    EXPECT_EQ(Http().NumStarted(), 0);
    EXPECT_TRUE(Results.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileHeldRevisionTest,
                         ::testing::Range(size_t{0}, std::size(RevisionCases)));

TEST_P(FProfileHugeBodyTest, HugeOrBrokenBodiesLogABoundedLine)
{
    const FHugeBodyCase& Case = HugeBodyCases[GetParam()];
    const FString Huge(std::string(10 * 1024 * 1024, 'x'));
    Log.Clear();
    ASSERT_TRUE(Profile->ForceQueryProfile(Collect()));
    Tick();
    Answer(500, Huge + "\xFF", {}, Case.ContentType);
    int32 Longest = 0;
    for (const auto& Line : Log.Lines())
    {
        Longest = std::max(Longest, Line.Message.Len());
    }
    EXPECT_LT(Longest, 4096) << Case.ContentType;
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "... (10485761 bytes)")) << Case.ContentType;
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_TRUE(Results[0].ErrorCode.Equals(Case.ErrorCode));
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileHugeBodyTest, ::testing::Range(size_t{0}, std::size(HugeBodyCases)));

TEST_F(FProfileTest, ReplyArrivingAfterItsUserLoggedOutIsNotApplied)
{
    ASSERT_TRUE(Profile->ForceQueryProfile(Collect()));
    Tick();
    ASSERT_TRUE(FindPending());
    ASSERT_TRUE(Identity().Logout(0));
    Answer(200, R"({"profileRevision":5,"profileChanges":[{"changeType":"fullProfileUpdate","profile":)"
                R"({"rvn":5,"items":{"i1":{"templateId":"gold.coin","quantity":3}},"stats":{"level":9}}}]})");
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_FALSE(Results[0].bSucceeded);
    EXPECT_TRUE(Results[0].ErrorCode.Equals("InternalError"));
    EXPECT_EQ(Profile->GetProfileRevision(), -2); // a failed query, not the logged-out user's profile
    EXPECT_FALSE(Profile->GetItem("i1").IsValid());
    EXPECT_FALSE(Profile->GetStat("level").IsValid());
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "ZOR-Profile: Dropping the QueryProfile response"));
}

TEST_F(FProfileTest, DeltasThatFollowAFullProfileAtRevisionZeroAreApplied)
{
    Apply(R"({"profileRevision":0,"profileChanges":[{"changeType":"fullProfileUpdate","profile":)"
          R"({"stats":{"attributes":{}},"items":{}}}]})");
    ASSERT_EQ(Profile->GetProfileRevision(), 0);
    Apply(R"({"profileRevision":1,"profileChanges":[)"
          R"({"changeType":"itemAdded","itemId":"i1","item":{"templateId":"gem.blue","quantity":2}},)"
          R"({"changeType":"statModified","name":"xp","value":120}]})");
    EXPECT_EQ(Profile->GetProfileRevision(), 1);
    ASSERT_TRUE(Profile->GetItem("i1").IsValid());
    EXPECT_EQ(Profile->GetItem("i1")->Quantity, 2);
    ASSERT_TRUE(Profile->GetStat("xp").IsValid());
    EXPECT_FALSE(Log.Contains("before any full profile update"));
}
