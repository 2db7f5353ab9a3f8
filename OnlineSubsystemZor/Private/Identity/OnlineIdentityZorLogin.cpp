#include "Common/ZorCallSet.h"
#include "Common/ZorRedact.h"
#include "Core/CommandLine.h"
#include "Core/Parse.h"
#include "Core/PlatformHttp.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"

namespace
{
const FUniqueNetIdString EmptyUserId;
const FString LoggedOutDuringLogin("Logged out before the login completed");
const FString LoginOperation("Login");

/**
 * A command-line value; only a non-empty value counts. It runs to the next blank: a token record holds
 * commas, and a password may.
 */
bool ReadCommandLineValue(const char* Key, FString& OutValue)
{
    return FParse::Value(FCommandLine::Get(), Key, OutValue, false) && !OutValue.IsEmpty();
}
} // namespace

FString FOnlineIdentityZor::GetUserTokenGrantPayload(const FOnlineAccountCredentials& Credentials) const
{
    if (Credentials.Type == "tavo")
    {
        return "grant_type=password&username=" + FGenericPlatformHttp::UrlEncode(Credentials.Id) +
               "&password=" + FGenericPlatformHttp::UrlEncode(Credentials.Token);
    }
    if (Credentials.Type == "internal")
    {
        return "grant_type=external_auth&external_auth_type=internal&external_auth_token=" + Credentials.Id +
               ":" + Credentials.Token;
    }
    if (Credentials.Type == "exchangecode")
    {
        return "grant_type=exchange_code&exchange_code=" + Credentials.Token;
    }
    if (Credentials.Type == "refresh")
    {
        return "grant_type=refresh_token&refresh_token=" + Credentials.Token;
    }
    return "grant_type=external_auth&external_auth_type=" + Credentials.Type +
           "&external_auth_token=" + Credentials.Token;
}

namespace
{
FString LoginKey(int32 LocalUserNum)
{
    return FString::Printf("login:%d", LocalUserNum);
}

FString UserInfoKey(int32 LocalUserNum)
{
    return FString::Printf("userinfo:%d", LocalUserNum);
}
} // namespace

bool FOnlineIdentityZor::IsLoginPending(int32 LocalUserNum) const
{
    // A purchase login shares the key but belongs to the login before: it never holds up the next one.
    return GetCalls().IsOperationPending(LoginKey(LocalUserNum), LoginOperation);
}

bool FOnlineIdentityZor::IsUserInfoPending(int32 LocalUserNum) const
{
    return GetCalls().IsPending(UserInfoKey(LocalUserNum));
}

bool FOnlineIdentityZor::Login(int32 LocalUserNum, const FOnlineAccountCredentials& AccountCredentials)
{
    FString Error;
    if (LocalUserNum != 0)
    {
        Error = FString::Printf("Invalid LocalUserNum=%d", LocalUserNum);
    }
    if (IsLoginPending(LocalUserNum))
    {
        Error = FString::Printf("Already pending auth for user=%s type=%s", *AccountCredentials.Id,
                                *AccountCredentials.Type);
    }
    if (IsUserInfoPending(LocalUserNum))
    {
        Error = FString::Printf("Already pending user info for user=%s type=%s", *AccountCredentials.Id,
                                *AccountCredentials.Type);
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Login request failed. %s", *Error);
        TriggerOnLoginCompleteDelegates(LocalUserNum, false, EmptyUserId, Error);
        return false;
    }
    FZorCall Call =
        GrantCall(LoginOperation, GetSubsystemAppId(), GetUserTokenGrantPayload(AccountCredentials));
    Call.PendingKey = LoginKey(LocalUserNum);
    Call.Secrets = {AccountCredentials.Token};
    Call.SendingVerbosity = ELogVerbosity::Log;
    Call.SendingLine = FString::Printf("Sending Login request. url=%s, type=%s, id=%s", *GetBaseUrl(),
                                       *AccountCredentials.Type, *AccountCredentials.Id);
    const FPendingLogin Pending{LocalUserNum, AccountCredentials, StampLogin(LocalUserNum)};
    return GetCalls().Send(Call,
                           [this, Pending](FZorReply& Reply) { Login_HttpRequestComplete(Reply, Pending); });
}

TSharedRef<FUserOnlineAccountZor> FOnlineIdentityZor::FindOrAddAccount(const FString& AccountId)
{
    if (const TSharedPtr<FUserOnlineAccountZor> Found = AccountMap.FindRef(AccountId))
    {
        return Found.ToSharedRef();
    }
    const TSharedRef<FUserOnlineAccountZor> Account = MakeShared<FUserOnlineAccountZor>(AccountId);
    AddAccount(Account);
    return Account;
}

