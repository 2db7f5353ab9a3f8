#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Common/ZorResponse.h"

void FOnlineIdentityZor::Tick(float DeltaTime)
{
    const double DeltaSeconds = DeltaTime;
    // A snapshot keeps the walk safe when an event handler logs a user out; the scratch array keeps its
    // capacity, so a tick that starts nothing allocates nothing.
    TickAccounts.Reset();
    for (const auto& Entry : AccountMap)
    {
        TickAccounts.Add(Entry.Value);
    }
    const uint64 DroppedBefore = AccountsDropped;
    for (const TSharedPtr<FUserOnlineAccountZor>& Account : TickAccounts)
    {
        if (AccountsDropped != DroppedBefore &&
            AccountMap.FindRef(Account->GetUserId()->ToString()) != Account)
        {
            continue;
        }
        TickUserToken(*Account, DeltaSeconds);
        TickPurchaseToken(*Account, DeltaSeconds);
    }
    TickAccounts.Reset();
    for (auto& Entry : ClientMap)
    {
        TickClientToken(Entry.Key, *Entry.Value, DeltaSeconds);
    }
}

namespace
{
bool IsCountingDown(EAuthTokenState State)
{
    return State == EAuthTokenState::Valid || State == EAuthTokenState::Verifying ||
           State == EAuthTokenState::Refreshing;
}
} // namespace

void FOnlineIdentityZor::TickUserToken(FUserOnlineAccountZor& Account, double DeltaSeconds)
{
    FAuthTokenZor& Token = Account.UserToken;
    if (!IsCountingDown(Token.TokenState))
    {
        return;
    }
    Token.expires_in -= DeltaSeconds;
    Token.refresh_expires -= DeltaSeconds;
    Token.TimeToVerify -= DeltaSeconds;
    if (Token.TokenState != EAuthTokenState::Valid)
    {
        return;
    }
    if (RefreshTokenTheshold > Token.expires_in)
    {
        RefreshAuth(Token);
    }
    else if (Token.TimeToVerify < 0.0)
    {
        VerifyAuth(Token);
    }
}

void FOnlineIdentityZor::TickPurchaseToken(FUserOnlineAccountZor& Account, double DeltaSeconds)
{
    FAuthTokenZor& Token = Account.PurchaseToken;
    if (Token.TokenState != EAuthTokenState::Valid)
    {
        return;
    }
    Token.expires_in -= DeltaSeconds;
    if (Token.expires_in > 0.0)
    {
        return;
    }
    Token.expires_in = 0.0;
    Token.TokenState = EAuthTokenState::Failed;
    int32 LocalUserNum = 0;
    GetLocalUserIdx(*Account.GetUserId(), LocalUserNum);
    TriggerOnLoginPurchaseCompleteDelegates(LocalUserNum, false, *Account.GetUserId(), "Token expired");
}

void FOnlineIdentityZor::TickClientToken(const FString& ClientId, FClientOnlineAuth& Client,
                                         double DeltaSeconds)
{
    if (!IsCountingDown(Client.TokenState))
    {
        return;
    }
    Client.expires_in -= DeltaSeconds;
    Client.TimeToVerify -= DeltaSeconds;
    if (Client.TokenState != EAuthTokenState::Valid)
    {
        return;
    }
    if (RefreshTokenTheshold > Client.expires_in)
    {
        AuthClient(ClientId);
    }
    else if (Client.TimeToVerify < 0.0)
    {
        VerifyAuth(Client);
    }
}

FString FOnlineIdentityZor::FindClientKey(const FAuthTokenZor& Token) const
{
    for (const auto& Entry : ClientMap)
    {
        if (static_cast<const FAuthTokenZor*>(Entry.Value.Get()) == &Token)
        {
            return Entry.Key;
        }
    }
    return Token.client_id;
}

TSharedPtr<FClientOnlineAuth> FOnlineIdentityZor::FindOrAddClient(const FString& ClientId)
{
    TSharedPtr<FClientOnlineAuth>& Client = ClientMap.FindOrAdd(ClientId);
    if (!Client)
    {
        Client = MakeShared<FClientOnlineAuth>().ToSharedPtr();
    }
    return Client;
}

