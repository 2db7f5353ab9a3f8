#pragma once

#include "CoreMinimal.h"

/**
 * Runs an exercise driver's steps one after another. A step answered inside its own call (a refusal, or any
 * call after shutdown) is followed from this loop rather than from inside its event, so a chain of any length
 * holds one stack frame.
 */
class FZorDriverSteps
{
public:
    /**
     * Starts steps until one waits for its answer and returns true, or returns false once StartStep finds
     * none left. Called again from the event of the step being started, it only tells the loop to go on.
     */
    bool Run(const TFunction<bool()>& StartStep);

private:
    bool bRunning = false;
    bool bAnsweredInside = false;
};
