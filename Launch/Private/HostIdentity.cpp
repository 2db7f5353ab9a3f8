#include "HostFailures.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Identity/OnlineIdentityZor.h"
#include "Launch/ZorHost.h"
#include "Subsystem/ZorLogText.h"

namespace
{
bool Login(FZorHost& Host, const TCHAR*)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    if (!Identity)
    {
        UE_LOG(LogHost, Warning, "login: there is no identity to log in with");
        return false;
    }
    Host.AwaitOutcome("login");
    // The purchase login and the token checks follow a login of the module's own accord.
    Host.AwaitOutcomes("purchase login", EHostAwait::Upkeep);
    Host.AwaitOutcomes("verify", EHostAwait::Upkeep);
    return Identity->AutoLogin(FZorHost::LocalUser);
}

bool Logout(FZorHost& Host, const TCHAR*)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    if (!Identity)
    {
        UE_LOG(LogHost, Warning, "logout: there is no identity to log out of");
        return false;
    }
    Host.AwaitOutcome("logout");
    return Identity->Logout(FZorHost::LocalUser);
}

/** Enough of a secret to tell two apart in a log, and no more. */
FString SecretPrefix(const FString& Secret)
{
    constexpr int32 Shown = 4;
    return Secret.Len() > Shown ? Secret.Left(Shown) + "..." : FString(Secret.IsEmpty() ? "" : "...");
}

/**
 * A check or refresh that went unanswered for a user token no account holds any more: it ended with its login
 * and fails no line. A refusal that logged the user out is still news.
 */
bool IsOfEndedLogin(FZorHost& Host, const FAuthTokenZor& Token, const FString& Error)
{
    if (Error != "No response")
    {
        return false;
    }
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity && Token.bIsUserToken ? Identity->GetUserAccountZor(FUniqueNetIdString(Token.account_id))
                                       : nullptr;
    return Token.bIsUserToken && !(Account && Account->UserToken.access_token == Token.access_token);
}

