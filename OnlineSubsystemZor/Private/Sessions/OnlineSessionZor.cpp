#include "Sessions/OnlineSessionZor.h"

#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Core/Guid.h"
#include "Core/PlatformTime.h"
#include "Identity/OnlineIdentityZor.h"
#include "Online/LANBeacon.h"
#include "Online/OnlineVoice.h"
#include "Sessions/OnlineSessionAsyncZor.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionJsonZor.h"
#include "Sockets/SocketSubsystem.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const char* const SessionSection = "OnlineSubsystemZor.OnlineSessionZor";

void WriteIds(FJsonWriterBase& Writer, const TArray<FUniqueNetIdRef>& Players)
{
    for (const FUniqueNetIdRef& Player : Players)
    {
        Writer.WriteValue(Player->ToString());
    }
}

/** Registering: both lists, the players on the invited one's side; unregistering: a bare array. */
FString WritePlayersBody(const TArray<FUniqueNetIdRef>& Players, bool bRegister, bool bWasInvited)
{
    FString Body;
    TJsonWriter<> Writer(&Body);
    const TArray<FUniqueNetIdRef> None;
    if (bRegister)
    {
        Writer.WriteObjectStart();
        Writer.WriteArrayStart("publicPlayers");
        WriteIds(Writer, bWasInvited ? None : Players);
        Writer.WriteArrayEnd();
        Writer.WriteArrayStart("privatePlayers");
        WriteIds(Writer, bWasInvited ? Players : None);
        Writer.WriteArrayEnd();
        Writer.WriteObjectEnd();
    }
    else
    {
        Writer.WriteArrayStart();
        WriteIds(Writer, Players);
        Writer.WriteArrayEnd();
    }
    Writer.Close();
    return Body;
}

bool IsLiveState(EOnlineSessionState State)
{
    return State >= EOnlineSessionState::Pending && State <= EOnlineSessionState::Ended;
}
} // namespace

FOnlineSessionZor::FOnlineSessionZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SessionSection), Clock([] { return FPlatformTime::Seconds(); }),
      HandOff(MakeShared<FZorSessionHandOff>())
{
    GConfig->GetString(SessionSection, "CreateSessionUrl", CreateSessionUrl, GEngineIni);
    GConfig->GetString(SessionSection, "ExistingSessionUrl", ExistingSessionUrl, GEngineIni);
    GConfig->GetString(SessionSection, "RegisterPlayerUrl", RegisterPlayerUrl, GEngineIni);
    GConfig->GetString(SessionSection, "FindSessionsUrl", FindSessionsUrl, GEngineIni);
    GConfig->GetString(SessionSection, "FindPlayerUrl", FindPlayerUrl, GEngineIni);
}

FOnlineSessionZor::~FOnlineSessionZor() = default;

FZorSessionJsonContext FOnlineSessionZor::MakeJsonContext() const
{
    FZorSessionJsonContext Context;
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    Context.Identity = Identity.Get();
    Context.NetDriverPort = GetGameNetDriverPort();
    Context.DefaultPort = SessionUrlConfig.DefaultPort;
    Context.BuildUniqueId = GetBuildUniqueId();
    return Context;
}

FNamedOnlineSession* FOnlineSessionZor::AddNamedSession(const FName& SessionName,
                                                        const FOnlineSessionSettings& Settings)
{
    FScopeLock Lock(&SessionLock);
    Sessions.Add(MakeUnique<FNamedOnlineSession>(SessionName, Settings));
    return Sessions.Last().get();
}

FNamedOnlineSession* FOnlineSessionZor::AddNamedSession(const FName& SessionName,
                                                        const FOnlineSession& Session)
{
    FScopeLock Lock(&SessionLock);
    Sessions.Add(MakeUnique<FNamedOnlineSession>(SessionName, Session));
    return Sessions.Last().get();
}

FNamedOnlineSession* FOnlineSessionZor::GetNamedSession(const FName& SessionName)
{
    FScopeLock Lock(&SessionLock);
    for (const TUniquePtr<FNamedOnlineSession>& Session : Sessions)
    {
        if (Session->SessionName == SessionName)
        {
            return Session.get();
        }
    }
    return nullptr;
}

void FOnlineSessionZor::RemoveNamedSession(const FName& SessionName)
{
    FScopeLock Lock(&SessionLock);
    for (int32 Index = 0; Index < Sessions.Num(); ++Index)
    {
        if (Sessions[Index]->SessionName == SessionName)
        {
            Sessions[Index] = std::move(Sessions.Last());
            Sessions.RemoveAt(Sessions.Num() - 1);
            AwaitedCreates.RemoveAll([&SessionName](const FAwaitedCreate& Awaited)
                                     { return Awaited.SessionName == SessionName; });
            return;
        }
    }
}

