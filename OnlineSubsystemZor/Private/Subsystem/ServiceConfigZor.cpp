#include "Subsystem/ServiceConfigZor.h"

#include "Core/CommandLine.h"
#include "Core/Config.h"
#include "Core/Parse.h"

const FString FServicePermissionsZor::DefaultClient("Client");
const FString FServicePermissionsZor::DefaultPurchaseClient("PurchaseClient");
const FString FServicePermissionsZor::DefaultServer("DedicatedServer");

const FString FServiceConfigZor::DefaultProtocol("http");
const FString FServiceConfigZor::DefaultDomain("127.0.0.1:8080");
const FString FServiceConfigZor::DefaultEngineName("KGN");

namespace
{
const char* const ConfigSectionKeys[] = {"Protocol", "Domain", "EngineName", "ServiceName", "GameName"};
} // namespace

bool FServicePermissionsZor::ParseConfig(const FString& Text)
{
    return FParse::Value(*Text, "Name=", Name) && FParse::Value(*Text, "Id=", Id) &&
           FParse::Value(*Text, "Key=", Key);
}

void FServiceConfigZor::UpdateFromIni(const FString& SectionName)
{
    UpdateOverride();
    ReadSection(SectionName);
    if (!ConfigOverride.IsEmpty())
    {
        ReadSection(SectionName + " " + ConfigOverride);
    }
}

void FServiceConfigZor::ReadSection(const FString& SectionName)
{
    FString* const Fields[] = {&Protocol, &Domain, &EngineName, &ServiceName, &GameName};
    for (int32 Index = 0; Index < 5; ++Index)
    {
        GConfig->GetString(*SectionName, ConfigSectionKeys[Index], *Fields[Index], GEngineIni);
    }
    AddPermissionsFromSection(SectionName);
}

void FServiceConfigZor::AddPermissionsFromSection(const FString& SectionName)
{
    TArray<FString> Lines;
    GConfig->GetArray(*SectionName, "ServicePermissions", Lines, GEngineIni);
    for (const FString& Line : Lines)
    {
        FServicePermissionsZor Permissions;
        if (Permissions.ParseConfig(Line) && !ServicePermissions.Contains(Permissions))
        {
            ServicePermissions.Add(Permissions);
        }
    }
}

void FServiceConfigZor::UpdateFromDelegate(const FString& SectionName)
{
    FOnZorConfiguration& Delegate = GetZorConfigurationDelegate();
    if (!Delegate.IsBound())
    {
        return;
    }
    UpdateOverride();
    Delegate.Execute(SectionName, ConfigOverride, *this);
}

void FServiceConfigZor::UpdateOverride()
{
    FOnZorConfigOverride& Delegate = GetZorConfigOverrideDelegate();
    if (Delegate.IsBound())
    {
        ConfigOverride = Delegate.Execute();
        return;
    }
    FString FromCommandLine;
    if (FParse::Value(FCommandLine::Get(), "ZORCONFIG=", FromCommandLine))
    {
        ConfigOverride = FromCommandLine;
    }
}

const FServicePermissionsZor* FServiceConfigZor::GetServicePermissionsById(const FString& Id) const
{
    return ServicePermissions.FindByPredicate([&Id](const FServicePermissionsZor& P) { return P.Id == Id; });
}

const FServicePermissionsZor* FServiceConfigZor::GetServicePermissionsByName(const FString& Name) const
{
    return ServicePermissions.FindByPredicate([&Name](const FServicePermissionsZor& P)
                                              { return P.Name == Name; });
}

FOnZorConfiguration& FServiceConfigZor::GetZorConfigurationDelegate()
{
    static FOnZorConfiguration Delegate;
    return Delegate;
}

FOnZorConfigOverride& FServiceConfigZor::GetZorConfigOverrideDelegate()
{
    static FOnZorConfigOverride Delegate;
    return Delegate;
}
