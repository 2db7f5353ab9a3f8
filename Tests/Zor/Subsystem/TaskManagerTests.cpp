#include <atomic>
#include <chrono>

#include "Core/PlatformProcess.h"
#include "Core/PlatformTLS.h"
#include "Online/OnlineAsyncTaskManager.h"
#include "Sessions/OnlineSessionZor.h"
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

namespace
{
/** Done as soon as the task thread takes it; tells when it was taken and whether the game thread finished it.
 */
class FGateTask : public FOnlineAsyncTask
{
public:
    FGateTask(std::atomic<bool>& bInTaken, bool& bInFinished) : bTaken(bInTaken), bFinished(bInFinished) {}
    FString ToString() const override { return "Gate"; }
    void Tick() override { bTaken = true; }
    bool IsDone() const override { return true; }
    bool WasSuccessful() const override { return true; }
    void Finalize() override { bFinished = true; }
    void TriggerDelegates() override { bFinished = true; }

private:
    std::atomic<bool>& bTaken;
    bool& bFinished;
};
} // namespace

TEST_F(FZorSubsystemTest, AHandlerThatShutsDownStopsTheTasksThatFinishedInTheSameFrame)
{
    CreateSubsystem();
    InstallUser();
    const TSharedPtr<FOnlineSessionZor> Sessions = Subsystem->GetZorSessionService();
    bool bCreated = false;
    Sessions->AddOnCreateSessionCompleteDelegate(
        FOnCreateSessionCompleteDelegate::CreateLambda([&bCreated](FName, bool bOk) { bCreated = bOk; }));
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 4;
    ASSERT_TRUE(Sessions->CreateSession(0, "Game", Settings));
    ASSERT_TRUE(PumpUntil([this] { return FindPending("/api/matchmaking/session") != nullptr; }));
    Answer("/api/matchmaking/session", 200, R"({"id":"s1"})");
    ASSERT_TRUE(PumpUntil([&bCreated] { return bCreated; }));

    TArray<FString> Heard;
    Sessions->AddOnRegisterPlayersCompleteDelegate(FOnRegisterPlayersCompleteDelegate::CreateLambda(
        [this, &Heard](FName, const TArray<FUniqueNetIdRef>& Players, bool bOk)
        {
            Heard.Add(FString::Printf("%s:%d", *Players[0]->ToString(), bOk));
            Subsystem->Shutdown();
        }));
    // On a client neither sends anything: both are done as soon as the task thread takes them, and the gate
    // queued after them tells that both wait for the game thread.
    ASSERT_TRUE(Sessions->RegisterPlayer("Game", FUniqueNetIdString("first"), false));
    ASSERT_TRUE(Sessions->RegisterPlayer("Game", FUniqueNetIdString("second"), false));
    std::atomic<bool> bGateTaken{false};
    bool bGateFinished = false;
    Subsystem->QueueAsyncTask(new FGateTask(bGateTaken, bGateFinished));
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!bGateTaken && std::chrono::steady_clock::now() < Deadline)
    {
        FPlatformProcess::Sleep(0.001f);
    }
    ASSERT_TRUE(bGateTaken);
    const int32 Started = Http().NumStarted();

    Tick(3);
    // The second is abandoned by the shutdown, once, and never finished after it.
    EXPECT_EQ(FString::Join(Heard, ","), FString("first:1,second:0"));
    EXPECT_FALSE(bGateFinished);
    EXPECT_EQ(Http().NumStarted(), Started);
}
