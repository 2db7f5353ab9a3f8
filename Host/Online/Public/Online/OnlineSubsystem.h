#pragma once

#include "Core/Exec.h"
#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

class IOnlineSession;
class IOnlineFriends;
class IOnlineUserCloud;
class IOnlineSharedCloud;
class IOnlineEntitlements;
class IOnlineVoice;
class IOnlineTime;
class IOnlineIdentity;
class IOnlineTitleFile;
class IOnlineUser;
class IOnlineMessage;
class IOnlineLeaderboards;
class IOnlineExternalUI;
class IOnlineParty;
class IOnlineStore;
class IOnlineEvents;
class IOnlineAchievements;
class IOnlineSharing;
class IOnlinePresence;

using IOnlineSessionPtr = TSharedPtr<IOnlineSession>;
using IOnlineFriendsPtr = TSharedPtr<IOnlineFriends>;
using IOnlineUserCloudPtr = TSharedPtr<IOnlineUserCloud>;
using IOnlineSharedCloudPtr = TSharedPtr<IOnlineSharedCloud>;
using IOnlineEntitlementsPtr = TSharedPtr<IOnlineEntitlements>;
using IOnlineVoicePtr = TSharedPtr<IOnlineVoice>;
using IOnlineTimePtr = TSharedPtr<IOnlineTime>;
using IOnlineIdentityPtr = TSharedPtr<IOnlineIdentity>;
using IOnlineTitleFilePtr = TSharedPtr<IOnlineTitleFile>;
using IOnlineUserPtr = TSharedPtr<IOnlineUser>;
using IOnlineMessagePtr = TSharedPtr<IOnlineMessage>;
using IOnlineLeaderboardsPtr = TSharedPtr<IOnlineLeaderboards>;
using IOnlineExternalUIPtr = TSharedPtr<IOnlineExternalUI>;
using IOnlinePartyPtr = TSharedPtr<IOnlineParty>;
using IOnlineStorePtr = TSharedPtr<IOnlineStore>;
using IOnlineEventsPtr = TSharedPtr<IOnlineEvents>;
using IOnlineAchievementsPtr = TSharedPtr<IOnlineAchievements>;
using IOnlineSharingPtr = TSharedPtr<IOnlineSharing>;
using IOnlinePresencePtr = TSharedPtr<IOnlinePresence>;

/** What the running engine is, as its world's net mode would say. */
enum class ENetMode
{
    Standalone,
    DedicatedServer,
    ListenServer,
    Client,
};

/** The engine's net mode for this process; the host program sets it from its command line. */
ENetMode GetHostNetMode();
void SetHostNetMode(ENetMode Mode);

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnConnectionStatusChanged, const FString& /*ServiceName*/,
                                       EOnlineServerConnectionStatus::Type /*LastStatus*/,
                                       EOnlineServerConnectionStatus::Type /*NewStatus*/);
using FOnConnectionStatusChangedDelegate = FOnConnectionStatusChanged::FDelegate;

/** An online service implementation, created by its factory. */
class IOnlineSubsystem
{
public:
    virtual ~IOnlineSubsystem() = default;

    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnConnectionStatusChanged, const FString&,
                                       EOnlineServerConnectionStatus::Type,
                                       EOnlineServerConnectionStatus::Type);

    virtual IOnlineSessionPtr GetSessionInterface() const = 0;
    virtual IOnlineFriendsPtr GetFriendsInterface() const = 0;
    virtual IOnlinePartyPtr GetPartyInterface() const = 0;
    virtual IOnlineSharedCloudPtr GetSharedCloudInterface() const = 0;
    virtual IOnlineUserCloudPtr GetUserCloudInterface() const = 0;
    virtual IOnlineEntitlementsPtr GetEntitlementsInterface() const = 0;
    virtual IOnlineLeaderboardsPtr GetLeaderboardsInterface() const = 0;
    virtual IOnlineVoicePtr GetVoiceInterface() const = 0;
    virtual IOnlineExternalUIPtr GetExternalUIInterface() const = 0;
    virtual IOnlineTimePtr GetTimeInterface() const = 0;
    virtual IOnlineIdentityPtr GetIdentityInterface() const = 0;
    virtual IOnlineTitleFilePtr GetTitleFileInterface() const = 0;
    virtual IOnlineStorePtr GetStoreInterface() const = 0;
    virtual IOnlineEventsPtr GetEventsInterface() const = 0;
    virtual IOnlineAchievementsPtr GetAchievementsInterface() const = 0;
    virtual IOnlineSharingPtr GetSharingInterface() const = 0;
    virtual IOnlineUserPtr GetUserInterface() const = 0;
    virtual IOnlineMessagePtr GetMessageInterface() const = 0;
    virtual IOnlinePresencePtr GetPresenceInterface() const = 0;

    virtual bool Init() = 0;
    virtual bool Shutdown() = 0;
    virtual FString GetAppId() const = 0;
    virtual bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar) = 0;

    virtual FName GetSubsystemName() const = 0;
    virtual FName GetInstanceName() const = 0;
    virtual bool IsServer() const = 0;
    virtual bool IsDedicated() const = 0;

    /** The subsystem of that name, created on first use; null when none is registered or it is disabled. */
    static IOnlineSubsystem* Get(const FName& SubsystemName);
};

using IOnlineSubsystemPtr = TSharedPtr<IOnlineSubsystem>;

/** Creates the subsystem instances of one online service. */
class IOnlineFactory
{
public:
    virtual ~IOnlineFactory() = default;
    virtual IOnlineSubsystemPtr CreateSubsystem(FName InstanceName) = 0;
};

/** Common base of online subsystems: names and the engine's server checks. */
class FOnlineSubsystemImpl : public IOnlineSubsystem
{
public:
    FName GetSubsystemName() const override { return SubsystemName; }
    FName GetInstanceName() const override { return InstanceName; }
    bool IsServer() const override;
    bool IsDedicated() const override;

protected:
    FOnlineSubsystemImpl(const FName& InSubsystemName, const FName& InInstanceName)
        : SubsystemName(InSubsystemName), InstanceName(InInstanceName)
    {
    }

private:
    FName SubsystemName;
    FName InstanceName;
};
