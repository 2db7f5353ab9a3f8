#pragma once

#include "CoreMinimal.h"
#include "Subsystem/ZorWorkOwner.h"

/**
 * Runs an exercise driver's steps one after another. A step answered inside its own call (a refusal, or any
 * call after shutdown) is followed from this loop rather than from inside its event, so a chain of any length
 * holds one stack frame. No step starts once the login or the subsystem run the driver began under has ended.
 */
class FZorDriverSteps
{
public:
    /** Whom the steps are for; taken when the driver starts. */
    void SetOwner(const FZorWorkOwner& InOwner) { Owner = InOwner; }
    /**
     * Starts steps until one waits for its answer and returns true, or returns false once StartStep finds
     * none left. Called again from the event of the step being started, it only tells the loop to go on.
     */
    bool Run(const TFunction<bool()>& StartStep);

private:
    /** False, with a line, once the owner has ended: a handler logged out, logged in again or shut down. */
    bool OwnerHolds() const;

    FZorWorkOwner Owner;
    bool bRunning = false;
    bool bAnsweredInside = false;
};
