#include "Core/Parse.h"
#include "Friends/ZorInviteChain.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
using FTestCommandHandler = void (*)(FOnlineSubsystemZor& Subsystem, const TCHAR* Args);

struct FTestCommand
{
    const char* Word;
    FTestCommandHandler Handler;
};

FUniqueNetIdPtr LocalUserId(FOnlineSubsystemZor& Subsystem)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Subsystem.GetZorIdentityService();
    return Identity ? Identity->GetUniquePlayerId(0) : nullptr;
}

void ExchangeCode(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    FString ClientId;
    if (!FParse::Token(Args, ClientId, false))
    {
        UE_LOG_ONLINE(Warning, "usage: EXCHANGECODE <clientId>");
        return;
    }
    const FUniqueNetIdPtr UserId = LocalUserId(Subsystem);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "No logged in user! Log in first");
        return;
    }
    Subsystem.GetZorIdentityService()->GenerateExchangeCode(*UserId);
}

void AuthTest(FOnlineSubsystemZor& Subsystem, const TCHAR* /*Args*/)
{
    const FUniqueNetIdPtr UserId = LocalUserId(Subsystem);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "AUTHTEST no logged in user");
        return;
    }
    const TSharedPtr<FOnlineIdentityZor> Identity = Subsystem.GetZorIdentityService();
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

void SendInvites(FOnlineSubsystemZor& Subsystem, const TCHAR* Args)
{
    TArray<FString> FriendIds;
    for (FString FriendId; FParse::Token(Args, FriendId, false);)
    {
        FriendIds.Add(FriendId);
    }
    FZorInviteChain::Start(Subsystem.GetZorFriendsService(), FriendIds);
}

// Tried in order; the first word that matches decides.
const FTestCommand TestCommands[] = {
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
