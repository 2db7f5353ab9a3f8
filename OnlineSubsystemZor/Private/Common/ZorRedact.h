#pragma once

#include "CoreMinimal.h"

/**
 * Keeps secrets (access and refresh tokens, passwords, client secrets, exchange codes) out of log lines at
 * every verbosity: a secret shows at most a short prefix.
 */
namespace ZorRedact
{
/** Longest body a log line carries; the rest is cut. */
constexpr int32 MaxLoggedBody = 1024;

/** The secret's first characters (none for a short one) and a marker. */
FString Secret(const FString& Value);
/** Text with every occurrence of each non-empty secret masked. */
FString Text(const FString& Text, const TArray<FString>& Secrets);
/**
 * A request or reply body for a log line: the values of secret keys masked in JSON ("key": "value") and form
 * (key=value) shapes, then escaped as log lines are (FLog::Escape, so no NUL cuts it) and cut to
 * MaxLoggedBody.
 */
FString Body(const FString& Body);
} // namespace ZorRedact
