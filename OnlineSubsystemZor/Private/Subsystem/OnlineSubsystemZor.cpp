#include "Subsystem/OnlineSubsystemZor.h"

#include <atomic>

#include "Core/PlatformTLS.h"
#include "Core/RunnableThread.h"
#include "Online/OnlineVoice.h"
#include "Subsystem/OnlineAsyncTaskManagerZor.h"

const FName FOnlineSubsystemZor::ServiceName("ZOR");

namespace
{
constexpr uint32 TaskThreadStackSize = 128 * 1024;
std::atomic<uint32> TaskThreadCounter{0};
} // namespace

FOnlineSubsystemZor::FOnlineSubsystemZor(const FName& InInstanceName)
    : FOnlineSubsystemImpl(ServiceName, InInstanceName), FTickerObjectBase(0.0f),
      ConstructingThreadId(FPlatformTLS::GetCurrentThreadId())
{
}

FOnlineSubsystemZor::~FOnlineSubsystemZor()
{
    OnlineAsyncTaskThread.reset();
    OnlineAsyncTaskThreadRunnable.reset();
    // Every queued request completes, also when the subsystem goes without a Shutdown.
    CleanupPendingRequests();
    ReleaseServices();
}

IOnlineVoicePtr FOnlineSubsystemZor::GetVoiceInterface() const
{
    return VoiceInterface;
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

void FOnlineSubsystemZor::ReleaseServices()
{
    Services.Empty();
    ServiceSlots.Empty();
    VoiceInterface.Reset();
}

bool FOnlineSubsystemZor::Tick(float DeltaTime)
{
    if (OnlineAsyncTaskThreadRunnable)
    {
        OnlineAsyncTaskThreadRunnable->GameTick();
    }
    // By index, holding each: a handler run by a tick may shut the subsystem down.
    for (int32 Index = 0; Index < Services.Num(); ++Index)
    {
        const TSharedPtr<FBaseServiceZor> Service = Services[Index];
        Service->Tick(DeltaTime);
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
    // Last created first: a service may still lean on identity while it fires its pending events.
    for (int32 Index = Services.Num() - 1; Index >= 0; --Index)
    {
        Services[Index]->Shutdown();
    }
    CleanupPendingRequests();
    ReleaseServices();
    return true;
}

FString FOnlineSubsystemZor::GetAppId() const
{
    const TSharedPtr<FGameServiceZor> GameService = GetZorGameService();
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
