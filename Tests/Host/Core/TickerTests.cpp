#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Core/Array.h"
#include "Core/Ticker.h"

TEST(Ticker, DelegateReturningFalseIsRemoved)
{
    FTSTicker Ticker;
    int32 Calls = 0;
    Ticker.AddTicker(FTickerDelegate::CreateLambda([&](float) { return ++Calls < 2; }));
    for (int32 Frame = 0; Frame < 5; ++Frame)
    {
        Ticker.Tick(0.1f);
    }
    EXPECT_EQ(Calls, 2);
}

TEST(Ticker, DelayedTickerFiresAfterItsDelayWithElapsedTime)
{
    FTSTicker Ticker;
    TArray<float> Elapsed;
    Ticker.AddTicker(FTickerDelegate::CreateLambda(
                         [&](float Seconds)
                         {
                             Elapsed.Add(Seconds);
                             return true;
                         }),
                     1.0f);
    for (int32 Frame = 0; Frame < 12; ++Frame)
    {
        Ticker.Tick(0.25f);
    }
    ASSERT_EQ(Elapsed.Num(), 3);
    EXPECT_FLOAT_EQ(Elapsed[0], 1.0f);
    EXPECT_FLOAT_EQ(Elapsed[1], 1.0f);
}

TEST(Ticker, TickerRemovingItselfAndAnotherDuringTick)
{
    FTSTicker Ticker;
    int32 FirstCalls = 0;
    int32 SecondCalls = 0;
    FDelegateHandle First;
    FDelegateHandle Second;
    First = Ticker.AddTicker(FTickerDelegate::CreateLambda(
        [&](float)
        {
            ++FirstCalls;
            Ticker.RemoveTicker(Second);
            Ticker.RemoveTicker(First);
            return true;
        }));
    Second = Ticker.AddTicker(FTickerDelegate::CreateLambda([&](float) { return ++SecondCalls > 0; }));
    Ticker.Tick(0.1f);
    Ticker.Tick(0.1f);
    EXPECT_EQ(FirstCalls, 1);
    EXPECT_EQ(SecondCalls, 0);
}

TEST(Ticker, TickerAddedDuringTickStartsNextTick)
{
    FTSTicker Ticker;
    int32 AddedCalls = 0;
    Ticker.AddTicker(FTickerDelegate::CreateLambda(
        [&](float)
        {
            Ticker.AddTicker(FTickerDelegate::CreateLambda([&](float) { return ++AddedCalls < 0; }));
            return false;
        }));
    Ticker.Tick(0.1f);
    EXPECT_EQ(AddedCalls, 0);
    Ticker.Tick(0.1f);
    EXPECT_EQ(AddedCalls, 1);
    Ticker.Tick(0.1f);
    EXPECT_EQ(AddedCalls, 1);
}

TEST(Ticker, UnboundDelegateIsNotAdded)
{
    FTSTicker Ticker;
    EXPECT_FALSE(Ticker.AddTicker(FTickerDelegate()).IsValid());
    Ticker.Tick(0.1f);
}

namespace
{
class FCountingObject : public FTickerObjectBase
{
public:
    FCountingObject(FTSTicker& Ticker, int32& InCounter) : FTickerObjectBase(0.0f, Ticker), Counter(InCounter)
    {
    }
    bool Tick(float) override
    {
        ++Counter;
        if (Victim)
        {
            delete Victim;
            Victim = nullptr;
        }
        return true;
    }
    int32& Counter;
    FCountingObject* Victim = nullptr;
};
} // namespace

TEST(TickerObject, TickedWhileAliveAndNotAfterDestructionMidTick)
{
    FTSTicker Ticker;
    int32 KillerTicks = 0;
    int32 VictimTicks = 0;
    auto* Killer = new FCountingObject(Ticker, KillerTicks);
    Killer->Victim = new FCountingObject(Ticker, VictimTicks);
    Ticker.Tick(0.1f);
    Ticker.Tick(0.1f);
    EXPECT_EQ(KillerTicks, 2);
    EXPECT_EQ(VictimTicks, 0);
    delete Killer;
    Ticker.Tick(0.1f);
    EXPECT_EQ(KillerTicks, 2);
}

TEST(Ticker, AddAndRemoveFromAnotherThreadWhileTicking)
{
    FTSTicker Ticker;
    std::atomic<int32> LastCalls{0};
    std::atomic<bool> bDone{false};
    std::thread Other(
        [&]
        {
            for (int32 Round = 0; Round < 500; ++Round)
            {
                Ticker.RemoveTicker(
                    Ticker.AddTicker(FTickerDelegate::CreateLambda([](float) { return true; })));
            }
            Ticker.AddTicker(FTickerDelegate::CreateLambda([&](float) { return ++LastCalls < 0; }));
            bDone = true;
        });
    while (!bDone)
    {
        Ticker.Tick(0.01f);
    }
    Other.join();
    Ticker.Tick(0.01f);
    Ticker.Tick(0.01f);
    EXPECT_EQ(LastCalls, 1);
}
