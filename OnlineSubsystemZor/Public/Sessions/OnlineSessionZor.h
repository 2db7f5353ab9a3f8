#pragma once

#include <optional>

#include "Core/CriticalSection.h"
#include "CoreMinimal.h"
#include "Online/OnlineNetDriver.h"
#include "Online/OnlineSessionInterface.h"
#include "Subsystem/BaseServiceZor.h"
#include "Json/JsonObject.h"

class IOnlineVoice;
class FLANSession;
class ILANBeaconTransport;
class FOnlineSessionInfoZor;
struct FZorSessionJsonContext;
struct FZorSessionRequest;
class FZorSessionHandOff;
class FOnlineAsyncTaskZorSession;

/**
 * The game's named sessions, mirrored to the game service's matchmaking endpoints by asynchronous tasks and
 * advertised on the LAN through a beacon. All operations run on the game thread; the tasks hand their
 * requests back to it.
 */
class FOnlineSessionZor : public IOnlineSession, public FGameServiceZor
{
public:
    static constexpr int32 ResultSuccess = 0;
    static constexpr int32 ResultPending = 997;
    static constexpr int32 ResultFail = static_cast<int32>(0x80004005);

    explicit FOnlineSessionZor(FOnlineSubsystemZor* InSubsystem);
    ~FOnlineSessionZor() override;

