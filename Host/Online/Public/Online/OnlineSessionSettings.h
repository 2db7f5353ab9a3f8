#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineKeyValuePair.h"
#include "Online/OnlineTypes.h"

/** How a session setting is advertised. */
enum class EOnlineDataAdvertisementType : uint8
{
    DontAdvertise = 0,
    ViaPingOnly = 1,
    ViaOnlineService = 2,
    ViaOnlineServiceAndPing = 3,
};
const char* ToString(EOnlineDataAdvertisementType Type);

/** How a search parameter compares with a session's setting. */
enum class EOnlineComparisonOp : uint8
{
    Equals = 0,
    NotEquals,
    GreaterThan,
    GreaterThanEquals,
    LessThan,
    LessThanEquals,
    Near,
};
const char* ToString(EOnlineComparisonOp Op);

/** Life of a named session. */
enum class EOnlineSessionState : uint8
{
    NoSession = 0,
    Creating,
    Pending,
    Starting,
    InProgress,
    Ending,
    Ended,
    Destroying,
};
const char* ToString(EOnlineSessionState State);

/** State of an asynchronous search. */
enum class EOnlineAsyncTaskState : uint8
{
    NotStarted = 0,
    InProgress = 1,
    Done = 2,
    Failed = 3,
};

/** Outcome of joining a session; the numbers are the engine's. */
enum class EOnJoinSessionCompleteResult : uint8
{
    Success = 0,
    SessionIsFull,
    SessionDoesNotExist,
    CouldNotRetrieveAddress,
    AlreadyInSession,
    UnknownError = 5,
};

struct FOnlineSessionSetting
{
    FVariantData Data;
    EOnlineDataAdvertisementType AdvertisementType = EOnlineDataAdvertisementType::DontAdvertise;

    /** "<value> :<advertisement>". */
    FString ToString() const;
};

struct FOnlineSessionSearchParam
{
    FVariantData Data;
    EOnlineComparisonOp ComparisonOp = EOnlineComparisonOp::Equals;

    /** "Value=<value> : <comparison>". */
    FString ToString() const;
};

using FSessionSettings = TMap<FName, FOnlineSessionSetting>;
using FSearchParams = TMap<FName, FOnlineSessionSearchParam>;

/** The settings a session is created and advertised with. */
class FOnlineSessionSettings
{
public:
    int32 NumPublicConnections = 0;
    int32 NumPrivateConnections = 0;
    bool bShouldAdvertise = false;
    bool bAllowJoinInProgress = false;
    bool bIsLANMatch = false;
    bool bIsDedicated = false;
    bool bUsesStats = false;
    bool bAllowInvites = false;
    bool bUsesPresence = false;
    bool bAllowJoinViaPresence = false;
    bool bAllowJoinViaPresenceFriendsOnly = false;
    int32 BuildUniqueId = 0;
    FSessionSettings Settings;

    template <typename ValueType>
    void Set(const FName& Key, const ValueType& Value, EOnlineDataAdvertisementType Type)
    {
        FOnlineSessionSetting& Setting = Settings.FindOrAdd(Key);
        Setting.Data.SetValue(Value);
        Setting.AdvertisementType = Type;
    }
    template <typename ValueType> bool Get(const FName& Key, ValueType& Out) const
    {
        const FOnlineSessionSetting* Setting = Settings.Find(Key);
        return Setting && Setting->Data.GetValue(Out);
    }
};

/** The parameters of a search. */
class FOnlineSearchSettings
{
public:
    FSearchParams SearchParams;

    template <typename ValueType> void Set(const FName& Key, const ValueType& Value, EOnlineComparisonOp Op)
    {
        FOnlineSessionSearchParam& Param = SearchParams.FindOrAdd(Key);
        Param.Data.SetValue(Value);
        Param.ComparisonOp = Op;
    }
    template <typename ValueType> bool Get(const FName& Key, ValueType& Out) const
    {
        const FOnlineSessionSearchParam* Param = SearchParams.Find(Key);
        return Param && Param->Data.GetValue(Out);
    }
};

/** Where a session is reached, as the platform knows it. */
class FOnlineSessionInfo
{
public:
    virtual ~FOnlineSessionInfo() = default;
    virtual const uint8* GetBytes() const = 0;
    virtual int32 GetSize() const = 0;
    virtual bool IsValid() const = 0;
    virtual FString ToString() const = 0;
    virtual FString ToDebugString() const = 0;
    virtual const FUniqueNetId& GetSessionId() const = 0;
};

/** A session as found or hosted: its owner, settings, connection info and open slots. */
class FOnlineSession
{
public:
    FOnlineSession() = default;
    explicit FOnlineSession(const FOnlineSessionSettings& InSettings) : SessionSettings(InSettings) {}
    virtual ~FOnlineSession() = default;

    FUniqueNetIdPtr OwningUserId;
    FString OwningUserName;
    FOnlineSessionSettings SessionSettings;
    TSharedPtr<FOnlineSessionInfo> SessionInfo;
    int32 NumOpenPrivateConnections = 0;
    int32 NumOpenPublicConnections = 0;
};

/** A session the game keeps under a name. */
class FNamedOnlineSession : public FOnlineSession
{
public:
    FNamedOnlineSession(const FName& InName, const FOnlineSessionSettings& InSettings)
        : FOnlineSession(InSettings), SessionName(InName)
    {
    }
    FNamedOnlineSession(const FName& InName, const FOnlineSession& InSession)
        : FOnlineSession(InSession), SessionName(InName)
    {
    }

    FName SessionName;
    int32 HostingPlayerNum = -1;
    bool bHosting = false;
    TArray<FUniqueNetIdRef> RegisteredPlayers;
    EOnlineSessionState SessionState = EOnlineSessionState::NoSession;
};

/** One session a search found. */
class FOnlineSessionSearchResult
{
public:
    FOnlineSession Session;
    int32 PingInMs = 0;

    bool IsValid() const { return Session.OwningUserId.IsValid() && Session.SessionInfo.IsValid(); }
};

/** A search: what it asks for and what it found. */
class FOnlineSessionSearch
{
public:
    virtual ~FOnlineSessionSearch() = default;

    TArray<FOnlineSessionSearchResult> SearchResults;
    EOnlineAsyncTaskState SearchState = EOnlineAsyncTaskState::NotStarted;
    int32 MaxSearchResults = 1;
    FOnlineSearchSettings QuerySettings;
    bool bIsLanQuery = false;
    int32 PingBucketSize = 0;

    /** Orders the results, lowest ping first; equal pings keep their order. */
    virtual void SortSearchResults();
};

/** The build this process is; sessions of other builds are not found. Never 0 unless set so. */
int32 GetBuildUniqueId();
void SetBuildUniqueId(int32 BuildId);

/** Logs a named session's state at Log level. */
void DumpNamedSession(const FNamedOnlineSession* Session);
