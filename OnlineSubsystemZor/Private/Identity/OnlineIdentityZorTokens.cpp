#include "Common/ZorCallSet.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

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
    Account.Upkeep.Tick(DeltaSeconds);
    if (Token.TokenState == EAuthTokenState::Failed && Account.Upkeep.IsRetryingRefresh())
    {
        RefreshWhenDue(Account);
        return;
    }
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
    if (!Account.Upkeep.IsLifetimeKnown())
    {
        if (Token.TimeToVerify < 0.0)
        {
            SendVerification(Token, true);
        }
        return;
    }
    if (RefreshTokenTheshold > Token.expires_in && Account.Upkeep.IsRefreshDue())
    {
        RefreshWhenDue(Account);
    }
    else if (IsVerifyDue(Token))
    {
        VerifyAuth(Token);
    }
}

bool FOnlineIdentityZor::IsVerifyDue(const FAuthTokenZor& Token)
{
    // A token waiting out its refresh back-off is still checked while it is usable.
    return Token.TimeToVerify < 0.0 &&
           (RefreshTokenTheshold <= Token.expires_in || Token.HasValidAccessToken());
}

bool FOnlineIdentityZor::RefreshWhenDue(FUserOnlineAccountZor& Account)
{
    if (!Account.Upkeep.IsRefreshDue() || !Account.Upkeep.IsLifetimeKnown() ||
        GetCalls().IsPending(RefreshKey(Account.UserToken)))
    {
        return false;
    }
    return RefreshAuth(Account.UserToken);
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
    Client.Upkeep.Tick(DeltaSeconds);
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
    if (RefreshTokenTheshold > Client.expires_in && Client.Upkeep.IsRefreshDue())
    {
        AuthClient(ClientId);
    }
    else if (IsVerifyDue(Client))
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
    return SendVerification(Token, false);
}

bool FOnlineIdentityZor::SendVerification(FAuthTokenZor& Token, bool bTakeLifetime)
{
    FZorCall Call = BearerCall("Verify auth", "GET", GetBaseUrl() + VerifyTokenUrl, Token);
    Call.SendingLine = FString::Printf("VerifyAuth request. url=%s, %s id=%s, state=%d, accessexpires=%0.2f",
                                       *Call.Url, Token.bIsUserToken ? "user" : "client",
                                       Token.bIsUserToken ? *Token.account_id : *Token.client_id,
                                       static_cast<int32>(Token.TokenState), Token.expires_in);
    const FPendingToken Pending{Token, Token.bIsUserToken ? FString() : FindClientKey(Token), bTakeLifetime,
                                StampLogin(FUniqueNetIdString(Token.account_id))};
    Call.Login = Pending.Login;
    Token.TokenState = EAuthTokenState::Verifying;
    return GetCalls().Send(Call, [this, Pending](FZorReply& Reply)
                           { VerifyAuth_HttpRequestComplete(Reply, Pending); });
}

void FOnlineIdentityZor::VerifyAuth_HttpRequestComplete(FZorReply& Reply, const FPendingToken& Pending)
{
    const FAuthTokenZor& Copy = Pending.Token;
    FAuthTokenVerifyZor Verification;
    if (Reply.Check())
    {
        Reply.Read(Verification);
    }
    const bool bVerified = Reply.Finish();
    const bool bHasResponse = Reply.HasResponse();

    FAuthTokenZor* Stored = nullptr;
    FAuthTokenVerifyZor* LastVerification = nullptr;
    FTokenUpkeepZor* Upkeep = nullptr;
    if (Copy.bIsUserToken)
    {
        if (const TSharedPtr<FUserOnlineAccountZor> Account = FindTokenRecord(Reply, Copy))
        {
            Stored = &Account->UserToken;
            LastVerification = &Account->LastVerification;
            Upkeep = &Account->Upkeep;
        }
    }
    else if (const TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(Pending.ClientKey))
    {
        Stored = Client.Get();
        LastVerification = &Client->LastVerification;
        Upkeep = &Client->Upkeep;
    }

    if (Stored)
    {
        Stored->TimeToVerify = VerifyTokenInterval;
        if (!bHasResponse)
        {
            Stored->TokenState = EAuthTokenState::Valid;
            if (Pending.bTakeLifetime)
            {
                Upkeep->OnCheckFailed(VerifyTokenInterval);
                Stored->TimeToVerify = Upkeep->GetCheckDelay();
            }
        }
        else
        {
            *LastVerification = Verification;
            if (bVerified && Verification.expires_in > 0.0)
            {
                Upkeep->OnCheckPassed();
            }
            else
            {
                Upkeep->OnCheckFailed(VerifyTokenInterval);
            }
            if (Pending.bTakeLifetime && bVerified)
            {
                Stored->expires_in = Verification.expires_in;
                Upkeep->OnGranted(Verification.expires_in);
            }
            Stored->expires_in = std::min(Stored->expires_in, Verification.expires_in);
            Upkeep->OnLifetimeCut(Stored->expires_in);
            Stored->TokenState = bVerified ? EAuthTokenState::Valid : EAuthTokenState::Failed;
            if (!bVerified && Stored->bIsUserToken)
            {
                RefreshAuth(*Stored);
            }
        }
    }
    TriggerOnVerifyAuthCompleteDelegates(bVerified, Copy, Verification, Reply.GetErrorText());
}