bool FOnlineSessionZor::HasPresenceSession()
{
    FScopeLock Lock(&SessionLock);
    return Sessions.ContainsByPredicate([](const TUniquePtr<FNamedOnlineSession>& Session)
                                        { return Session->SessionSettings.bUsesPresence; });
}

EOnlineSessionState FOnlineSessionZor::GetSessionState(const FName& SessionName) const
{
    FScopeLock Lock(&SessionLock);
    for (const TUniquePtr<FNamedOnlineSession>& Session : Sessions)
    {
        if (Session->SessionName == SessionName)
        {
            return Session->SessionState;
        }
    }
    return EOnlineSessionState::NoSession;
}

const FString& FOnlineSessionZor::GetDedicatedServerOwnerId()
{
    static const FString OwnerId = FGuid::NewGuid().ToString();
    return OwnerId;
}

FString FOnlineSessionZor::GetDedicatedServerName()
{
    static const FString Name = []
    {
        FString HostName = "Unknown";
        if (!FSocketSubsystem::GetHostName(HostName))
        {
            FInternetAddr Addr = FSocketSubsystem::GetLocalHostAddr();
            Addr.SetPort(32768 + static_cast<int32>(FGuid::NewGuid().A % 32768));
            HostName = Addr.ToString(true);
        }
        return FString::Printf("DedServer-%s", *HostName);
    }();
    return Name;
}

bool FOnlineSessionZor::CreateSession(const FUniqueNetId&, const FName& SessionName,
                                      const FOnlineSessionSettings& NewSessionSettings)
{
    return CreateSession(0, SessionName, NewSessionSettings);
}

bool FOnlineSessionZor::CreateSession(int32 HostingPlayerNum, const FName& SessionName,
                                      const FOnlineSessionSettings& NewSessionSettings)
{
    int32 Result = ResultFail;
    FNamedOnlineSession* Session = nullptr;
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    if (GetNamedSession(SessionName))
    {
        UE_LOG_ONLINE(Warning, "Cannot create session '%s': session already exists.", *SessionName);
    }
    else if (IsShutDown() || !Identity ||
             Identity->GetLoginStatus(HostingPlayerNum) < ELoginStatus::UsingLocalProfile)
    {
        UE_LOG_ONLINE(Warning, "Cannot create session '%s': user not logged in (%d).", *SessionName,
                      HostingPlayerNum);
    }
    else
    {
        Session = AddNamedSession(SessionName, NewSessionSettings);
        Session->SessionState = EOnlineSessionState::Creating;
        if (IsSubsystemDedicated())
        {
            Session->OwningUserId = Identity->CreateUniquePlayerId(GetDedicatedServerOwnerId());
            Session->OwningUserName = GetDedicatedServerName();
            Session->SessionSettings.bIsDedicated = true;
        }
        else
        {
            Session->OwningUserId = Identity->GetUniquePlayerId(HostingPlayerNum);
            Session->OwningUserName = Identity->GetPlayerNickname(HostingPlayerNum);
        }
        if (!Session->OwningUserId || !Session->OwningUserId->IsValid())
        {
            UE_LOG_ONLINE(Warning, "Cannot create session '%s': invalid user (%d).", *SessionName,
                          HostingPlayerNum);
        }
        else
        {
            Session->NumOpenPrivateConnections = NewSessionSettings.NumPrivateConnections;
            Session->NumOpenPublicConnections =
                NewSessionSettings.NumPublicConnections - (NewSessionSettings.bIsDedicated ? 0 : 1);
            Session->HostingPlayerNum = HostingPlayerNum;
            Session->bHosting = true;
            Session->SessionSettings.BuildUniqueId = GetBuildUniqueId();
            Result = NewSessionSettings.bIsLANMatch ? CreateLANSession(HostingPlayerNum, *Session)
                                                    : CreateInternetSession(HostingPlayerNum, *Session);
        }
    }
    if (Result == ResultPending)
    {
        return true;
    }
    if (Session)
    {
        Session->SessionState = EOnlineSessionState::Pending;
        if (Result == ResultSuccess)
        {
            RegisterLocalPlayers(*Session);
        }
        else
        {
            RemoveNamedSession(SessionName);
        }
    }
    TriggerOnCreateSessionCompleteDelegates(SessionName, Result == ResultSuccess);
    return Result == ResultSuccess;
}

