#pragma once

#include "Online/OnlineAsyncTaskManager.h"

class FOnlineSubsystemZor;

/** The subsystem's task manager; it has no periodic work of its own on the task thread. */
class FOnlineAsyncTaskManagerZor : public FOnlineAsyncTaskManager
{
public:
    explicit FOnlineAsyncTaskManagerZor(FOnlineSubsystemZor* InSubsystem) : Subsystem(InSubsystem) {}

    void OnlineTick() override;
    FOnlineSubsystemZor* GetSubsystem() const { return Subsystem; }

private:
    FOnlineSubsystemZor* Subsystem;
};
