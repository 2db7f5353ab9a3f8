#pragma once

#include "Core/Types.h"

class FPlatformTLS
{
public:
    /** The operating system's id of the calling thread; no two live threads share one. */
    static uint32 GetCurrentThreadId();
};