TSharedRef<FZorSessionRequest> FOnlineSessionZor::MakeRequest(const char* Operation, const char* CompleteName,
                                                              int32 PlayerNum) const
{
    const TSharedRef<FZorSessionRequest> Request = MakeShared<FZorSessionRequest>();
    Request->Call.Operation = Operation;
    Request->Call.CompleteName = CompleteName;
    Request->Call.SendingVerbosity = ELogVerbosity::Log;
    Request->PlayerNum = PlayerNum;
    return Request;
}

int32 FOnlineSessionZor::CreateInternetSession(int32 HostingPlayerNum, FNamedOnlineSession& Session)
{
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("CreateSession", "CreateSessionUrl", HostingPlayerNum);
    Request->Call.Verb = "POST";
    Request->Call.Url = GetBaseUrl() + CreateSessionUrl;
    Request->Call.Body = ZorSessionJson::WriteSessionToJson(Session, MakeJsonContext());
    Request->Call.SendingLine = FString::Printf("Sending CreateInternetSession request. url=%s, json=%s",
                                                *Request->Call.ResolveUrl(), *Request->Call.Body);
    Request->AnswerKind = EZorSessionAnswer::ObjectWithId;
    const uint64 Serial = ++LastCreateSerial;
    AwaitedCreates.Add({Session.SessionName, Serial});
    QueueTask(new FOnlineAsyncTaskZorCreateSession(Subsystem, Request, HandOff, Session.SessionName, Serial),
              [this, Name = Session.SessionName] { TriggerOnCreateSessionCompleteDelegates(Name, false); });
    return ResultPending;
}

void FOnlineSessionZor::FinalizeCreate(const FName& SessionName, uint64 Serial, int32 HostingPlayerNum,
                                       bool& bInOutSuccess, const TSharedPtr<FJsonObject>& Answer)
{
    const bool bAwaited = AwaitedCreates.RemoveAll(
                              [&SessionName, Serial](const FAwaitedCreate& Awaited)
                              { return Awaited.SessionName == SessionName && Awaited.Serial == Serial; }) > 0;
    FNamedOnlineSession* Session = bAwaited ? GetNamedSession(SessionName) : nullptr;
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Unable to find session = %s", *SessionName);
        if (bInOutSuccess && Answer)
        {
            // The game let this session go while it was being created: the service must not keep it.
            DestroyOrphanedSession(HostingPlayerNum, Answer->GetStringField("id"));
        }
        bInOutSuccess = false;
        return;
    }
    if (!bInOutSuccess || !Answer)
    {
        bInOutSuccess = false;
        RemoveNamedSession(SessionName);
        return;
    }
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>();
    Info->HostAddr = FSocketSubsystem::CreateInternetAddr();
    Session->SessionInfo = Info;
    ZorSessionJson::ReadSessionFromJson(*Answer, *Session, MakeJsonContext());
    RegisterLocalPlayers(*Session);
    Session->SessionState = EOnlineSessionState::Pending;
}

bool FOnlineSessionZor::StartSession(const FName& SessionName)
{
    bool bSuccess = false;
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Can't start an online game for session (%s) that hasn't been created",
                      *SessionName);
    }
    else if (Session->SessionState == EOnlineSessionState::Pending ||
             Session->SessionState == EOnlineSessionState::Ended)
    {
        if (Session->SessionSettings.bIsLANMatch && !Session->SessionSettings.bAllowJoinInProgress &&
            LANSession)
        {
            LANSession->StopLANSession();
        }
        Session->SessionState = EOnlineSessionState::InProgress;
        bSuccess = true;
    }
    else
    {
        UE_LOG_ONLINE(Warning, "Can't start an online session (%s) in state %s", *SessionName,
                      ToString(Session->SessionState));
    }
    TriggerOnStartSessionCompleteDelegates(SessionName, bSuccess);
    return bSuccess;
}

bool FOnlineSessionZor::UpdateSession(const FName& SessionName,
                                      FOnlineSessionSettings& UpdatedSessionSettings,
                                      bool bShouldRefreshOnlineData)
{
    const int32 Result =
        UpdateInternetSession(SessionName, UpdatedSessionSettings, bShouldRefreshOnlineData, true);
    return Result == ResultSuccess || Result == ResultPending;
}

