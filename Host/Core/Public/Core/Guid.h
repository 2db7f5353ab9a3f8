#pragma once

#include "CoreMinimal.h"

/** A random 128-bit id. */
struct FGuid
{
    uint32 A = 0;
    uint32 B = 0;
    uint32 C = 0;
    uint32 D = 0;

    static FGuid NewGuid();
    bool IsValid() const { return (A | B | C | D) != 0; }
    /** 32 upper-case hexadecimal digits, no separators. */
    FString ToString() const { return FString::Printf("%08X%08X%08X%08X", A, B, C, D); }
};
