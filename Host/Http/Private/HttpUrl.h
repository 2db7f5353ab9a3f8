#pragma once

#include <string>
#include <string_view>

#include "CoreMinimal.h"

namespace HttpUrl
{
/** An absolute http or https URL with a non-empty host. */
bool IsValidHttpUrl(const FString& URL);
/**
 * Percent-encodes only the bytes that may never appear in a URL (blank, controls, non-ASCII and "<>\^`{|}),
 * so raw values the services put into paths and queries still go out, and existing escapes stay intact.
 */
std::string EncodeForWire(std::string_view URL);
/**
 * The URL as a log line may show it: user info and every query value masked, and the credential of the
 * request's "Authorization" header masked wherever it appears (a session is ended by its token in the path).
 */
FString MaskForLog(const FString& URL, const TArray<TPair<FString, FString>>& Headers);
} // namespace HttpUrl

namespace HttpToken
{
/** An HTTP token (RFC 9110), as header names and verbs must be. */
bool IsToken(const FString& Text);
/** A header value that cannot break the header line: no CR, LF or NUL. */
bool IsSafeHeaderValue(const FString& Text);
} // namespace HttpToken