void FOnlineIdentityZor::AddAccount(const TSharedRef<FUserOnlineAccountZor>& Account)
{
    const FString AccountId = Account->GetUserId()->ToString();
    if (AccountMap.Contains(AccountId))
    {
        ++AccountsDropped; // the record it replaces is gone
    }
    AccountMap.Add(AccountId, Account.ToSharedPtr());
    FScopeLock Lock(&AccountIdsLock);
    AccountIds.Add(AccountId);
}

void FOnlineIdentityZor::RemoveAccount(const FString& AccountId)
{
    AccountMap.Remove(AccountId);
    ++AccountsDropped;
    FScopeLock Lock(&AccountIdsLock);
    AccountIds.Remove(AccountId);
}

void FOnlineIdentityZor::Login_HttpRequestComplete(FZorReply& Reply, const FPendingLogin& Pending)
{
    FAuthTokenZor Token;
    const bool bGranted = ReadToken(Reply, true, Token);
    if (!IsLoginCurrent(Pending.Login))
    {
        // The logout came first and wins whatever the reply; the session a late grant opened is not left
        // behind, and the purchase login of whoever logged in since is not reported.
        if (bGranted)
        {
            KillAuthSessionById(Token);
        }
        EndLoginLoggedOut(Pending.LocalUserNum, Token.account_id, LoginOperation);
        return;
    }
    if (!Reply.Finish())
    {
        const FUniqueNetIdString UserId(Token.account_id);
        const bool bWasShutDown = IsShutDown();
        TriggerOnLoginCompleteDelegates(Pending.LocalUserNum, false, UserId, Reply.GetErrorText());
        // Unless the handler logged a user in or out, or ended the subsystem: the purchase failure is then
        // no longer the local user's news.
        if (IsShutDown() == bWasShutDown && IsLoginCurrent(Pending.Login))
        {
            TriggerOnLoginPurchaseCompleteDelegates(Pending.LocalUserNum, false, UserId,
                                                    Reply.GetErrorText());
        }
        return;
    }
    LogoutOtherAccount(Pending.LocalUserNum, Token.account_id);
    AdvanceLogin(Pending.LocalUserNum);
    const TSharedRef<FUserOnlineAccountZor> Account = FindOrAddAccount(Token.account_id);
    Account->UserToken = Token;
    Account->UserToken.TokenState = EAuthTokenState::Valid;
    Account->UserToken.TimeToVerify = Account->Upkeep.GetCheckDelay();
    Account->Upkeep.OnGranted(Token.expires_in);
    Account->LoginCredentials = Pending.Credentials;
    LocalUserMap.Add(Pending.LocalUserNum, Account->GetUserId());
    if (!bAllowMultiLogin)
    {
        KillAuthSessions(Account->UserToken, EAuthTokenKillType::OTHERS_ACCOUNT_CLIENT);
    }
    QueryLoggedInUserInfo(Pending.LocalUserNum, *Account->GetUserId(), true);
}

bool FOnlineIdentityZor::QueryLoggedInUserInfo(int32 LocalUserNum, const FUniqueNetId& UserId,
                                               bool bFromLogin)
{
    FString Authorization;
    if (!GetUserAuth(UserId, Authorization))
    {
        TriggerOnLoginCompleteDelegates(LocalUserNum, false, UserId,
                                        "QueryLoggedInUserInfo request failed. No auth for user");
        return false;
    }
    FZorCall Call;
    Call.Operation = "QueryLoggedInUserInfo";
    Call.bServiceErrorText = true;
    Call.Url = GetBaseUrl() + QueryUserInfoUrl;
    Call.Values = {{"`id", UserId.ToString()}};
    Call.Headers = {{"User-Agent", GetUserAgent()}, {"Authorization", Authorization}};
    Call.PendingKey = UserInfoKey(LocalUserNum);
    const FPendingUserInfo Pending{LocalUserNum, UserId.ToString(), bFromLogin, StampLogin(LocalUserNum)};
    Call.Login = Pending.Login;
    return GetCalls().Send(Call, [this, Pending](FZorReply& Reply)
                           { QueryLoggedInUserInfo_HttpRequestComplete(Reply, Pending); });
}

