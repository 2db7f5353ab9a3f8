#include "JsonReadValues.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
bool IsDigit(char Ch)
{
    return Ch >= '0' && Ch <= '9';
}

size_t SkipDigits(std::string_view Text, size_t Index)
{
    while (Index < Text.size() && IsDigit(Text[Index]))
    {
        ++Index;
    }
    return Index;
}

/** The number grammar of RFC 8259, section 6. */
bool IsJsonNumber(std::string_view Text)
{
    size_t Index = !Text.empty() && Text[0] == '-' ? 1 : 0;
    if (Index >= Text.size() || !IsDigit(Text[Index]))
    {
        return false;
    }
    Index = Text[Index] == '0' ? Index + 1 : SkipDigits(Text, Index);
    if (Index < Text.size() && Text[Index] == '.')
    {
        const size_t Fraction = Index + 1;
        Index = SkipDigits(Text, Fraction);
        if (Index == Fraction)
        {
            return false;
        }
    }
    if (Index < Text.size() && (Text[Index] == 'e' || Text[Index] == 'E'))
    {
        ++Index;
        Index += Index < Text.size() && (Text[Index] == '+' || Text[Index] == '-') ? 1 : 0;
        const size_t Exponent = Index;
        Index = SkipDigits(Text, Exponent);
        if (Index == Exponent)
        {
            return false;
        }
    }
    return Index == Text.size();
}

/**
 * For a number too large or too small for a double: whether it is too small, that is whether its first
 * significant digit stands below the units place once the exponent is applied. Text is a valid JSON number.
 */
bool IsBelowDoubleRange(std::string_view Text)
{
    constexpr int64 ExponentCap = 1000000000;
    const size_t IntegerStart = Text[0] == '-' ? 1 : 0;
    const size_t IntegerEnd = SkipDigits(Text, IntegerStart);
    const size_t FirstNonZero = Text.find_first_not_of("0.", IntegerStart);
    int64 Magnitude = 0;
    if (FirstNonZero < IntegerEnd)
    {
        Magnitude = static_cast<int64>(IntegerEnd - FirstNonZero) - 1;
    }
    else
    {
        Magnitude = -static_cast<int64>(FirstNonZero - IntegerEnd);
    }
    const size_t ExponentMark = Text.find_first_of("eE", IntegerEnd);
    int64 Exponent = 0;
    if (ExponentMark != std::string_view::npos)
    {
        size_t Digit = ExponentMark + 1;
        const bool bNegative = Text[Digit] == '-';
        Digit += (Text[Digit] == '-' || Text[Digit] == '+') ? 1 : 0;
        for (; Digit < Text.size() && Exponent < ExponentCap; ++Digit)
        {
            Exponent = Exponent * 10 + (Text[Digit] - '0');
        }
        Exponent = bNegative ? -Exponent : Exponent;
    }
    return Magnitude + Exponent < 0;
}

const TSharedPtr<FJsonValue>* SharedSmallNumbers()
{
    static const std::vector<TSharedPtr<FJsonValue>> Numbers = []
    {
        std::vector<TSharedPtr<FJsonValue>> Made;
        Made.reserve(JsonPrivate::SharedNumberCount);
        for (int32 Number = 0; Number < JsonPrivate::SharedNumberCount; ++Number)
        {
            Made.push_back(MakeShared<FJsonValueNumber>(static_cast<double>(Number)));
        }
        return Made;
    }();
    return Numbers.data();
}
} // namespace

bool JsonPrivate::ConvertNumber(std::string_view Token, double& OutValue)
{
    const size_t End = Token.find_last_not_of(" \t\r\n");
    const std::string_view Text = Token.substr(0, End == std::string_view::npos ? 0 : End + 1);
    if (!IsJsonNumber(Text))
    {
        return false;
    }
    const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
    if (Result.ec == std::errc())
    {
        return true;
    }
    const double Limit = IsBelowDoubleRange(Text) ? 0.0 : std::numeric_limits<double>::max();
    OutValue = Text[0] == '-' ? -Limit : Limit;
    return true;
}

const TSharedPtr<FJsonValue>& JsonPrivate::SharedNull()
{
    static const TSharedPtr<FJsonValue> Value = MakeShared<FJsonValueNull>();
    return Value;
}

const TSharedPtr<FJsonValue>& JsonPrivate::SharedBool(bool bValue)
{
    static const TSharedPtr<FJsonValue> True = MakeShared<FJsonValueBoolean>(true);
    static const TSharedPtr<FJsonValue> False = MakeShared<FJsonValueBoolean>(false);
    return bValue ? True : False;
}

TSharedPtr<FJsonValue> JsonPrivate::MakeNumber(double Value)
{
    if (IsSharedNumber(Value))
    {
        return SharedSmallNumbers()[static_cast<int32>(Value)];
    }
    return MakeShared<FJsonValueNumber>(Value);
}
