#pragma once

#include "Core/Exec.h"
#include "Core/ModuleManager.h"
#include "Online/OnlineSubsystem.h"

/**
 * The engine's online-subsystem module: keeps the factories of the online services by name and the
 * subsystems they created, and routes "ONLINE [SUB=Name] ..." console commands to a subsystem's Exec.
 */
class FOnlineSubsystemModule : public IModuleInterface, public FSelfRegisteringExec
{
public:
    static constexpr const char* ModuleName = "OnlineSubsystem";
    static constexpr const char* DefaultInstanceName = "default";

    void ShutdownModule() override;
    bool SupportsDynamicReloading() override { return false; }

    void RegisterPlatformService(const FName& ServiceName, IOnlineFactory* Factory);
    /** Shuts down and releases that service's subsystems, then forgets its factory. */
    void UnregisterPlatformService(const FName& ServiceName);

    /** The named subsystem's default instance, created through its factory on first use. */
    IOnlineSubsystem* GetOnlineSubsystem(const FName& ServiceName);
    bool IsOnlineSubsystemLoaded(const FName& ServiceName) const;
    /** Shuts down and releases every subsystem. */
    void ShutdownOnlineSubsystem();

    bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar) override;

private:
    void DestroySubsystems(const FName& ServiceName);

    TMap<FName, IOnlineFactory*> Factories;
    TMap<FName, IOnlineSubsystemPtr> Subsystems;
};
