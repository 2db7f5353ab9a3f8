#include <atomic>

#include "Core/PlatformProcess.h"
#include "Core/PlatformTLS.h"
#include "Online/OnlineAsyncTaskManager.h"
#include "ZorSubsystemTest.h"

namespace
{
/** Runs three passes on the task thread, then reports on the game thread. */
class FCountingTask : public FOnlineAsyncTaskBasic<FOnlineSubsystemZor>
{
public:
    FCountingTask(FOnlineSubsystemZor* InSubsystem, std::atomic<uint32>& InTaskThread,
                  TArray<FString>& InSteps)
        : FOnlineAsyncTaskBasic(InSubsystem), TaskThread(InTaskThread), Steps(InSteps)
    {
    }
    FString ToString() const override { return "FCountingTask"; }
    void Tick() override
    {
        TaskThread = FPlatformTLS::GetCurrentThreadId();
        if (++Passes == 3)
        {
            bWasSuccessful = true;
            bIsComplete = true;
        }
    }
    void Finalize() override { Steps.Add(FString::Printf("finalize:%d", Passes)); }
    void TriggerDelegates() override { Steps.Add("delegates"); }

private:
    int32 Passes = 0;
    std::atomic<uint32>& TaskThread;
    TArray<FString>& Steps;
};
} // namespace

TEST_F(FZorSubsystemTest, TasksRunOnTheTaskThreadAndFinishOnTheGameThread)
{
    CreateSubsystem();
    std::atomic<uint32> TaskThread{0};
    TArray<FString> Steps;
    Subsystem->QueueAsyncTask(new FCountingTask(Subsystem.Get(), TaskThread, Steps));
    for (int32 Attempt = 0; Attempt < 2000 && Steps.IsEmpty(); ++Attempt)
    {
        FPlatformProcess::Sleep(0.001f);
        Tick();
    }
    ASSERT_EQ(Steps.Num(), 2);
    EXPECT_TRUE(Steps[0].Equals("finalize:3"));
    EXPECT_TRUE(Steps[1].Equals("delegates"));
    EXPECT_NE(TaskThread.load(), FPlatformTLS::GetCurrentThreadId());
}

TEST_F(FZorSubsystemTest, TasksStillQueuedAtShutdownAreDisposedOfWithoutReporting)
{
    CreateSubsystem();
    std::atomic<uint32> TaskThread{0};
    TArray<FString> Steps;
    Subsystem->Shutdown();
    Subsystem->QueueAsyncTask(new FCountingTask(Subsystem.Get(), TaskThread, Steps));
    Tick(3);
    EXPECT_TRUE(Steps.IsEmpty());
    EXPECT_TRUE(Log.Contains("No task thread, dropping task FCountingTask"));
}
