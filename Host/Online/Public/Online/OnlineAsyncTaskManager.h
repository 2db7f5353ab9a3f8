#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "Core/Runnable.h"
#include "CoreMinimal.h"

/** Work handed back to the game thread. */
class FOnlineAsyncItem
{
public:
    virtual ~FOnlineAsyncItem() = default;
    virtual FString ToString() const = 0;
    /** Game thread: applies the outcome to the subsystem's state. */
    virtual void Finalize() {}
    /** Game thread, after Finalize: tells the callers. */
    virtual void TriggerDelegates() {}
};

/** Work that runs on the task thread until done, then returns to the game thread. */
class FOnlineAsyncTask : public FOnlineAsyncItem
{
public:
    virtual bool IsDone() const = 0;
    virtual bool WasSuccessful() const = 0;
    /** Task thread: advances the work; called once per pass until IsDone. */
    virtual void Tick() {}
};

/** A task that belongs to a subsystem of type T and keeps its own completion flags. */
template <typename T> class FOnlineAsyncTaskBasic : public FOnlineAsyncTask
{
public:
    explicit FOnlineAsyncTaskBasic(T* InSubsystem) : Subsystem(InSubsystem) {}
    bool IsDone() const override { return bIsComplete; }
    bool WasSuccessful() const override { return bWasSuccessful; }

protected:
    T* Subsystem;
    std::atomic<bool> bIsComplete{false};
    std::atomic<bool> bWasSuccessful{false};
};

/**
 * Moves tasks from the in-queue to the task thread, one at a time, ticks each there until it is done, and
 * hands it to the game thread, where GameTick finalises it, fires its delegates and deletes it.
 */
class FOnlineAsyncTaskManager : public FRunnable
{
public:
    FOnlineAsyncTaskManager();
    ~FOnlineAsyncTaskManager() override;

    /** Takes ownership of the task. Any thread. */
    void AddToInQueue(FOnlineAsyncTask* Task);
    /** Takes ownership of the item. Any thread. */
    void AddToOutQueue(FOnlineAsyncItem* Item);
    /** Game thread: finishes every item that has come back, until Stop. */
    void GameTick();

    bool Init() override;
    uint32 Run() override;
    void Stop() override;
    void Exit() override;

    /** Task thread, once per pass: the subsystem's own periodic work. */
    virtual void OnlineTick() = 0;

    /** The task thread's id, known once Run has started. */
    uint32 GetOnlineThreadId() const { return OnlineThreadId.load(); }

protected:
    std::atomic<uint32> OnlineThreadId{0};

private:
    void TaskThreadPass();

    std::mutex QueueMutex;
    std::condition_variable WorkAvailable;
    std::deque<std::unique_ptr<FOnlineAsyncTask>> InQueue;
    std::deque<std::unique_ptr<FOnlineAsyncItem>> OutQueue;
    std::unique_ptr<FOnlineAsyncTask> ActiveTask; // task thread only
    std::atomic<bool> bRequestingExit{false};
};
