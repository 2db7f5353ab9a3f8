#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "HttpModule.h"

namespace HttpTest
{
/** Ticks the module until Condition holds; the deadline only keeps a broken test from hanging. */
inline bool TickUntil(const std::function<bool()>& Condition,
                      std::chrono::milliseconds Deadline = std::chrono::seconds(20))
{
    const auto GiveUp = std::chrono::steady_clock::now() + Deadline;
    while (!Condition())
    {
        if (std::chrono::steady_clock::now() > GiveUp)
        {
            return false;
        }
        FHttpModule::Get().Tick(0.01f);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/** Counts the completions of one request and keeps the last one's arguments. */
struct FCompletionLog
{
    int32 Count = 0;
    bool bConnected = false;
    FHttpResponsePtr Response;
    FHttpRequestPtr Request;

    void Watch(const FHttpRequestRef& InRequest)
    {
        InRequest->OnProcessRequestComplete().BindLambda(
            [this](FHttpRequestPtr Completed, FHttpResponsePtr InResponse, bool bInConnected)
            {
                ++Count;
                Request = Completed;
                Response = InResponse;
                bConnected = bInConnected;
            });
    }
    bool Done() const { return Count > 0; }
};
} // namespace HttpTest