FString FOnlineIdentityZor::RefreshKey(const FAuthTokenZor& Token) const
{
    if (!Token.bIsUserToken)
    {
        return "refresh-client:" + FindClientKey(Token);
    }
    // An ended login's refresh still in flight holds up none of the next login's.
    const FZorLoginStamp Login = StampLogin(FUniqueNetIdString(Token.account_id));
    return FString::Printf("refresh:%s:%d:%u", *Token.account_id, Login.LocalUserNum, Login.Generation);
}

bool FOnlineIdentityZor::RefreshAuth(FAuthTokenZor& Token)
{
    const FString PendingKey = RefreshKey(Token);
    if (GetCalls().IsPending(PendingKey))
    {
        TriggerOnRefreshAuthCompleteDelegates(false, Token, FAuthTokenZor(),
                                              "Refresh auth already in progress.");
        return false;
    }
    const FString Payload = "grant_type=refresh_token&refresh_token=" + Token.refresh_token;
    FZorCall Call = GrantCall("Refresh auth", Token.client_id, Payload);
    Call.Secrets = {Token.refresh_token};
    Call.PendingKey = PendingKey;
    Call.SendingLine = FString::Printf("RefreshAuth request. url=%s, id=%s, Payload=%s", *Call.Url,
                                       *Token.account_id, *Payload);
    const FPendingToken Pending{Token, Token.bIsUserToken ? FString() : FindClientKey(Token), false,
                                StampLogin(FUniqueNetIdString(Token.account_id))};
    Call.Login = Pending.Login;
    Token.TokenState = EAuthTokenState::Refreshing;
    return GetCalls().Send(Call, [this, Pending](FZorReply& Reply)
                           { RefreshAuth_HttpRequestComplete(Reply, Pending); });
}

TSharedPtr<FUserOnlineAccountZor> FOnlineIdentityZor::FindTokenRecord(const FZorReply& Reply,
                                                                      const FAuthTokenZor& Copy) const
{
    // A login that ended since holds no record, even when its account has logged in again.
    return Reply.HasLoginEnded() ? nullptr : AccountMap.FindRef(Copy.account_id);
}

void FOnlineIdentityZor::RefreshAuth_HttpRequestComplete(FZorReply& Reply, const FPendingToken& Pending)
{
    const FAuthTokenZor& OldToken = Pending.Token;
    FAuthTokenZor NewToken;
    ReadToken(Reply, OldToken.bIsUserToken != 0, NewToken);
    if (Reply.Succeeded() && OldToken.bIsUserToken && NewToken.account_id != OldToken.account_id)
    {
        // Installed, it would belong to no record: the account's next check could never find it.
        Reply.Fail(EZorErrorKind::InvalidPayload,
                   FString::Printf("No user account entry found for id=%s", *NewToken.account_id));
    }
    const bool bRefreshed = Reply.Finish();
    const EAuthTokenState NewState = bRefreshed ? EAuthTokenState::Valid : EAuthTokenState::Failed;

    if (OldToken.bIsUserToken)
    {
        const TSharedPtr<FUserOnlineAccountZor> Account = FindTokenRecord(Reply, OldToken);
        if (Account)
        {
            // A failed refresh keeps the old credentials: wiping them on a dropped connection would leave
            // nothing to refresh with later.
            if (bRefreshed)
            {
                InstallRefreshedToken(*Account, NewToken);
            }
            Account->UserToken.TokenState = NewState;
        }
        if (!bRefreshed && !Reply.HasLoginEnded() && !OnUserRefreshFailed(Reply, OldToken, Account.Get()))
        {
            return;
        }
    }
    else if (const TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(Pending.ClientKey))
    {
        if (bRefreshed)
        {
            static_cast<FAuthTokenZor&>(*Client) = NewToken;
            Client->bIsUserToken = 0;
            Client->Upkeep.OnGranted(NewToken.expires_in);
        }
        Client->TokenState = NewState;
    }
    TriggerOnRefreshAuthCompleteDelegates(bRefreshed, OldToken, NewToken, Reply.GetErrorText());
}

