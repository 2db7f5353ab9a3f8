#pragma once

#include <ostream>

#include "CoreMinimal.h"

/** Lets GoogleTest show both sides of a failed comparison of texts. */
inline void PrintTo(const FString& Text, std::ostream* Out)
{
    *Out << '"' << *Text << '"';
}
