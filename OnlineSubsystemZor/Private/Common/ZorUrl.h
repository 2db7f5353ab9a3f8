#pragma once

#include "CoreMinimal.h"

/** A placeholder of a URL template (a back quote and a name, as "`id") and its value. */
using FZorUrlValue = TPair<FString, FString>;

/**
 * Builds request URLs so that a value from a player or the service can neither change the path nor add a
 * query parameter, while ordinary values go out byte for byte.
 */
namespace ZorUrl
{
/** Percent-encodes "/", "?", "#", "%", blanks and control characters. */
FString EncodePathValue(const FString& Value);
/** Percent-encodes "&", "#", "%", "+", "?", blanks and control characters. */
FString EncodeQueryValue(const FString& Value);
/**
 * Replaces each placeholder in one pass, so a value is never read as a placeholder again; a value goes in
 * encoded for a path segment before the template's first "?" and for a query value after it. The longest
 * matching name wins.
 */
FString Substitute(const FString& Template, const TArray<FZorUrlValue>& Values,
                   ESearchCase::Type Case = ESearchCase::IgnoreCase);
} // namespace ZorUrl
