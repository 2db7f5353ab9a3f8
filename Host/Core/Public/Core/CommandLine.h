#pragma once

#include "Core/String.h"

/** The process command line, as one text. Set it once at start-up, before other threads read it. */
class FCommandLine
{
public:
    static void Set(const FString& NewCommandLine);
    /** Valid until the next Set. */
    static const char* Get();
};
