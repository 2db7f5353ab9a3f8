#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"
#include "Subsystem/ServiceConfigZor.h"

class FOnlineSubsystemZor;

/**
 * Base of every service: its owning subsystem, its layered configuration and its own ini section, and the
 * building blocks of every request (base URL, query parts, "User-Agent" and "Authorization" values).
 */
class FBaseServiceZor
{
public:
    FBaseServiceZor(const FBaseServiceZor&) = default;
    FBaseServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName);
    FBaseServiceZor& operator=(const FBaseServiceZor&) = default;
    virtual ~FBaseServiceZor() = default;

    virtual void Init();
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
    FBaseServiceZor() = default;

    /** Appends "&" or "?" as the URL needs before another query part. */
    static FString AppendQuerySeparator(const FString& Url);

    FOnlineSubsystemZor* Subsystem = nullptr;
    FServiceConfigZor Config;
    FString IniSectionName;
};

/** Base of the account-service family. */
class FAccountServiceZor : public FBaseServiceZor
{
public:
    static const FString FamilySectionName;

    FAccountServiceZor(const FAccountServiceZor&) = default;
    FAccountServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName)
        : FBaseServiceZor(InSubsystem, InIniSectionName)
    {
    }
    void UpdateServiceConfigFromDefaultIni() override { Config.UpdateFromIni(FamilySectionName); }
    FString GetBaseUrl() const override { return FBaseServiceZor::GetBaseUrl(); }

protected:
    FAccountServiceZor() = default;
};

/** Base of the game-service family; a bare one signs the subsystem's queued requests. */
class FGameServiceZor : public FBaseServiceZor
{
public:
    static const FString FamilySectionName;

    FGameServiceZor(const FGameServiceZor&) = default;
    FGameServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName)
        : FBaseServiceZor(InSubsystem, InIniSectionName)
    {
    }
    void UpdateServiceConfigFromDefaultIni() override { Config.UpdateFromIni(FamilySectionName); }
    FString GetBaseUrl() const override { return FBaseServiceZor::GetBaseUrl(); }

protected:
    FGameServiceZor() = default;
};
