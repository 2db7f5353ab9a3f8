#include "Core/GameThread.h"
#include "Core/PlatformTLS.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
bool MaySend(EAuthTokenState State)
{
    return State == EAuthTokenState::Valid || State == EAuthTokenState::Verifying;
}

void Cancel(const FHttpRequestRef& Request, const char* OwnerKind, const FString& Owner)
{
    UE_LOG_ONLINE(VeryVerbose, "Canceling Zor request for %s=%s url=%s", OwnerKind, *Owner,
                  *Request->GetURL());
    Request->CancelRequest();
}

void CancelAll(TArray<FOnlineSubsystemZor::FQueuedRequest>& Requests, const char* OwnerKind,
               const FString& Owner)
{
    while (!Requests.IsEmpty())
    {
        const FHttpRequestRef Request = Requests[0].Request;
        Requests.RemoveAt(0);
        Cancel(Request, OwnerKind, Owner);
    }
}

void SendOldest(TArray<FOnlineSubsystemZor::FQueuedRequest>& Requests, const char* OwnerKind,
                const FString& Owner, const FString& Authorization)
{
    const FHttpRequestRef Request = Requests[0].Request;
    Requests.RemoveAt(0);
    UE_LOG_ONLINE(VeryVerbose, "Running Zor request for %s=%s url=%s", OwnerKind, *Owner, *Request->GetURL());
    Request->SetHeader("Authorization", Authorization);
    Request->ProcessRequest();
}
} // namespace

bool FOnlineSubsystemZor::IsInGameThread() const
{
    // A host that runs no loop of its own leaves it to the thread that built the subsystem.
    return FGameThread::IsSet() ? FGameThread::IsCurrent()
                                : FPlatformTLS::GetCurrentThreadId() == ConstructingThreadId;
}

FString FOnlineSubsystemZor::NoAccountError(const FUniqueNetId& UserId)
{
    return FString::Printf("Invalid user auth for id=%s. Need to login first", *UserId.ToString());
}

bool FOnlineSubsystemZor::ProcessUserRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                                             const FHttpRequestRef& Request, FString& OutError)
{
    if (IsInGameThread())
    {
        return QueueUserRequest(Service, UserId, Request, OutError);
    }
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    if (!IsServer() && (!IdentityService || !IdentityService->HasUserAccountOnAnyThread(UserId)))
    {
        OutError = NoAccountError(UserId);
        return false;
    }
    // Identity's tokens are game-thread only: leave the token checks, and any refresh they start, to the
    // next tick.
    FScopeLock Lock(&UserRequestsLock);
    DeferredUserRequests.Add({&Service, FUniqueNetIdString(UserId), Request});
    return OutError.IsEmpty();
}

bool FOnlineSubsystemZor::QueueUserRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                                           const FHttpRequestRef& Request, FString& OutError)
{
    if (IsServer())
    {
        return ProcessClientRequest(Service, GetAppId(), Request, OutError);
    }
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        IdentityService ? IdentityService->GetUserAccountZor(UserId) : nullptr;
    if (!Account)
    {
        OutError = NoAccountError(UserId);
        return false;
    }
    if (Account->UserToken.TokenState == EAuthTokenState::Valid && Account->UserToken.expires_in <= 0.0)
    {
        IdentityService->RefreshWhenDue(*Account);
    }
    UE_LOG_ONLINE(VeryVerbose, "Queuing Zor request for user=%s url=%s", *UserId.ToString(),
                  *Request->GetURL());
    Request->SetHeader("User-Agent", Service.GetUserAgent());
    const FZorLoginStamp Login = StampLogin(UserId);
    {
        FScopeLock Lock(&UserRequestsLock);
        UserRequests.FindOrAdd(UserId.ToString()).Add({Request, Login});
    }
    return OutError.IsEmpty();
}

bool FOnlineSubsystemZor::ProcessClientRequest(FBaseServiceZor& Service, const FString& ClientId,
                                               const FHttpRequestRef& Request, FString& OutError)
{
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    if (!IdentityService)
    {
        // Shut down: nothing would ever send it, so it completes unsuccessfully at once.
        UE_LOG_ONLINE(VeryVerbose, "Canceling Zor request for client=%s url=%s", *ClientId,
                      *Request->GetURL());
        Request->CancelRequest();
        return OutError.IsEmpty();
    }
    const TSharedPtr<FClientOnlineAuth> Client = IdentityService->GetClientAuthTokenZor(ClientId);
    if (!Client || Client->TokenState == EAuthTokenState::None)
    {
        IdentityService->AuthClient(ClientId);
    }
    UE_LOG_ONLINE(VeryVerbose, "Queuing Zor request for client=%s url=%s", *ClientId, *Request->GetURL());
    Request->SetHeader("User-Agent", Service.GetUserAgent());
    {
        FScopeLock Lock(&ClientRequestsLock);
        ClientRequests.FindOrAdd(ClientId).Add({Request, FZorLoginStamp()});
    }
    return OutError.IsEmpty();
}

