#pragma once

#include "CoreMinimal.h"

/** Logs the size of a file that was read and, when it is text, the start of it, so that a read shows what it
 * got. */
void LogContentStart(const TArray<uint8>& Content);
