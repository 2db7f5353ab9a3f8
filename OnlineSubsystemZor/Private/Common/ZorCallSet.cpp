#include "Common/ZorCallSet.h"

#include "Common/ZorRedact.h"
#include "Subsystem/OnlineSubsystemZor.h"

FZorCallSet::FZorCallSet(FBaseServiceZor& InService, FOnlineSubsystemZor* InSubsystem)
    : Service(InService), Subsystem(InSubsystem)
{
}

FHttpRequestPtr FZorCallSet::Begin(const FZorCall& Call, FZorReplyHandler& OnReply,
                                   const FZorLoginStamp& Login)
{
    FInFlight Entry{Call, std::move(OnReply)};
    Entry.Call.Login = Call.Login.IsSet() ? Call.Login : Login;
    if (bShutDown)
    {
        RunWithoutResponse(Entry, nullptr);
        return nullptr;
    }
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL(Call.ResolveUrl());
    if (!Call.ContentType.IsEmpty())
    {
        Request->SetHeader("Content-Type", Call.ContentType);
    }
    for (const auto& Header : Call.Headers)
    {
        Request->SetHeader(Header.Key, Header.Value);
    }
    Request->SetVerb(Call.Verb);
    if (!Call.Body.IsEmpty())
    {
        Request->SetContentAsString(Call.Body);
    }
    Request->OnProcessRequestComplete().BindLambda(
        [Weak = TWeakPtr<FZorCallSet>(AsShared())](FHttpRequestPtr Done, FHttpResponsePtr Response, bool bOk)
        {
            if (const TSharedPtr<FZorCallSet> Calls = Weak.Pin())
            {
                Calls->Complete(Done, Response, bOk);
            }
        });
    bool bTracked = false;
    {
        // Looked at again under the lock: Shutdown ends only the calls it finds.
        FScopeLock ScopeLock(&Lock);
        if (!bShutDown)
        {
            InFlight.Add(Request, std::move(Entry));
            bTracked = true;
        }
    }
    if (!bTracked)
    {
        RunWithoutResponse(Entry, nullptr);
        return nullptr;
    }
    const FString Line = Call.SendingLine.IsEmpty() ? FString::Printf("Starting %s request.", *Call.Operation)
                                                    : Call.SendingLine;
    if (!LogOnline.IsSuppressed(Call.SendingVerbosity))
    {
        FLog::Write(LogOnline, Call.SendingVerbosity,
                    FString(ONLINE_LOG_PREFIX) + ZorRedact::Body(ZorRedact::Text(Line, Call.Secrets)));
    }
    return Request;
}

bool FZorCallSet::Send(const FZorCall& Call, FZorReplyHandler OnReply)
{
    const FHttpRequestPtr Request = Begin(Call, OnReply);
    return Request && Request->ProcessRequest();
}

bool FZorCallSet::SendAsUser(const FZorCall& Call, const FUniqueNetId& UserId, FZorReplyHandler OnReply,
                             FZorError& OutError)
{
    return SendOnRoad(
        Call, LoginOf(UserId),
        [this, &UserId](FOnlineSubsystemZor& Roads, const FHttpRequestRef& Request, FString& Error)
        { return Roads.ProcessUserRequest(Service, UserId, Request, Error); },
        OnReply, OutError);
}

bool FZorCallSet::SendAsClient(const FZorCall& Call, const FString& ClientId, FZorReplyHandler OnReply,
                               FZorError& OutError)
{
    return SendOnRoad(
        Call, FZorLoginStamp(),
        [this, &ClientId](FOnlineSubsystemZor& Roads, const FHttpRequestRef& Request, FString& Error)
        { return Roads.ProcessClientRequest(Service, ClientId, Request, Error); },
        OnReply, OutError);
}

bool FZorCallSet::SendAsPurchase(const FZorCall& Call, const FUniqueNetId& UserId, FZorReplyHandler OnReply,
                                 FZorError& OutError)
{
    return SendOnRoad(
        Call, LoginOf(UserId),
        [this, &UserId](FOnlineSubsystemZor& Roads, const FHttpRequestRef& Request, FString& Error)
        { return Roads.ProcessUserPurchaseRequest(Service, UserId, Request, Error); },
        OnReply, OutError);
}

FZorLoginStamp FZorCallSet::LoginOf(const FUniqueNetId& UserId) const
{
    const FOnlineSubsystemZor* const Roads = Subsystem.load();
    return Roads ? Roads->StampLogin(UserId) : FZorLoginStamp();
}

