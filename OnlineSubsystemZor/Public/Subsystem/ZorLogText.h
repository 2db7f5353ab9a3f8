#pragma once

#include "CoreMinimal.h"

namespace ZorLogText
{
/**
 * An event's error text as a log line shows it: shaped as logged bodies are (secret keys masked whatever
 * their JSON type, controls and bytes that are not UTF-8 escaped, cut to a bounded length). Events keep the
 * whole text for the game; the drivers and the console host print it through this.
 */
FString Error(const FString& Text);
} // namespace ZorLogText
