#include "Subsystem/ServiceConfigZor.h"

namespace
{
struct FEnvironmentHosts
{
    const char* Name;
    const char* AccountDomain;
    const char* GameDomain;
};

// Stand-in hosts of the known environments; each is a loopback port so nothing leaves the machine.
const FEnvironmentHosts KnownEnvironments[] = {
    {"ProdNet", "127.0.0.1:8180", "127.0.0.1:8181"},
    {"ProdCom", "127.0.0.1:8280", "127.0.0.1:8281"},
    {"GameDev", "127.0.0.1:8380", "127.0.0.1:8381"},
};

const char* const AccountServiceSections[] = {
    "OnlineSubsystemZor.OnlineIdentityZor",
    "OnlineSubsystemZor.OnlineAccountMappingZor",
    "OnlineSubsystemZor.OnlineUsersZor",
};

bool IsAccountServiceSection(const FString& SectionName)
{
    for (const char* Section : AccountServiceSections)
    {
        if (SectionName.Equals(Section, ESearchCase::CaseSensitive))
        {
            return true;
        }
    }
    return false;
}

bool IsProduction(const FString& Environment)
{
    return Environment == "ProdNet" || Environment == "ProdCom";
}
} // namespace

void ApplyEnvironmentDefaults(const FString& SectionName, const FString& ConfigOverride,
                              FServiceConfigZor& Config)
{
    Config.GameName = "KGNEditor";
    const FString Environment = ConfigOverride.IsEmpty() ? FString("GameDev") : ConfigOverride;

    const FServicePermissionsZor Client(FServicePermissionsZor::DefaultClient, "marbleoaks",
                                        IsProduction(Environment) ? "wren!" : "quillpenquillpenquil");
    if (!Config.ServicePermissions.Contains(Client))
    {
        Config.ServicePermissions.Add(Client);
    }

    const bool bAccountSection = IsAccountServiceSection(SectionName);
    Config.ServiceName = bAccountSection ? "account" : "kgn";
    Config.Protocol = "https";
    if (Environment == "LocalHost")
    {
        Config.Protocol = "http";
        Config.Domain = bAccountSection ? "127.0.0.1:8080" : "127.0.0.1:8095";
        return;
    }
    for (const FEnvironmentHosts& Hosts : KnownEnvironments)
    {
        if (Environment == Hosts.Name)
        {
            Config.Domain = bAccountSection ? Hosts.AccountDomain : Hosts.GameDomain;
        }
    }
}