bool FZorCallSet::SendOnRoad(const FZorCall& Call, const FZorLoginStamp& Login, const FRoad& Road,
                             FZorReplyHandler& OnReply, FZorError& OutError)
{
    const FHttpRequestPtr Request = Begin(Call, OnReply, Login);
    if (!Request)
    {
        return false;
    }
    FOnlineSubsystemZor* const Roads = RoadsFor(Request);
    if (!Roads)
    {
        return false;
    }
    FString Error;
    if (Road(*Roads, Request.ToSharedRef(), Error))
    {
        return true;
    }
    if (!Error.IsEmpty())
    {
        // Never started: nothing will complete it. Without a text, a started request failed and completes.
        Drop(Request);
        OutError = FZorError::Make(EZorErrorKind::Refused, Error);
    }
    return false;
}

void FZorCallSet::Drop(const FHttpRequestPtr& Request)
{
    FScopeLock ScopeLock(&Lock);
    InFlight.Remove(Request);
}

FOnlineSubsystemZor* FZorCallSet::RoadsFor(const FHttpRequestPtr& Request)
{
    FOnlineSubsystemZor* const Roads = Subsystem.load();
    if (!Roads)
    {
        // Detached after Shutdown, which has run the handler.
        Drop(Request);
    }
    return Roads;
}

bool FZorCallSet::IsPending(const FString& PendingKey, ESearchCase::Type SearchCase) const
{
    return HasPending(PendingKey, SearchCase, FString());
}

bool FZorCallSet::IsOperationPending(const FString& PendingKey, const FString& Operation) const
{
    return HasPending(PendingKey, ESearchCase::IgnoreCase, Operation);
}

bool FZorCallSet::HasPending(const FString& PendingKey, ESearchCase::Type SearchCase,
                             const FString& Operation) const
{
    FScopeLock ScopeLock(&Lock);
    for (const auto& Entry : InFlight)
    {
        const FZorCall& Call = Entry.Value.Call;
        if (!Call.PendingKey.IsEmpty() && Call.PendingKey.Equals(PendingKey, SearchCase) &&
            (Operation.IsEmpty() || Call.Operation == Operation) && IsLoginCurrent(Call))
        {
            return true;
        }
    }
    return false;
}

int32 FZorCallSet::Num() const
{
    FScopeLock ScopeLock(&Lock);
    return InFlight.Num();
}

void FZorCallSet::Complete(const FHttpRequestPtr& Request, const FHttpResponsePtr& Response, bool bSucceeded)
{
    FInFlight Entry;
    {
        FScopeLock ScopeLock(&Lock);
        if (!InFlight.RemoveAndCopyValue(Request, Entry))
        {
            return;
        }
    }
    const FOnlineSubsystemZor::FEventScope Scope(Subsystem.load());
    if (!IsLoginCurrent(Entry.Call))
    {
        UE_LOG_ONLINE(Verbose, "%s reply dropped: the login it was sent for has ended. LocalUserNum=%d",
                      *Entry.Call.Operation, Entry.Call.Login.LocalUserNum);
        FZorReply Reply = FZorReply::ForEndedLogin(Entry.Call, Request);
        Entry.OnReply(Reply);
        return;
    }
    FZorReply Reply(Entry.Call, Request, Response, bSucceeded);
    Entry.OnReply(Reply);
}

bool FZorCallSet::IsLoginCurrent(const FZorCall& Call) const
{
    if (!Call.Login.IsSet())
    {
        return true;
    }
    const FOnlineSubsystemZor* const Roads = Subsystem.load();
    return Roads && Roads->IsLoginCurrent(Call.Login);
}

void FZorCallSet::Shutdown()
{
    TArray<TPair<FHttpRequestPtr, FInFlight>> Abandoned;
    {
        FScopeLock ScopeLock(&Lock);
        bShutDown = true;
        for (const auto& Entry : InFlight)
        {
            Abandoned.Add({Entry.Key, Entry.Value});
        }
        InFlight.Empty();
    }
    for (const auto& Entry : Abandoned)
    {
        Entry.Key->CancelRequest();
    }
    for (const auto& Entry : Abandoned)
    {
        RunWithoutResponse(Entry.Value, Entry.Key);
    }
}

void FZorCallSet::RunWithoutResponse(const FInFlight& Entry, const FHttpRequestPtr& Request)
{
    FZorReply Reply(Entry.Call, Request, nullptr, false);
    Entry.OnReply(Reply);
}
