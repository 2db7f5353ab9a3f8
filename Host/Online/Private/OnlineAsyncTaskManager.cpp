#include "Online/OnlineAsyncTaskManager.h"

#include <chrono>

#include "Core/PlatformTLS.h"

namespace
{
// The task thread wakes at least this often so a running task is ticked without new work arriving.
constexpr std::chrono::milliseconds PollingInterval(5);
} // namespace

FOnlineAsyncTaskManager::FOnlineAsyncTaskManager() = default;

FOnlineAsyncTaskManager::~FOnlineAsyncTaskManager() = default;

void FOnlineAsyncTaskManager::AddToInQueue(FOnlineAsyncTask* Task)
{
    {
        std::lock_guard Guard(QueueMutex);
        InQueue.emplace_back(Task);
    }
    WorkAvailable.notify_one();
}

void FOnlineAsyncTaskManager::AddToOutQueue(FOnlineAsyncItem* Item)
{
    std::lock_guard Guard(QueueMutex);
    OutQueue.emplace_back(Item);
}

void FOnlineAsyncTaskManager::GameTick()
{
    // A handler may shut the owner down, which stops this manager: what is left is disposed of with it.
    while (!bRequestingExit)
    {
        std::unique_ptr<FOnlineAsyncItem> Item;
        {
            std::lock_guard Guard(QueueMutex);
            if (OutQueue.empty())
            {
                return;
            }
            Item = std::move(OutQueue.front());
            OutQueue.pop_front();
        }
        Item->Finalize();
        Item->TriggerDelegates();
    }
}

bool FOnlineAsyncTaskManager::Init()
{
    OnlineThreadId = FPlatformTLS::GetCurrentThreadId();
    return true;
}

uint32 FOnlineAsyncTaskManager::Run()
{
    OnlineThreadId = FPlatformTLS::GetCurrentThreadId();
    while (!bRequestingExit)
    {
        {
            std::unique_lock Lock(QueueMutex);
            WorkAvailable.wait_for(Lock, PollingInterval,
                                   [this] { return bRequestingExit || (!ActiveTask && !InQueue.empty()); });
        }
        if (bRequestingExit)
        {
            break;
        }
        OnlineTick();
        TaskThreadPass();
    }
    return 0;
}

void FOnlineAsyncTaskManager::Stop()
{
    {
        std::lock_guard Guard(QueueMutex);
        bRequestingExit = true;
    }
    WorkAvailable.notify_all();
}

void FOnlineAsyncTaskManager::Exit()
{
    OnlineThreadId = 0;
}

void FOnlineAsyncTaskManager::TaskThreadPass()
{
    if (!ActiveTask)
    {
        std::lock_guard Guard(QueueMutex);
        if (InQueue.empty())
        {
            return;
        }
        ActiveTask = std::move(InQueue.front());
        InQueue.pop_front();
    }
    ActiveTask->Tick();
    if (ActiveTask->IsDone())
    {
        std::lock_guard Guard(QueueMutex);
        OutQueue.push_back(std::move(ActiveTask));
    }
}