void BindLoginEvents(FZorHost& Host, FOnlineIdentityZor& Identity)
{
    const int32 User = FZorHost::LocalUser;
    Identity.AddOnLoginCompleteDelegate(
        User,
        FOnLoginCompleteDelegate::CreateLambda(
            [&Host](int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
            {
                UE_LOG(LogHost, Display,
                       "OnLoginComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s", LocalUserNum,
                       bWasSuccessful, *UserId.ToString(), *ZorLogText::Error(Error));
                Host.ReportOutcome("login", bWasSuccessful);
            }));
    Identity.AddOnLogoutCompleteDelegate(
        User, FOnLogoutCompleteDelegate::CreateLambda(
                  [&Host](int32 LocalUserNum, bool bWasSuccessful)
                  {
                      UE_LOG(LogHost, Display, "OnLogoutComplete LocalUserNum=%d bWasSuccessful=%d",
                             LocalUserNum, bWasSuccessful);
                      Host.ReportOutcome("logout", bWasSuccessful);
                      if (bWasSuccessful)
                      {
                          Host.LoginEnded();
                      }
                  }));
    Identity.AddOnLoginStatusChangedDelegate(
        User, FOnLoginStatusChangedDelegate::CreateLambda(
                  [](int32 LocalUserNum, ELoginStatus::Type OldStatus, ELoginStatus::Type NewStatus,
                     const FUniqueNetId& UserId)
                  {
                      UE_LOG(LogHost, Display,
                             "OnLoginStatusChanged LocalUserNum=%d OldStatus=%s NewStatus=%s UserId=%s",
                             LocalUserNum, ELoginStatus::ToString(OldStatus),
                             ELoginStatus::ToString(NewStatus), *UserId.ToString());
                  }));
    Identity.AddOnLoginPurchaseCompleteDelegate(
        User,
        FOnLoginPurchaseCompleteDelegate::CreateLambda(
            [&Host](int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
            {
                UE_LOG(LogHost, Display,
                       "OnLoginPurchaseComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s",
                       LocalUserNum, bWasSuccessful, *UserId.ToString(), *ZorLogText::Error(Error));
                Host.ReportOutcome("purchase login", bWasSuccessful);
            }));
}

void BindTokenEvents(FZorHost& Host, FOnlineIdentityZor& Identity)
{
    Identity.AddOnGenerateExchangeCodeCompleteDelegate(FOnGenerateExchangeCodeCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FUniqueNetId& UserId, const FAuthTokenExchangeCodeZor& Code,
                const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnGenerateExchangeCodeComplete bWasSuccessful=%d UserId=%s Code=%s ExpiresInSeconds=%.0f "
                   "Error=%s",
                   bWasSuccessful, *UserId.ToString(), *SecretPrefix(Code.code), Code.expiresInSeconds,
                   *ZorLogText::Error(Error));
            Host.ReportOutcome("exchange code", bWasSuccessful);
        }));
    Identity.AddOnVerifyAuthCompleteDelegate(FOnVerifyAuthCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FAuthTokenZor& Token, const FAuthTokenVerifyZor&,
                const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnVerifyAuthComplete bWasSuccessful=%d AccountId=%s ClientId=%s Error=%s", bWasSuccessful,
                   *Token.account_id, *Token.client_id, *ZorLogText::Error(Error));
            if (bWasSuccessful || !IsOfEndedLogin(Host, Token, Error))
            {
                Host.ReportOutcome("verify", bWasSuccessful);
            }
        }));
    Identity.AddOnRefreshAuthCompleteDelegate(FOnRefreshAuthCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FAuthTokenZor& OldToken, const FAuthTokenZor&,
                const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnRefreshAuthComplete bWasSuccessful=%d AccountId=%s Error=%s",
                   bWasSuccessful, *OldToken.account_id, *ZorLogText::Error(Error));
            if (bWasSuccessful || !IsOfEndedLogin(Host, OldToken, Error))
            {
                Host.ReportOutcome("refresh", bWasSuccessful);
            }
        }));
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    if (!Identity)
    {
        return;
    }
    BindLoginEvents(Host, *Identity);
    BindTokenEvents(Host, *Identity);
}

const TCHAR* const LoginNotes[] = {
    "LOGIN=EMAIL PASSWORD=PASSWORD TYPE=tavo, LOGIN=ID PASSWORD=SECRET TYPE=internal, LOGIN=ANY "
    "PASSWORD=TICKET "
    "TYPE=console, or LOGIN=ACCOUNTID AUTH=TOKEN",
    DemoUserNote,
    SecondUserNote,
    "TYPE=exchangecode and TYPE=refresh take a code or refresh token obtained elsewhere (the README shows "
    "how "
    "to ask zorbackend): this host never prints one whole",
};

const FHostWord Words[] = {
    {"login",
     "login",
     "logs local user 0 in with LOGIN=, PASSWORD= and TYPE= of the command line",
     &Login,
     nullptr,
     {},
     LoginNotes},
    {"logout", "logout", "logs local user 0 out", &Logout},
};

const FHostTestWord TestWords[] = {
    {"EXCHANGECODE CLIENTID",
     "makes an exchange code for local user 0 to hand to client CLIENTID (zordemoclient)",
     [](FZorHost& Host, const TCHAR*) { Host.AwaitOutcome("exchange code"); }},
    {"AUTHTEST", "refreshes local user 0's token",
     [](FZorHost& Host, const TCHAR*) { Host.AwaitOutcome("refresh"); }},
};
const FHostOperation Operations[] = {
    {"login"}, {"purchase login"}, {"verify"}, {"logout"}, {"exchange code"}, {"refresh"},
};
} // namespace

const FHostWordGroup& GetIdentityHostWords()
{
    static const FHostWordGroup Group{Words, TestWords, &BindEvents, Operations};
    return Group;
}
