#include "HostWords.h"
#include "Identity/OnlineIdentityZor.h"
#include "Launch/ZorHost.h"

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
    return Identity->Logout(FZorHost::LocalUser);
}

void OnLoginComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                     const FString& Error)
{
    UE_LOG(LogHost, Display, "OnLoginComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s",
           LocalUserNum, bWasSuccessful, *UserId.ToString(), *Error);
}

void OnLogoutComplete(int32 LocalUserNum, bool bWasSuccessful)
{
    UE_LOG(LogHost, Display, "OnLogoutComplete LocalUserNum=%d bWasSuccessful=%d", LocalUserNum,
           bWasSuccessful);
}

void OnLoginStatusChanged(int32 LocalUserNum, ELoginStatus::Type OldStatus, ELoginStatus::Type NewStatus,
                          const FUniqueNetId& UserId)
{
    UE_LOG(LogHost, Display, "OnLoginStatusChanged LocalUserNum=%d OldStatus=%s NewStatus=%s UserId=%s",
           LocalUserNum, ELoginStatus::ToString(OldStatus), ELoginStatus::ToString(NewStatus),
           *UserId.ToString());
}

void OnLoginPurchaseComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                             const FString& Error)
{
    UE_LOG(LogHost, Display, "OnLoginPurchaseComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s",
           LocalUserNum, bWasSuccessful, *UserId.ToString(), *Error);
}

void OnGenerateExchangeCodeComplete(bool bWasSuccessful, const FUniqueNetId& UserId,
                                    const FAuthTokenExchangeCodeZor& Code, const FString& Error)
{
    UE_LOG(
        LogHost, Display,
        "OnGenerateExchangeCodeComplete bWasSuccessful=%d UserId=%s Code=%s ExpiresInSeconds=%.0f Error=%s",
        bWasSuccessful, *UserId.ToString(), *Code.code, Code.expiresInSeconds, *Error);
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    if (!Identity)
    {
        return;
    }
    const int32 User = FZorHost::LocalUser;
    Identity->AddOnLoginCompleteDelegate(User, FOnLoginCompleteDelegate::CreateStatic(&OnLoginComplete));
    Identity->AddOnLogoutCompleteDelegate(User, FOnLogoutCompleteDelegate::CreateStatic(&OnLogoutComplete));
    Identity->AddOnLoginStatusChangedDelegate(
        User, FOnLoginStatusChangedDelegate::CreateStatic(&OnLoginStatusChanged));
    Identity->AddOnLoginPurchaseCompleteDelegate(
        User, FOnLoginPurchaseCompleteDelegate::CreateStatic(&OnLoginPurchaseComplete));
    Identity->AddOnGenerateExchangeCodeCompleteDelegate(
        FOnGenerateExchangeCodeCompleteDelegate::CreateStatic(&OnGenerateExchangeCodeComplete));
}

const FHostWord Words[] = {
    {"login", "login", "logs local user 0 in with LOGIN=, PASSWORD= and TYPE= of the command line", &Login},
    {"logout", "logout", "logs local user 0 out", &Logout},
};

const FHostTestWord TestWords[] = {
    {"EXCHANGECODE ID", "makes an exchange code for local user 0"},
    {"AUTHTEST", "refreshes local user 0's token"},
};
} // namespace

const FHostWordGroup& GetIdentityHostWords()
{
    static const FHostWordGroup Group{Words, TestWords, &BindEvents};
    return Group;
}
