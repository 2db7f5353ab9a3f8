#pragma once

#include "Core/ModuleManager.h"
#include "Online/OnlineSubsystem.h"

/** Creates the "ZOR" subsystem when the engine asks for it, unless it is disabled. */
class FOnlineFactoryZor : public IOnlineFactory
{
public:
    IOnlineSubsystemPtr CreateSubsystem(FName InstanceName) override;

    /** The ini switch bEnabled of section OnlineSubsystemZor, unless the command line holds NOZOR. */
    static bool IsEnabled();
};

/** The module: registers the factory under "ZOR" while it is loaded. */
class FOnlineSubsystemZorModule : public IModuleInterface
{
public:
    ~FOnlineSubsystemZorModule() override;

    void StartupModule() override;
    void ShutdownModule() override;
    bool SupportsDynamicReloading() override { return false; }
    bool SupportsAutomaticShutdown() override { return false; }
    bool IsGameModule() const override { return false; }

private:
    TUniquePtr<FOnlineFactoryZor> Factory;
};