int32 FOnlineSessionZor::UpdateInternetSession(const FName& SessionName,
                                               const FOnlineSessionSettings& Settings, bool bRefresh,
                                               bool bUserUpdate)
{
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "No session (%s) found for update!", *SessionName);
        TriggerOnUpdateSessionCompleteDelegates(SessionName, false);
        return ResultFail;
    }
    // A copy first: the heartbeat passes the session's own settings.
    const FOnlineSessionSettings NewSettings = Settings;
    Session->SessionSettings = NewSettings;
    if (Session->SessionSettings.bIsLANMatch || !bRefresh)
    {
        if (!Session->SessionSettings.bIsLANMatch)
        {
            UE_LOG_ONLINE(Log, "UpdateInternetSession complete, skipping online refresh.");
        }
        TriggerOnUpdateSessionCompleteDelegates(SessionName, true);
        return ResultSuccess;
    }
    const auto* Info = static_cast<const FOnlineSessionInfoZor*>(Session->SessionInfo.Get());
    if (!Info || !Info->SessionId.IsValid())
    {
        // Still being created: there is no service session to refresh yet.
        UE_LOG_ONLINE(Warning, "No session info to update for session (%s)", *SessionName);
        if (bUserUpdate)
        {
            TriggerOnUpdateSessionCompleteDelegates(SessionName, false);
        }
        return ResultFail;
    }
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("UpdateSession", "UpdateSessionUrl", Session->HostingPlayerNum);
    Request->Call.Verb = "PUT";
    Request->Call.Url = GetBaseUrl() + ExistingSessionUrl;
    Request->Call.Values = {{"`id", Info->SessionId.ToString()}};
    Request->Call.Body = ZorSessionJson::WriteSessionToJson(*Session, MakeJsonContext());
    Request->Call.SendingLine =
        bUserUpdate ? FString::Printf("Sending UpdateInternetSession request. url=%s, json=%s",
                                      *Request->Call.ResolveUrl(), *Request->Call.Body)
                    : FString("Sending UpdateInternetSession session heartbeat.");
    Request->AnswerKind = EZorSessionAnswer::Object;
    if (!bUserUpdate)
    {
        Request->Call.CompleteLine = "UpdateSessionUrl session heartbeat.";
        PendingHeartbeats.AddUnique(SessionName);
    }
    QueueTask(new FOnlineAsyncTaskZorUpdateSession(Subsystem, Request, HandOff, SessionName, bUserUpdate),
              [this, SessionName, bUserUpdate]
              {
                  if (bUserUpdate)
                  {
                      TriggerOnUpdateSessionCompleteDelegates(SessionName, false);
                  }
              });
    return ResultPending;
}

void FOnlineSessionZor::FinalizeUpdate(const FName& SessionName, bool bUserUpdate, bool& bInOutSuccess,
                                       const TSharedPtr<FJsonObject>& Answer)
{
    if (!bUserUpdate)
    {
        PendingHeartbeats.Remove(SessionName);
    }
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Unable to find session = %s", *SessionName);
        bInOutSuccess = false;
        return;
    }
    if (bInOutSuccess && Answer)
    {
        ZorSessionJson::ReadPlayersFromJson(*Answer, *Session);
    }
}

bool FOnlineSessionZor::EndSession(const FName& SessionName)
{
    int32 Result = ResultFail;
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Can't end an online game for session (%s) that hasn't been created",
                      *SessionName);
        TriggerOnEndSessionCompleteDelegates(SessionName, false);
        return false;
    }
    if (Session->SessionState != EOnlineSessionState::InProgress)
    {
        // Creating, Destroying and the rest keep their state: ending them would lose the task's outcome.
        UE_LOG_ONLINE(Warning, "Can't end session (%s) in state %s", *SessionName,
                      ToString(Session->SessionState));
        TriggerOnEndSessionCompleteDelegates(SessionName, false);
        return false;
    }
    if (!Session->SessionSettings.bIsLANMatch)
    {
        Result = EndInternetSession(*Session);
    }
    else if (Session->SessionSettings.bShouldAdvertise && (!LANSession || !LANSession->IsHosting()) &&
             IsSubsystemServer())
    {
        Result = CreateLANSession(Session->HostingPlayerNum, *Session);
    }
    else
    {
        Result = ResultSuccess;
    }
    if (Result != ResultPending)
    {
        Session->SessionState = EOnlineSessionState::Ended;
        TriggerOnEndSessionCompleteDelegates(SessionName, Result == ResultSuccess);
    }
    return Result == ResultSuccess || Result == ResultPending;
}

int32 FOnlineSessionZor::EndInternetSession(FNamedOnlineSession& Session)
{
    // The service keeps no ended state: the session did its job locally.
    Session.SessionState = EOnlineSessionState::Ended;
    return ResultSuccess;
}

