#pragma once

#include <type_traits>

#include "Common/ZorLoginStamp.h"
#include "Core/DateTime.h"
#include "CoreUObject.h"
#include "Http.h"
#include "Online/OnlineNotification.h"
#include "Online/OnlineTypes.h"
#include "Profile/ZorItem.h"
#include "Profile/ZorItemAware.h"
#include "Json/OnlineJsonSerializable.h"

class FOnlineSubsystemZor;

/** The outcome of one profile command. */
struct FZorQueryResult
{
    /** A 200 response of type "application/json" with an object body. */
    bool bSucceeded = false;
    /** 0 when no response arrived. */
    int32 HttpResponseCode = 0;
    /** Empty on success; else "InternalError", "ConnectionFailure", "NonJsonResponse", "InvalidJson" or the
     * service's own code. */
    FString ErrorCode;
    FText ErrorText;
    /** The response's notification marked primary, when it had one. */
    FOnlineNotification PrimaryNotification;
};

DECLARE_DELEGATE_OneParam(FOnZorQueryComplete, const FZorQueryResult& /*Result*/);
DECLARE_MULTICAST_DELEGATE_OneParam(FOnZorStatsUpdated, int64 /*ProfileRevision*/);
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnZorInventoryUpdated, const TSet<FString>& /*ChangedItemTypes*/,
                                     int64 /*ProfileRevision*/);
DECLARE_DELEGATE_OneParam(FOnZorHandleNotification, const FOnlineNotification& /*Notification*/);

/**
 * Where a profile command goes and with whose credentials: the ini key (section
 * "OnlineSubsystemZor.ZorProfile" of the engine ini) that holds its URL path, and the callback that receives
 * its outcome.
 */
struct FBaseUrlContext
{
    enum class EContextCredentials : uint32
    {
        /** The profile owner's user token. */
        Client = 0,
        /** The client credentials named "DedicatedServer". */
        DedicatedServer = 1,
        /** The client credentials named "Cheater". */
        DevCheat = 2,
    };

    FBaseUrlContext(const FOnZorQueryComplete& InCallback, const FString& InUrlConfig,
                    EContextCredentials InCredentials)
        : Callback(InCallback), UrlConfig(InUrlConfig), Credentials(InCredentials)
    {
    }

    FOnZorQueryComplete Callback;
    FString UrlConfig;
    EContextCredentials Credentials;
};

/** The player's own commands, under the user's token; ini key "ZorClientCommandUrl". */
struct FClientUrlContext : public FBaseUrlContext
{
    static const FClientUrlContext Default;

    FClientUrlContext() : FClientUrlContext(FOnZorQueryComplete()) {}
    explicit FClientUrlContext(const FOnZorQueryComplete& InCallback)
        : FBaseUrlContext(InCallback, "ZorClientCommandUrl", EContextCredentials::Client)
    {
    }
};

/** Commands a server sends for a player; ini key "ZorDedicatedServerCommandUrl". */
struct FDedicatedServerUrlContext : public FBaseUrlContext
{
    static const FDedicatedServerUrlContext Default;

    FDedicatedServerUrlContext() : FDedicatedServerUrlContext(FOnZorQueryComplete()) {}
    explicit FDedicatedServerUrlContext(const FOnZorQueryComplete& InCallback)
        : FBaseUrlContext(InCallback, "ZorDedicatedServerCommandUrl", EContextCredentials::DedicatedServer)
    {
    }
};

/** Developer cheats; ini key "ZorCheatCommandUrl". */
struct FDevCheatUrlContext : public FBaseUrlContext
{
    static const FDevCheatUrlContext Default;

    FDevCheatUrlContext() : FDevCheatUrlContext(FOnZorQueryComplete()) {}
    explicit FDevCheatUrlContext(const FOnZorQueryComplete& InCallback)
        : FBaseUrlContext(InCallback, "ZorCheatCommandUrl", EContextCredentials::DevCheat)
    {
    }
};

/** The parameters of a command that sends nothing besides its context; its body is "{}". */
struct FZorNoCommandParams : public FOnlineJsonSerializable
{
    BEGIN_ONLINE_JSON_SERIALIZER
    END_ONLINE_JSON_SERIALIZER
};

/**
 * Declares a profile command in a class derived from UZorProfile (or in UZorProfile itself):
 *
 *     DECLARE_ZOR_PROFILE_COMMAND(ClaimReward, FClientUrlContext, FClaimRewardParams)
 *
 * gives `bool ClaimReward(const FClientUrlContext& Context, const FClaimRewardParams& Params = {})`, which
 * posts Params as the JSON body (its field list gives the keys) to the URL of the context's ini key, through
 * the profile's queue. It returns false when the command could not be dispatched; the callback has then been
 * called.
 */
