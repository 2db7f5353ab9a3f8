#pragma once

#include <string_view>

#include "Json/JsonValue.h"

/** What both reading roads build scalars with. */
namespace JsonPrivate
{
/** Null, true, false and small whole numbers cannot change, so every tree shares one value of each. */
const TSharedPtr<FJsonValue>& SharedNull();
const TSharedPtr<FJsonValue>& SharedBool(bool bValue);
/** A number value; whole numbers 0 to 255 are shared. */
TSharedPtr<FJsonValue> MakeNumber(double Value);
/** Whether MakeNumber gives Value as a shared value. */
bool IsSharedNumber(double Value);

/**
 * The number a token (trailing blanks allowed) stands for, correctly rounded. Valid JSON beyond the range of
 * a double saturates: too large reads as the largest finite value of its sign, too small as zero of its sign.
 * False for a token that is not a JSON number.
 */
bool ConvertNumber(std::string_view Token, double& OutValue);
} // namespace JsonPrivate