bool FOnlineSessionZor::DestroySession(const FName& SessionName)
{
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Can't destroy a null online session (%s)", *SessionName);
        TriggerOnDestroySessionCompleteDelegates(SessionName, false);
        return false;
    }
    if (Session->SessionState == EOnlineSessionState::Destroying)
    {
        UE_LOG_ONLINE(Warning, "Already in process of destroying session (%s)", *SessionName);
        return false;
    }
    if (Session->SessionSettings.bIsLANMatch)
    {
        ReleaseLANSession();
        RemoveNamedSession(SessionName);
        TriggerOnDestroySessionCompleteDelegates(SessionName, true);
        return true;
    }
    if (Session->SessionState == EOnlineSessionState::InProgress)
    {
        EndInternetSession(*Session);
    }
    if (DestroyInternetSession(*Session) == ResultPending)
    {
        return true;
    }
    RemoveNamedSession(SessionName);
    TriggerOnDestroySessionCompleteDelegates(SessionName, false);
    return false;
}

bool FOnlineSessionZor::IsHostedBy(const FNamedOnlineSession& Session, int32 PlayerNum) const
{
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    const FUniqueNetIdPtr Id = Identity ? Identity->GetUniquePlayerId(PlayerNum) : nullptr;
    return Id && Session.OwningUserId && *Id == *Session.OwningUserId;
}

int32 FOnlineSessionZor::DestroyInternetSession(FNamedOnlineSession& Session)
{
    Session.SessionState = EOnlineSessionState::Destroying;
    const auto* Info = static_cast<const FOnlineSessionInfoZor*>(Session.SessionInfo.Get());
    if (!Info)
    {
        return ResultFail;
    }
    const bool bIsHost =
        IsSubsystemDedicated() || !GetSubsystemIdentity() || IsHostedBy(Session, Session.HostingPlayerNum);
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("DestroySession", "DestroySessionUrl", Session.HostingPlayerNum);
    Request->Call.Verb = "DELETE";
    Request->Call.Url = GetBaseUrl() + ExistingSessionUrl;
    Request->Call.Values = {{"`id", Info->SessionId.ToString()}};
    Request->Call.SendingLine =
        FString::Printf("Sending DestroyInternetSession request. url=%s", *Request->Call.ResolveUrl());
    Request->bSendNothing = !bIsHost;
    QueueTask(
        new FOnlineAsyncTaskZorDestroySession(Subsystem, Request, HandOff, Session.SessionName, bIsHost),
        [this, Name = Session.SessionName] { TriggerOnDestroySessionCompleteDelegates(Name, false); });
    return ResultPending;
}

void FOnlineSessionZor::DestroyOrphanedSession(int32 HostingPlayerNum, const FString& SessionId)
{
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest("DestroySession", "DestroySessionUrl", HostingPlayerNum);
    Request->Call.Verb = "DELETE";
    Request->Call.Url = GetBaseUrl() + ExistingSessionUrl;
    Request->Call.Values = {{"`id", SessionId}};
    Request->Call.SendingLine =
        FString::Printf("Sending DestroyInternetSession request. url=%s", *Request->Call.ResolveUrl());
    QueueHttpRequest(Request);
}

void FOnlineSessionZor::FinalizeDestroy(const FName& SessionName, bool& bInOutSuccess)
{
    if (!GetNamedSession(SessionName))
    {
        UE_LOG_ONLINE(Warning, "Unable to find session = %s", *SessionName);
        bInOutSuccess = false;
        return;
    }
    RemoveNamedSession(SessionName);
    PendingHeartbeats.Remove(SessionName);
    const IOnlineVoicePtr Voice = GetVoice();
    if (GetNumSessions() == 0 && Voice)
    {
        if (!IsSubsystemDedicated())
        {
            Voice->UnregisterLocalTalkers();
        }
        Voice->RemoveAllRemoteTalkers();
    }
}

bool FOnlineSessionZor::IsPlayerInSession(const FName& SessionName, const FUniqueNetId& UniqueId)
{
    return IsPlayerInSessionImpl(this, SessionName, UniqueId);
}

bool FOnlineSessionZor::StartMatchmaking(int32, const FName& SessionName, const FOnlineSessionSettings&,
                                         TSharedRef<FOnlineSessionSearch>&)
{
    UE_LOG(LogOnline, Warning, "Matchmaking is not supported on this platform.");
    TriggerOnMatchmakingCompleteDelegates(SessionName, false);
    return false;
}

