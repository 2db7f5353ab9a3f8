#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "Core/Parse.h"
#include "Friends/ZorInviteChain.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Tests/TestAccountMappingZor.h"
#include "Tests/TestBuildInfoZor.h"
#include "Tests/TestCatalogZor.h"
#include "Tests/TestPurchaseZor.h"

namespace
{
using FTestCommandHandler = void (*)(FOnlineSubsystemZor& Subsystem, const TCHAR* Args);

struct FTestCommand
{
    const char* Word;
    FTestCommandHandler Handler;
};

const char* const NoUserText = "No logged in user! Log in first";
const FString BuildPlatform = "Windows";

FUniqueNetIdPtr LocalUserId(const TSharedPtr<FOnlineIdentityZor>& Identity)
{
    return Identity ? Identity->GetUniquePlayerId(0) : nullptr;
}

/** The next argument; false with the usage logged when there is none. */
bool ReadArgument(const TCHAR*& Args, FString& Out, const char* Usage)
{
    if (FParse::Token(Args, Out, false))
    {
        return true;
    }
    UE_LOG_ONLINE(Warning, "%s", Usage);
    return false;
}

void QueryMappings(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString DisplayName;
    FParse::Token(Args, DisplayName, false);
    (new FTestAccountMappingZor(Subsystem))->Test(DisplayName);
}

void SendInvites(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    TArray<FString> FriendIds;
    for (FString FriendId; FParse::Token(Args, FriendId, false);)
    {
        FriendIds.Add(FriendId);
    }
    const TSharedPtr<FOnlineFriendsZor> Friends = Subsystem.GetZorFriendsService();
    if (!Friends)
    {
        UE_LOG_ONLINE(Warning, "Failed to get friends service Zor ");
        return;
    }
    FZorInviteChain::Start(Friends, FriendIds,
                           FZorWorkOwner::ForLocalUser(Subsystem.GetZorIdentityService(), 0));
}

void ExchangeCode(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString ClientId;
    if (!ReadArgument(Args, ClientId, "usage: EXCHANGECODE <clientId>"))
    {
        return;
    }
    const TSharedPtr<FOnlineIdentityZor> Identity = Subsystem.GetZorIdentityService();
    const FUniqueNetIdPtr UserId = LocalUserId(Identity);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "%s", NoUserText);
        return;
    }
    Identity->GenerateExchangeCode(*UserId);
}

void AuthTest(FOnlineSubsystemZor& Subsystem, const TCHAR* /*Args*/)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Subsystem.GetZorIdentityService();
    const FUniqueNetIdPtr UserId = LocalUserId(Identity);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "AUTHTEST no logged in user");
        return;
    }
    const TSharedPtr<FUserOnlineAccountZor> Account = Identity->GetUserAccountZor(*UserId);
    if (!Account)
    {
        return;
    }
    Identity->RefreshAuth(Account->UserToken);
    for (const char* Command : {"ONLINE SUB=ZOR TEST MESSAGE", "ONLINE SUB=ZOR TEST FRIENDS",
                                "ONLINE SUB=ZOR TEST CLOUD", "ONLINE SUB=ZOR TEST SESSIONCLIENT"})
    {
        GEngine->Exec(nullptr, Command, *GLog);
    }
}

void BuildInfo(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString Label;
    if (!ReadArgument(Args, Label, "usage: BUILDINFO <Label>"))
    {
        return;
    }
    const FUniqueNetIdPtr UserId = LocalUserId(Subsystem.GetZorIdentityService());
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "%s", NoUserText);
        return;
    }
    const TSharedPtr<FOnlineBuildInfoServiceZor> Service = Subsystem.GetZorBuildInfoService();
    if (!Service)
    {
        UE_LOG_ONLINE(Warning, "Failed to get build info service(s) Zor ");
        return;
    }
    // Their outcome shows in the service's own log lines.
    Service->QueryEntitledBuilds(*UserId, Label, BuildPlatform);
    Service->QuerySelfPatchBuild(Label, BuildPlatform);
}

void BuildInfoV2(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString Label;
    if (!ReadArgument(Args, Label, "usage: BUILDINFOV2 <Label>"))
    {
        return;
    }
    if (!LocalUserId(Subsystem.GetZorIdentityService()))
    {
        UE_LOG_ONLINE(Warning, "%s", NoUserText);
        return;
    }
    (new FTestBuildInfoZor(Subsystem))->Test(BuildPlatform, Label);
}

void Catalog(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString Namespace;
    if (ReadArgument(Args, Namespace, "usage: CATALOG <Namespace>"))
    {
        (new FTestCatalogZor(Subsystem))->Test(Namespace);
    }
}

void Purchase(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString OfferId;
    if (ReadArgument(Args, OfferId, "usage: PURCHASE <OfferId>"))
    {
        (new FTestPurchaseZor(Subsystem))->Test(OfferId);
    }
}

// Tried in order; the first word that matches decides.
const FTestCommand TestCommands[] = {
    {"QUERYMAPPINGS", &QueryMappings},
    {"SENDINVITES", &SendInvites},
    {"EXCHANGECODE", &ExchangeCode},
    {"AUTHTEST", &AuthTest},
    {"BUILDINFO", &BuildInfo},
    {"BUILDINFOV2", &BuildInfoV2},
    {"CATALOG", &Catalog},
    {"PURCHASE", &Purchase},
};
} // namespace

bool FOnlineSubsystemZor::Exec(UWorld* /*World*/, const TCHAR* Cmd, FOutputDevice& /*Ar*/)
{
    if (!FParse::Command(&Cmd, "TEST"))
    {
        return false;
    }
    for (const FTestCommand& Command : TestCommands)
    {
        if (FParse::Command(&Cmd, Command.Word))
        {
            Command.Handler(*this, Cmd);
            return true;
        }
    }
    return false;
}
