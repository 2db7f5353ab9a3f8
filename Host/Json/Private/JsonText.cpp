#include <charconv>
#include <cstring>

#include "JsonPrivate.h"

size_t JsonPrivate::Utf8SequenceLength(std::string_view Text, size_t Index)
{
    const unsigned char Lead = static_cast<unsigned char>(Text[Index]);
    size_t Length = 0;
    unsigned char Low = 0x80;
    unsigned char High = 0xBF;
    if (Lead >= 0xC2 && Lead <= 0xDF)
    {
        Length = 2;
    }
    else if (Lead >= 0xE0 && Lead <= 0xEF)
    {
        Length = 3;
        Low = Lead == 0xE0 ? 0xA0 : Low;   // overlong
        High = Lead == 0xED ? 0x9F : High; // surrogates
    }
    else if (Lead >= 0xF0 && Lead <= 0xF4)
    {
        Length = 4;
        Low = Lead == 0xF0 ? 0x90 : Low;   // overlong
        High = Lead == 0xF4 ? 0x8F : High; // beyond U+10FFFF
    }
    if (Length == 0 || Index + Length > Text.size())
    {
        return 0;
    }
    for (size_t Offset = 1; Offset < Length; ++Offset)
    {
        const unsigned char Byte = static_cast<unsigned char>(Text[Index + Offset]);
        if (Byte < Low || Byte > High)
        {
            return 0;
        }
        Low = 0x80;
        High = 0xBF;
    }
    return Length;
}

namespace
{
void AppendEscapedAscii(FString& Out, char Ch)
{
    static constexpr char Hex[] = "0123456789abcdef";
    switch (Ch)
    {
    case '"':
        Out += "\\\"";
        return;
    case '\\':
        Out += "\\\\";
        return;
    case '\b':
        Out += "\\b";
        return;
    case '\f':
        Out += "\\f";
        return;
    case '\n':
        Out += "\\n";
        return;
    case '\r':
        Out += "\\r";
        return;
    case '\t':
        Out += "\\t";
        return;
    default:
        break;
    }
    if (static_cast<unsigned char>(Ch) >= 0x20)
    {
        Out += Ch;
        return;
    }
    Out += "\\u00";
    Out += Hex[Ch >> 4];
    Out += Hex[Ch & 0xF];
}

template <typename ValueType> void AppendChars(FString& Out, ValueType Value)
{
    char Buffer[64];
    const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
    Out += FString(std::string_view(Buffer, Result.ptr - Buffer));
}

/** Whole values within +-2^53 are written as integers; every such double is exact. */
template <typename FloatType> void AppendFloatingNumber(FString& Out, FloatType Value)
{
    constexpr double MaxExactInteger = 9007199254740992.0;
    if (!std::isfinite(Value))
    {
        Out += "null";
        return;
    }
    if (std::trunc(Value) == Value && std::fabs(Value) <= MaxExactInteger)
    {
        AppendChars(Out, static_cast<int64>(Value));
        return;
    }
    AppendChars(Out, Value);
}
} // namespace

void JsonPrivate::AppendNumber(FString& Out, double Value)
{
    AppendFloatingNumber(Out, Value);
}

void JsonPrivate::AppendNumber(FString& Out, float Value)
{
    AppendFloatingNumber(Out, Value);
}

void JsonPrivate::AppendQuoted(FString& Out, std::string_view Value)
{
    static constexpr char ReplacementCharacter[] = "\xEF\xBF\xBD";
    Out += '"';
    size_t Index = 0;
    while (Index < Value.size())
    {
        if (static_cast<unsigned char>(Value[Index]) < 0x80)
        {
            AppendEscapedAscii(Out, Value[Index]);
            ++Index;
            continue;
        }
        const size_t Length = JsonPrivate::Utf8SequenceLength(Value, Index);
        if (Length == 0)
        {
            Out += ReplacementCharacter;
            ++Index;
            continue;
        }
        Out += FString(Value.substr(Index, Length));
        Index += Length;
    }
    Out += '"';
}

void JsonPrivate::AppendInteger(FString& Out, int64 Value)
{
    AppendChars(Out, Value);
}

bool JsonPrivate::FindInvalidUtf8(std::string_view Text, size_t& OutOffset)
{
    constexpr uint64 HighBits = 0x8080808080808080ull;
    size_t Index = 0;
    while (Index < Text.size())
    {
        uint64 Word = 0;
        if (Index + sizeof(Word) <= Text.size())
        {
            std::memcpy(&Word, Text.data() + Index, sizeof(Word));
            if ((Word & HighBits) == 0)
            {
                Index += sizeof(Word);
                continue;
            }
        }
        if (static_cast<unsigned char>(Text[Index]) < 0x80)
        {
            ++Index;
            continue;
        }
        const size_t Length = Utf8SequenceLength(Text, Index);
        if (Length == 0)
        {
            OutOffset = Index;
            return true;
        }
        Index += Length;
    }
    return false;
}
