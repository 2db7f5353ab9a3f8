#include "Online/LANBeacon.h"
#include "Sessions/OnlineSessionAsyncZor.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionJsonZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Sockets/SocketSubsystem.h"
#include "Subsystem/OnlineSubsystemZor.h"

bool FOnlineSessionZor::FindSessions(const FUniqueNetId&,
                                     const TSharedRef<FOnlineSessionSearch>& SearchSettings)
{
    return FindSessions(0, SearchSettings);
}

bool FOnlineSessionZor::FindSessions(int32 SearchingPlayerNum,
                                     const TSharedRef<FOnlineSessionSearch>& SearchSettings)
{
    if (CurrentSessionSearch || SearchSettings->SearchState == EOnlineAsyncTaskState::InProgress)
    {
        UE_LOG_ONLINE(Warning, "Ignoring game search request while another search is pending");
        // True only for the search that runs: the caller of another would wait for an event that never comes.
        return CurrentSessionSearch == SearchSettings;
    }
    SearchSettings->SearchResults.Empty();
    CurrentSessionSearch = SearchSettings;
    // In progress before it starts: a start that fails at once marks it failed.
    SearchSettings->SearchState = EOnlineAsyncTaskState::InProgress;
    const int32 Result = SearchSettings->bIsLanQuery
                             ? FindLANSession()
                             : FindInternetSession(SearchingPlayerNum, SearchSettings);
    return Result == ResultSuccess || Result == ResultPending;
}

int32 FOnlineSessionZor::FindInternetSession(int32 SearchingPlayerNum,
                                             const TSharedRef<FOnlineSessionSearch>& Search)
{
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("FindSession", "FindSessionUrl", SearchingPlayerNum);
    Request->Call.Verb = "POST";
    Request->Call.Url = GetBaseUrl() + FindSessionsUrl;
    Request->Call.Body = ZorSessionJson::WriteSearchToJson(*Search, GetBuildUniqueId());
    Request->Call.SendingLine = FString::Printf("Sending FindInternetSession request. url=%s, json=%s",
                                                *Request->Call.ResolveUrl(), *Request->Call.Body);
    Request->AnswerKind = EZorSessionAnswer::Array;
    Request->bReportsStatus = false;
    QueueTask(new FOnlineAsyncTaskZorFindSession(Subsystem, Request, HandOff, Search),
              [this, Search]
              {
                  Search->SearchState = EOnlineAsyncTaskState::Failed;
                  if (CurrentSessionSearch == Search)
                  {
                      CurrentSessionSearch.Reset();
                  }
                  TriggerOnFindSessionsCompleteDelegates(false);
              });
    return ResultPending;
}

void FOnlineSessionZor::FinalizeFind(const TSharedRef<FOnlineSessionSearch>& Search, bool& bInOutSuccess,
                                     const TArray<TSharedPtr<FJsonValue>>& Answer, const char* IgnoredLine)
{
    // Only into its own search, and only while that is the one running: a cancelled or replaced search keeps
    // what its owner last saw.
    const bool bCurrent = CurrentSessionSearch == Search;
    if (bInOutSuccess && (!bCurrent || Search->SearchState != EOnlineAsyncTaskState::InProgress))
    {
        UE_LOG_ONLINE(Display, "%s", IgnoredLine);
        bInOutSuccess = false;
    }
    if (bInOutSuccess)
    {
        for (const TSharedPtr<FJsonValue>& Value : Answer)
        {
            const TSharedPtr<FJsonObject>* Object = nullptr;
            if (Value && Value->TryGetObject(Object))
            {
                ParseSearchResult(*Search, **Object);
            }
        }
        UE_LOG_ONLINE(Verbose, "Num Valid / Total Search Results %d / %d", Search->SearchResults.Num(),
                      Answer.Num());
    }
    if (!bCurrent)
    {
        return;
    }
    Search->SearchState = bInOutSuccess ? EOnlineAsyncTaskState::Done : EOnlineAsyncTaskState::Failed;
    if (bInOutSuccess)
    {
        Search->SortSearchResults();
    }
    CurrentSessionSearch.Reset();
}

