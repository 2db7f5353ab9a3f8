#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineSessionSettings.h"

DECLARE_MULTICAST_DELEGATE_TwoParams(FOnCreateSessionComplete, FName, bool);
using FOnCreateSessionCompleteDelegate = FOnCreateSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnStartSessionComplete, FName, bool);
using FOnStartSessionCompleteDelegate = FOnStartSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnUpdateSessionComplete, FName, bool);
using FOnUpdateSessionCompleteDelegate = FOnUpdateSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnEndSessionComplete, FName, bool);
using FOnEndSessionCompleteDelegate = FOnEndSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnDestroySessionComplete, FName, bool);
using FOnDestroySessionCompleteDelegate = FOnDestroySessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnMatchmakingComplete, FName, bool);
using FOnMatchmakingCompleteDelegate = FOnMatchmakingComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnCancelMatchmakingComplete, FName, bool);
using FOnCancelMatchmakingCompleteDelegate = FOnCancelMatchmakingComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_OneParam(FOnFindSessionsComplete, bool);
using FOnFindSessionsCompleteDelegate = FOnFindSessionsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_OneParam(FOnCancelFindSessionsComplete, bool);
using FOnCancelFindSessionsCompleteDelegate = FOnCancelFindSessionsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_OneParam(FOnPingSearchResultsComplete, bool);
using FOnPingSearchResultsCompleteDelegate = FOnPingSearchResultsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnJoinSessionComplete, FName, EOnJoinSessionCompleteResult);
using FOnJoinSessionCompleteDelegate = FOnJoinSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnFindFriendSessionComplete, int32, bool,
                                       const FOnlineSessionSearchResult&);
using FOnFindFriendSessionCompleteDelegate = FOnFindFriendSessionComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnSessionInviteReceived, const FUniqueNetId&, const FUniqueNetId&,
                                       const FOnlineSessionSearchResult&);
using FOnSessionInviteReceivedDelegate = FOnSessionInviteReceived::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnSessionUserInviteAccepted, bool, int32, FUniqueNetIdPtr,
                                      const FOnlineSessionSearchResult&);
using FOnSessionUserInviteAcceptedDelegate = FOnSessionUserInviteAccepted::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnRegisterPlayersComplete, FName, const TArray<FUniqueNetIdRef>&,
                                       bool);
using FOnRegisterPlayersCompleteDelegate = FOnRegisterPlayersComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnUnregisterPlayersComplete, FName, const TArray<FUniqueNetIdRef>&,
                                       bool);
using FOnUnregisterPlayersCompleteDelegate = FOnUnregisterPlayersComplete::FDelegate;
DECLARE_DELEGATE_TwoParams(FOnRegisterLocalPlayerCompleteDelegate, const FUniqueNetId&,
                           EOnJoinSessionCompleteResult);
DECLARE_DELEGATE_TwoParams(FOnUnregisterLocalPlayerCompleteDelegate, const FUniqueNetId&, bool);

/** Port kinds of a connect string. */
inline const FName NAME_BeaconPort("BeaconPort");
inline const FName NAME_GamePort("GamePort");

/** The engine's session contract: named sessions, their life cycle, searches and joins. */
class IOnlineSession
{
public:
    virtual ~IOnlineSession() = default;

    virtual FNamedOnlineSession* AddNamedSession(const FName& SessionName,
                                                 const FOnlineSessionSettings& Settings) = 0;
    virtual FNamedOnlineSession* AddNamedSession(const FName& SessionName, const FOnlineSession& Session) = 0;
    virtual FNamedOnlineSession* GetNamedSession(const FName& SessionName) = 0;
    virtual void RemoveNamedSession(const FName& SessionName) = 0;
    virtual bool HasPresenceSession() = 0;
    virtual EOnlineSessionState GetSessionState(const FName& SessionName) const = 0;