bool FOnlineSubsystemZor::ProcessUserPurchaseRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                                                     const FHttpRequestRef& Request, FString& OutError)
{
    FString Authorization;
    if (!Service.GetUserPurchaseAuth(UserId, Authorization))
    {
        OutError =
            FString::Printf("Invalid user purchase auth for id=%s. Need to login first", *UserId.ToString());
        return false;
    }
    UE_LOG_ONLINE(VeryVerbose, "Queuing Zor purchase request for user=%s url=%s", *UserId.ToString(),
                  *Request->GetURL());
    Request->SetHeader("User-Agent", Service.GetUserAgent());
    Request->SetHeader("Authorization", Authorization);
    return Request->ProcessRequest();
}

FZorLoginStamp FOnlineSubsystemZor::StampLogin(const FUniqueNetId& UserId) const
{
    const TSharedPtr<FOnlineIdentityZor> IdentityService =
        IsInGameThread() ? GetZorIdentityService() : nullptr;
    return IdentityService ? IdentityService->StampLogin(UserId) : FZorLoginStamp();
}

bool FOnlineSubsystemZor::IsLoginCurrent(const FZorLoginStamp& Login) const
{
    if (!Login.IsSet())
    {
        return true;
    }
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    return IdentityService && IdentityService->IsLoginCurrent(Login);
}

void FOnlineSubsystemZor::ProcessDeferredUserRequests()
{
    TArray<FDeferredUserRequest> Deferred;
    {
        FScopeLock Lock(&UserRequestsLock);
        Deferred = std::move(DeferredUserRequests);
        DeferredUserRequests.Empty();
    }
    for (const FDeferredUserRequest& Entry : Deferred)
    {
        FString Error;
        if (!QueueUserRequest(*Entry.Service, Entry.UserId, Entry.Request, Error))
        {
            // Its owner learns of the refusal through the request's unsuccessful completion.
            UE_LOG_ONLINE(Warning, "%s", *Error);
            Entry.Request->CancelRequest();
        }
    }
}

void FOnlineSubsystemZor::CancelEndedLogins(TArray<FQueuedRequest>& Requests, const FString& Owner) const
{
    for (int32 Index = 0; Index < Requests.Num();)
    {
        if (IsLoginCurrent(Requests[Index].Login))
        {
            ++Index;
            continue;
        }
        Cancel(Requests[Index].Request, "user", Owner);
        Requests.RemoveAt(Index);
    }
}

void FOnlineSubsystemZor::TickUserRequests(float /*DeltaTime*/)
{
    ProcessDeferredUserRequests();
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    const TSharedPtr<FGameServiceZor> GameService = GetZorGameService();
    if (!IdentityService || !GameService)
    {
        return;
    }
    FScopeLock Lock(&UserRequestsLock);
    for (auto& Entry : UserRequests)
    {
        const FUniqueNetIdString UserId(Entry.Key);
        const TSharedPtr<FUserOnlineAccountZor> Account = IdentityService->GetUserAccountZor(UserId);
        if (!Account || Account->UserToken.TokenState == EAuthTokenState::Failed)
        {
            CancelAll(Entry.Value, "user", Entry.Key);
            continue;
        }
        // A login that ended never lends its requests the token of the one after it.
        CancelEndedLogins(Entry.Value, Entry.Key);
        if (MaySend(Account->UserToken.TokenState) && !Entry.Value.IsEmpty())
        {
            FString Authorization;
            GameService->GetUserAuth(UserId, Authorization);
            SendOldest(Entry.Value, "user", Entry.Key, Authorization);
        }
    }
}

void FOnlineSubsystemZor::TickClientRequests(float /*DeltaTime*/)
{
    const TSharedPtr<FOnlineIdentityZor> IdentityService = GetZorIdentityService();
    const TSharedPtr<FGameServiceZor> GameService = GetZorGameService();
    if (!IdentityService || !GameService)
    {
        return;
    }
    FScopeLock Lock(&ClientRequestsLock);
    for (auto& Entry : ClientRequests)
    {
        if (Entry.Value.IsEmpty())
        {
            continue;
        }
        const TSharedPtr<FClientOnlineAuth> Client = IdentityService->GetClientAuthTokenZor(Entry.Key);
        if (!Client || Client->TokenState == EAuthTokenState::Failed)
        {
            CancelAll(Entry.Value, "client", Entry.Key);
            continue;
        }
        if (MaySend(Client->TokenState))
        {
            FString Authorization;
            GameService->GetClientAuth(Entry.Key, Authorization);
            SendOldest(Entry.Value, "client", Entry.Key, Authorization);
        }
    }
}

void FOnlineSubsystemZor::CleanupPendingRequests()
{
    {
        FScopeLock Lock(&UserRequestsLock);
        for (auto& Entry : UserRequests)
        {
            CancelAll(Entry.Value, "user", Entry.Key);
        }
        UserRequests.Empty();
        for (const FDeferredUserRequest& Deferred : DeferredUserRequests)
        {
            UE_LOG_ONLINE(VeryVerbose, "Canceling Zor request for user=%s url=%s",
                          *Deferred.UserId.ToString(), *Deferred.Request->GetURL());
            Deferred.Request->CancelRequest();
        }
        DeferredUserRequests.Empty();
    }
    FScopeLock Lock(&ClientRequestsLock);
    for (auto& Entry : ClientRequests)
    {
        CancelAll(Entry.Value, "client", Entry.Key);
    }
    ClientRequests.Empty();
}
