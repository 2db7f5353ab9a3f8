#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <utility>
#include <vector>

#include "Core/Runnable.h"
#include "Core/String.h"
#include "Core/Types.h"

enum EThreadPriority
{
    TPri_Normal,
    TPri_AboveNormal,
    TPri_BelowNormal,
    TPri_Highest,
    TPri_Lowest,
};

/**
 * A real operating-system thread running one FRunnable. Deleting it stops the runnable and waits for the
 * thread. The runnable is not owned and must outlive the thread object.
 */
class FRunnableThread
{
public:
    /**
     * Starts the thread. StackSize 0 takes the system default; otherwise the stack has at least that many
     * bytes. The name is given to the operating system cut to 15 characters. Every thread runs at the
     * process's normal priority (raising it needs privileges); AffinityMask, when not 0, selects CPUs by bit.
     * Null on failure.
     */
    static FRunnableThread* Create(FRunnable* Runnable, const char* ThreadName, uint32 StackSize = 0,
                                   EThreadPriority Priority = TPri_Normal, uint64 AffinityMask = 0);

    ~FRunnableThread();
    FRunnableThread(const FRunnableThread&) = delete;
    FRunnableThread& operator=(const FRunnableThread&) = delete;

    /** Calls the runnable's Stop, then waits for the thread to end when bShouldWait. */
    bool Kill(bool bShouldWait = true);
    /** Waits for the thread to end without asking it to stop. */
    void WaitForCompletion();

    /** The id FPlatformTLS::GetCurrentThreadId() gives on this thread. */
    uint32 GetThreadID() const { return ThreadId; }
    const FString& GetThreadName() const { return ThreadName; }
    EThreadPriority GetThreadPriority() const { return Priority; }

private:
    FRunnableThread(FRunnable* InRunnable, const char* InName, EThreadPriority InPriority);
    static void* ThreadEntry(void* Self);
    void RunOnThread();
    void Join();

    FRunnable* Runnable;
    FString ThreadName;
    EThreadPriority Priority;
    pthread_t Handle{};
    uint32 ThreadId = 0;
    std::mutex StartMutex;
    std::condition_variable StartSignal;
    bool bStarted = false;
    std::atomic<bool> bJoinable{false};
};

/** The names of the running threads started through FRunnableThread, by thread id. Thread-safe. */
class FThreadManager
{
public:
    static FThreadManager& Get();
    /** The name of a running thread; empty when no such thread runs. */
    FString GetThreadName(uint32 ThreadId) const;

private:
    friend class FRunnableThread;
    void AddThread(uint32 ThreadId, const FString& Name);
    void RemoveThread(uint32 ThreadId);

    mutable std::mutex Mutex;
    std::vector<std::pair<uint32, FString>> Threads;
};
