#include <gtest/gtest.h>

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BackendFixture.h"
#include "Online/OnlineUserInterface.h"

namespace
{
const char* const NewEmail = "New.Player@Example.com";
const char* const NewName = "NewPlayer";
const char* const NewPassword = "new-password";

class FAccountsIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override { return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"; }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        const auto Note = [this](const char* Operation)
        {
            return FOnTavoAccountCompleteDelegate::CreateLambda(
                [this, Operation](bool bOk, const FString& Email, const FString& Error)
                { Outcome = FString(Operation) + (bOk ? " ok " : " fail ") + Email + " " + Error; });
        };
        Accounts().AddOnCreateAccountCompleteDelegate(Note("create"));
        Accounts().AddOnUpdateAccountCompleteDelegate(Note("update"));
        Accounts().AddOnDeleteAccountCompleteDelegate(Note("delete"));
        Accounts().AddOnQueryAccountInfoCompleteDelegate(Note("query"));
        Accounts().AddOnValidateAccountCompleteDelegate(Note("validate"));
    }

    FOnlineAccountCreationZor& Accounts() { return *Subsystem->GetZorAccountCreationService(); }
    FOnlineAccountMappingZor& Mapping() { return *Subsystem->GetZorAccountMappingService(); }

    /** Runs an operation and waits for its event; the event's line ("create ok e-mail "). */
    FString Await(const std::function<bool()>& Start)
    {
        Outcome.Empty();
        Start();
        EXPECT_TRUE(TickUntil([this] { return !Outcome.IsEmpty(); })) << "no event";
        return Outcome;
    }

    void AuthApplicationClient()
    {
        bool bDone = false;
        ZOR_BIND_SCOPED(Subsystem->GetZorIdentityService(), OnAuthClientComplete,
                        FOnAuthClientCompleteDelegate::CreateLambda(
                            [&bDone](bool, const FString&, const FString&) { bDone = true; }));
        ASSERT_TRUE(Identity().AuthClient(Subsystem->GetAppId()));
        ASSERT_TRUE(TickUntil([&bDone] { return bDone; }));
    }

    void LogIn(const FString& Email, const FString& Password)
    {
        Identity().AddOnLoginCompleteDelegate(
            0, FOnLoginCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& E)
                   { LoginResult = bOk ? "ok" : E; }));
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", Email, Password)));
        ASSERT_TRUE(TickUntil([this] { return !LoginResult.IsEmpty(); }));
        ASSERT_EQ(LoginResult, "ok");
    }

    FString Outcome;
};
} // namespace