    virtual bool CreateSession(int32 HostingPlayerNum, const FName& SessionName,
                               const FOnlineSessionSettings& NewSessionSettings) = 0;
    virtual bool CreateSession(const FUniqueNetId& HostingPlayerId, const FName& SessionName,
                               const FOnlineSessionSettings& NewSessionSettings) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnCreateSessionComplete, FName, bool);
    virtual bool StartSession(const FName& SessionName) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnStartSessionComplete, FName, bool);
    virtual bool UpdateSession(const FName& SessionName, FOnlineSessionSettings& UpdatedSessionSettings,
                               bool bShouldRefreshOnlineData = true) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnUpdateSessionComplete, FName, bool);
    virtual bool EndSession(const FName& SessionName) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnEndSessionComplete, FName, bool);
    virtual bool DestroySession(const FName& SessionName) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnDestroySessionComplete, FName, bool);
    virtual bool IsPlayerInSession(const FName& SessionName, const FUniqueNetId& UniqueId) = 0;

    virtual bool StartMatchmaking(int32 SearchingPlayerNum, const FName& SessionName,
                                  const FOnlineSessionSettings& NewSessionSettings,
                                  TSharedRef<FOnlineSessionSearch>& SearchSettings) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnMatchmakingComplete, FName, bool);
    virtual bool CancelMatchmaking(int32 SearchingPlayerNum, const FName& SessionName) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnCancelMatchmakingComplete, FName, bool);

    virtual bool FindSessions(int32 SearchingPlayerNum,
                              const TSharedRef<FOnlineSessionSearch>& SearchSettings) = 0;
    virtual bool FindSessions(const FUniqueNetId& SearchingPlayerId,
                              const TSharedRef<FOnlineSessionSearch>& SearchSettings) = 0;
    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnFindSessionsComplete, bool);
    virtual bool CancelFindSessions() = 0;
    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnCancelFindSessionsComplete, bool);
    virtual bool PingSearchResults(const FOnlineSessionSearchResult& SearchResult) = 0;
    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnPingSearchResultsComplete, bool);

    virtual bool JoinSession(int32 PlayerNum, const FName& SessionName,
                             const FOnlineSessionSearchResult& DesiredSession) = 0;
    virtual bool JoinSession(const FUniqueNetId& PlayerId, const FName& SessionName,
                             const FOnlineSessionSearchResult& DesiredSession) = 0;
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnJoinSessionComplete, FName, EOnJoinSessionCompleteResult);

    virtual bool FindFriendSession(int32 LocalUserNum, const FUniqueNetId& Friend) = 0;
    virtual bool FindFriendSession(const FUniqueNetId& LocalUserId, const FUniqueNetId& Friend) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnFindFriendSessionComplete, int32, bool,
                                       const FOnlineSessionSearchResult&);

    virtual bool SendSessionInviteToFriend(int32 LocalUserNum, const FName& SessionName,
                                           const FUniqueNetId& Friend) = 0;
    virtual bool SendSessionInviteToFriends(int32 LocalUserNum, const FName& SessionName,
                                            const TArray<FUniqueNetIdRef>& Friends) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnSessionInviteReceived, const FUniqueNetId&, const FUniqueNetId&,
                                       const FOnlineSessionSearchResult&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnSessionUserInviteAccepted, bool, int32, FUniqueNetIdPtr,
                                      const FOnlineSessionSearchResult&);

    virtual bool GetResolvedConnectString(const FName& SessionName, FString& ConnectInfo) = 0;
    virtual bool GetResolvedConnectString(const FOnlineSessionSearchResult& SearchResult,
                                          const FName& PortType, FString& ConnectInfo) = 0;
    virtual FOnlineSessionSettings* GetSessionSettings(const FName& SessionName) = 0;

    virtual bool RegisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId, bool bWasInvited) = 0;
    virtual bool RegisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players,
                                 bool bWasInvited = false) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnRegisterPlayersComplete, FName, const TArray<FUniqueNetIdRef>&,
                                       bool);
    virtual bool UnregisterPlayer(const FName& SessionName, const FUniqueNetId& PlayerId) = 0;
    virtual bool UnregisterPlayers(const FName& SessionName, const TArray<FUniqueNetIdRef>& Players) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnUnregisterPlayersComplete, FName, const TArray<FUniqueNetIdRef>&,
                                       bool);
    virtual void RegisterLocalPlayer(const FUniqueNetId& PlayerId, const FName& SessionName,
                                     const FOnRegisterLocalPlayerCompleteDelegate& Delegate) = 0;
    virtual void UnregisterLocalPlayer(const FUniqueNetId& PlayerId, const FName& SessionName,
                                       const FOnUnregisterLocalPlayerCompleteDelegate& Delegate) = 0;

    virtual int32 GetNumSessions() = 0;
    virtual void DumpSessionState() = 0;
};

/** True when the player is registered in the named session. */
bool IsPlayerInSessionImpl(IOnlineSession* SessionInt, const FName& SessionName,
                           const FUniqueNetId& UniqueId);
