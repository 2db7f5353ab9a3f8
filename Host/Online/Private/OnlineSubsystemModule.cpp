#include "Online/OnlineSubsystemModule.h"

#include "Core/Parse.h"

namespace
{
// The online-subsystem module is part of the host, so it is always known to the module manager.
const bool bRegistered = []
{
    FModuleManager::Get().RegisterModule(
        FOnlineSubsystemModule::ModuleName,
        [] { return static_cast<IModuleInterface*>(new FOnlineSubsystemModule()); });
    return true;
}();
} // namespace

void FOnlineSubsystemModule::ShutdownModule()
{
    ShutdownOnlineSubsystem();
    Factories.Empty();
}

void FOnlineSubsystemModule::RegisterPlatformService(const FName& ServiceName, IOnlineFactory* Factory)
{
    Factories.Add(ServiceName, Factory);
}

void FOnlineSubsystemModule::UnregisterPlatformService(const FName& ServiceName)
{
    DestroySubsystems(ServiceName);
    Factories.Remove(ServiceName);
}

IOnlineSubsystem* FOnlineSubsystemModule::GetOnlineSubsystem(const FName& ServiceName)
{
    if (IOnlineSubsystemPtr* Existing = Subsystems.Find(ServiceName))
    {
        return Existing->Get();
    }
    IOnlineFactory** Factory = Factories.Find(ServiceName);
    if (!Factory)
    {
        return nullptr;
    }
    IOnlineSubsystemPtr Created = (*Factory)->CreateSubsystem(DefaultInstanceName);
    if (!Created)
    {
        return nullptr;
    }
    Subsystems.Add(ServiceName, Created);
    return Created.Get();
}

bool FOnlineSubsystemModule::IsOnlineSubsystemLoaded(const FName& ServiceName) const
{
    return Subsystems.Contains(ServiceName);
}

void FOnlineSubsystemModule::ShutdownOnlineSubsystem()
{
    TArray<FName> Names;
    Subsystems.GenerateKeyArray(Names);
    for (const FName& Name : Names)
    {
        DestroySubsystems(Name);
    }
}

void FOnlineSubsystemModule::DestroySubsystems(const FName& ServiceName)
{
    IOnlineSubsystemPtr Subsystem;
    if (Subsystems.RemoveAndCopyValue(ServiceName, Subsystem))
    {
        Subsystem->Shutdown();
    }
}

bool FOnlineSubsystemModule::Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar)
{
    if (!FParse::Command(&Cmd, "ONLINE"))
    {
        return false;
    }
    FString ServiceName;
    if (!FParse::Value(Cmd, "SUB=", ServiceName))
    {
        return false;
    }
    // Skip the SUB= token so the subsystem sees only its own command.
    FString Token;
    FParse::Token(Cmd, Token, false);
    IOnlineSubsystem* Subsystem = GetOnlineSubsystem(ServiceName);
    return Subsystem && Subsystem->Exec(World, Cmd, Ar);
}