#define DECLARE_ZOR_PROFILE_COMMAND(Name, ContextType, ParamsType)                                           \
    bool Name(const ContextType& Context, const ParamsType& Params = ParamsType())                           \
    {                                                                                                        \
        return SendProfileCommand(#Name, Context, Params);                                                   \
    }

/**
 * The server-kept profile of one account: its stats, its items with the objects mapped to them, its revision
 * and the server clock's offset. Game code makes it with NewObject (and keeps it reachable, e.g. AddToRoot),
 * binds it with Initialize, maps item classes, binds the events and calls ForceQueryProfile. Commands go to
 * the game service one at a time, in call order. Game thread only.
 */
class UZorProfile : public UObject
{
    DECLARE_OBJECT_CLASS(UZorProfile, UObject)

    /** Ini section of the command URL keys. */
    static const char* const ConfigSection;

    /** One queued command. */
    struct FProfilePendingHttpRequest
    {
        FProfilePendingHttpRequest(const FHttpRequestPtr& InRequest,
                                   FBaseUrlContext::EContextCredentials InCredentials,
                                   const FZorLoginStamp& InLogin)
            : Request(InRequest), Credentials(InCredentials), Login(InLogin)
        {
        }

        FHttpRequestPtr Request;
        FBaseUrlContext::EContextCredentials Credentials;
        /** A user command's login, taken when it was queued: it is sent, and answered, only while it holds.
         */
        FZorLoginStamp Login;
    };

    UZorProfile() = default;
    /** Copies every field; the item records are shared with the source. */
    UZorProfile(const UZorProfile& Other) = default;
    ~UZorProfile() override = default;

    /**
     * Binds the profile to a subsystem (held weakly: it must be owned by a shared pointer, as the factory
     * makes it) and an account; the player name comes from identity when the account is logged in.
     */
    virtual void Initialize(FOnlineSubsystemZor* InSubsystem, const FUniqueNetIdPtr& InGameAccountId,
                            bool bInIsLocal);

    /**
     * Asks for the full profile (under the user's token for a local profile, else the server's credentials).
     * False when it could not start: two are already in flight, there is no subsystem, or dispatch failed
     * (the callback has then been called).
     */
    bool ForceQueryProfile(const FOnZorQueryComplete& Callback);
    /** Deletes the profile on the service, then queries it afresh. */
    void CheatResetProfile();
    /** Takes the other's id, binding, stats, items (shared), class map, revision and clock offset. */
    void CopyFromOther(const UZorProfile& Other);

    DECLARE_ZOR_PROFILE_COMMAND(DeleteProfile, FDevCheatUrlContext, FZorNoCommandParams)

    TSharedPtr<const FZorItem> GetItem(const FString& ItemId) const;
    TArray<TSharedRef<const FZorItem>> GetItemsByType(const FString& ItemType) const;
    TSharedPtr<const FZorItem> FindItemByTemplate(const FString& TemplateId) const;
    TSharedPtr<const FJsonValue> GetStat(const FString& StatName) const;

    const FString& GetPlayerName() const { return PlayerName; }
    const FString& GetProfileId() const { return ProfileId; }
    int64 GetProfileRevision() const { return ProfileRevision; }
    /** The service's build number from the last answered command; -1 before any. */
    int64 GetZorRevision() const { return ZorRevision; }
    const FUniqueNetIdPtr& GetGameAccountId() const { return GameAccountId; }
    /** A full query has finished, or a revision arrived. */
    bool HasCompletedProfileQuery() const { return ProfileRevision != -1; }
    bool HasValidProfileData() const { return ProfileRevision >= 0; }

    FDateTime GetServerDateTime(const FDateTime& UtcDateTime) const { return UtcDateTime + ServerTimeOffset; }
    FDateTime GetClientDateTime(const FDateTime& ServerDateTime) const
    {
        return ServerDateTime - ServerTimeOffset;
    }

    FString ToDebugString() const;

    /** After the changes of a response when a stat changed. */
    FOnZorStatsUpdated& OnStatsUpdated() { return StatsUpdatedDelegates; }
    /** After the changes of a response, with the types of the items that changed. */
    FOnZorInventoryUpdated& OnInventoryUpdated() { return InventoryUpdatedDelegates; }
    /** Once per notification of a response. */
    FOnZorHandleNotification& OnHandleNotification() { return HandleNotificationDelegate; }

    /** Keeps the items' objects alive while the profile lives. */
    static void AddReferencedObjects(UObject* InThis, FReferenceCollector& Collector);

protected:
    DECLARE_ZOR_PROFILE_COMMAND(QueryProfile, FBaseUrlContext, FZorNoCommandParams)

    /** Items whose template id, or else type, is Key get an object of InstanceClass (not null). */
    void MapClass(const FString& Key, UClass* InstanceClass);
    void OnQueryProfileComplete(const FZorQueryResult& Result, FOnZorQueryComplete Callback);

    const TMap<FString, TSharedPtr<FZorItem>>& GetAllItems() const { return Items; }
    const TMap<FString, TSharedPtr<FJsonValue>>& GetAllStats() const { return Stats; }

    template <typename ContextType, typename ParamsType>
    bool SendProfileCommand(const char* FunctionName, const ContextType& Context, const ParamsType& Params)
    {
        static_assert(std::is_base_of_v<FBaseUrlContext, ContextType>,
                      "A command's context is an FBaseUrlContext");
        static_assert(std::is_base_of_v<FOnlineJsonSerializable, ParamsType>,
                      "A command's parameters are an FOnlineJsonSerializable record");
        return CallRemoteFunction(FunctionName, Context, Params);
    }
    /** Builds the command's request and queues it; false (after calling the callback) when it cannot. */
    bool CallRemoteFunction(const FString& FunctionName, const FBaseUrlContext& Context,
                            const FOnlineJsonSerializable& Params);
    void QueueRequest(const FHttpRequestRef& Request, FBaseUrlContext::EContextCredentials Credentials);
    void ProcessNextRequest();
    void SendRequestNow(const FProfilePendingHttpRequest& PendingRequest);
    /** The HTTP completion of every command: reports the outcome, then sends the next command. */
    void GenericResponse_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                             bool bSucceeded, FString FunctionName,
                                             FOnZorQueryComplete Callback);
    FString GetBaseUrl() const;
    bool UseServerContext() const { return !bIsLocal; }

    void HandleZorResponse(const TSharedPtr<FJsonObject>& Response, FZorQueryResult& Result);
    /** False only when Profile is empty. */
    bool HandleFullProfileUpdate(const TSharedPtr<FJsonObject>& Profile, bool* bOutStatsChanged,
                                 TSet<FString>* OutChangedTypes, int64 PreviousRevision);

    bool bIsLocal = false;
    FString PlayerName;
    /** Held weakly: a profile may outlive the subsystem's shutdown. */
    TWeakPtr<FOnlineSubsystemZor> Subsystem;
    TMap<FString, TSharedPtr<FJsonValue>> Stats;
    /** Never holds an empty pointer. */
    TMap<FString, TSharedPtr<FZorItem>> Items;
    FZorClassMap ClassMap;
    FString ProfileId = "profile0";
    int64 ProfileRevision = -1;
    int64 ZorRevision = -1;
    int32 FullProfileQueryQueued = 0;
    FUniqueNetIdPtr GameAccountId;
    FTimespan ServerTimeOffset;
    /** Only the first is in flight. */
    TArray<FProfilePendingHttpRequest> PendingRequests;
    /** Commands in flight whose login ended: they hold up no later one, and report once when answered. */
    TArray<FHttpRequestPtr> Abandoned;
    FOnZorStatsUpdated StatsUpdatedDelegates;
    FOnZorInventoryUpdated InventoryUpdatedDelegates;
    FOnZorHandleNotification HandleNotificationDelegate;

private:
    /** The subsystem while it is alive and running; null once it is gone or shut down. */
    TSharedPtr<FOnlineSubsystemZor> GetZor() const;
    FString GetAccountIdText() const;
    /** The dispatch error of a command, empty when it can go: its path template and body are then set. */
    FText PrepareCommand(const FBaseUrlContext& Context, const FOnlineJsonSerializable& Params,
                         FString& OutPathTemplate, FString& OutBody) const;
    FString ResolveUrlTemplate(const FString& Template, const FString& FunctionName) const;
    /** Why the request could not be handed to its road; empty when it was. */
    FString StartOnRoad(const FProfilePendingHttpRequest& Pending);
    /** Whether the login a command was queued under has ended since: it is not sent, nor its answer applied.
     */
    bool HasLoginEnded(const FProfilePendingHttpRequest& Pending) const;
    /** Secrets are what the request was signed with: a refusal that echoes them shows them masked. */
    void ReadResponse(const IHttpResponse& Response, const TArray<FString>& Secrets,
                      const FString& FunctionName, FZorQueryResult& Result);

    void ApplyProfileChange(const TSharedPtr<FJsonObject>& Change, int64 PreviousRevision,
                            bool& bStatsChanged, TSet<FString>& ChangedTypes);
    void ApplyItemAdded(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes);
    void ApplyItemRemoved(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes);
    void ApplyItemAttrChanged(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes);
    void ApplyItemQuantityChanged(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes);
    void ApplyStatModified(const TSharedPtr<FJsonObject>& Change);
    void ApplyNotifications(const TSharedPtr<FJsonObject>& Response, FZorQueryResult& Result);
    void UpdateStatsFromProfile(const TSharedPtr<FJsonObject>& Profile, bool& bStatsChanged);
    /** Applies the listed items; returns the ids of held items the profile no longer lists. */
    TSet<FString> UpdateItemsFromProfile(const TSharedPtr<FJsonObject>& Profile, TSet<FString>& ChangedTypes,
                                         int64 PreviousRevision);
    void RemoveItems(const TSet<FString>& ItemIds, TSet<FString>& ChangedTypes);
    void UpdateHeldItem(FZorItem& Item, const TSharedPtr<FJsonObject>& ItemJson, TSet<FString>& ChangedTypes);
    void LogQuantityChange(const FZorItem& Item, int32 NewQuantity) const;
};