bool FOnlineIdentityZor::VerifyAuth(FAuthTokenZor& Token)
{
    if (!Token.HasValidAccessToken())
    {
        const FString Error("VerifyAuth failed. No valid access token.");
        TriggerOnVerifyAuthCompleteDelegates(false, Token, FAuthTokenVerifyZor(), Error);
        return false;
    }
    const FHttpRequestRef Request = CreateRequest();
    PendingTokens.Add(Request, {Token, Token.bIsUserToken ? FString() : FindClientKey(Token)});
    Request->OnProcessRequestComplete().BindThreadSafeSP(this,
                                                         &FOnlineIdentityZor::VerifyAuth_HttpRequestComplete);
    Request->SetURL(GetBaseUrl() + VerifyTokenUrl);
    Request->SetHeader("Content-Type", "application/json");
    Request->SetHeader("User-Agent", GetUserAgent());
    Request->SetHeader("Authorization", "bearer " + Token.access_token);
    Request->SetVerb("GET");
    UE_LOG_ONLINE(Verbose, "VerifyAuth request. url=%s, %s id=%s, state=%d, accessexpires=%0.2f",
                  *Request->GetURL(), Token.bIsUserToken ? "user" : "client",
                  Token.bIsUserToken ? *Token.account_id : *Token.client_id,
                  static_cast<int32>(Token.TokenState), Token.expires_in);
    Token.TokenState = EAuthTokenState::Verifying;
    return Request->ProcessRequest();
}

void FOnlineIdentityZor::VerifyAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                        bool bSucceeded)
{
    FPendingToken Pending;
    PendingTokens.RemoveAndCopyValue(Request, Pending);
    const FAuthTokenZor& Copy = Pending.Token;

    FAuthTokenVerifyZor Verification;
    FString Error = ZorResponse::Check(Request->GetURL(), Response, bSucceeded, "Verify auth");
    if (Error.IsEmpty() && !Verification.FromJson(Response->GetContentAsString()))
    {
        Error = "Invalid response payload";
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Verify auth request failed. %s", *Error);
    }
    const bool bHasResponse = Response.IsValid();
    const bool bVerified = Error.IsEmpty();

    FAuthTokenZor* Stored = nullptr;
    FAuthTokenVerifyZor* LastVerification = nullptr;
    if (Copy.bIsUserToken)
    {
        if (const TSharedPtr<FUserOnlineAccountZor> Account = AccountMap.FindRef(Copy.account_id))
        {
            Stored = &Account->UserToken;
            LastVerification = &Account->LastVerification;
        }
    }
    else if (const TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(Pending.ClientKey))
    {
        Stored = Client.Get();
        LastVerification = &Client->LastVerification;
    }

    if (Stored)
    {
        Stored->TimeToVerify = VerifyTokenInterval;
        if (!bHasResponse)
        {
            Stored->TokenState = EAuthTokenState::Valid;
        }
        else
        {
            *LastVerification = Verification;
            Stored->expires_in = std::min(Stored->expires_in, Verification.expires_in);
            Stored->TokenState = bVerified ? EAuthTokenState::Valid : EAuthTokenState::Failed;
            if (!bVerified && Stored->bIsUserToken)
            {
                RefreshAuth(*Stored);
            }
        }
    }
    TriggerOnVerifyAuthCompleteDelegates(bVerified, Copy, Verification, Error);
}

bool FOnlineIdentityZor::RefreshAuth(FAuthTokenZor& Token)
{
    const FString Payload = "grant_type=refresh_token&refresh_token=" + Token.refresh_token;
    const FHttpRequestRef Request = CreateGrantRequest(Token.client_id, Payload);
    if (Token.bIsUserToken)
    {
        PendingTokens.Add(Request, {Token, FString()});
    }
    else
    {
        PendingClientRefreshes.Add(Request, {Token, FindClientKey(Token)});
    }
    Request->OnProcessRequestComplete().BindThreadSafeSP(
        this, &FOnlineIdentityZor::RefreshAuth_HttpRequestComplete);
    UE_LOG_ONLINE(Verbose, "RefreshAuth request. url=%s, id=%s, Payload=%s", *Request->GetURL(),
                  *Token.account_id, *Payload);
    Token.TokenState = EAuthTokenState::Refreshing;
    return Request->ProcessRequest();
}

