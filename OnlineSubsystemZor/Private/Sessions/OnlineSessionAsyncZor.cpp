#include "Sessions/OnlineSessionAsyncZor.h"

#include "Common/ZorReply.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
int32 ConnectionStatusFor(const FZorError& Error)
{
    switch (Error.HttpCode)
    {
    case 401:
        return EOnlineServerConnectionStatus::InvalidUser;
    case 403:
        return EOnlineServerConnectionStatus::NotAuthorized;
    case 404:
        return EOnlineServerConnectionStatus::InvalidSession;
    default:
        return EOnlineServerConnectionStatus::ServiceUnavailable;
    }
}

const char* ClientMark(bool bHasRole, const char* Mark)
{
    return bHasRole ? "" : Mark;
}
} // namespace

void FZorSessionRequest::ReadAnswer(FZorReply& Reply)
{
    const FString Body = Reply.GetBody();
    const FString Invalid = Reply.MaskSecrets(FString::Printf("Invalid response payload=%s", *Body));
    switch (AnswerKind)
    {
    case EZorSessionAnswer::None:
        return;
    case EZorSessionAnswer::ObjectWithId:
        if (Reply.ReadObject(Object) && !Object->HasTypedField<EJson::String>("id"))
        {
            Reply.Fail(EZorErrorKind::InvalidPayload, Invalid);
        }
        return;
    case EZorSessionAnswer::Object:
        Reply.ReadObject(Object);
        return;
    case EZorSessionAnswer::ObjectWithPlayers:
        if (Reply.ReadObject(Object) && (!Object->HasTypedField<EJson::Array>("publicPlayers") ||
                                         !Object->HasTypedField<EJson::Array>("privatePlayers")))
        {
            Reply.Fail(EZorErrorKind::InvalidPayload, Invalid);
        }
        return;
    case EZorSessionAnswer::EmptyOrArray:
        if (Body.TrimStartAndEnd().IsEmpty())
        {
            return;
        }
        [[fallthrough]];
    case EZorSessionAnswer::Array:
        if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), Array))
        {
            Reply.Fail(EZorErrorKind::InvalidPayload, Invalid);
        }
        return;
    }
}

void FZorSessionRequest::OnReply(FZorReply& Reply)
{
    if (Reply.Check())
    {
        ReadAnswer(Reply);
    }
    else if (bReportsStatus)
    {
        ConnectionStatus = ConnectionStatusFor(Reply.GetError());
    }
    Reply.Finish();
    Finish(Reply.Succeeded());
}

void FZorSessionRequest::Finish(bool bSucceeded)
{
    bSuccess.store(bSucceeded, std::memory_order_release);
    bDone.store(true, std::memory_order_release);
}

void FZorSessionHandOff::Post(const TSharedRef<FZorSessionRequest>& Request)
{
    std::lock_guard Guard(Mutex);
    Waiting.Add(Request);
}

TArray<TSharedRef<FZorSessionRequest>> FZorSessionHandOff::TakeAll()
{
    std::lock_guard Guard(Mutex);
    TArray<TSharedRef<FZorSessionRequest>> Taken = std::move(Waiting);
    Waiting.Empty();
    return Taken;
}

void FOnlineAsyncTaskZorSession::Tick()
{
    if (bSent)
    {
        return;
    }
    bSent = true;
    if (Request->bSendNothing)
    {
        Request->Finish(true);
        return;
    }
    // Identity and the roads belong to the game thread: it resolves the user and sends.
    HandOff->Post(Request);
}

bool FOnlineAsyncTaskZorSession::TakeOutcome() const
{
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->ForgetTask(*Request);
    }
    return Request->Succeeded();
}

FOnlineSessionZor* FOnlineAsyncTaskZorSession::GetService() const
{
    return Subsystem ? Subsystem->GetZorSessionService().Get() : nullptr;
}

void FOnlineAsyncTaskZorSession::TriggerConnectionStatus() const
{
    // After the handler of the task's own event: one that logged out, logged in again or shut down ended what
    // the status would be about.
    if (Request->ConnectionStatus != 0 && Request->Owner.StillHolds())
    {
        if (FOnlineSessionZor* Service = GetService())
        {
            Service->TriggerConnectionStatus(Request->ConnectionStatus);
        }
    }
}

FString FOnlineAsyncTaskZorCreateSession::ToString() const
{
    return FString::Printf("FOnlineAsyncTaskZorCreateSession bWasSuccessful: %d Session: %s",
                           bSuccess ? 1 : 0, *SessionName);
}

void FOnlineAsyncTaskZorCreateSession::Finalize()
{
    bSuccess = TakeOutcome();
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->FinalizeCreate(SessionName, Serial, Request->PlayerNum, bSuccess, Request->Object);
    }
}

void FOnlineAsyncTaskZorCreateSession::TriggerDelegates()
{
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->TriggerOnCreateSessionCompleteDelegates(SessionName, bSuccess);
    }
    TriggerConnectionStatus();
}

FString FOnlineAsyncTaskZorDestroySession::ToString() const
{
    return FString::Printf("FOnlineAsyncTaskZorDestroySession %s bWasSuccessful: %d Session: %s",
                           ClientMark(bIsHost, "[client]"), bSuccess ? 1 : 0, *SessionName);
}