bool FOnlineSessionZor::CancelMatchmaking(int32, const FName& SessionName)
{
    UE_LOG(LogOnline, Warning, "Matchmaking is not supported on this platform.");
    TriggerOnCancelMatchmakingCompleteDelegates(SessionName, false);
    return false;
}

bool FOnlineSessionZor::SendSessionInviteToFriend(int32 LocalUserNum, const FName& SessionName,
                                                  const FUniqueNetId& Friend)
{
    return SendSessionInviteToFriends(LocalUserNum, SessionName, {MakeShared<FUniqueNetIdString>(Friend)});
}

bool FOnlineSessionZor::SendSessionInviteToFriends(int32, const FName& SessionName,
                                                   const TArray<FUniqueNetIdRef>&)
{
    const FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session || !Session->SessionInfo)
    {
        UE_LOG_ONLINE(Warning, "Missing or invalid session %s for invite request", *SessionName);
    }
    else if (!Session->SessionInfo->GetSessionId().IsValid())
    {
        UE_LOG_ONLINE(Warning, "Invalid session info for invite %s", *SessionName);
    }
    return false;
}

FOnlineSessionSettings* FOnlineSessionZor::GetSessionSettings(const FName& SessionName)
{
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    return Session ? &Session->SessionSettings : nullptr;
}

bool FOnlineSessionZor::RegisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId,
                                       bool bWasInvited)
{
    // A copy: callers pass ids that no shared pointer holds.
    return RegisterPlayers(SessionName, {MakeShared<FUniqueNetIdString>(PlayerId)}, bWasInvited);
}

bool FOnlineSessionZor::UnregisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId)
{
    return UnregisterPlayers(SessionName, {MakeShared<FUniqueNetIdString>(PlayerId)});
}

bool FOnlineSessionZor::RegisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players,
                                        bool bWasInvited)
{
    return SendPlayers(SessionName, Players, true, bWasInvited);
}

bool FOnlineSessionZor::UnregisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players)
{
    return SendPlayers(SessionName, Players, false, false);
}

bool FOnlineSessionZor::SendPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players,
                                    bool bRegister, bool bWasInvited)
{
    const bool bIsServer = IsSubsystemServer();
    const auto Fire = [this, bRegister, &SessionName, &Players](bool bSuccess)
    {
        bRegister ? TriggerOnRegisterPlayersCompleteDelegates(SessionName, Players, bSuccess)
                  : TriggerOnUnregisterPlayersCompleteDelegates(SessionName, Players, bSuccess);
    };
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    const auto* Info =
        Session ? static_cast<const FOnlineSessionInfoZor*>(Session->SessionInfo.Get()) : nullptr;
    if (!Session || !Info)
    {
        UE_LOG_ONLINE(Warning,
                      bRegister ? (Session ? "No session info to join for session (%s)"
                                           : "No game present to join for session (%s)")
                                : (Session ? "No session info to leave for session (%s)"
                                           : "No game present to leave for session (%s)"),
                      *SessionName);
        Fire(false);
        return false;
    }
    TArray<FUniqueNetIdRef> Changed;
    for (const FUniqueNetIdRef& Player : Players)
    {
        const int32 Index = Session->RegisteredPlayers.IndexOfByPredicate(
            [&Player](const FUniqueNetIdRef& Known) { return *Known == *Player; });
        if (bRegister)
        {
            RegisterVoice(*Player);
            if (Index != INDEX_NONE)
            {
                UE_LOG_ONLINE(Log, "Player %s already registered in session %s", *Player->ToDebugString(),
                              *SessionName);
                continue;
            }
            Session->RegisteredPlayers.Add(Player);
            Changed.Add(Player);
        }
        else if (Index == INDEX_NONE)
        {
            UE_LOG_ONLINE(Warning, "Player %s is not part of session (%s)", *Player->ToDebugString(),
                          *SessionName);
        }
        else
        {
            Session->RegisteredPlayers[Index] = Session->RegisteredPlayers.Last();
            Session->RegisteredPlayers.RemoveAt(Session->RegisteredPlayers.Num() - 1);
            UnregisterVoice(*Player);
            Changed.Add(Player);
        }
    }
    if (Changed.IsEmpty())
    {
        Fire(true);
        return true;
    }
    const TSharedRef<FZorSessionRequest> Request =
        MakeRequest(bRegister ? "RegisterPlayers" : "UnregisterPlayers",
                    bRegister ? "RegisterPlayers" : "UnregisterPlayers", Session->HostingPlayerNum);
    Request->Call.Verb = bRegister ? "POST" : "DELETE";
    Request->Call.Url = GetBaseUrl() + RegisterPlayerUrl;
    Request->Call.Values = {{"`id", Info->SessionId.ToString()}};
    const FString Body = WritePlayersBody(Changed, bRegister, bWasInvited);
    Request->Call.Body = Body;
    Request->Call.SendingLine =
        FString::Printf(bRegister ? "Sending RegisterPlayers request. url=%s, json=%s"
                                  : "Sending UnregisterPlayers request. url=%s, json=%s",
                        *Request->Call.ResolveUrl(), *Body);
    Request->AnswerKind = bRegister ? EZorSessionAnswer::ObjectWithPlayers : EZorSessionAnswer::Object;
    Request->bSendNothing = !bIsServer;
    FOnlineAsyncTaskZorSession* Task =
        bRegister ? new FOnlineAsyncTaskZorRegisterPlayers(Subsystem, Request, HandOff, SessionName,
                                                           bIsServer, Changed)
                  : new FOnlineAsyncTaskZorUnregisterPlayers(Subsystem, Request, HandOff, SessionName,
                                                             bIsServer, Changed);
    QueueTask(Task,
              [this, bRegister, SessionName, Changed]
              {
                  bRegister ? TriggerOnRegisterPlayersCompleteDelegates(SessionName, Changed, false)
                            : TriggerOnUnregisterPlayersCompleteDelegates(SessionName, Changed, false);
              });
    return true;
}

