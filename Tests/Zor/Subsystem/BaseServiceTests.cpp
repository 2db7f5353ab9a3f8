#include "Core/Base64.h"
#include "ZorSubsystemTest.h"

namespace
{
class FBaseServiceTest : public FZorSubsystemTest
{
protected:
    FGameServiceZor& Service() { return *CreateOrGet()->GetZorGameService(); }
    TSharedPtr<FOnlineSubsystemZor> CreateOrGet() { return Subsystem ? Subsystem : CreateSubsystem(); }
};
} // namespace

TEST_F(FBaseServiceTest, BaseUrlAddsTheServiceNameOnlyWhenSet)
{
    SetIni("[OnlineSubsystemZor.BaseServiceZor]\nProtocol=https\nDomain=host:9\n");
    FGameServiceZor Bare(nullptr, "");
    Bare.Init();
    EXPECT_TRUE(Bare.GetBaseUrl().Equals("https://host:9"));

    SetIni("[OnlineSubsystemZor.BaseServiceZor]\nProtocol=https\nDomain=host:9\nServiceName=game\n");
    FGameServiceZor Named(nullptr, "");
    Named.Init();
    EXPECT_TRUE(Named.GetBaseUrl().Equals("https://host:9/game"));
}

TEST_F(FBaseServiceTest, PagePartNeedsBothNumbersNonNegative)
{
    FGameServiceZor Bare(nullptr, "");
    EXPECT_TRUE(Bare.AppendPageUrl("/list", FPagedQuery(0, 0)).Equals("/list?start=0&count=0"));
    EXPECT_TRUE(Bare.AppendPageUrl("/list?a=1", FPagedQuery(5, 10)).Equals("/list?a=1&start=5&count=10"));
    EXPECT_TRUE(Bare.AppendPageUrl("/list", FPagedQuery(0, -1)).Equals("/list"));
}

TEST_F(FBaseServiceTest, RegionPartWritesOnlyWhatIsSet)
{
    FGameServiceZor Bare(nullptr, "");
    EXPECT_TRUE(Bare.AppendRegionUrl("/offers", FRegionInfo{"", "de-DE"}).Equals("/offers?locale=de-DE"));
    EXPECT_TRUE(Bare.AppendRegionUrl("/offers?x=1", FRegionInfo{"DE", ""}).Equals("/offers?x=1&country=DE"));
    EXPECT_TRUE(
        Bare.AppendRegionUrl("/offers", FRegionInfo{"DE", "de"}).Equals("/offers?country=DE&locale=de"));
    EXPECT_TRUE(Bare.AppendRegionUrl("/offers", FRegionInfo{}).Equals("/offers"));
    // Values that would add a parameter or break the query are encoded.
    EXPECT_EXACT_EQ(Bare.AppendRegionUrl("/offers", FRegionInfo{"D&E=1", "de de?x#"}),
                    FString("/offers?country=D%26E=1&locale=de%20de%3Fx%23"));
}

TEST_F(FBaseServiceTest, UserAgentNamesGameEngineAndVersion)
{
    const FString Agent = Service().GetUserAgent();
    EXPECT_TRUE(Agent.StartsWith("game=TestGame, engine=KGN, version=", ESearchCase::CaseSensitive))
        << *Agent;
    EXPECT_GT(Agent.Len(), FString("game=TestGame, engine=KGN, version=").Len());
}

TEST_F(FBaseServiceTest, BasicAuthOnAClientUsesTheGivenClient)
{
    EXPECT_TRUE(Service()
                    .GetBasicAuth("testclient")
                    .Equals("basic " + FBase64::Encode(FString("testclient:testsecret"))));
    EXPECT_TRUE(Service().GetBasicAuth("unknown").Equals("basic "));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Missing client permissions. id=unknown"));
}

TEST_F(FBaseServiceTest, BasicAuthOnAServerPrefersTheServerCredential)
{
    SetHostNetMode(ENetMode::DedicatedServer);
    EXPECT_TRUE(Service()
                    .GetBasicAuth("testclient")
                    .Equals("basic " + FBase64::Encode(FString("testclient:testsecret"))));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Missing server permissions. id=testclient"));

    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.GameServiceZor]\n"
                                 "ServicePermissions=(Name=DedicatedServer,Id=srv,Key=srvkey)\n");
    Service().UpdateServiceConfig();
    EXPECT_TRUE(
        Service().GetBasicAuth("testclient").Equals("basic " + FBase64::Encode(FString("srv:srvkey"))));
}

TEST_F(FBaseServiceTest, UserAuthOnAServerWithoutClientTokenLeavesTheOutputAlone)
{
    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.GameServiceZor]\n"
                                 "ServicePermissions=(Name=DedicatedServer,Id=srv,Key=srvkey)\n");
    SetHostNetMode(ENetMode::DedicatedServer);
    FString Auth = "unchanged";
    EXPECT_FALSE(Service().GetUserAuth(FUniqueNetIdString("someone"), Auth));
    EXPECT_TRUE(Auth.Equals("unchanged"));
}

TEST_F(FBaseServiceTest, UserAndPurchaseAuthComeFromTheAccountTokens)
{
    CreateOrGet();
    FOnlineIdentityZor& Identity = *Subsystem->GetZorIdentityService();
    Identity.AddUserAccount(0, "acct", "usertoken");
    const FUniqueNetIdString UserId("acct");

    FString Auth;
    EXPECT_TRUE(Service().GetUserAuth(UserId, Auth));
    EXPECT_TRUE(Auth.Equals("bearer usertoken"));

    FAuthTokenZor& Purchase = Identity.GetUserAccountZor(UserId)->PurchaseToken;
    Purchase.access_token = "purchasetoken";
    Purchase.expires_in = 0.0;
    Auth = "x";
    EXPECT_FALSE(Service().GetUserPurchaseAuth(UserId, Auth));
    EXPECT_TRUE(Auth.IsEmpty());
    Purchase.expires_in = 0.5;
    EXPECT_TRUE(Service().GetUserPurchaseAuth(UserId, Auth));
    EXPECT_TRUE(Auth.Equals("bearer purchasetoken"));

    Auth = "x";
    EXPECT_FALSE(Service().GetUserAuth(FUniqueNetIdString("nobody"), Auth));
    EXPECT_TRUE(Auth.IsEmpty());
}

TEST_F(FBaseServiceTest, AppIdPrefersTheServerCredentialOnAServer)
{
    EXPECT_TRUE(CreateOrGet()->GetAppId().Equals("testclient"));
    SetHostNetMode(ENetMode::ListenServer);
    EXPECT_TRUE(Subsystem->GetAppId().Equals("testclient"));
    SetIni(FString(ZorTestIni) + "\n[OnlineSubsystemZor.BaseServiceZor]\n"
                                 "ServicePermissions=(Name=DedicatedServer,Id=srv,Key=srvkey)\n");
    Subsystem->UpdateServiceConfig();
    EXPECT_TRUE(Subsystem->GetAppId().Equals("srv"));
    SetHostNetMode(ENetMode::Standalone);
    EXPECT_TRUE(Subsystem->GetAppId().Equals("testclient"));
}
