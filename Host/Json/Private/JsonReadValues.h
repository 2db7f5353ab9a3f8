#pragma once

#include <cmath>
#include <string_view>

#include "Json/JsonValue.h"

/** What both reading roads build scalars with. */
namespace JsonPrivate
{
/** Null, true, false and small whole numbers cannot change, so every tree shares one value of each. */
const TSharedPtr<FJsonValue>& SharedNull();
const TSharedPtr<FJsonValue>& SharedBool(bool bValue);
/** A number value, shared for the whole numbers below SharedNumberCount. */
TSharedPtr<FJsonValue> MakeNumber(double Value);
/** Whole numbers from 0 up to this are shared. */
constexpr int32 SharedNumberCount = 256;

/** Whether MakeNumber gives Value as a shared value. */
inline bool IsSharedNumber(double Value)
{
    // -0.0 passes the range test but must keep its sign.
    return Value >= 0.0 && Value < SharedNumberCount && !std::signbit(Value) && std::trunc(Value) == Value;
}

/**
 * The number a token (trailing blanks allowed) stands for, correctly rounded. Valid JSON beyond the range of
 * a double saturates: too large reads as the largest finite value of its sign, too small as zero of its sign.
 * False for a token that is not a JSON number.
 */
bool ConvertNumber(std::string_view Token, double& OutValue);
} // namespace JsonPrivate
