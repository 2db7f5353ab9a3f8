#pragma once

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "Core/String.h"

/** Strict readers of values written as text (ini lines, command-line keys): the whole text must be the value.
 */
namespace ValueText
{
inline bool ParseBool(const FString& Text, bool& Out)
{
    if (Text == "true" || Text == "yes" || Text == "on" || Text == "1")
    {
        Out = true;
        return true;
    }
    if (Text == "false" || Text == "no" || Text == "off" || Text == "0")
    {
        Out = false;
        return true;
    }
    return false;
}

/** A whole decimal number in range (finite for floating point), with an optional leading '+'. */
template <typename T> bool ParseNumber(std::string_view Text, T& Out)
{
    if (Text.size() > 1 && Text.front() == '+' && Text[1] != '-')
    {
        Text.remove_prefix(1);
    }
    T Value{};
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Text.empty() || Error != std::errc() || End != Text.data() + Text.size())
    {
        return false;
    }
    if constexpr (std::is_floating_point_v<T>)
    {
        if (!std::isfinite(Value))
        {
            return false;
        }
    }
    Out = Value;
    return true;
}
/** The value of one hexadecimal digit; -1 for any other character. */
inline int32 HexValue(char Ch)
{
    if (Ch >= '0' && Ch <= '9')
    {
        return Ch - '0';
    }
    if (Ch >= 'a' && Ch <= 'f')
    {
        return Ch - 'a' + 10;
    }
    if (Ch >= 'A' && Ch <= 'F')
    {
        return Ch - 'A' + 10;
    }
    return -1;
}
} // namespace ValueText
