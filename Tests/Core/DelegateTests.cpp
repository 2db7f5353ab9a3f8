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
    Event.AddLambda([&](int32) {
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
