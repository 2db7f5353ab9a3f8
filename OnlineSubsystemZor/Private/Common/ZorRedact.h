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
/**
 * Text with every echo of each non-empty secret masked, however the echo writes it: raw, percent-encoded
 * (a blank as "%20" or "+", hex in either case, any character left raw), form-encoded, JSON-escaped (any
 * character left raw), or one of these inside the other. The work is linear in the text whatever the secrets.
 */
FString Text(const FString& Text, const TArray<FString>& Secrets);
/**
 * The secrets an "Authorization" value carries: its credential and, for Basic, the decoded "id:secret" and
 * the secret alone.
 */
TArray<FString> Credentials(const FString& Authorization);
/**
 * A request or reply body for a log line: the values of secret keys masked in JSON ("key": "value") and form
 * (key=value) shapes, keys matched in any letter case and with or without separators ("Refresh_Token",
 * "newPassword"), then escaped as log lines are (FLog::Escape, so no NUL cuts it) and cut to MaxLoggedBody.
 */
FString Body(const FString& Body);
} // namespace ZorRedact
