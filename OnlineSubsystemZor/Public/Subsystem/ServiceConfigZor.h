#pragma once

#include "CoreMinimal.h"

/** A named client credential: the role name the code looks up, the client id and its secret. */
struct FServicePermissionsZor
{
    static const FString DefaultClient;
    static const FString DefaultPurchaseClient;
    static const FString DefaultServer;

    FServicePermissionsZor() = default;
    FServicePermissionsZor(const FString& InName, const FString& InId, const FString& InKey)
        : Name(InName), Id(InId), Key(InKey)
    {
    }

    /** Reads "Name=", "Id=" and "Key=" in that order; false at the first that is missing. */
    bool ParseConfig(const FString& Text);

    /** Name and Id ignoring case; the key is not compared. */
    bool operator==(const FServicePermissionsZor& Other) const
    {
        return Name == Other.Name && Id == Other.Id;
    }

    FString Name;
    FString Id;
    FString Key;
};

class FServiceConfigZor;

DECLARE_DELEGATE_ThreeParams(FOnZorConfiguration, const FString& /*SectionName*/,
                             const FString& /*ConfigOverride*/, FServiceConfigZor& /*Config*/);
DECLARE_DELEGATE_RetVal(FString, FOnZorConfigOverride);

/** Where one service lives, how it names itself and which client credentials it may use. */
class FServiceConfigZor
{
public:
    static const FString DefaultProtocol;
    static const FString DefaultDomain;
    static const FString DefaultEngineName;

    /** One ini layer: section S, then "S <override>" when an override is set. */
    void UpdateFromIni(const FString& SectionName);
    /** The host's configuration delegate, when bound. */
    void UpdateFromDelegate(const FString& SectionName);

    const FServicePermissionsZor* GetServicePermissionsById(const FString& Id) const;
    const FServicePermissionsZor* GetServicePermissionsByName(const FString& Name) const;

    /** Process-wide delegate host code binds to rewrite any service's configuration after the ini layers. */
    static FOnZorConfiguration& GetZorConfigurationDelegate();
    /** Process-wide delegate giving the override (environment) name; wins over the command line. */
    static FOnZorConfigOverride& GetZorConfigOverrideDelegate();

    FString ConfigOverride;
    FString EnvironmentDisplayName;
    bool bProductionEnvironment = false;
    FString Protocol = DefaultProtocol;
    FString Domain = DefaultDomain;
    FString ServiceName;
    FString GameName;
    FString EngineName = DefaultEngineName;
    TArray<FServicePermissionsZor> ServicePermissions;

private:
    void UpdateOverride();
    void ReadSection(const FString& SectionName);
    void AddPermissionsFromSection(const FString& SectionName);
};

/**
 * Built-in environment table, shaped as a configuration-delegate callback. The module never binds it; a host
 * may, to point every service at one of the known environments.
 */
void ApplyEnvironmentDefaults(const FString& SectionName, const FString& ConfigOverride,
                              FServiceConfigZor& Config);