void FOnlineSessionZor::ParseSearchResult(FOnlineSessionSearch& Search, const FJsonObject& Object)
{
    FOnlineSessionSearchResult& Result = Search.SearchResults.AddDefaulted_GetRef();
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>();
    Info->HostAddr = FSocketSubsystem::CreateInternetAddr();
    Result.Session.SessionInfo = Info;
    // Found through the service, so advertised; a hosted session keeps its own flag when answers are read.
    Result.Session.SessionSettings.bShouldAdvertise = true;
    ZorSessionJson::ReadSessionFromJson(Object, Result.Session, MakeJsonContext());

    const int32 BuildId = Result.Session.SessionSettings.BuildUniqueId;
    const bool bValidId = Info->SessionId.IsValid();
    const bool bValidAddr = Info->HostAddr->IsValid();
    const bool bSameBuild = BuildId != 0 && BuildId == GetBuildUniqueId();
    if (bValidId && bValidAddr && bSameBuild)
    {
        return;
    }
    const FString Id = Info->SessionId.ToString();
    if (!bValidId)
    {
        UE_LOG_ONLINE(Verbose, "Rejecting search result [%s]: invalid session id", *Id);
    }
    if (!bValidAddr)
    {
        UE_LOG_ONLINE(Verbose, "Rejecting search result [%s]: invalid host addr", *Id);
    }
    if (!bSameBuild)
    {
        UE_LOG_ONLINE(Verbose, "Rejecting search result [%s]: invalid build id %d != %d", *Id,
                      GetBuildUniqueId(), BuildId);
    }
    if (Result.Session.SessionSettings.bUsesPresence)
    {
        UE_LOG_ONLINE(Verbose, "Rejecting search result [%s]: cant join presence session", *Id);
    }
    Search.SearchResults.RemoveAt(Search.SearchResults.Num() - 1);
}

bool FOnlineSessionZor::CancelFindSessions()
{
    int32 Result = ResultFail;
    if (CurrentSessionSearch && CurrentSessionSearch->SearchState == EOnlineAsyncTaskState::InProgress)
    {
        CurrentSessionSearch->SearchState = EOnlineAsyncTaskState::Failed;
        const bool bLan = CurrentSessionSearch->bIsLanQuery;
        // Cleared here: the beacon's timeout will not come for a stopped search, and later searches must
        // start.
        CurrentSessionSearch.Reset();
        if (bLan)
        {
            // A server's hosted LAN session answers queries again.
            RestoreLANHosting();
        }
        Result = ResultSuccess;
    }
    else
    {
        UE_LOG_ONLINE(Warning, "Can't cancel a search that isn't in progress");
    }
    TriggerOnCancelFindSessionsCompleteDelegates(true);
    return Result == ResultSuccess;
}

bool FOnlineSessionZor::FindFriendSession(const FUniqueNetId&, const FUniqueNetId& Friend)
{
    return FindFriendSession(0, Friend);
}

bool FOnlineSessionZor::FindFriendSession(int32 LocalUserNum, const FUniqueNetId& Friend)
{
    if (CurrentSessionSearch)
    {
        UE_LOG_ONLINE(Warning, "Ignoring friend search request while another search is pending");
        TriggerOnFindFriendSessionCompleteDelegates(LocalUserNum, false, FOnlineSessionSearchResult());
        return false;
    }
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    Search->SearchState = EOnlineAsyncTaskState::InProgress;
    CurrentSessionSearch = Search;
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("FindFriendSession", "FindFriendSessionUrl", LocalUserNum);
    Request->Call.Url = GetBaseUrl() + FindPlayerUrl;
    Request->Call.Values = {{"`id", Friend.ToString()}};
    Request->Call.SendingLine =
        FString::Printf("Sending FindFriendSession request. url=%s", *Request->Call.ResolveUrl());
    Request->AnswerKind = EZorSessionAnswer::EmptyOrArray;
    Request->bReportsStatus = false;
    QueueTask(new FOnlineAsyncTaskZorFindFriendSession(Subsystem, Request, HandOff, LocalUserNum, Search),
              [this, LocalUserNum, Search]
              {
                  Search->SearchState = EOnlineAsyncTaskState::Failed;
                  if (CurrentSessionSearch == Search)
                  {
                      CurrentSessionSearch.Reset();
                  }
                  TriggerOnFindFriendSessionCompleteDelegates(LocalUserNum, false,
                                                              FOnlineSessionSearchResult());
              });
    return true;
}

bool FOnlineSessionZor::JoinSession(const FUniqueNetId&, const FName& SessionName,
                                    const FOnlineSessionSearchResult& DesiredSession)
{
    return JoinSession(0, SessionName, DesiredSession);
}

