#pragma once

#include <initializer_list>

#include "CoreMinimal.h"

/**
 * Fills a path template's placeholders (a back quote and a word) in one pass, so a value can never bring in
 * another placeholder. Values are percent-encoded where they would change the request: "/ ? # %" in the
 * path, "& # % +" in the query, blanks and control characters in both.
 */
class FZorCloudUrl
{
public:
    struct FValue
    {
        /** The word after the back quote. */
        const char* Name;
        FString Value;
    };

    /** Longer names must come first when one begins with another. */
    static FString Fill(const FString& Template, std::initializer_list<FValue> Values,
                        ESearchCase::Type Case = ESearchCase::IgnoreCase);
    static FString Encode(const FString& Value, bool bInQuery);
};
