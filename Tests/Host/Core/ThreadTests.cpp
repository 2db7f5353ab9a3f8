#include <gtest/gtest.h>

#include <atomic>
#include <pthread.h>

#include "Core/PlatformProcess.h"
#include "Core/PlatformTLS.h"
#include "Core/PlatformTime.h"
#include "Core/RunnableThread.h"

namespace
{
/** Records what the thread saw and runs until stopped. */
class FRecordingRunnable : public FRunnable
{
public:
    bool Init() override
    {
        char Name[32] = {};
        pthread_getname_np(pthread_self(), Name, sizeof(Name));
        SeenName = Name;
        SeenId = FPlatformTLS::GetCurrentThreadId();
        pthread_attr_t Attributes;
        if (pthread_getattr_np(pthread_self(), &Attributes) == 0)
        {
            pthread_attr_getstacksize(&Attributes, &SeenStackSize);
            pthread_attr_destroy(&Attributes);
        }
        Calls += "I";
        return bInitResult;
    }
    uint32 Run() override
    {
        Calls += "R";
        while (!bStopRequested)
        {
            FPlatformProcess::Sleep(0.001f);
        }
        return 0;
    }
    void Stop() override
    {
        ++StopCalls;
        bStopRequested = true;
    }
    void Exit() override { Calls += "E"; }

    bool bInitResult = true;
    std::atomic<bool> bStopRequested{false};
    std::atomic<int32> StopCalls{0};
    FString Calls;
    FString SeenName;
    uint32 SeenId = 0;
    size_t SeenStackSize = 0;
};
} // namespace

TEST(RunnableThread, RunsInitRunExitWithNameIdAndStackSize)
{
    FRecordingRunnable Runnable;
    FRunnableThread* Thread = FRunnableThread::Create(&Runnable, "OnlineAsyncTaskThreadZor 0", 128 * 1024);
    ASSERT_NE(Thread, nullptr);
    const uint32 Id = Thread->GetThreadID();
    EXPECT_NE(Id, 0u);
    EXPECT_NE(Id, FPlatformTLS::GetCurrentThreadId());
    EXPECT_TRUE(Thread->GetThreadName().Equals("OnlineAsyncTaskThreadZor 0"));
    delete Thread; // stops the runnable and waits
    EXPECT_EQ(Runnable.StopCalls, 1);
    EXPECT_TRUE(Runnable.Calls.Equals("IRE"));
    EXPECT_EQ(Runnable.SeenId, Id);
    EXPECT_TRUE(Runnable.SeenName.Equals("OnlineAsyncTask")) << *Runnable.SeenName;
    EXPECT_GE(Runnable.SeenStackSize, 128u * 1024u);
}

TEST(RunnableThread, LargeStackIsHonoured)
{
    FRecordingRunnable Runnable;
    Runnable.bStopRequested = true;
    FRunnableThread* Thread = FRunnableThread::Create(&Runnable, "Big", 16 * 1024 * 1024);
    ASSERT_NE(Thread, nullptr);
    Thread->WaitForCompletion();
    EXPECT_GE(Runnable.SeenStackSize, 16u * 1024u * 1024u);
    delete Thread;
    EXPECT_EQ(Runnable.StopCalls, 0) << "a finished thread is not asked to stop";
}

TEST(RunnableThread, KillWithoutWaitThenDestroyStopsOnceMoreAndJoins)
{
    FRecordingRunnable Runnable;
    FRunnableThread* Thread = FRunnableThread::Create(&Runnable, "KillTest");
    ASSERT_NE(Thread, nullptr);
    EXPECT_TRUE(Thread->Kill(false));
    delete Thread;
    EXPECT_GE(Runnable.StopCalls, 1);
    EXPECT_TRUE(Runnable.Calls.Equals("IRE"));
}

TEST(RunnableThread, FailedInitSkipsRunAndExit)
{
    FRecordingRunnable Runnable;
    Runnable.bInitResult = false;
    FRunnableThread* Thread = FRunnableThread::Create(&Runnable, "InitFails");
    ASSERT_NE(Thread, nullptr);
    Thread->WaitForCompletion();
    EXPECT_TRUE(Runnable.Calls.Equals("I"));
    delete Thread;
}

TEST(RunnableThread, NullRunnableIsRefused)
{
    EXPECT_EQ(FRunnableThread::Create(nullptr, "Nothing"), nullptr);
}

TEST(RunnableThread, ThreadMayDeleteItsOwnThreadObject)
{
    class FSelfDeleting : public FRunnable
    {
    public:
        uint32 Run() override
        {
            while (!Thread.load())
            {
                FPlatformProcess::Sleep(0.001f);
            }
            delete Thread.load();
            return 0;
        }
        void Exit() override { bDone = true; }
        std::atomic<FRunnableThread*> Thread{nullptr};
        std::atomic<bool> bDone{false};
    };
    FSelfDeleting Runnable;
    Runnable.Thread = FRunnableThread::Create(&Runnable, "SelfDelete");
    const double Deadline = FPlatformTime::Seconds() + 5.0;
    while (!Runnable.bDone && FPlatformTime::Seconds() < Deadline)
    {
        FPlatformProcess::Sleep(0.001f);
    }
    EXPECT_TRUE(Runnable.bDone);
}

TEST(PlatformTime, IsMonotonicAndSleepWaits)
{
    const double Start = FPlatformTime::Seconds();
    FPlatformProcess::Sleep(0.02f);
    EXPECT_GE(FPlatformTime::Seconds() - Start, 0.019);
    FPlatformProcess::Sleep(-1.0f);
}
