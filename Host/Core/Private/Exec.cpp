#include "Core/Exec.h"

#include <mutex>
#include <vector>

DEFINE_LOG_CATEGORY(LogExec)

namespace
{
class FOutputDeviceLog : public FOutputDevice
{
public:
    void Log(const FString& Text) override { UE_LOG(LogExec, Log, "%s", *Text); }
};

struct FExecRegistry
{
    std::mutex Mutex;
    std::vector<FSelfRegisteringExec*> Handlers;
};

FExecRegistry& Registry()
{
    static FExecRegistry* Instance =
        new FExecRegistry(); // outlives handlers destroyed during static teardown
    return *Instance;
}

FOutputDeviceLog GLogDevice;
UEngine GEngineInstance;
} // namespace

FOutputDevice* GLog = &GLogDevice;
UEngine* GEngine = &GEngineInstance;

FSelfRegisteringExec::FSelfRegisteringExec()
{
    std::lock_guard Guard(Registry().Mutex);
    Registry().Handlers.push_back(this);
}

FSelfRegisteringExec::~FSelfRegisteringExec()
{
    std::lock_guard Guard(Registry().Mutex);
    std::erase(Registry().Handlers, this);
}

bool FSelfRegisteringExec::StaticExec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar)
{
    std::vector<FSelfRegisteringExec*> Snapshot;
    {
        std::lock_guard Guard(Registry().Mutex);
        Snapshot = Registry().Handlers;
    }
    for (FSelfRegisteringExec* Handler : Snapshot)
    {
        bool bStillRegistered;
        {
            std::lock_guard Guard(Registry().Mutex);
            bStillRegistered = std::find(Registry().Handlers.begin(), Registry().Handlers.end(), Handler) !=
                               Registry().Handlers.end();
        }
        if (bStillRegistered && Handler->Exec(World, Cmd, Ar))
        {
            return true;
        }
    }
    return false;
}

bool UEngine::Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar)
{
    return FSelfRegisteringExec::StaticExec(World, Cmd, Ar);
}
