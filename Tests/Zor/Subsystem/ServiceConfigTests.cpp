#include "Subsystem/BaseServiceZor.h"
#include "ZorSubsystemTest.h"

namespace
{
class FServiceConfigTest : public FZorSubsystemTest
{
protected:
    /** A game-family service with its own section, layered from the current ini. */
    FGameServiceZor MakeService(const FString& Section = "OnlineSubsystemZor.OnlineFriendsZor")
    {
        FGameServiceZor Service(nullptr, Section);
        Service.Init();
        return Service;
    }
};
} // namespace

TEST_F(FServiceConfigTest, ServiceWithoutAnySectionKeepsTheDefaults)
{
    SetIni("");
    const FServiceConfigZor Config = MakeService().GetZorConfiguration();
    EXPECT_TRUE(Config.Protocol.Equals("http"));
    EXPECT_TRUE(Config.Domain.Equals("127.0.0.1:8080"));
    EXPECT_TRUE(Config.ServiceName.IsEmpty());
    EXPECT_TRUE(Config.GameName.IsEmpty());
    EXPECT_TRUE(Config.EngineName.Equals("KGN"));
    EXPECT_TRUE(Config.ServicePermissions.IsEmpty());
    EXPECT_FALSE(Config.bProductionEnvironment);
}

TEST_F(FServiceConfigTest, LaterLayersOverwriteFieldsAndPermissionsAccumulate)
{
    SetIni(R"(
[OnlineSubsystemZor.BaseServiceZor]
Domain=base.example:1
GameName=Base
ServicePermissions=(Name=Client,Id=one,Key=k1)
[OnlineSubsystemZor.GameServiceZor]
Domain=family.example:2
ServiceName=
ServicePermissions=(Name=Other,Id=two,Key=k2)
[OnlineSubsystemZor.OnlineFriendsZor]
Domain=own.example:3
ServiceName=friends
)");
    const FServiceConfigZor Config = MakeService().GetZorConfiguration();
    EXPECT_TRUE(Config.Domain.Equals("own.example:3"));
    EXPECT_TRUE(Config.ServiceName.Equals("friends"));
    EXPECT_TRUE(Config.GameName.Equals("Base"));
    ASSERT_EQ(Config.ServicePermissions.Num(), 2);
    EXPECT_TRUE(Config.ServicePermissions[0].Id.Equals("one"));
    EXPECT_TRUE(Config.ServicePermissions[1].Id.Equals("two"));
}

TEST_F(FServiceConfigTest, PresentEmptyKeyReplacesTheField)
{
    SetIni("[OnlineSubsystemZor.BaseServiceZor]\nEngineName=\n");
    EXPECT_TRUE(MakeService().GetZorConfiguration().EngineName.IsEmpty());
}

TEST_F(FServiceConfigTest, EqualPermissionsKeepTheFirstKey)
{
    SetIni(R"(
[OnlineSubsystemZor.BaseServiceZor]
ServicePermissions=(Name=Client,Id=abc,Key=first)
ServicePermissions=(Name=CLIENT,Id=ABC,Key=second)
ServicePermissions=(Name=Broken,Id=nokey)
)");
    const FServiceConfigZor Config = MakeService().GetZorConfiguration();
    ASSERT_EQ(Config.ServicePermissions.Num(), 1);
    EXPECT_TRUE(Config.ServicePermissions[0].Key.Equals("first"));
}

TEST_F(FServiceConfigTest, RelayeringOnlyAddsPermissions)
{
    SetIni("[OnlineSubsystemZor.BaseServiceZor]\nServicePermissions=(Name=Client,Id=abc,Key=k)\n");
    FGameServiceZor Service = MakeService();
    SetIni("[OnlineSubsystemZor.BaseServiceZor]\nServicePermissions=(Name=Server,Id=srv,Key=k)\n");
    Service.UpdateServiceConfig();
    EXPECT_EQ(Service.GetZorConfiguration().ServicePermissions.Num(), 2);
}

TEST_F(FServiceConfigTest, CommandLineOverrideReadsTheOverrideSectionAfterEachSection)
{
    SetIni(R"(
[OnlineSubsystemZor.BaseServiceZor]
Domain=base:1
GameName=Base
[OnlineSubsystemZor.BaseServiceZor GameDev]
Domain=gamedev:2
)");
    SetCommandLine("-game ZORCONFIG=GameDev -log");
    const FServiceConfigZor Config = MakeService().GetZorConfiguration();
    EXPECT_TRUE(Config.ConfigOverride.Equals("GameDev"));
    EXPECT_TRUE(Config.Domain.Equals("gamedev:2"));
    EXPECT_TRUE(Config.GameName.Equals("Base"));
}

TEST_F(FServiceConfigTest, BoundOverrideDelegateWinsOverTheCommandLineEvenWhenEmpty)
{
    SetIni("[OnlineSubsystemZor.BaseServiceZor GameDev]\nDomain=gamedev:2\n");
    SetCommandLine("ZORCONFIG=GameDev");
    FServiceConfigZor::GetZorConfigOverrideDelegate().BindLambda([] { return FString(); });
    const FServiceConfigZor Config = MakeService().GetZorConfiguration();
    EXPECT_TRUE(Config.ConfigOverride.IsEmpty());
    EXPECT_TRUE(Config.Domain.Equals("127.0.0.1:8080"));
}

