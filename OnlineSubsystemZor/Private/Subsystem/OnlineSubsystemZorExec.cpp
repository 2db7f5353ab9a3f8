#include "Core/Parse.h"
#include "Friends/ZorInviteChain.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Tests/TestAccountMappingZor.h"

namespace
{
using FTestCommandHandler = void (*)(FOnlineSubsystemZor& Subsystem, const TCHAR* Args);

struct FTestCommand
{
    const char* Word;
    FTestCommandHandler Handler;
};

const char* const NoUserText = "No logged in user! Log in first";

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
    FZorInviteChain::Start(Friends, FriendIds);
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

// Tried in order; the first word that matches decides.
const FTestCommand TestCommands[] = {
    {"QUERYMAPPINGS", &QueryMappings},
    {"SENDINVITES", &SendInvites},
    {"EXCHANGECODE", &ExchangeCode},
    {"AUTHTEST", &AuthTest},
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
