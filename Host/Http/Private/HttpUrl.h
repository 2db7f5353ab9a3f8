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
 * The URL as a log line may show it: its scheme, host and port, then one masked marker for any path, query
 * or fragment. A path may carry a token the host cannot tell from a name, and the caller logs its own masked
 * form. User info is dropped; text that is no absolute URL is masked whole.
 */
FString MaskForLog(const FString& URL);
} // namespace HttpUrl

namespace HttpToken
{
/** An HTTP token (RFC 9110), as header names and verbs must be. */
bool IsToken(const FString& Text);
/** A header value that cannot break the header line: no CR, LF or NUL. */
bool IsSafeHeaderValue(const FString& Text);
} // namespace HttpToken
