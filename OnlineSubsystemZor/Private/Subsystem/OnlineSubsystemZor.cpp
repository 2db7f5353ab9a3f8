#include "Subsystem/OnlineSubsystemZor.h"

#include <atomic>

#include "Core/PlatformTLS.h"
#include "Core/RunnableThread.h"
#include "Online/OnlineVoice.h"
#include "Sessions/OnlineSessionZor.h"
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
    // Game code and drivers may still hold services: without a Shutdown their pending operations would end
    // never, and their next calls would reach this object after it is gone.
    Shutdown();
}

IOnlineVoicePtr FOnlineSubsystemZor::GetVoiceInterface() const
{
    return VoiceInterface;
}

FOnlineSubsystemZor::FEventScope::FEventScope(FOnlineSubsystemZor* InSubsystem)
    : Subsystem(InSubsystem), KeepAlive(InSubsystem ? InSubsystem->weak_from_this().lock() : nullptr)
{
    if (Subsystem)
    {
        ++Subsystem->EventScopes;
    }
}

FOnlineSubsystemZor::FEventScope::~FEventScope()
{
    if (!Subsystem || --Subsystem->EventScopes > 0)
    {
        return;
    }
    // Freed here, while the subsystem still lives; KeepAlive may end it right after.
    const TArray<TSharedPtr<void>> Freed = std::move(Subsystem->Released);
    Subsystem->Released.Empty();
}

FOnlineSubsystemZor::FLifecycleStep::FLifecycleStep(FOnlineSubsystemZor& InSubsystem, ELifecycleStep Step)
    : Subsystem(InSubsystem), Outer(InSubsystem.RunningStep)
{
    Subsystem.RunningStep = Step;
}

FOnlineSubsystemZor::FLifecycleStep::~FLifecycleStep()
{
    Subsystem.RunningStep = Outer;
}

bool FOnlineSubsystemZor::Init()
{
    if (RunningStep != ELifecycleStep::None)
    {
        // Half-made or half-released: the running call would free or duplicate what this one creates.
        UE_LOG_ONLINE(Warning, "FOnlineSubsystemZor::Init() called from inside %s; refused.",
                      RunningStep == ELifecycleStep::Init ? "Init()" : "Shutdown()");
        return false;
    }
    if (OnlineAsyncTaskThreadRunnable)
    {
        // A second task manager would replace the first while its thread still runs it.
        UE_LOG_ONLINE(Warning, "FOnlineSubsystemZor::Init() called again without Shutdown(); ignored.");
        return true;
    }
    // A configuration handler may shut the subsystem down or drop the last reference to it.
    const FEventScope Scope(this);
    const FLifecycleStep Step(*this, ELifecycleStep::Init);
    bShutDown = false;
    OnlineAsyncTaskThreadRunnable = MakeShared<FOnlineAsyncTaskManagerZor>(this);
    const FString ThreadName = FString::Printf("OnlineAsyncTaskThreadZor %u", TaskThreadCounter++);
    OnlineAsyncTaskThread.reset(FRunnableThread::Create(OnlineAsyncTaskThreadRunnable.get(), *ThreadName,
                                                        TaskThreadStackSize, TPri_Normal));
    if (OnlineAsyncTaskThread)
    {
        UE_LOG_ONLINE(Verbose, "Created thread (ID:%d).",
                      static_cast<int32>(OnlineAsyncTaskThread->GetThreadID()));
    }
    CreateServices();
    if (bShutDown)
    {
        UE_LOG_ONLINE(Warning, "FOnlineSubsystemZor::Shutdown() called from inside Init(); Init() failed.");
        return false;
    }

    VoiceInterface = MakeShared<FOnlineVoiceImpl>(this);
    if (!VoiceInterface->Init())
    {
        VoiceInterface.Reset();
    }
    return true;
}

void FOnlineSubsystemZor::ReleaseServices()
{
    // Only once every service has shut down: a handler that one service's Shutdown runs may still call
    // another, which reaches this subsystem. Freed when the outermost event scope ends, since a service's
    // code may still be running below the handler that shut the subsystem down.
    for (const FServiceSlot& Slot : ServiceSlots)
    {
        Slot.Service->DetachSubsystem();
        Released.Add(Slot.Service);
    }
    Released.Add(VoiceInterface);
    Services.Empty();
    ServiceSlots.Empty();
    VoiceInterface.Reset();
}

bool FOnlineSubsystemZor::Tick(float DeltaTime)
{
    const FEventScope Scope(this);
    if (OnlineAsyncTaskThreadRunnable)
    {
        OnlineAsyncTaskThreadRunnable->GameTick();
    }
    TickServices(DeltaTime);
    if (bShutDown)
    {
        return true;
    }
    TickClientRequests(DeltaTime);
    if (!bShutDown)
    {
        TickUserRequests(DeltaTime);
    }
    return true;
}

void FOnlineSubsystemZor::TickServices(float DeltaTime)
{
    if (bShutDown)
    {
        return;
    }
    // Sessions tick before the others (identity among them), whatever their place in the creation order.
    const TSharedPtr<FBaseServiceZor> SessionService = GetZorSessionService();
    if (SessionService)
    {
        SessionService->Tick(DeltaTime);
    }
    // By index, holding each, and looking at the flag after each: Shutdown empties the list.
    for (int32 Index = 0; !bShutDown && Index < Services.Num(); ++Index)
    {
        const TSharedPtr<FBaseServiceZor> Service = Services[Index];
        if (Service != SessionService)
        {
            Service->Tick(DeltaTime);
        }
    }
    if (!bShutDown && VoiceInterface)
    {
        VoiceInterface->Tick(DeltaTime);
    }
}

bool FOnlineSubsystemZor::Shutdown()
{
    // Also a Shutdown re-entered from an event that the first one fires.
    if (bShutDown)
    {
        return true;
    }
    // A handler of an event fired below may drop the last reference to this subsystem.
    const FEventScope Scope(this);
    const FLifecycleStep Step(*this, ELifecycleStep::Shutdown);
    UE_LOG_ONLINE(Display, "FOnlineSubsystemZor::Shutdown()");
    bShutDown = true;
    OnlineAsyncTaskThread.reset();
    Released.Add(OnlineAsyncTaskThreadRunnable);
    OnlineAsyncTaskThreadRunnable.Reset();
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
