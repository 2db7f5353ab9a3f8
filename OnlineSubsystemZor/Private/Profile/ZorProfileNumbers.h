#pragma once

#include <cctype>
#include <cmath>
#include <cstdint>

#include "CoreMinimal.h"

/** Numbers from the service reach the profile saturated: out-of-range values stop at the limits, NaN reads 0.
 */
namespace ZorProfileNumbers
{
inline int64 SaturateToInt64(double Value)
{
    if (std::isnan(Value))
    {
        return 0;
    }
    // 2^63 is exact as a double; everything below it converts without overflow.
    if (Value >= 9223372036854775808.0)
    {
        return INT64_MAX;
    }
    if (Value <= -9223372036854775808.0)
    {
        return INT64_MIN;
    }
    return static_cast<int64>(Value);
}

/** The decimal number at the start of Text (after blanks, with an optional sign); 0 when there is none. */
inline int64 ParseLeadingInt64(const FString& Text)
{
    int32 Position = 0;
    while (Position < Text.Len() && std::isspace(static_cast<unsigned char>(Text[Position])))
    {
        ++Position;
    }
    const bool bNegative = Position < Text.Len() && Text[Position] == '-';
    if (Position < Text.Len() && (Text[Position] == '-' || Text[Position] == '+'))
    {
        ++Position;
    }
    // Accumulated as a negative number, whose range is one larger, then flipped.
    int64 Negated = 0;
    for (; Position < Text.Len() && Text[Position] >= '0' && Text[Position] <= '9'; ++Position)
    {
        const int Digit = Text[Position] - '0';
        if (Negated < (INT64_MIN + Digit) / 10)
        {
            return bNegative ? INT64_MIN : INT64_MAX;
        }
        Negated = Negated * 10 - Digit;
    }
    if (bNegative)
    {
        return Negated;
    }
    return Negated == INT64_MIN ? INT64_MAX : -Negated;
}
} // namespace ZorProfileNumbers