    // IOnlineSession
    FNamedOnlineSession* AddNamedSession(const FName& SessionName,
                                         const FOnlineSessionSettings& Settings) override;
    FNamedOnlineSession* AddNamedSession(const FName& SessionName, const FOnlineSession& Session) override;
    FNamedOnlineSession* GetNamedSession(const FName& SessionName) override;
    void RemoveNamedSession(const FName& SessionName) override;
    bool HasPresenceSession() override;
    EOnlineSessionState GetSessionState(const FName& SessionName) const override;
    bool CreateSession(int32 HostingPlayerNum, const FName& SessionName,
                       const FOnlineSessionSettings& NewSessionSettings) override;
    bool CreateSession(const FUniqueNetId& HostingPlayerId, const FName& SessionName,
                       const FOnlineSessionSettings& NewSessionSettings) override;
    bool StartSession(const FName& SessionName) override;
    bool UpdateSession(const FName& SessionName, FOnlineSessionSettings& UpdatedSessionSettings,
                       bool bShouldRefreshOnlineData = true) override;
    bool EndSession(const FName& SessionName) override;
    bool DestroySession(const FName& SessionName) override;
    bool IsPlayerInSession(const FName& SessionName, const FUniqueNetId& UniqueId) override;
    bool StartMatchmaking(int32 SearchingPlayerNum, const FName& SessionName,
                          const FOnlineSessionSettings& NewSessionSettings,
                          TSharedRef<FOnlineSessionSearch>& SearchSettings) override;
    bool CancelMatchmaking(int32 SearchingPlayerNum, const FName& SessionName) override;
    bool FindSessions(int32 SearchingPlayerNum,
                      const TSharedRef<FOnlineSessionSearch>& SearchSettings) override;
    bool FindSessions(const FUniqueNetId& SearchingPlayerId,
                      const TSharedRef<FOnlineSessionSearch>& SearchSettings) override;
    bool CancelFindSessions() override;
    bool PingSearchResults(const FOnlineSessionSearchResult&) override { return false; }
    bool JoinSession(int32 PlayerNum, const FName& SessionName,
                     const FOnlineSessionSearchResult& DesiredSession) override;
    bool JoinSession(const FUniqueNetId& PlayerId, const FName& SessionName,
                     const FOnlineSessionSearchResult& DesiredSession) override;
    bool FindFriendSession(int32 LocalUserNum, const FUniqueNetId& Friend) override;
    bool FindFriendSession(const FUniqueNetId& LocalUserId, const FUniqueNetId& Friend) override;
    bool SendSessionInviteToFriend(int32 LocalUserNum, const FName& SessionName,
                                   const FUniqueNetId& Friend) override;
    bool SendSessionInviteToFriends(int32 LocalUserNum, const FName& SessionName,
                                    const TArray<FUniqueNetIdRef>& Friends) override;
    bool GetResolvedConnectString(const FName& SessionName, FString& ConnectInfo) override;
    bool GetResolvedConnectString(const FOnlineSessionSearchResult& SearchResult, const FName& PortType,
                                  FString& ConnectInfo) override;
    FOnlineSessionSettings* GetSessionSettings(const FName& SessionName) override;
    bool RegisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId, bool bWasInvited) override;
    bool RegisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players,
                         bool bWasInvited = false) override;
    bool UnregisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId) override;
    bool UnregisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players) override;
    void RegisterLocalPlayer(const FUniqueNetId& PlayerId, const FName& SessionName,
                             const FOnRegisterLocalPlayerCompleteDelegate& Delegate) override;
    void UnregisterLocalPlayer(const FUniqueNetId& PlayerId, const FName& SessionName,
                               const FOnUnregisterLocalPlayerCompleteDelegate& Delegate) override;
    int32 GetNumSessions() override;
    void DumpSessionState() override;

    // FBaseServiceZor
    void Tick(float DeltaTime) override;
    void Shutdown() override;

    /** Game thread: sends a task's request on the user road; false (and the task failed) when refused. */
    bool QueueHttpRequest(const TSharedRef<FZorSessionRequest>& Request);
    /** The path templates, read from the service's own section. */
    const FString& GetCreateSessionUrl() const { return CreateSessionUrl; }
    const FString& GetExistingSessionUrl() const { return ExistingSessionUrl; }
    const FString& GetRegisterPlayerUrl() const { return RegisterPlayerUrl; }
    const FString& GetFindSessionsUrl() const { return FindSessionsUrl; }
    const FString& GetFindPlayerUrl() const { return FindPlayerUrl; }
    const FUrlConfig& GetSessionUrlConfig() const { return SessionUrlConfig; }
    FZorSessionJsonContext MakeJsonContext() const;
    TSharedPtr<FOnlineSessionSearch> GetCurrentSessionSearch() const { return CurrentSessionSearch; }

    /** Seconds on the clock the heartbeat keeps; replaceable so tests can move time. */
    void SetClock(TFunction<double()> InClock) { Clock = std::move(InClock); }
    double GetHeartbeatInterval() const { return HeartbeatInterval; }
    /** Seconds the LAN beacon waits for answers to a search. */
    void SetLANSearchTimeout(double Seconds) { LANSearchTimeout = Seconds; }
    /** Makes the transport of the next beacon; the UDP one by default. */
    void SetLANTransportFactory(TFunction<TUniquePtr<ILANBeaconTransport>()> Factory)
    {
        LANTransportFactory = std::move(Factory);
    }
    FLANSession* GetLANSession() const { return LANSession.get(); }

    // Called by the tasks when the task manager finalises them on the game thread.
    /** Serial is the one CreateInternetSession gave the request: a reply counts only for its own session. */
    void FinalizeCreate(const FName& SessionName, uint64 Serial, int32 HostingPlayerNum, bool& bInOutSuccess,
                        const TSharedPtr<FJsonObject>& Answer);
    void FinalizeDestroy(const FName& SessionName, bool& bInOutSuccess);
    void FinalizeUpdate(const FName& SessionName, bool bUserUpdate, bool& bInOutSuccess,
                        const TSharedPtr<FJsonObject>& Answer);
    void FinalizePlayers(const FName& SessionName, bool bIsServer, bool& bInOutSuccess,
                         const TSharedPtr<FJsonObject>& Answer);
    void FinalizeFind(const TSharedRef<FOnlineSessionSearch>& Search, bool& bInOutSuccess,
                      const TArray<TSharedPtr<FJsonValue>>& Answer, const char* IgnoredLine);
    /** Appends a kept result built from one answer element to Search; drops a result that cannot be joined.
     */
    void ParseSearchResult(FOnlineSessionSearch& Search, const FJsonObject& Object);
    void TriggerConnectionStatus(int32 Status);
    void ForgetTask(const FZorSessionRequest& Request);