void FOnlineIdentityZor::QueryLoggedInUserInfo_HttpRequestComplete(FZorReply& Reply,
                                                                   const FPendingUserInfo& Pending)
{
    if (Reply.HasLoginEnded())
    {
        if (Pending.bFromLogin)
        {
            EndLoginLoggedOut(Pending.LocalUserNum, Pending.UserId, "QueryLoggedInUserInfo");
        }
        return;
    }
    TSharedPtr<FJsonObject> Json;
    Reply.Check();
    FString AccountId;
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Reply.ReadObject(Json) && Json->TryGetStringField("id", AccountId) && !AccountId.IsEmpty()
            ? AccountMap.FindRef(AccountId)
            : nullptr;
    if (Account)
    {
        Json->TryGetStringField("lastLogin", Account->LastLogin);
        for (const auto& Field : Json->Values)
        {
            FString Value;
            if (Field.Value && Field.Value->Type == EJson::String && Field.Value->TryGetString(Value))
            {
                Account->SetAttribute(Field.Key, Value);
            }
        }
    }
    Reply.Finish();
    const FString& Error = Reply.GetErrorText();
    if (!Pending.bFromLogin)
    {
        return;
    }
    const FUniqueNetIdString UserId(Pending.UserId);
    if (!Error.IsEmpty())
    {
        // The status follows the login's result: a login that failed leaves nobody logged in, and ends, so
        // that no reply of the requests it started acts after it.
        AdvanceLogin(Pending.LocalUserNum);
        if (GetUserAccountZor(UserId))
        {
            RemoveUser(Pending.LocalUserNum, UserId);
        }
        TriggerOnLoginCompleteDelegates(Pending.LocalUserNum, false, UserId, Error);
        return;
    }
    // A handler may end this login or the subsystem: what follows each event must still hold.
    const auto StillLoggedIn = [this, &Pending] { return !IsShutDown() && IsLoginCurrent(Pending.Login); };
    TriggerOnLoginCompleteDelegates(Pending.LocalUserNum, true, UserId, Error);
    if (!StillLoggedIn())
    {
        return;
    }
    TriggerOnLoginStatusChangedDelegates(Pending.LocalUserNum, ELoginStatus::NotLoggedIn,
                                         ELoginStatus::LoggedIn, UserId);
    if (!StillLoggedIn())
    {
        return;
    }
    TriggerOnLoginChangedDelegates(Pending.LocalUserNum);
    if (!StillLoggedIn())
    {
        return;
    }
    if (const TSharedPtr<FUserOnlineAccountZor> LoggedIn = GetUserAccountZor(UserId))
    {
        const FOnlineAccountCredentials Credentials = LoggedIn->LoginCredentials;
        LoggedIn->LoginCredentials = FOnlineAccountCredentials();
        // A login without a grant (a ready token) has no credentials to repeat for purchases.
        if (!Credentials.Token.IsEmpty())
        {
            LoginPurchase(Pending.LocalUserNum, Credentials);
        }
    }
}

void FOnlineIdentityZor::EndLoginLoggedOut(int32 LocalUserNum, const FString& AccountId,
                                           const FString& Operation)
{
    UE_LOG_ONLINE(Warning, "%s request failed. %s", *Operation, *LoggedOutDuringLogin);
    TriggerOnLoginCompleteDelegates(LocalUserNum, false, FUniqueNetIdString(AccountId), LoggedOutDuringLogin);
}

bool FOnlineIdentityZor::Logout(int32 LocalUserNum)
{
    // Fires three events, any of whose handlers may end the subsystem.
    const FOnlineSubsystemZor::FEventScope Scope(Subsystem);
    // Also when nobody is logged in yet: a login still in flight must not log the user in after this.
    AdvanceLogin(LocalUserNum);
    const FUniqueNetIdPtr UserId = GetUniquePlayerId(LocalUserNum);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "No logged in user found for LocalUserNum=%d.", LocalUserNum);
        TriggerOnLogoutCompleteDelegates(LocalUserNum, false);
        return false;
    }
    RemoveUser(LocalUserNum, *UserId);
    // A handler may log a user in again or end the subsystem. The account that left has still left while
    // another holds the local user, so its status event still says so; the local user is logged out no more.
    const bool bWasShutDown = IsShutDown();
    const auto HasLeft = [this, LocalUserNum, bWasShutDown, &UserId]
    {
        const FUniqueNetIdPtr Holder = GetUniquePlayerId(LocalUserNum);
        return IsShutDown() == bWasShutDown && !(Holder && *Holder == *UserId);
    };
    const auto StillLoggedOut = [this, LocalUserNum, &HasLeft]
    { return HasLeft() && !GetUniquePlayerId(LocalUserNum); };
    TriggerOnLogoutCompleteDelegates(LocalUserNum, true);
    if (!HasLeft())
    {
        return true;
    }
    TriggerOnLoginStatusChangedDelegates(LocalUserNum, ELoginStatus::LoggedIn, ELoginStatus::NotLoggedIn,
                                         *UserId);
    if (StillLoggedOut())
    {
        TriggerOnLoginChangedDelegates(LocalUserNum);
    }
    return true;
}

