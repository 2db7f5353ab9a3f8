#pragma once

#include <cmath>
#include <limits>
#include <string_view>

#include "Json/JsonObject.h"

namespace JsonPrivate
{
/** Parses one JSON value of any kind; on failure OutError says why and where. */
bool ParseJson(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError);
/**
 * The same with the step-by-step reader alone, which ParseJson falls back to for what the whole-document
 * reader cannot read as we do, and for every error; the two must build the same trees.
 */
bool ParseJsonStepwise(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError);

/**
 * A new empty object with room for FieldCount fields in the same allocation as the object and its reference
 * counts: one allocation instead of two for every object a parse or a copy makes.
 */
TSharedPtr<FJsonObject> MakeObject(int32 FieldCount);

/** Length of the well-formed UTF-8 sequence (RFC 3629) that starts at Index, or 0 when there is none. */
size_t Utf8SequenceLength(std::string_view Text, size_t Index);
/** True with the offset of the first byte that does not begin a well-formed UTF-8 sequence. */
bool FindInvalidUtf8(std::string_view Text, size_t& OutOffset);

/** Appends the JSON text of a number: "null" for NaN and infinities, which JSON cannot hold. */
void AppendNumber(FString& Out, double Value);
void AppendNumber(FString& Out, float Value);
void AppendInteger(FString& Out, int64 Value);
/** Appends Value as a quoted and escaped JSON string. */
void AppendQuoted(FString& Out, std::string_view Value);

/** 2^digits: one above the largest value of IntType, exact as a double. */
template <typename IntType> double AboveMaxOf()
{
    return std::ldexp(1.0, std::numeric_limits<IntType>::digits);
}

/** Truncates toward zero and clamps to the range of IntType; NaN gives 0. */
template <typename IntType> IntType SaturateToInt(double Value)
{
    using Limits = std::numeric_limits<IntType>;
    if (std::isnan(Value))
    {
        return 0;
    }
    if (Value <= static_cast<double>(Limits::min()))
    {
        return Limits::min();
    }
    if (Value >= AboveMaxOf<IntType>())
    {
        return Limits::max();
    }
    return static_cast<IntType>(Value);
}

/** Clamps to the finite float range, so narrowing never leaves it; NaN stays NaN. */
inline float SaturateToFloat(double Value)
{
    constexpr double Max = std::numeric_limits<float>::max();
    if (Value > Max)
    {
        return std::numeric_limits<float>::max();
    }
    if (Value < -Max)
    {
        return -std::numeric_limits<float>::max();
    }
    return static_cast<float>(Value);
}

/** True with the value when Value is whole and inside the range of IntType. */
template <typename IntType> bool ToWholeNumber(double Value, IntType& Out)
{
    const bool bWhole = std::trunc(Value) == Value;
    if (!bWhole || Value < static_cast<double>(std::numeric_limits<IntType>::min()) ||
        Value >= AboveMaxOf<IntType>())
    {
        return false;
    }
    Out = static_cast<IntType>(Value);
    return true;
}
} // namespace JsonPrivate
