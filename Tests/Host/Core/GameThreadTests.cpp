#include <gtest/gtest.h>
#include <thread>

#include "Core/GameThread.h"

TEST(GameThread, OnlyTheThreadThatSetItIsTheGameThread)
{
    FGameThread::Reset();
    EXPECT_FALSE(FGameThread::IsSet());
    EXPECT_FALSE(FGameThread::IsCurrent());

    std::thread([] { FGameThread::SetCurrent(); }).join();
    EXPECT_TRUE(FGameThread::IsSet());
    EXPECT_FALSE(FGameThread::IsCurrent()); // set by another thread

    FGameThread::SetCurrent();
    EXPECT_TRUE(FGameThread::IsCurrent());
    bool bWorkerIsGameThread = true;
    std::thread([&] { bWorkerIsGameThread = FGameThread::IsCurrent(); }).join();
    EXPECT_FALSE(bWorkerIsGameThread);
    FGameThread::Reset();
}
