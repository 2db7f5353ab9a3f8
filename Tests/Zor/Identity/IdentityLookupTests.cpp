#include <cstring>

#include "IdentityTest.h"

TEST_F(FIdentityTest, OnlyLocalUserZeroHasAnId)
{
    LoginUser();
    EXPECT_TRUE(Identity().GetUniquePlayerId(0).IsValid());
    EXPECT_FALSE(Identity().GetUniquePlayerId(1).IsValid());
    EXPECT_TRUE(Identity().GetAuthToken(1).IsEmpty());
    EXPECT_TRUE(Identity().GetPlayerNickname(1).Equals("InvalidZORUser"));
    EXPECT_TRUE(Identity().GetPlayerNickname(0).Equals("Player One"));
    EXPECT_TRUE(Identity().GetAuthToken(0).Equals("access-1"));
    EXPECT_EQ(Identity().GetPlatformUserIdFromUniqueNetId(FUniqueNetIdString("acct1")), 0);
    EXPECT_EQ(Identity().GetPlatformUserIdFromUniqueNetId(FUniqueNetIdString("other")), -1);
}

TEST_F(FIdentityTest, FailedTokenMeansNotLoggedInAlthoughTheRecordStays)
{
    LoginUser();
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn);
    Identity().GetUserAccountZor(FUniqueNetIdString("acct1"))->UserToken.TokenState = EAuthTokenState::Failed;
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn);
    EXPECT_TRUE(Identity().GetUserAccount(FUniqueNetIdString("acct1")).IsValid());
}

TEST_F(FIdentityTest, DedicatedServerStatusIsTheApplicationClients)
{
    SetHostNetMode(ENetMode::DedicatedServer);
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::LoggedIn); // the placeholder exists, state None
    Identity().GetClientAuthTokenZor("testclient")->TokenState = EAuthTokenState::Failed;
    EXPECT_EQ(Identity().GetLoginStatus(FUniqueNetIdString("anyone")), ELoginStatus::NotLoggedIn);
}

TEST_F(FIdentityTest, AuthAttributesIgnoreCaseAndAttributesComeFromAccountInfo)
{
    LoginUser();
    const TSharedPtr<FUserOnlineAccount> Account = Identity().GetUserAccount(FUniqueNetIdString("acct1"));
    FString Value;
    EXPECT_TRUE(Account->GetAuthAttribute("REFRESH_TOKEN", Value));
    EXPECT_TRUE(Value.Equals("refresh-1"));
    EXPECT_FALSE(Account->GetAuthAttribute("missing", Value));
    EXPECT_TRUE(Account->GetRealName().Equals("Real Name"));
    EXPECT_TRUE(Account->GetUserAttribute("DISPLAYNAME", Value));
}

TEST_F(FIdentityTest, ClientLookupsWarnWhenNothingIsThere)
{
    EXPECT_TRUE(
        Identity().GetClientAuthTokenZor("testclient").IsValid()); // placeholder for the application id
    EXPECT_FALSE(Identity().GetClientAuthTokenZor("nope").IsValid());
    EXPECT_TRUE(Identity().GetClientAuthTokenStr("testclient").IsEmpty());
    EXPECT_EQ(Log.Count("No valid auth for clientId="), 2);
}

TEST_F(FIdentityTest, UniqueIdFromWideBytesStopsAtZeroAndSize)
{
    char16_t Wide[] = {u'a', u'b', u'c', 0, u'd'};
    EXPECT_TRUE(Identity().CreateUniquePlayerId(reinterpret_cast<uint8*>(Wide), 5)->ToString().Equals("abc"));
    EXPECT_TRUE(Identity().CreateUniquePlayerId(reinterpret_cast<uint8*>(Wide), 2)->ToString().Equals("ab"));
    EXPECT_FALSE(Identity().CreateUniquePlayerId(nullptr, 3).IsValid());
    EXPECT_FALSE(Identity().CreateUniquePlayerId(reinterpret_cast<uint8*>(Wide), 0).IsValid());
}

TEST_F(FIdentityTest, ResponseCheckTakesErrorMessageOnlyFromExactJsonContentType)
{
    ASSERT_TRUE(Identity().AuthClient("testclient"));
    Answer("/api/oauth/token", 400, R"({"errorMessage":"bad client"})", "application/json; charset=utf-8");
    EXPECT_TRUE(Log.Contains(
        R"(Client auth request failed. Invalid response. code=400 error={"errorMessage":"bad client"})"));

    ASSERT_TRUE(Identity().AuthClient("testclient"));
    Answer("/api/oauth/token", 401, R"({"errorMessage":"bad client"})");
    EXPECT_TRUE(Log.Contains("Client auth request failed. bad client"));
}

TEST_F(FIdentityTest, PrivilegesAreGrantedAtOnce)
{
    uint32 Result = 99;
    Identity().GetUserPrivilege(FUniqueNetIdString("u"), EUserPrivileges::CanPlayOnline,
                                FOnGetUserPrivilegeCompleteDelegate::CreateLambda(
                                    [&](const FUniqueNetId&, EUserPrivileges::Type, uint32 Mask)
                                    { Result = Mask; }));
    EXPECT_EQ(Result, 0u);
}

TEST_F(FIdentityTest, UniqueIdFromUnalignedUtf16WithSurrogates)
{
    const char16_t Wide[] = {u'a', 0xD83D, 0xDE00, 0xDC00, u'z', 0};
    uint8 Buffer[sizeof(Wide) + 1];
    std::memcpy(Buffer + 1, Wide, sizeof(Wide)); // odd address
    EXPECT_TRUE(Identity()
                    .CreateUniquePlayerId(Buffer + 1, 6)
                    ->ToString()
                    .Equals("a\xF0\x9F\x98\x80\xEF\xBF\xBDz", ESearchCase::CaseSensitive));
}
