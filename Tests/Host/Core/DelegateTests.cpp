#include <gtest/gtest.h>

#include "CoreMinimal.h"

namespace
{
DECLARE_DELEGATE_TwoParams(FOnTwo, int32, const FString&);
DECLARE_MULTICAST_DELEGATE_OneParam(FOnOne, int32);

class FListener : public TSharedFromThis<FListener>
{
public:
    void OnTwo(int32 Value, const FString& Text, FString Payload)
    {
        Seen += Value;
        LastText = Text + Payload;
    }
    void OnOne(int32 Value) { Seen += Value; }
    int32 Seen = 0;
    FString LastText;
};
} // namespace

TEST(Delegate, PayloadArgumentsFollowTheCallArguments)
{
    auto Listener = MakeShared<FListener>();
    FOnTwo Delegate = FOnTwo::CreateSP(Listener, &FListener::OnTwo, FString("!"));
    EXPECT_TRUE(Delegate.ExecuteIfBound(3, "hi"));
    EXPECT_EQ(Listener->Seen, 3);
    EXPECT_TRUE(Listener->LastText.Equals("hi!"));
}

TEST(Delegate, BindingToDestroyedObjectIsSkipped)
{
    FOnTwo Delegate;
    {
        auto Listener = MakeShared<FListener>();
        Delegate.BindSP(&Listener.Get(), &FListener::OnTwo, FString());
        EXPECT_TRUE(Delegate.IsBound());
    }
    EXPECT_FALSE(Delegate.IsBound());
    EXPECT_FALSE(Delegate.ExecuteIfBound(1, "x"));
}

TEST(MulticastDelegate, BroadcastSurvivesHandlersChangingTheList)
{
    FOnOne Event;
    int32 Calls = 0;
    FDelegateHandle Second;
    Event.AddLambda(
        [&](int32)
        {
            ++Calls;
            Event.Remove(Second);
            Event.AddLambda([&](int32) { Calls += 100; });
        });
    Second = Event.AddLambda([&](int32) { Calls += 10; });
    Event.Broadcast(1);
    EXPECT_EQ(Calls, 1);
    Event.Broadcast(1);
    EXPECT_EQ(Calls, 102);
}

TEST(MulticastDelegate, HandlerThatDestroysItsObjectDoesNotBreakTheBroadcast)
{
    FOnOne Event;
    auto Listener = MakeShared<FListener>();
    TSharedPtr<FListener> Holder = Listener;
    Event.AddLambda([&](int32) { Holder.Reset(); });
    Event.AddSP(&Listener.Get(), &FListener::OnOne);
    TWeakPtr<FListener> Weak = Listener;
    {
        auto Dropped = std::move(Listener);
    }
    Event.Broadcast(5);
    EXPECT_FALSE(Weak.IsValid());
}

namespace
{
DECLARE_DELEGATE_RetVal_OneParam(int32, FOnCompute, int32);

struct FPlainCounter
{
    void Add(int32 Value, int32 Extra) { Total += Value * Extra; }
    int32 Twice(int32 Value) { return Value * 2; }
    int32 Total = 0;
};
} // namespace

TEST(Delegate, RawBindingCarriesPayload)
{
    FPlainCounter Counter;
    TDelegate<void(int32)> Delegate = TDelegate<void(int32)>::CreateRaw(&Counter, &FPlainCounter::Add, 10);
    EXPECT_TRUE(Delegate.ExecuteIfBound(3));
    EXPECT_EQ(Counter.Total, 30);
    EXPECT_TRUE(Delegate.IsBoundToObject(&Counter));
}

TEST(Delegate, RetValUnboundOrOwnerGoneReturnsDefault)
{
    FOnCompute Unbound;
    EXPECT_FALSE(Unbound.IsBound());
    EXPECT_EQ(Unbound.Execute(21), 0);

    FPlainCounter Counter;
    FOnCompute Bound = FOnCompute::CreateRaw(&Counter, &FPlainCounter::Twice);
    EXPECT_EQ(Bound.Execute(21), 42);
    Bound.Unbind();
    EXPECT_EQ(Bound.Execute(21), 0);

    FOnCompute Weak;
    {
        auto Listener = MakeShared<FListener>();
        Weak = FOnCompute::CreateWeakLambda(&Listener.Get(), [](int32 Value) { return Value + 1; });
        EXPECT_EQ(Weak.Execute(1), 2);
    }
    EXPECT_EQ(Weak.Execute(1), 0);
}

TEST(MulticastDelegate, RemoveAllDropsEveryBindingOfThatObjectOnly)
{
    FOnOne Event;
    FPlainCounter First;
    FPlainCounter Second;
    Event.AddRaw(&First, &FPlainCounter::Add, 1);
    Event.AddRaw(&Second, &FPlainCounter::Add, 100);
    Event.AddRaw(&First, &FPlainCounter::Add, 10);
    EXPECT_EQ(Event.RemoveAll(&First), 2);
    EXPECT_FALSE(Event.IsBoundToObject(&First));
    Event.Broadcast(1);
    EXPECT_EQ(First.Total, 0);
    EXPECT_EQ(Second.Total, 100);
}

TEST(MulticastDelegate, RemoveAllDuringBroadcastSkipsTheRemovedLaterBindings)
{
    FOnOne Event;
    FPlainCounter Target;
    Event.AddLambda([&](int32) { Event.RemoveAll(&Target); });
    Event.AddRaw(&Target, &FPlainCounter::Add, 1);
    Event.Broadcast(5);
    EXPECT_EQ(Target.Total, 0);
}