void FOnlineAsyncTaskZorDestroySession::Finalize()
{
    bSuccess = TakeOutcome();
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->FinalizeDestroy(SessionName, bSuccess);
    }
}

void FOnlineAsyncTaskZorDestroySession::TriggerDelegates()
{
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->TriggerOnDestroySessionCompleteDelegates(SessionName, bSuccess);
    }
    TriggerConnectionStatus();
}

FString FOnlineAsyncTaskZorUpdateSession::ToString() const
{
    return FString::Printf("FOnlineAsyncTaskZorUpdateSession bWasSuccessful: %d Session: %s",
                           bSuccess ? 1 : 0, *SessionName);
}

void FOnlineAsyncTaskZorUpdateSession::Finalize()
{
    bSuccess = TakeOutcome();
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->FinalizeUpdate(SessionName, bUserUpdate, bSuccess, Request->Object);
    }
}

void FOnlineAsyncTaskZorUpdateSession::TriggerDelegates()
{
    FOnlineSessionZor* Service = GetService();
    if (Service && bUserUpdate)
    {
        Service->TriggerOnUpdateSessionCompleteDelegates(SessionName, bSuccess);
    }
    TriggerConnectionStatus();
}

FString FOnlineAsyncTaskZorRegisterPlayers::ToString() const
{
    return FString::Printf("%s %s bWasSuccessful: %d Session: %s", GetName(),
                           ClientMark(bIsServer, " [client]"), bSuccess ? 1 : 0, *SessionName);
}

void FOnlineAsyncTaskZorRegisterPlayers::Finalize()
{
    bSuccess = TakeOutcome();
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->FinalizePlayers(SessionName, bIsServer && !Request->bSendNothing, bSuccess, Request->Object);
    }
}

void FOnlineAsyncTaskZorRegisterPlayers::TriggerDelegates()
{
    if (FOnlineSessionZor* Service = GetService())
    {
        Trigger(*Service);
    }
    TriggerConnectionStatus();
}

void FOnlineAsyncTaskZorRegisterPlayers::Trigger(FOnlineSessionZor& Service) const
{
    Service.TriggerOnRegisterPlayersCompleteDelegates(SessionName, Players, bSuccess);
}

void FOnlineAsyncTaskZorUnregisterPlayers::Trigger(FOnlineSessionZor& Service) const
{
    Service.TriggerOnUnregisterPlayersCompleteDelegates(SessionName, Players, bSuccess);
}

FString FOnlineAsyncTaskZorFindSession::ToString() const
{
    return FString::Printf("FOnlineAsyncTaskZorFindSession bWasSuccessful: %d", bSuccess ? 1 : 0);
}

void FOnlineAsyncTaskZorFindSession::Finalize()
{
    bSuccess = TakeOutcome();
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->FinalizeFind(Search, bSuccess, Request->Array,
                              "No search in progress, find internet session request ignored.");
    }
}

void FOnlineAsyncTaskZorFindSession::TriggerDelegates()
{
    if (FOnlineSessionZor* Service = GetService())
    {
        Service->TriggerOnFindSessionsCompleteDelegates(bSuccess);
    }
}

FString FOnlineAsyncTaskZorFindFriendSession::ToString() const
{
    return FString::Printf("FOnlineAsyncTaskZorFindFriendSession bWasSuccessful: %d", bSuccess ? 1 : 0);
}

int32 FOnlineAsyncTaskZorFindFriendSession::FindBestSession(const FOnlineSessionSearch& Search)
{
    int32 Best = -1;
    for (int32 Index = 0; Index < Search.SearchResults.Num(); ++Index)
    {
        const auto* Info =
            static_cast<const FOnlineSessionInfoZor*>(Search.SearchResults[Index].Session.SessionInfo.Get());
        if (!Info)
        {
            continue;
        }
        const auto* BestInfo = Best < 0 ? nullptr
                                        : static_cast<const FOnlineSessionInfoZor*>(
                                              Search.SearchResults[Best].Session.SessionInfo.Get());
        if (!BestInfo || Info->LastUpdated.Compare(BestInfo->LastUpdated, ESearchCase::IgnoreCase) > 0)
        {
            Best = Index;
        }
    }
    return Best;
}

void FOnlineAsyncTaskZorFindFriendSession::Finalize()
{
    bSuccess = TakeOutcome();
    FOnlineSessionZor* Service = GetService();
    if (!Service)
    {
        return;
    }
    Service->FinalizeFind(Search, bSuccess, Request->Array,
                          "No search in progress, find friend session request ignored.");
    if (bSuccess)
    {
        BestSessionIdx = FindBestSession(*Search);
        UE_LOG_ONLINE(Verbose, "BestSessionIdx %d", BestSessionIdx);
    }
}

void FOnlineAsyncTaskZorFindFriendSession::TriggerDelegates()
{
    FOnlineSessionZor* Service = GetService();
    if (!Service)
    {
        return;
    }
    const FOnlineSessionSearchResult Empty;
    const bool bHasBest = Search->SearchResults.IsValidIndex(BestSessionIdx);
    Service->TriggerOnFindFriendSessionCompleteDelegates(
        LocalUserNum, bSuccess, bHasBest ? Search->SearchResults[BestSessionIdx] : Empty);
}