bool FOnlineSessionZor::JoinSession(int32 PlayerNum, const FName& SessionName,
                                    const FOnlineSessionSearchResult& DesiredSession)
{
    int32 Result = ResultFail;
    FNamedOnlineSession* Session = nullptr;
    if (GetNamedSession(SessionName))
    {
        UE_LOG_ONLINE(Warning, "Session (%s) already exists, can't join twice", *SessionName);
    }
    else
    {
        Session = AddNamedSession(SessionName, DesiredSession.Session);
        Session->HostingPlayerNum = PlayerNum;
        if (Session->SessionSettings.bIsLANMatch)
        {
            Session->SessionInfo = MakeShared<FOnlineSessionInfoZor>();
            Result = JoinLANSession(*Session, DesiredSession);
        }
        else if (DesiredSession.Session.SessionInfo)
        {
            Session->SessionInfo = MakeShared<FOnlineSessionInfoZor>(
                DesiredSession.Session.SessionInfo->GetSessionId().ToString());
            Result = JoinInternetSession(*Session, DesiredSession);
        }
        else
        {
            UE_LOG_ONLINE(Warning, "Invalid session info on search result");
        }
    }
    if (Result == ResultPending)
    {
        return true;
    }
    if (Result == ResultSuccess)
    {
        RegisterLocalPlayers(*Session);
    }
    else if (Session)
    {
        // Only the session this call added: a name in use belongs to someone else.
        RemoveNamedSession(SessionName);
    }
    TriggerOnJoinSessionCompleteDelegates(SessionName, Result == ResultSuccess
                                                           ? EOnJoinSessionCompleteResult::Success
                                                           : EOnJoinSessionCompleteResult::UnknownError);
    return Result == ResultSuccess;
}

int32 FOnlineSessionZor::JoinInternetSession(FNamedOnlineSession& Session,
                                             const FOnlineSessionSearchResult& Result)
{
    Session.SessionState = EOnlineSessionState::Pending;
    auto* Info = static_cast<FOnlineSessionInfoZor*>(Session.SessionInfo.Get());
    const auto* Found = static_cast<const FOnlineSessionInfoZor*>(Result.Session.SessionInfo.Get());
    if (!Info || !Info->SessionId.IsValid() || !Found)
    {
        return ResultFail;
    }
    Info->HostAddr = Found->HostAddr;
    Info->LastUpdated = Found->LastUpdated;
    return ResultSuccess;
}

int32 FOnlineSessionZor::JoinLANSession(FNamedOnlineSession& Session,
                                        const FOnlineSessionSearchResult& Result)
{
    Session.SessionState = EOnlineSessionState::Pending;
    auto* Info = static_cast<FOnlineSessionInfoZor*>(Session.SessionInfo.Get());
    const auto* Found = static_cast<const FOnlineSessionInfoZor*>(Result.Session.SessionInfo.Get());
    // A LAN answer carries no address to join.
    if (!Info || !Found || !Found->HostAddr || !Found->HostAddr->IsValid())
    {
        return ResultFail;
    }
    Info->HostAddr = MakeShared<FInternetAddr>(Found->HostAddr->GetIp(), Found->HostAddr->GetPort());
    return ResultSuccess;
}

bool FOnlineSessionZor::EnsureLANSession()
{
    if (!LANSession)
    {
        LANSession = MakeShared<FLANSession>(LANTransportFactory ? LANTransportFactory()
                                                                 : MakeUdpLANBeaconTransport());
        LANSession->SetTimeout(LANSearchTimeout);
        LANSession->SetClock(Clock);
    }
    return true;
}

void FOnlineSessionZor::ReleaseLANSession()
{
    if (!LANSession)
    {
        return;
    }
    // Its timeout dies with the beacon. Reported once the beacon is gone, so a handler that searches again
    // gets a beacon of its own.
    const bool bAborted = TakeLANSearch(false) != nullptr;
    LANSession->StopLANSession();
    LANSession.Reset();
    if (bAborted)
    {
        TriggerOnFindSessionsCompleteDelegates(false);
    }
}

bool FOnlineSessionZor::HostLAN()
{
    EnsureLANSession();
    // One beacon either hosts or searches: hosting ends a search it was running. Reported once hosting
    // stands, so a search that a handler starts from the event is not ended unreported.
    const bool bAborted = TakeLANSearch(false) != nullptr;
    const bool bHosting = LANSession->Host([this](const uint8*, int32, uint64 ClientNonce)
                                           { OnValidQueryPacketReceived(ClientNonce); });
    if (bAborted)
    {
        TriggerOnFindSessionsCompleteDelegates(false);
    }
    return bHosting;
}

int32 FOnlineSessionZor::CreateLANSession(int32, FNamedOnlineSession& Session)
{
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>();
    Info->Init(SessionUrlConfig.DefaultPort);
    Session.SessionInfo = Info;
    if (!Session.SessionSettings.bShouldAdvertise)
    {
        return ResultSuccess;
    }
    return HostLAN() ? ResultSuccess : ResultFail;
}