TEST_F(FAccountsIntegrationTest, CreateLogInLinkFindAndQueryPublicInformation)
{
    AuthApplicationClient();
    EXPECT_EQ(Await([&] { return Accounts().CreateAccount(NewEmail, NewName, NewPassword); }).ToStdString(),
              "create ok new.player@example.com ");
    FTavoAccountInfo Info;
    ASSERT_TRUE(Accounts().GetAccountInfo(NewEmail, Info));
    EXPECT_TRUE(Info.pendingAuth);
    EXPECT_EQ(Info.displayName.ToStdString(), NewName);
    const FString AccountId = Info.id;
    EXPECT_TRUE(Await([&] { return Accounts().CreateAccount("other@example.com", NewName, "pw"); })
                    .StartsWith("create fail other@example.com Invalid response. code=409"));

    LogIn(NewEmail, NewPassword);
    const FUniqueNetIdPtr UserId = Identity().GetUniquePlayerId(0);
    ASSERT_TRUE(UserId);
    EXPECT_EQ(UserId->ToString().ToStdString(), AccountId.ToStdString());

    FString Linked;
    ZOR_BIND_SCOPED(Subsystem->GetZorAccountMappingService(), OnAddExternalAccountComplete,
                    FOnAddExternalAccountCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FExternalOnlineAccount&, const FString& E)
                        { Linked = bOk ? "ok" : E; }));
    ASSERT_TRUE(
        Mapping().AddExternalAccount(*UserId, FExternalOnlineAccount("console", "", "newcon:ticket")));
    ASSERT_TRUE(TickUntil([&] { return !Linked.IsEmpty(); }));
    EXPECT_EQ(Linked, "ok");

    FString Queried;
    ZOR_BIND_SCOPED(Subsystem->GetZorAccountMappingService(), OnQueryExternalAccountsComplete,
                    FOnQueryExternalAccountsCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FString& E) { Queried = bOk ? "ok" : E; }));
    ASSERT_TRUE(Mapping().QueryExternalAccounts(*UserId, ""));
    ASSERT_TRUE(TickUntil([&] { return !Queried.IsEmpty(); }));
    EXPECT_EQ(Queried, "ok");
    TArray<FExternalOnlineAccount> External;
    ASSERT_TRUE(Mapping().GetExternalAccounts(*UserId, External));
    ASSERT_EQ(External.Num(), 1);
    EXPECT_EQ(External[0].Id.ToStdString(), "newcon");
    EXPECT_TRUE(External[0].Token.IsEmpty());

    FString Found = "none";
    ZOR_BIND_SCOPED(Subsystem->GetZorAccountMappingService(), OnQueryUserIdFromDisplayNameComplete,
                    FOnQueryUserIdFromDisplayNameCompleteDelegate::CreateLambda(
                        [&](bool bOk, const FUniqueNetId&, const FString&, const FUniqueNetId& Id,
                            const FString& E) { Found = bOk ? Id.ToString() : E; }));
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(*UserId, "newplayer"));
    ASSERT_TRUE(TickUntil([&] { return !Found.Equals("none"); }));
    EXPECT_EQ(Found.ToStdString(), AccountId.ToStdString());
    Found = "none";
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(*UserId, "Nobody At All"));
    ASSERT_TRUE(TickUntil([&] { return !Found.Equals("none"); }));
    EXPECT_TRUE(Found.IsEmpty()) << *Found; // 404: nobody, and no error

    const IOnlineUserPtr Users = Subsystem->GetUserInterface();
    FString UsersResult;
    ZOR_BIND_SCOPED(Users, OnQueryUserInfoComplete, 0,
                    FOnQueryUserInfoCompleteDelegate::CreateLambda(
                        [&](int32, bool bOk, const TArray<FUniqueNetIdRef>&, const FString& E)
                        { UsersResult = bOk ? "ok" : E; }));
    ASSERT_TRUE(Users->QueryUserInfo(0, {UserId.ToSharedRef(),
                                         MakeShared<FUniqueNetIdString>("5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e"),
                                         MakeShared<FUniqueNetIdString>("no-such-account")}));
    ASSERT_TRUE(TickUntil([&] { return !UsersResult.IsEmpty(); }));
    EXPECT_EQ(UsersResult, "ok");
    TArray<TSharedRef<FOnlineUser>> All;
    ASSERT_TRUE(Users->GetAllUserInfo(0, All));
    ASSERT_EQ(All.Num(), 2);
    EXPECT_EQ(All[0]->GetDisplayName().ToStdString(), NewName);
    FString Email;
    EXPECT_TRUE(All[0]->GetUserAttribute("email", Email)); // its own e-mail only
    EXPECT_EQ(All[1]->GetDisplayName().ToStdString(), "DemoPlayer");
    EXPECT_FALSE(All[1]->GetUserAttribute("email", Email));
}

TEST_F(FAccountsIntegrationTest, ValidateUpdateAndDeleteWithTheAccountsOwnCredentials)
{
    AuthApplicationClient();
    ASSERT_TRUE(Await([&] { return Accounts().CreateAccount(NewEmail, NewName, NewPassword); })
                    .StartsWith("create ok"));
    EXPECT_TRUE(Await([&] { return Accounts().ValidateAccount(NewEmail, "not-the-token"); })
                    .StartsWith("validate fail new.player@example.com Invalid response. code=400"));
    EXPECT_TRUE(Await([&] { return Accounts().UpdateAccount(NewEmail, "wrong", NewEmail, "Renamed", "pw2"); })
                    .StartsWith("update fail new.player@example.com Invalid response. code=401"));
    EXPECT_EQ(
        Await([&] { return Accounts().UpdateAccount(NewEmail, NewPassword, NewEmail, "Renamed", "pw2"); })
            .ToStdString(),
        "update ok new.player@example.com ");
    FTavoAccountInfo Info;
    ASSERT_TRUE(Accounts().GetAccountInfo(NewEmail, Info));
    EXPECT_EQ(Info.displayName.ToStdString(), "Renamed");
    EXPECT_EQ(Await([&] { return Accounts().DeleteAccount(NewEmail, "pw2"); }).ToStdString(),
              "delete ok new.player@example.com ");
    EXPECT_FALSE(Accounts().GetAccountInfo(NewEmail, Info));
    EXPECT_TRUE(Await([&] { return Accounts().QueryAccountInfo(NewEmail); })
                    .StartsWith("query fail new.player@example.com Invalid response. code=404"));
}