void FOnlineIdentityZor::RemoveUser(int32 LocalUserNum, const FUniqueNetId& UserId)
{
    if (const TSharedPtr<FUserOnlineAccountZor> Account = GetUserAccountZor(UserId))
    {
        if (Account->UserToken.HasValidAccessToken())
        {
            KillAuthSessionById(Account->UserToken);
        }
        if (Account->PurchaseToken.HasValidAccessToken())
        {
            KillAuthSessionById(Account->PurchaseToken);
        }
    }
    RemoveAccount(UserId.ToString());
    LocalUserMap.Remove(LocalUserNum);
}

void FOnlineIdentityZor::LogoutOtherAccount(int32 LocalUserNum, const FString& AccountId)
{
    const FUniqueNetIdPtr Previous = GetUniquePlayerId(LocalUserNum);
    if (Previous && Previous->ToString() != AccountId)
    {
        Logout(LocalUserNum);
    }
}

bool FOnlineIdentityZor::AutoLogin(int32 LocalUserNum)
{
    FString LoginId;
    FString Value;
    FString Type;
    FString Error;
    // Only a record this call installed may be reported; an earlier user's must not pass for it.
    const auto QueryInstalledAccount = [&](bool bInstalled)
    {
        const FUniqueNetIdPtr UserId = bInstalled ? GetUniquePlayerId(LocalUserNum) : nullptr;
        if (UserId)
        {
            return QueryLoggedInUserInfo(LocalUserNum, *UserId, true);
        }
        Error = FString::Printf("cant create account for LOGIN=%s.", *LoginId);
        return false;
    };
    if (!ReadCommandLineValue("LOGIN=", LoginId))
    {
        Error = "missing LOGIN=<login id>.";
    }
    else if (ReadCommandLineValue("AUTH=", Value))
    {
        if (QueryInstalledAccount(InstallUserAccount(LocalUserNum, LoginId, Value)))
        {
            return true;
        }
    }
    else if (ReadCommandLineValue("AUTH_JSON=", Value))
    {
        if (QueryInstalledAccount(InstallUserAccount(LocalUserNum, Value)))
        {
            return true;
        }
    }
    else if (ReadCommandLineValue("PASSWORD=", Value))
    {
        if (ReadCommandLineValue("TYPE=", Type))
        {
            return Login(LocalUserNum, FOnlineAccountCredentials(Type, LoginId, Value));
        }
        Error = "missing TYPE=<type>.";
    }
    else
    {
        Error = "missing PASSWORD=<password> or AUTH=<auth ticket>.";
    }
    if (Error.IsEmpty())
    {
        return false;
    }
    UE_LOG_ONLINE(Warning, "AutoLogin Failed. %s", *Error);
    TriggerOnLoginCompleteDelegates(LocalUserNum, false, EmptyUserId, Error);
    return false;
}

void FOnlineIdentityZor::AddUserAccount(int32 LocalUserNum, const FString& UserId, const FString& Token)
{
    InstallUserAccount(LocalUserNum, UserId, Token);
}

void FOnlineIdentityZor::AddUserAccount(int32 LocalUserNum, const FString& AuthJson)
{
    InstallUserAccount(LocalUserNum, AuthJson);
}

bool FOnlineIdentityZor::InstallUserAccount(int32 LocalUserNum, const FString& UserId, const FString& Token)
{
    if (UserId.IsEmpty() || Token.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "No valid user id or token id=%s token=%s", *UserId,
                      *ZorRedact::Secret(Token));
        return false;
    }
    FAuthTokenZor UserToken;
    UserToken.access_token = Token;
    UserToken.account_id = UserId;
    UserToken.client_id = GetSubsystemAppId();
    InstallUserToken(LocalUserNum, UserToken);
    return true;
}

bool FOnlineIdentityZor::InstallUserAccount(int32 LocalUserNum, const FString& AuthJson)
{
    FAuthTokenZor Token;
    if (!Token.FromJson(AuthJson) || Token.account_id.IsEmpty() || Token.access_token.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Could not parse Json auth token from json=%s", *ZorRedact::Body(AuthJson));
        return false;
    }
    InstallUserToken(LocalUserNum, Token);
    return true;
}