int32 FOnlineSessionZor::FindLANSession()
{
    EnsureLANSession();
    TArray<uint8> Packet;
    const bool bStarted = LANSession->CreateClientQueryPacket(Packet, LANSession->LanNonce) &&
                          LANSession->Search(
                              Packet, [this](const uint8*, int32) { OnValidResponsePacketReceived(); },
                              [this] { OnLANSearchTimeout(); });
    if (bStarted)
    {
        return ResultPending;
    }
    // Ends the search as failed and reports it once.
    ReleaseLANSession();
    return ResultFail;
}

void FOnlineSessionZor::OnValidQueryPacketReceived(uint64 ClientNonce)
{
    FScopeLock Lock(&SessionLock);
    for (const TUniquePtr<FNamedOnlineSession>& Session : Sessions)
    {
        if (!Session->SessionSettings.bIsLANMatch || Session->NumOpenPublicConnections < 1 || !LANSession)
        {
            continue;
        }
        TArray<uint8> Packet;
        if (LANSession->CreateHostResponsePacket(Packet, ClientNonce))
        {
            LANSession->BroadcastPacket(Packet);
        }
    }
}

void FOnlineSessionZor::OnValidResponsePacketReceived()
{
    if (!CurrentSessionSearch)
    {
        UE_LOG_ONLINE(Warning, "Failed to create new online game settings object");
        return;
    }
    CurrentSessionSearch->SearchResults.AddDefaulted_GetRef();
}

void FOnlineSessionZor::OnLANSearchTimeout()
{
    // Taken first, so hosting again below does not end it as failed.
    const TSharedPtr<FOnlineSessionSearch> Search = TakeLANSearch(true);
    RestoreLANHosting();
    if (Search)
    {
        TriggerOnFindSessionsCompleteDelegates(true);
    }
}

void FOnlineSessionZor::RestoreLANHosting()
{
    bool bHosted = false;
    {
        FScopeLock Lock(&SessionLock);
        bHosted = IsSubsystemServer() && Sessions.ContainsByPredicate(
                                             [](const TUniquePtr<FNamedOnlineSession>& Session) {
                                                 return Session->SessionSettings.bIsLANMatch &&
                                                        Session->SessionSettings.bShouldAdvertise;
                                             });
    }
    if (bHosted && !HostLAN())
    {
        UE_LOG_ONLINE(Warning, "Failed to restart hosted LAN session after search completion");
    }
    if (!bHosted && LANSession)
    {
        LANSession->StopLANSession();
    }
}

TSharedPtr<FOnlineSessionSearch> FOnlineSessionZor::TakeLANSearch(bool bSuccess)
{
    // A search cancelled earlier was already reported and cleared.
    if (!CurrentSessionSearch || !CurrentSessionSearch->bIsLanQuery ||
        CurrentSessionSearch->SearchState != EOnlineAsyncTaskState::InProgress)
    {
        return nullptr;
    }
    const TSharedPtr<FOnlineSessionSearch> Search = CurrentSessionSearch;
    CurrentSessionSearch.Reset();
    Search->SortSearchResults();
    Search->SearchState = bSuccess ? EOnlineAsyncTaskState::Done : EOnlineAsyncTaskState::Failed;
    return Search;
}

bool FOnlineSessionZor::GetResolvedConnectString(const FOnlineSessionSearchResult& SearchResult,
                                                 const FName& PortType, FString& ConnectInfo)
{
    const auto* Info = static_cast<const FOnlineSessionInfoZor*>(SearchResult.Session.SessionInfo.Get());
    const bool bHasAddr = Info && Info->HostAddr && Info->HostAddr->IsValid();
    FString Text;
    int32 BeaconPort = 0;
    if (bHasAddr && PortType == NAME_BeaconPort &&
        SearchResult.Session.SessionSettings.Get("BEACONPORT", BeaconPort) && BeaconPort >= 1)
    {
        Text = FString::Printf("%s:%d", *Info->HostAddr->ToString(false), BeaconPort);
    }
    else if (bHasAddr && PortType == NAME_GamePort)
    {
        Text = Info->HostAddr->ToString(true);
    }
    if (Text.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Invalid session info in search result to GetResolvedConnectString()");
        return false;
    }
    ConnectInfo = Text;
    return true;
}

bool FOnlineSessionZor::GetResolvedConnectString(const FName& SessionName, FString& ConnectInfo)
{
    const FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Unknown session name (%s) specified to GetResolvedConnectString()",
                      *SessionName);
        return false;
    }
    const auto* Info = static_cast<const FOnlineSessionInfoZor*>(Session->SessionInfo.Get());
    if (!Info || !Info->HostAddr || !Info->HostAddr->IsValid())
    {
        UE_LOG_ONLINE(Warning, "Invalid session info for session %s in GetResolvedConnectString()",
                      *SessionName);
        return false;
    }
    ConnectInfo = Info->HostAddr->ToString(true);
    return true;
}
