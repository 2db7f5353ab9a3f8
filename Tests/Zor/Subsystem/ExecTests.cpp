#include "Core/Exec.h"
#include "ZorSubsystemTest.h"

TEST_F(FZorSubsystemTest, ExecAnswersOnlyKnownTestWords)
{
    CreateSubsystem();
    EXPECT_FALSE(Subsystem->Exec(nullptr, "TEST", *GLog));
    EXPECT_FALSE(Subsystem->Exec(nullptr, "TEST NOSUCHWORD", *GLog));
    EXPECT_FALSE(Subsystem->Exec(nullptr, "EXCHANGECODE abc", *GLog));
    EXPECT_FALSE(Subsystem->Exec(nullptr, "TESTEXCHANGECODE abc", *GLog));
    EXPECT_TRUE(Subsystem->Exec(nullptr, "test exchangecode", *GLog));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "ZOR: usage: EXCHANGECODE <clientId>"));
}

TEST_F(FZorSubsystemTest, ExchangeCodeAndAuthTestNeedALoggedInUser)
{
    CreateSubsystem();
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST EXCHANGECODE someclient", *GLog));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "No logged in user! Log in first"));
    EXPECT_TRUE(Subsystem->Exec(nullptr, "TEST AUTHTEST", *GLog));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "AUTHTEST no logged in user"));
    EXPECT_EQ(Http().NumStarted(), 0);
}
