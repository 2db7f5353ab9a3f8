#pragma once

#include <utility>

#include "CoreMinimal.h"
#include "Online/OnlineAsyncTaskManager.h"

/**
 * A task that is done as soon as the task thread takes it and runs OnReturned when the game thread finishes
 * it. Tasks run one at a time in order, so its return tells that every task queued before it has finished.
 */
class FZorMarkerTask : public FOnlineAsyncTask
{
public:
    explicit FZorMarkerTask(TFunction<void()> InOnReturned) : OnReturned(std::move(InOnReturned)) {}
    FString ToString() const override { return "Marker"; }
    bool IsDone() const override { return true; }
    bool WasSuccessful() const override { return true; }
    void TriggerDelegates() override { OnReturned(); }

private:
    TFunction<void()> OnReturned;
};