void FOnlineIdentityZor::RefreshAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                         bool bSucceeded)
{
    FPendingToken Pending;
    if (!PendingTokens.RemoveAndCopyValue(Request, Pending))
    {
        PendingClientRefreshes.RemoveAndCopyValue(Request, Pending);
    }
    const FAuthTokenZor& OldToken = Pending.Token;

    FAuthTokenZor NewToken;
    FString Error = ZorResponse::CheckTokenReply(Request->GetURL(), Response, bSucceeded, "Refresh auth",
                                                 OldToken.bIsUserToken != 0, NewToken);
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Refresh auth request failed. %s", *Error);
    }
    const bool bRefreshed = Error.IsEmpty();
    const EAuthTokenState NewState = bRefreshed ? EAuthTokenState::Valid : EAuthTokenState::Failed;

    if (OldToken.bIsUserToken)
    {
        if (const TSharedPtr<FUserOnlineAccountZor> Account = AccountMap.FindRef(OldToken.account_id))
        {
            // A failed refresh keeps the old credentials: wiping them on a dropped connection would leave
            // nothing to refresh with later.
            if (bRefreshed)
            {
                Account->UserToken = NewToken;
                Account->UserToken.bIsUserToken = 1;
            }
            Account->UserToken.TokenState = NewState;
        }
        int32 LocalUserNum = 0;
        if (bSucceeded && !bRefreshed &&
            GetLocalUserIdx(FUniqueNetIdString(OldToken.account_id), LocalUserNum))
        {
            Logout(LocalUserNum);
        }
    }
    else if (const TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(Pending.ClientKey))
    {
        if (bRefreshed)
        {
            static_cast<FAuthTokenZor&>(*Client) = NewToken;
            Client->bIsUserToken = 0;
        }
        Client->TokenState = NewState;
    }
    TriggerOnRefreshAuthCompleteDelegates(bRefreshed, OldToken, NewToken, Error);
}

bool FOnlineIdentityZor::AuthClient(const FString& ClientId)
{
    for (const auto& Entry : PendingClientAuths)
    {
        if (Entry.Value == ClientId)
        {
            TriggerOnAuthClientCompleteDelegates(false, ClientId, "Client auth already in progress.");
            return false;
        }
    }
    const FString Payload("grant_type=client_credentials");
    const FHttpRequestRef Request = CreateGrantRequest(ClientId, Payload);
    PendingClientAuths.Add(Request, ClientId);
    Request->OnProcessRequestComplete().BindThreadSafeSP(this,
                                                         &FOnlineIdentityZor::ClientAuth_HttpRequestComplete);
    FindOrAddClient(ClientId)->TokenState = EAuthTokenState::ClientAuthPending;
    UE_LOG_ONLINE(Log, "Sending Client Auth request. url=%s, Payload=%s", *GetBaseUrl(), *Payload);
    return Request->ProcessRequest();
}

void FOnlineIdentityZor::ClientAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                        bool bSucceeded)
{
    FString ClientId;
    const bool bKnown = PendingClientAuths.RemoveAndCopyValue(Request, ClientId);

    FAuthTokenZor NewToken;
    FString Error =
        ZorResponse::CheckTokenReply(Request->GetURL(), Response, bSucceeded, "Client auth", false, NewToken);
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Client auth request failed. %s", *Error);
    }
    const bool bAuthorized = Error.IsEmpty();
    // Without a remembered client id there is no record to update, and none is made up.
    if (bKnown)
    {
        const TSharedPtr<FClientOnlineAuth> Client = FindOrAddClient(ClientId);
        if (bAuthorized)
        {
            static_cast<FAuthTokenZor&>(*Client) = NewToken;
            Client->bIsUserToken = 0;
            Client->refresh_token.Empty();
            Client->refresh_expires = 0.0;
        }
        Client->TokenState = bAuthorized ? EAuthTokenState::Valid : EAuthTokenState::Failed;
    }
    TriggerOnAuthClientCompleteDelegates(bAuthorized, ClientId, Error);
}
