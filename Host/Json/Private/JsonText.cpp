#include <array>
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
enum class EByteKind : uint8
{
    Plain,
    Escaped,
    NonAscii,
};

/** How each byte is written inside a JSON string. */
constexpr std::array<EByteKind, 256> MakeByteKinds()
{
    std::array<EByteKind, 256> Kinds{};
    for (size_t Byte = 0; Byte < Kinds.size(); ++Byte)
    {
        Kinds[Byte] = Byte >= 0x80 ? EByteKind::NonAscii : EByteKind::Plain;
    }
    for (size_t Byte = 0; Byte < 0x20; ++Byte)
    {
        Kinds[Byte] = EByteKind::Escaped;
    }
    Kinds['"'] = EByteKind::Escaped;
    Kinds['\\'] = EByteKind::Escaped;
    return Kinds;
}

constexpr std::array<EByteKind, 256> ByteKinds = MakeByteKinds();

void AppendEscape(FString& Out, unsigned char Ch)
{
    static constexpr char Hex[] = "0123456789abcdef";
    switch (Ch)
    {
    case '"':
        Out.AppendChars("\\\"", 2);
        return;
    case '\\':
        Out.AppendChars("\\\\", 2);
        return;
    case '\b':
        Out.AppendChars("\\b", 2);
        return;
    case '\f':
        Out.AppendChars("\\f", 2);
        return;
    case '\n':
        Out.AppendChars("\\n", 2);
        return;
    case '\r':
        Out.AppendChars("\\r", 2);
        return;
    case '\t':
        Out.AppendChars("\\t", 2);
        return;
    default:
        break;
    }
    const char Escape[] = {'\\', 'u', '0', '0', Hex[Ch >> 4], Hex[Ch & 0xF]};
    Out.AppendChars(Escape, sizeof(Escape));
}

template <typename ValueType> void AppendChars(FString& Out, ValueType Value)
{
    char Buffer[64];
    const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
    Out.AppendChars(Buffer, static_cast<int32>(Result.ptr - Buffer));
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
    size_t RunStart = 0;
    size_t Index = 0;
    const auto Flush = [&Out, &Value, &RunStart](size_t RunEnd)
    { Out.AppendChars(Value.data() + RunStart, static_cast<int32>(RunEnd - RunStart)); };
    while (Index < Value.size())
    {
        const unsigned char Byte = static_cast<unsigned char>(Value[Index]);
        const EByteKind Kind = ByteKinds[Byte];
        if (Kind == EByteKind::Plain)
        {
            ++Index;
            continue;
        }
        const size_t Length = Kind == EByteKind::NonAscii ? JsonPrivate::Utf8SequenceLength(Value, Index) : 0;
        if (Length > 0)
        {
            Index += Length;
            continue;
        }
        Flush(Index);
        if (Kind == EByteKind::Escaped)
        {
            AppendEscape(Out, Byte);
        }
        else
        {
            Out.AppendChars(ReplacementCharacter, 3);
        }
        RunStart = ++Index;
    }
    Flush(Index);
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