void FOnlineIdentityZor::InstallRefreshedToken(FUserOnlineAccountZor& Account, const FAuthTokenZor& NewToken)
{
    Account.UserToken = NewToken;
    Account.UserToken.bIsUserToken = 1;
    Account.UserToken.TimeToVerify = Account.Upkeep.GetCheckDelay();
    Account.Upkeep.OnGranted(NewToken.expires_in);
    Account.Upkeep.OnRefreshAnswered();
}

bool FOnlineIdentityZor::OnUserRefreshFailed(const FZorReply& Reply, const FAuthTokenZor& OldToken,
                                             FUserOnlineAccountZor* Account)
{
    if (GetCalls().IsShutDown())
    {
        return true;
    }
    if (!Reply.HasResponse())
    {
        if (!Account || ScheduleRefreshRetry(*Account))
        {
            return true;
        }
        UE_LOG_ONLINE(Warning, "Refresh auth gave up for id=%s.", *OldToken.account_id);
    }
    int32 LocalUserNum = 0;
    if (GetLocalUserIdx(FUniqueNetIdString(OldToken.account_id), LocalUserNum))
    {
        Logout(LocalUserNum);
    }
    return !GetCalls().IsShutDown();
}

bool FOnlineIdentityZor::ScheduleRefreshRetry(FUserOnlineAccountZor& Account) const
{
    // Unanswered: tried again after a back-off while the refresh token can still be used.
    const FAuthTokenZor& Token = Account.UserToken;
    const bool bUsable = !Token.refresh_token.IsEmpty() && Token.refresh_expires > 0.0;
    if (Account.Upkeep.OnRefreshUnanswered(VerifyTokenInterval) && bUsable)
    {
        return true;
    }
    Account.Upkeep.OnRefreshAnswered();
    return false;
}

bool FOnlineIdentityZor::AuthClient(const FString& ClientId)
{
    const FString PendingKey = "client:" + ClientId;
    if (GetCalls().IsPending(PendingKey))
    {
        TriggerOnAuthClientCompleteDelegates(false, ClientId, "Client auth already in progress.");
        return false;
    }
    const FString Payload("grant_type=client_credentials");
    FZorCall Call = GrantCall("Client auth", ClientId, Payload);
    Call.PendingKey = PendingKey;
    Call.SendingVerbosity = ELogVerbosity::Log;
    Call.SendingLine =
        FString::Printf("Sending Client Auth request. url=%s, Payload=%s", *GetBaseUrl(), *Payload);
    FindOrAddClient(ClientId)->TokenState = EAuthTokenState::ClientAuthPending;
    return GetCalls().Send(Call, [this, ClientId](FZorReply& Reply)
                           { ClientAuth_HttpRequestComplete(Reply, ClientId); });
}

void FOnlineIdentityZor::ClientAuth_HttpRequestComplete(FZorReply& Reply, const FString& ClientId)
{
    FAuthTokenZor NewToken;
    ReadToken(Reply, false, NewToken);
    const bool bAuthorized = Reply.Finish();
    const TSharedPtr<FClientOnlineAuth> Client = FindOrAddClient(ClientId);
    if (bAuthorized)
    {
        static_cast<FAuthTokenZor&>(*Client) = NewToken;
        Client->bIsUserToken = 0;
        Client->refresh_token.Empty();
        Client->refresh_expires = 0.0;
        Client->TimeToVerify = Client->Upkeep.GetCheckDelay();
        Client->Upkeep.OnGranted(Client->expires_in);
    }
    Client->TokenState = bAuthorized ? EAuthTokenState::Valid : EAuthTokenState::Failed;
    TriggerOnAuthClientCompleteDelegates(bAuthorized, ClientId, Reply.GetErrorText());
}