private:
    /**
     * Hands the task to the task thread. Until it is finalised, OnAbandoned stands for it: shutdown deletes
     * queued tasks, and their callers still hear of them once.
     */
    void QueueTask(FOnlineAsyncTaskZorSession* Task, TFunction<void()> OnAbandoned);
    int32 CreateInternetSession(int32 HostingPlayerNum, FNamedOnlineSession& Session);
    int32 UpdateInternetSession(const FName& SessionName, const FOnlineSessionSettings& Settings,
                                bool bRefresh, bool bUserUpdate);
    int32 EndInternetSession(FNamedOnlineSession& Session);
    int32 DestroyInternetSession(FNamedOnlineSession& Session);
    /** Deletes a session the service created for a game session that is gone; nobody awaits the outcome. */
    void DestroyOrphanedSession(int32 HostingPlayerNum, const FString& SessionId);
    int32 CreateLANSession(int32 HostingPlayerNum, FNamedOnlineSession& Session);
    int32 FindInternetSession(int32 SearchingPlayerNum, const TSharedRef<FOnlineSessionSearch>& Search);
    int32 FindLANSession();
    int32 JoinInternetSession(FNamedOnlineSession& Session, const FOnlineSessionSearchResult& Result);
    int32 JoinLANSession(FNamedOnlineSession& Session, const FOnlineSessionSearchResult& Result);
    void SendSessionHeartbeats();
    void RegisterLocalPlayers(const FNamedOnlineSession& Session);
    /** The subsystem's voice, or none once the subsystem let the service go. */
    TSharedPtr<IOnlineVoice> GetVoice() const;
    void RegisterVoice(const FUniqueNetId& Player);
    void UnregisterVoice(const FUniqueNetId& Player);
    bool IsLocalPlayer(const FUniqueNetId& Player) const;
    bool IsHostedBy(const FNamedOnlineSession& Session, int32 PlayerNum) const;
    bool SendPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players, bool bRegister,
                     bool bWasInvited);
    /** A request whose completion line is named CompleteName and whose other lines are named Operation. */
    TSharedRef<FZorSessionRequest> MakeRequest(const char* Operation, const char* CompleteName,
                                               int32 PlayerNum) const;
    static FString GetDedicatedServerName();
    static const FString& GetDedicatedServerOwnerId();
    bool EnsureLANSession();
    void ReleaseLANSession();
    /** Ends the LAN search in progress, if any, and hands it back for its event. */
    TSharedPtr<FOnlineSessionSearch> TakeLANSearch(bool bSuccess);
    /** After a search: a server hosts its advertised LAN session again; otherwise the beacon rests. */
    void RestoreLANHosting();
    bool HostLAN();
    void OnValidQueryPacketReceived(uint64 ClientNonce);
    void OnValidResponsePacketReceived();
    void OnLANSearchTimeout();

    double HeartbeatInterval = 30.0;
    /** Unset until the first pass, so the first tick sends whatever the clock's origin. */
    std::optional<double> LastHeartbeatTime;
    TFunction<double()> Clock;
    // Shared so a tick keeps it alive while a handler it calls lets the service release it.
    TSharedPtr<FLANSession> LANSession;
    double LANSearchTimeout = 5.0;
    TFunction<TUniquePtr<ILANBeaconTransport>()> LANTransportFactory;
    mutable FCriticalSection SessionLock;
    /** Heap records, so a pointer handed out stays valid while handlers add or remove other sessions. */
    TArray<TUniquePtr<FNamedOnlineSession>> Sessions;
    /** Sessions whose heartbeat has not come back yet; the next pass skips them. */
    TArray<FName> PendingHeartbeats;
    /**
     * The create request each Creating session awaits. A session destroyed while Creating takes its entry
     * along, so a late reply finds no owner even when a new session took the name.
     */
    struct FAwaitedCreate
    {
        FName SessionName;
        uint64 Serial;
    };
    TArray<FAwaitedCreate> AwaitedCreates;
    uint64 LastCreateSerial = 0;
    struct FPendingTask
    {
        const FZorSessionRequest* Request;
        TFunction<void()> OnAbandoned;
    };
    TArray<FPendingTask> PendingTasks;
    TSharedPtr<FOnlineSessionSearch> CurrentSessionSearch;
    FString CreateSessionUrl = "/api/matchmaking/session";
    FString ExistingSessionUrl = "/api/matchmaking/session/`id";
    FString RegisterPlayerUrl = "/api/matchmaking/session/`id/players";
    FString FindSessionsUrl = "/api/matchmaking/session/matchMakingRequest";
    FString FindPlayerUrl = "/api/matchmaking/session/findPlayer/`id";
    FUrlConfig SessionUrlConfig;
    TSharedRef<FZorSessionHandOff> HandOff;
};