void FOnlineSessionZor::FinalizePlayers(const FName& SessionName, bool bIsServer, bool& bInOutSuccess,
                                        const TSharedPtr<FJsonObject>& Answer)
{
    FNamedOnlineSession* Session = GetNamedSession(SessionName);
    if (!Session)
    {
        UE_LOG_ONLINE(Warning, "Unable to find session = %s", *SessionName);
        bInOutSuccess = false;
        return;
    }
    if (bInOutSuccess && bIsServer && Answer)
    {
        ZorSessionJson::ReadPlayersFromJson(*Answer, *Session);
    }
}

void FOnlineSessionZor::RegisterLocalPlayer(const FUniqueNetId& PlayerId, const FName&,
                                            const FOnRegisterLocalPlayerCompleteDelegate& Delegate)
{
    Delegate.ExecuteIfBound(PlayerId, EOnJoinSessionCompleteResult::Success);
}

void FOnlineSessionZor::UnregisterLocalPlayer(const FUniqueNetId& PlayerId, const FName&,
                                              const FOnUnregisterLocalPlayerCompleteDelegate& Delegate)
{
    Delegate.ExecuteIfBound(PlayerId, true);
}

int32 FOnlineSessionZor::GetNumSessions()
{
    FScopeLock Lock(&SessionLock);
    return Sessions.Num();
}

void FOnlineSessionZor::DumpSessionState()
{
    FScopeLock Lock(&SessionLock);
    for (const TUniquePtr<FNamedOnlineSession>& Session : Sessions)
    {
        DumpNamedSession(Session.get());
    }
}

bool FOnlineSessionZor::IsLocalPlayer(const FUniqueNetId& Player) const
{
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    for (int32 UserNum = 0; Identity && UserNum < MAX_LOCAL_PLAYERS; ++UserNum)
    {
        const FUniqueNetIdPtr Id = Identity->GetUniquePlayerId(UserNum);
        if (Id && *Id == Player)
        {
            return true;
        }
    }
    return false;
}

void FOnlineSessionZor::RegisterLocalPlayers(const FNamedOnlineSession& Session)
{
    const IOnlineVoicePtr Voice = GetVoice();
    if (Voice && !Session.SessionSettings.bIsDedicated && !IsSubsystemDedicated())
    {
        Voice->RegisterLocalTalker(0);
    }
}

void FOnlineSessionZor::RegisterVoice(const FUniqueNetId& Player)
{
    const IOnlineVoicePtr Voice = GetVoice();
    if (!Voice)
    {
        return;
    }
    if (IsLocalPlayer(Player))
    {
        Voice->ProcessMuteChangeNotification();
    }
    else
    {
        Voice->RegisterRemoteTalker(Player);
    }
}

void FOnlineSessionZor::UnregisterVoice(const FUniqueNetId& Player)
{
    const IOnlineVoicePtr Voice = GetVoice();
    if (Voice && !IsLocalPlayer(Player))
    {
        Voice->UnregisterRemoteTalker(Player);
    }
}

TSharedPtr<IOnlineVoice> FOnlineSessionZor::GetVoice() const
{
    return Subsystem ? Subsystem->GetVoiceInterface() : nullptr;
}

