#include "Subsystem/OnlineSubsystemZor.h"

#include <atomic>

#include "Core/PlatformTLS.h"
#include "Core/RunnableThread.h"
#include "Online/OnlineVoice.h"
#include "Subsystem/OnlineAsyncTaskManagerZor.h"
#include "Identity/OnlineIdentityZor.h"

const FName FOnlineSubsystemZor::ServiceName("ZOR");

namespace
{
constexpr uint32 TaskThreadStackSize = 128 * 1024;
std::atomic<uint32> TaskThreadCounter{0};
} // namespace

FOnlineSubsystemZor::FOnlineSubsystemZor(const FName& InInstanceName)
    : FOnlineSubsystemImpl(ServiceName, InInstanceName), FTickerObjectBase(0.0f),
      GameThreadId(FPlatformTLS::GetCurrentThreadId())
{
}

FOnlineSubsystemZor::~FOnlineSubsystemZor()
{
    OnlineAsyncTaskThread.reset();
    OnlineAsyncTaskThreadRunnable.reset();
    // Every queued request completes, also when the subsystem goes without a Shutdown.
    CleanupPendingRequests();
    Services.Empty();
    ReleaseServices();
}

IOnlineVoicePtr FOnlineSubsystemZor::GetVoiceInterface() const
{
    return VoiceInterface;
}

IOnlineIdentityPtr FOnlineSubsystemZor::GetIdentityInterface() const
{
    return IdentityService;
}

bool FOnlineSubsystemZor::Init()
{
    OnlineAsyncTaskThreadRunnable = MakeUnique<FOnlineAsyncTaskManagerZor>(this);
    const FString ThreadName = FString::Printf("OnlineAsyncTaskThreadZor %u", TaskThreadCounter++);
    OnlineAsyncTaskThread.reset(FRunnableThread::Create(OnlineAsyncTaskThreadRunnable.get(), *ThreadName,
                                                        TaskThreadStackSize, TPri_Normal));
    if (OnlineAsyncTaskThread)
    {
        UE_LOG_ONLINE(Verbose, "Created thread (ID:%d).",
                      static_cast<int32>(OnlineAsyncTaskThread->GetThreadID()));
    }
    CreateServices();

    VoiceInterface = MakeShared<FOnlineVoiceImpl>(this);
    if (!VoiceInterface->Init())
    {
        VoiceInterface.Reset();
    }
    return true;
}

void FOnlineSubsystemZor::CreateServices()
{
    // Creation order is initialisation order; each service reads its configuration as it is initialised.
    GameService = InitService(MakeShared<FGameServiceZor>(this, FString()).ToSharedPtr());
    IdentityService = InitService(MakeShared<FOnlineIdentityZor>(this).ToSharedPtr());
}

void FOnlineSubsystemZor::ReleaseServices()
{
    GameService.Reset();
    IdentityService.Reset();
    VoiceInterface.Reset();
}

bool FOnlineSubsystemZor::Tick(float DeltaTime)
{
    if (OnlineAsyncTaskThreadRunnable)
    {
        OnlineAsyncTaskThreadRunnable->GameTick();
    }
    if (IdentityService)
    {
        IdentityService->Tick(DeltaTime);
    }
    if (VoiceInterface)
    {
        VoiceInterface->Tick(DeltaTime);
    }
    TickClientRequests(DeltaTime);
    TickUserRequests(DeltaTime);
    return true;
}

bool FOnlineSubsystemZor::Shutdown()
{
    UE_LOG_ONLINE(Display, "FOnlineSubsystemZor::Shutdown()");
    OnlineAsyncTaskThread.reset();
    OnlineAsyncTaskThreadRunnable.reset();
    if (IdentityService)
    {
        IdentityService->Shutdown();
    }
    CleanupPendingRequests();
    Services.Empty();
    ReleaseServices();
    return true;
}

FString FOnlineSubsystemZor::GetAppId() const
{
    if (!GameService)
    {
        return FString();
    }
    const FServiceConfigZor& Config = GameService->GetZorConfiguration();
    if (IsServer())
    {
        const FServicePermissionsZor* Server =
            Config.GetServicePermissionsByName(FServicePermissionsZor::DefaultServer);
        if (Server && !Server->Id.IsEmpty())
        {
            return Server->Id;
        }
    }
    const FServicePermissionsZor* Client =
        Config.GetServicePermissionsByName(FServicePermissionsZor::DefaultClient);
    return Client ? Client->Id : FString();
}

void FOnlineSubsystemZor::UpdateServiceConfig()
{
    for (const TSharedPtr<FBaseServiceZor>& Service : Services)
    {
        Service->UpdateServiceConfig();
    }
}

void FOnlineSubsystemZor::QueueAsyncTask(FOnlineAsyncTask* Task)
{
    if (!OnlineAsyncTaskThreadRunnable)
    {
        UE_LOG_ONLINE(Warning, "No task thread, dropping task %s", *Task->ToString());
        delete Task;
        return;
    }
    OnlineAsyncTaskThreadRunnable->AddToInQueue(Task);
}
