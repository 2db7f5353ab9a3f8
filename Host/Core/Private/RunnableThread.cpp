#include "Core/RunnableThread.h"

#include <algorithm>
#include <climits>
#include <sched.h>
#include <unistd.h>

#include "Core/CoreLogging.h"
#include "Core/PlatformTLS.h"

namespace
{
constexpr int32 MaxOsNameLength = 15;

size_t StackBytesFor(uint32 Requested)
{
    const long PageSize = ::sysconf(_SC_PAGESIZE);
    const size_t Page = PageSize > 0 ? static_cast<size_t>(PageSize) : 4096;
    const size_t AtLeast = std::max<size_t>(Requested, PTHREAD_STACK_MIN);
    return (AtLeast + Page - 1) / Page * Page;
}

void ApplyAffinity(pthread_t Handle, uint64 AffinityMask)
{
    if (AffinityMask == 0)
    {
        return;
    }
    cpu_set_t Cpus;
    CPU_ZERO(&Cpus);
    for (int32 Cpu = 0; Cpu < 64; ++Cpu)
    {
        if (AffinityMask & (uint64(1) << Cpu))
        {
            CPU_SET(Cpu, &Cpus);
        }
    }
    // A mask naming no usable CPU leaves the thread where the system put it.
    pthread_setaffinity_np(Handle, sizeof(Cpus), &Cpus);
}
} // namespace

FRunnableThread::FRunnableThread(FRunnable* InRunnable, const char* InName, EThreadPriority InPriority)
    : Runnable(InRunnable), ThreadName(InName), Priority(InPriority)
{
}

FRunnableThread* FRunnableThread::Create(FRunnable* Runnable, const char* ThreadName, uint32 StackSize,
                                         EThreadPriority Priority, uint64 AffinityMask)
{
    if (!Runnable)
    {
        return nullptr;
    }
    auto* Thread = new FRunnableThread(Runnable, ThreadName, Priority);
    pthread_attr_t Attributes;
    pthread_attr_init(&Attributes);
    const bool bStackOk =
        StackSize == 0 || pthread_attr_setstacksize(&Attributes, StackBytesFor(StackSize)) == 0;
    const bool bCreated = bStackOk && pthread_create(&Thread->Handle, &Attributes, &ThreadEntry, Thread) == 0;
    pthread_attr_destroy(&Attributes);
    if (!bCreated)
    {
        UE_LOG(LogCore, Error, "Could not create thread %s", *Thread->ThreadName);
        delete Thread;
        return nullptr;
    }
    Thread->bJoinable = true;
    ApplyAffinity(Thread->Handle, AffinityMask);
    std::unique_lock Lock(Thread->StartMutex);
    Thread->StartSignal.wait(Lock, [Thread] { return Thread->bStarted; });
    return Thread;
}

FRunnableThread::~FRunnableThread()
{
    Kill(true);
}

void* FRunnableThread::ThreadEntry(void* Self)
{
    static_cast<FRunnableThread*>(Self)->RunOnThread();
    return nullptr;
}

void FRunnableThread::RunOnThread()
{
    pthread_setname_np(pthread_self(), *ThreadName.Left(MaxOsNameLength));
    {
        std::lock_guard Lock(StartMutex);
        ThreadId = FPlatformTLS::GetCurrentThreadId();
        FThreadManager::Get().AddThread(ThreadId, ThreadName);
        bStarted = true;
        StartSignal.notify_all();
    }
    // Run may delete this thread object (then detached); only the runnable is touched from here on.
    FRunnable* const Work = Runnable;
    const uint32 Id = ThreadId;
    if (Work->Init())
    {
        Work->Run();
        Work->Exit();
    }
    FThreadManager::Get().RemoveThread(Id);
}

bool FRunnableThread::Kill(bool bShouldWait)
{
    if (bJoinable)
    {
        Runnable->Stop();
    }
    if (bShouldWait)
    {
        Join();
    }
    return true;
}

void FRunnableThread::WaitForCompletion()
{
    Join();
}

void FRunnableThread::Join()
{
    if (!bJoinable.exchange(false))
    {
        return;
    }
    // A thread that deletes its own thread object cannot wait for itself; it ends on its own.
    if (pthread_equal(pthread_self(), Handle))
    {
        pthread_detach(Handle);
        return;
    }
    pthread_join(Handle, nullptr);
}

FThreadManager& FThreadManager::Get()
{
    // Never destroyed: a detached thread may still be ending while the process tears down its statics.
    static FThreadManager* Instance = new FThreadManager();
    return *Instance;
}

FString FThreadManager::GetThreadName(uint32 ThreadId) const
{
    std::lock_guard Lock(Mutex);
    for (const auto& [Id, Name] : Threads)
    {
        if (Id == ThreadId)
        {
            return Name;
        }
    }
    return FString();
}

void FThreadManager::AddThread(uint32 ThreadId, const FString& Name)
{
    std::lock_guard Lock(Mutex);
    Threads.emplace_back(ThreadId, Name);
}

void FThreadManager::RemoveThread(uint32 ThreadId)
{
    std::lock_guard Lock(Mutex);
    std::erase_if(Threads, [ThreadId](const auto& Entry) { return Entry.first == ThreadId; });
}
