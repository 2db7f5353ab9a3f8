#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"

/** What every exercise driver's log lines share. */
namespace ZorTestDriverLog
{
inline const char* ToResult(bool bWasSuccessful)
{
    return bWasSuccessful ? "true" : "false";
}

/** Record dumps cost a JSON write each; they are made only when their lines would be written. */
inline bool IsDumpEnabled()
{
    return !LogOnline.IsSuppressed(ELogVerbosity::Log);
}
} // namespace ZorTestDriverLog