TEST_F(FServiceConfigTest, ConfigurationDelegateRunsLastWithSectionAndOverride)
{
    SetCommandLine("ZORCONFIG=ProdNet");
    FString SeenSection;
    FString SeenOverride;
    FServiceConfigZor::GetZorConfigurationDelegate().BindLambda(
        [&](const FString& Section, const FString& Override, FServiceConfigZor& Config)
        {
            SeenSection = Section;
            SeenOverride = Override;
            Config.bProductionEnvironment = true;
            Config.EnvironmentDisplayName = "Production";
        });
    const FGameServiceZor Service = MakeService("OnlineSubsystemZor.OnlineTitleFileZor");
    EXPECT_TRUE(SeenSection.Equals("OnlineSubsystemZor.OnlineTitleFileZor"));
    EXPECT_TRUE(SeenOverride.Equals("ProdNet"));
    EXPECT_TRUE(Service.IsProductionEnvironment());
    EXPECT_TRUE(Service.GetEnvironmentDisplayName().Equals("Production"));
}

TEST(ServicePermissions, ParseConfigNeedsAllThreeKeys)
{
    FServicePermissionsZor Permissions;
    EXPECT_FALSE(Permissions.ParseConfig("(Name=Client,Id=abc)"));
    EXPECT_TRUE(Permissions.Name.Equals("Client"));
    EXPECT_TRUE(Permissions.Id.Equals("abc"));
    EXPECT_TRUE(Permissions.ParseConfig("(Name=Client,Id=abc,Key=s3cret)"));
    EXPECT_TRUE(Permissions.Key.Equals("s3cret"));
}

TEST(ServicePermissions, LookupsIgnoreCase)
{
    FServiceConfigZor Config;
    Config.ServicePermissions.Add(FServicePermissionsZor("Client", "AbC", "k"));
    ASSERT_NE(Config.GetServicePermissionsByName("client"), nullptr);
    ASSERT_NE(Config.GetServicePermissionsById("abc"), nullptr);
    EXPECT_EQ(Config.GetServicePermissionsByName("Server"), nullptr);
    EXPECT_TRUE(FServicePermissionsZor("client", "ABC", "x") == FServicePermissionsZor("Client", "abc", "y"));
    EXPECT_FALSE(FServicePermissionsZor("Client", "abc", "x") ==
                 FServicePermissionsZor("Client", "abd", "x"));
}

TEST(EnvironmentDefaults, LocalHostPointsAccountAndGameSectionsAtTheirPorts)
{
    FServiceConfigZor Account;
    ApplyEnvironmentDefaults("OnlineSubsystemZor.OnlineIdentityZor", "localhost", Account);
    EXPECT_TRUE(Account.Protocol.Equals("http"));
    EXPECT_TRUE(Account.Domain.Equals("127.0.0.1:8080"));
    EXPECT_TRUE(Account.ServiceName.Equals("account"));
    EXPECT_TRUE(Account.GameName.Equals("KGNEditor"));

    FServiceConfigZor Game;
    ApplyEnvironmentDefaults("OnlineSubsystemZor.OnlineFriendsZor", "LocalHost", Game);
    EXPECT_TRUE(Game.Domain.Equals("127.0.0.1:8095"));
    EXPECT_TRUE(Game.ServiceName.Equals("kgn"));
}

TEST(EnvironmentDefaults, AccountSectionsMatchExactlyAndEmptyOverrideMeansGameDev)
{
    FServiceConfigZor Config;
    ApplyEnvironmentDefaults("onlinesubsystemzor.onlineidentityzor", "", Config);
    EXPECT_TRUE(Config.ServiceName.Equals("kgn"));
    EXPECT_TRUE(Config.Protocol.Equals("https"));
    ASSERT_EQ(Config.ServicePermissions.Num(), 1);
    EXPECT_TRUE(Config.ServicePermissions[0].Key.Equals("quillpenquillpenquil"));
}

TEST(EnvironmentDefaults, ExistingClientEntryKeepsItsKeyAndUnknownEnvironmentKeepsTheDomain)
{
    FServiceConfigZor Config;
    Config.Domain = "custom:1";
    Config.ServicePermissions.Add(FServicePermissionsZor("Client", "marbleoaks", "mine"));
    ApplyEnvironmentDefaults("OnlineSubsystemZor.OnlineUsersZor", "Staging", Config);
    EXPECT_TRUE(Config.Domain.Equals("custom:1"));
    ASSERT_EQ(Config.ServicePermissions.Num(), 1);
    EXPECT_TRUE(Config.ServicePermissions[0].Key.Equals("mine"));

    FServiceConfigZor Prod;
    ApplyEnvironmentDefaults("OnlineSubsystemZor.OnlineUsersZor", "ProdCom", Prod);
    EXPECT_TRUE(Prod.ServicePermissions[0].Key.Equals("wren!"));
    EXPECT_FALSE(Prod.Domain.Equals("127.0.0.1:8080"));
}
