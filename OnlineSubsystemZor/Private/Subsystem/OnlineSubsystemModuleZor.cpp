#include "Subsystem/OnlineSubsystemModuleZor.h"

#include "Core/CommandLine.h"
#include "Core/Config.h"
#include "Core/Parse.h"
#include "Online/OnlineSubsystemModule.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/OnlineSubsystemZorModule.h"

extern "C" IModuleInterface* InitializeModule()
{
    return new FOnlineSubsystemZorModule();
}

IOnlineSubsystemPtr FOnlineFactoryZor::CreateSubsystem(FName InstanceName)
{
    auto Subsystem = MakeShared<FOnlineSubsystemZor>(InstanceName);
    if (!IsEnabled())
    {
        UE_LOG_ONLINE(Warning, "Zor API disabled!");
        Subsystem->Shutdown();
        return nullptr;
    }
    if (!Subsystem->Init())
    {
        UE_LOG_ONLINE(Warning, "Zor API failed to initialize!");
        Subsystem->Shutdown();
        return nullptr;
    }
    return Subsystem;
}

bool FOnlineFactoryZor::IsEnabled()
{
    bool bEnabled = false;
    GConfig->GetBool("OnlineSubsystemZor", "bEnabled", bEnabled, GEngineIni);
    return bEnabled && !FParse::Param(FCommandLine::Get(), "NOZOR");
}

FOnlineSubsystemZorModule::~FOnlineSubsystemZorModule() = default;

void FOnlineSubsystemZorModule::StartupModule()
{
    UE_LOG_ONLINE(Log, "Zor Startup!");
    Factory = MakeUnique<FOnlineFactoryZor>();
    FModuleManager::Get()
        .LoadModuleChecked<FOnlineSubsystemModule>(FOnlineSubsystemModule::ModuleName)
        .RegisterPlatformService(FOnlineSubsystemZor::ServiceName, Factory.get());
}

void FOnlineSubsystemZorModule::ShutdownModule()
{
    UE_LOG_ONLINE(Log, "Zor Shutdown!");
    if (auto* OnlineModule =
            FModuleManager::Get().GetModulePtr<FOnlineSubsystemModule>(FOnlineSubsystemModule::ModuleName))
    {
        OnlineModule->UnregisterPlatformService(FOnlineSubsystemZor::ServiceName);
    }
    Factory.reset();
}
