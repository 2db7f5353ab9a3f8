#include "ProfileTest.h"

namespace
{
struct FRevisionCase
{
    int64 Held;
    int64 AfterRefusal;
};
} // namespace

TEST_F(FProfileTest, QueryRefusedForLackOfZorKeepsAHeldRevision)
{
    Subsystem->Shutdown();
    // Only a profile that was never received is taken as an empty one.
    const FRevisionCase Cases[] = {{-1, 0}, {-3, 0}, {0, 0}, {7, 7}, {123456789012, 123456789012}};
    for (const FRevisionCase& Case : Cases)
    {
        Profile->SetProfileRevision(Case.Held);
        EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
        EXPECT_EQ(Profile->GetProfileRevision(), Case.AfterRefusal) << Case.Held;
    }
    EXPECT_EQ(Http().NumStarted(), 0);
    EXPECT_TRUE(Results.IsEmpty());
}
