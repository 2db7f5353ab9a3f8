#pragma once

#include "CoreMinimal.h"

/**
 * A console line as the host may show it (its echo, the failure summary, an unknown command): each secret
 * argument of its word and the value of each secret key (PASSWORD=, AUTH=, AUTH_JSON=, on any line) shown as
 * ***. A line that holds no secret is shown as typed.
 */
FString MaskConsoleLine(const FString& Line);
