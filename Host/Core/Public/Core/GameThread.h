#pragma once

#include "Core/Types.h"

/**
 * The one thread that runs the host loop, for the whole process. Whoever runs the loop sets it once before
 * its first frame; everyone else only reads it, from any thread.
 */
class FGameThread
{
public:
    /** Makes the calling thread the game thread. */
    static void SetCurrent();
    static void Reset();
    static bool IsSet();
    /** True on the game thread; false everywhere while none is set. */
    static bool IsCurrent();
};