void FOnlineIdentityZor::InstallUserToken(int32 LocalUserNum, const FAuthTokenZor& Token)
{
    LogoutOtherAccount(LocalUserNum, Token.account_id);
    AdvanceLogin(LocalUserNum);
    const TSharedRef<FUserOnlineAccountZor> Account = MakeShared<FUserOnlineAccountZor>(Token.account_id);
    Account->UserToken = Token;
    AddAccount(Account);
    LocalUserMap.Add(LocalUserNum, Account->GetUserId());
    // Checked at once: the reply gives a token without a lifetime its lifetime, and the upkeep takes over.
    if (!Account->UserToken.HasValidAccessToken())
    {
        Account->Upkeep.OnInstalledWithoutLifetime();
    }
    SendVerification(Account->UserToken, !Account->Upkeep.IsLifetimeKnown());
}

void FOnlineIdentityZor::OnAuthClientCompleteForAutoLogin(bool bWasSuccessful, const FString& ClientId,
                                                          const FString& Error, int32 LocalUserNum)
{
    OnAuthClientCompleteDelegates.RemoveAll(this);
    TriggerOnLoginCompleteDelegates(LocalUserNum, bWasSuccessful, FUniqueNetIdString(ClientId), Error);
}

bool FOnlineIdentityZor::LoginPurchase(int32 LocalUserNum, const FOnlineAccountCredentials& Credentials)
{
    const FServicePermissionsZor* Purchase =
        Config.GetServicePermissionsByName(FServicePermissionsZor::DefaultPurchaseClient);
    FString Error;
    if (LocalUserNum != 0)
    {
        Error = FString::Printf("Invalid LocalUserNum=%d", LocalUserNum);
    }
    else if (GetLoginStatus(LocalUserNum) != ELoginStatus::LoggedIn)
    {
        Error = "No logged in user. Must loggin first";
    }
    else if (!Purchase || Purchase->Id.IsEmpty())
    {
        Error = "No valid purchasing auth setup";
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "LoginPurchase request failed. %s", *Error);
        TriggerOnLoginPurchaseCompleteDelegates(LocalUserNum, false, EmptyUserId, Error);
        return false;
    }
    FZorCall Call = GrantCall("Login (for purchase)", Purchase->Id, GetUserTokenGrantPayload(Credentials));
    Call.PendingKey = LoginKey(LocalUserNum);
    Call.Secrets = {Credentials.Token};
    Call.SendingVerbosity = ELogVerbosity::Log;
    Call.SendingLine = FString::Printf("Sending LoginPurchase request. url=%s, type=%s, id=%s", *GetBaseUrl(),
                                       *Credentials.Type, *Credentials.Id);
    const FPendingLogin Pending{LocalUserNum, Credentials, StampLogin(LocalUserNum)};
    return GetCalls().Send(Call, [this, Pending](FZorReply& Reply)
                           { LoginPurchase_HttpRequestComplete(Reply, Pending); });
}

void FOnlineIdentityZor::LoginPurchase_HttpRequestComplete(FZorReply& Reply, const FPendingLogin& Pending)
{
    FAuthTokenZor Token;
    ReadToken(Reply, true, Token);
    // Not left to the call set: a late grant's token is needed to end the session it opened. Its login has
    // reported already, and the local user's purchase event now speaks of whoever holds it since.
    if (!IsLoginCurrent(Pending.Login))
    {
        UE_LOG_ONLINE(
            Verbose,
            "Login (for purchase) reply dropped: the login it was sent for has ended. LocalUserNum=%d",
            Pending.LocalUserNum);
        KillAuthSessionById(Token);
        return;
    }
    // The purchase token belongs to the user who asked for it; a reply for another account is refused.
    const FUniqueNetIdPtr Requester = GetUniquePlayerId(Pending.LocalUserNum);
    const TSharedPtr<FUserOnlineAccountZor> Account = Requester && Requester->ToString() == Token.account_id
                                                          ? AccountMap.FindRef(Token.account_id)
                                                          : nullptr;
    if (!Account)
    {
        Reply.Fail(EZorErrorKind::InvalidPayload,
                   FString::Printf("No user account entry found for id=%s", *Token.account_id));
    }
    if (Reply.Finish())
    {
        Account->PurchaseToken = Token;
        Account->PurchaseToken.TokenState = EAuthTokenState::Valid;
    }
    TriggerOnLoginPurchaseCompleteDelegates(Pending.LocalUserNum, Reply.Succeeded(),
                                            FUniqueNetIdString(Token.account_id), Reply.GetErrorText());
}