void FOnlineSessionZor::TriggerConnectionStatus(int32 Status)
{
    if (!Subsystem)
    {
        return;
    }
    Subsystem->TriggerOnConnectionStatusChangedDelegates(
        FOnlineSubsystemZor::ServiceName, EOnlineServerConnectionStatus::Normal,
        static_cast<EOnlineServerConnectionStatus::Type>(Status));
}

bool FOnlineSessionZor::QueueHttpRequest(const TSharedRef<FZorSessionRequest>& Request)
{
    FUniqueNetIdString UserId;
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    FZorError Error;
    if (!IsSubsystemDedicated())
    {
        const FUniqueNetIdPtr Id =
            (Identity && Request->PlayerNum >= 0) ? Identity->GetUniquePlayerId(Request->PlayerNum) : nullptr;
        if (!Id)
        {
            // A session never bound to a local player has nobody to sign for it.
            Error = FZorError::Make(EZorErrorKind::Refused,
                                    FString::Printf("Invalid user for local player %d", Request->PlayerNum));
        }
        else
        {
            UserId = FUniqueNetIdString(*Id);
        }
    }
    Request->Owner = IsSubsystemDedicated() ? FZorWorkOwner(Identity) : FZorWorkOwner(Identity, UserId);
    if (!Error && GetCalls().SendAsUser(
                      Request->Call, UserId, [Request](FZorReply& Reply) { Request->OnReply(Reply); }, Error))
    {
        return true;
    }
    if (Error)
    {
        UE_LOG_ONLINE(Warning, "Could not start session request Error: %s.", *Error.Text);
        Request->Finish(false);
    }
    return false;
}

void FOnlineSessionZor::Tick(float DeltaTime)
{
    for (const TSharedRef<FZorSessionRequest>& Request : HandOff->TakeAll())
    {
        QueueHttpRequest(Request);
    }
    if (LANSession && LANSession->GetBeaconState() != ELanBeaconState::NotUsingLanBeacon)
    {
        // Held here: a handler the beacon calls may release the service's beacon.
        const std::shared_ptr<FLANSession> Beacon = LANSession;
        Beacon->Tick(DeltaTime);
    }
    SendSessionHeartbeats();
}

void FOnlineSessionZor::SendSessionHeartbeats()
{
    const double Now = Clock();
    if (LastHeartbeatTime && Now - *LastHeartbeatTime < HeartbeatInterval)
    {
        return;
    }
    LastHeartbeatTime = Now;
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    if (!Identity)
    {
        return;
    }
    TArray<FName> Due;
    {
        FScopeLock Lock(&SessionLock);
        for (const TUniquePtr<FNamedOnlineSession>& Session : Sessions)
        {
            const bool bOwned = IsSubsystemDedicated() || IsHostedBy(*Session, Session->HostingPlayerNum);
            if (bOwned && IsLiveState(Session->SessionState) &&
                !PendingHeartbeats.Contains(Session->SessionName))
            {
                Due.Add(Session->SessionName);
            }
        }
    }
    // Outside the lock: a LAN heartbeat fires the update event, whose handlers may change the sessions.
    for (const FName& SessionName : Due)
    {
        if (const FNamedOnlineSession* Session = GetNamedSession(SessionName))
        {
            UpdateInternetSession(SessionName, Session->SessionSettings, true, false);
        }
    }
}

void FOnlineSessionZor::QueueTask(FOnlineAsyncTaskZorSession* Task, TFunction<void()> OnAbandoned)
{
    if (IsShutDown() || !Subsystem)
    {
        delete Task;
        OnAbandoned();
        return;
    }
    PendingTasks.Add({&Task->GetRequest(), std::move(OnAbandoned)});
    Subsystem->QueueAsyncTask(Task);
}

void FOnlineSessionZor::ForgetTask(const FZorSessionRequest& Request)
{
    PendingTasks.RemoveAll([&Request](const FPendingTask& Pending) { return Pending.Request == &Request; });
}

void FOnlineSessionZor::Shutdown()
{
    FGameServiceZor::Shutdown();
    // The task manager went first, with every task it held: their callers hear of them here, once.
    TArray<FPendingTask> Abandoned = std::move(PendingTasks);
    PendingTasks.Empty();
    for (const FPendingTask& Pending : Abandoned)
    {
        Pending.OnAbandoned();
    }
    for (const TSharedRef<FZorSessionRequest>& Request : HandOff->TakeAll())
    {
        Request->Finish(false);
    }
    ReleaseLANSession();
}
