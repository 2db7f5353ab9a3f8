#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"
#include "Subsystem/ServiceConfigZor.h"

class FOnlineIdentityZor;
class FOnlineSubsystemZor;
class FZorCallSet;

/**
 * Base of every service: its owning subsystem, its layered configuration and its own ini section, and the
 * building blocks of every request (base URL, query parts, "User-Agent" and "Authorization" values).
 */
class FBaseServiceZor
{
public:
    FBaseServiceZor(const FBaseServiceZor& Other);
    FBaseServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName);
    FBaseServiceZor& operator=(const FBaseServiceZor& Other);
    virtual ~FBaseServiceZor();

    virtual void Init();
    /** Once per frame on the game thread; nothing by default. */
    virtual void Tick(float DeltaTime) { (void)DeltaTime; }
    /**
     * Fires each pending operation's event once (false, "No response"), cancels what is in flight, then
     * ignores late completions and refuses new calls with an immediate failure event.
     */
    virtual void Shutdown();
    bool IsShutDown() const;
    /** Whether the subsystem's Shutdown has begun, here or before this service's own turn came. */
    bool IsSubsystemShutDown() const;
    /** The subsystem lets the service go, after its Shutdown: from then on the service never reaches it. */
    void DetachSubsystem();
    virtual void UpdateServiceConfig();
    virtual void UpdateServiceConfigFromDefaultIni() {}
    virtual FString GetEnvironmentDisplayName() const { return Config.EnvironmentDisplayName; }
    virtual bool IsProductionEnvironment() const { return Config.bProductionEnvironment; }
    virtual FString GetBaseUrl() const;
    virtual FString AppendPageUrl(const FString& Url, const FPagedQuery& Page) const;
    virtual FString AppendRegionUrl(const FString& Url, const FRegionInfo& Region) const;
    virtual FString GetUserAgent() const;
    virtual FString GetBasicAuth(const FString& ClientId) const;
    virtual bool GetClientAuth(const FString& ClientId, FString& OutAuth) const;
    virtual bool GetAppClientAuth(FString& OutAuth) const;
    virtual bool GetUserAuth(const FUniqueNetId& UserId, FString& OutAuth) const;
    virtual bool GetUserPurchaseAuth(const FUniqueNetId& UserId, FString& OutAuth) const;

    const FServiceConfigZor& GetZorConfiguration() const { return Config; }
    const FString& GetIniSectionName() const { return IniSectionName; }

protected:
    FBaseServiceZor();

    /** The calls this service has in flight; every request goes through it. */
    FZorCallSet& GetCalls() const { return *Calls; }

    /** What the subsystem gives, or nothing once it let the service go. */
    TSharedPtr<FOnlineIdentityZor> GetSubsystemIdentity() const;
    FString GetSubsystemAppId() const;
    bool IsSubsystemServer() const;
    bool IsSubsystemDedicated() const;

    /** Appends "&" or "?" as the URL needs before another query part. */
    static FString AppendQuerySeparator(const FString& Url);

    FOnlineSubsystemZor* Subsystem = nullptr;
    FServiceConfigZor Config;
    FString IniSectionName;

private:
    TSharedRef<FZorCallSet> Calls;
};

/** The family sections a service may read between the base section and its own. */
enum class EZorServiceFamily : uint8
{
    Account,
    Game,
};

/** The ini section of a family: "OnlineSubsystemZor.AccountServiceZor" or
 * "OnlineSubsystemZor.GameServiceZor". */
const FString& GetZorFamilySectionName(EZorServiceFamily Family);

/**
 * Base of a service family: reads the family's section between the base section and the service's own.
 * Commerce services have no family section and derive from FBaseServiceZor.
 */
template <EZorServiceFamily Family> class TFamilyServiceZor : public FBaseServiceZor
{
public:
    TFamilyServiceZor(const TFamilyServiceZor&) = default;
    TFamilyServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName)
        : FBaseServiceZor(InSubsystem, InIniSectionName)
    {
    }
    void UpdateServiceConfigFromDefaultIni() override
    {
        Config.UpdateFromIni(GetZorFamilySectionName(Family));
    }

protected:
    TFamilyServiceZor() = default;
};

/** Base of the account-service family. */
using FAccountServiceZor = TFamilyServiceZor<EZorServiceFamily::Account>;
/** Base of the game-service family; a bare one signs the subsystem's queued requests. */
using FGameServiceZor = TFamilyServiceZor<EZorServiceFamily::Game>;
