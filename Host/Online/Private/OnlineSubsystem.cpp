#include "Online/OnlineSubsystem.h"

#include <atomic>

#include "Core/ModuleManager.h"
#include "Online/OnlineSubsystemModule.h"

DEFINE_LOG_CATEGORY(LogOnline)
DEFINE_LOG_CATEGORY(LogOnlineGame)

namespace
{
std::atomic<ENetMode> HostNetMode{ENetMode::Standalone};
} // namespace

ENetMode GetHostNetMode()
{
    return HostNetMode.load();
}

void SetHostNetMode(ENetMode Mode)
{
    HostNetMode.store(Mode);
}

bool FOnlineSubsystemImpl::IsServer() const
{
    const ENetMode Mode = GetHostNetMode();
    return Mode == ENetMode::DedicatedServer || Mode == ENetMode::ListenServer;
}

bool FOnlineSubsystemImpl::IsDedicated() const
{
    return GetHostNetMode() == ENetMode::DedicatedServer;
}

IOnlineSubsystem* IOnlineSubsystem::Get(const FName& SubsystemName)
{
    auto* Module =
        FModuleManager::Get().GetModulePtr<FOnlineSubsystemModule>(FOnlineSubsystemModule::ModuleName);
    if (!Module)
    {
        Module = &FModuleManager::Get().LoadModuleChecked<FOnlineSubsystemModule>(
            FOnlineSubsystemModule::ModuleName);
    }
    return Module->GetOnlineSubsystem(SubsystemName);
}

const char* ELoginStatus::ToString(Type Status)
{
    switch (Status)
    {
    case NotLoggedIn:
        return "NotLoggedIn";
    case UsingLocalProfile:
        return "UsingLocalProfile";
    case LoggedIn:
        return "LoggedIn";
    }
    return "Unknown";
}
