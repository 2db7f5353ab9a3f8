#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/**
 * Which bytes of a text may reach a terminal as they are: the one rule of the host's log lines and of the
 * local backend's own output (which uses this header alone, std only, and nothing else of the host).
 */
namespace TerminalText
{
inline uint8_t ByteAt(std::string_view Text, size_t Position)
{
    return Position < Text.size() ? static_cast<uint8_t>(Text[Position]) : 0;
}

/** The length of the well-formed UTF-8 sequence at Position; 0 when the bytes there are not one. */
inline size_t Utf8SequenceLength(std::string_view Text, size_t Position)
{
    const uint8_t Lead = ByteAt(Text, Position);
    size_t Length = 0;
    uint8_t Low = 0x80;
    uint8_t High = 0xBF;
    if (Lead < 0x80)
    {
        return 1;
    }
    if (Lead >= 0xC2 && Lead <= 0xDF)
    {
        Length = 2;
    }
    else if (Lead >= 0xE0 && Lead <= 0xEF)
    {
        Length = 3;
        Low = Lead == 0xE0 ? 0xA0 : 0x80;
        High = Lead == 0xED ? 0x9F : 0xBF; // no surrogates
    }
    else if (Lead >= 0xF0 && Lead <= 0xF4)
    {
        Length = 4;
        Low = Lead == 0xF0 ? 0x90 : 0x80;
        High = Lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    }
    else
    {
        return 0;
    }
    for (size_t Index = 1; Index < Length; ++Index)
    {
        const uint8_t Next = ByteAt(Text, Position + Index);
        if (Next < (Index == 1 ? Low : 0x80) || Next > (Index == 1 ? High : 0xBF))
        {
            return 0;
        }
    }
    return Length;
}

/** A control a terminal acts on: C0 but tab (and line feed, when kept), DEL, and C1 (C2 80 to C2 9F). */
inline bool IsControl(std::string_view Sequence, bool bKeepLineFeed)
{
    const uint8_t Lead = ByteAt(Sequence, 0);
    if (Sequence.size() == 1)
    {
        return (Lead < 0x20 && Lead != '\t' && !(bKeepLineFeed && Lead == '\n')) || Lead == 0x7F;
    }
    return Sequence.size() == 2 && Lead == 0xC2 && ByteAt(Sequence, 1) <= 0x9F;
}

/**
 * Walks Text one unit at a time: a well-formed sequence shown as it is, or bytes each to be shown as \xNN
 * (bEscaped). Visit(Sequence, bEscaped) returns false to stop; the result says whether the walk reached the
 * end.
 */
template <typename FVisit> bool ForEachUnit(std::string_view Text, bool bKeepLineFeed, FVisit Visit)
{
    for (size_t Position = 0; Position < Text.size();)
    {
        const size_t WellFormed = Utf8SequenceLength(Text, Position);
        const std::string_view Sequence = Text.substr(Position, WellFormed > 0 ? WellFormed : 1);
        if (!Visit(Sequence, WellFormed == 0 || IsControl(Sequence, bKeepLineFeed)))
        {
            return false;
        }
        Position += Sequence.size();
    }
    return true;
}

/** Each byte of Bytes as \xNN, lower-case hex. */
template <typename FText> void AppendByteEscapes(FText& Out, std::string_view Bytes)
{
    constexpr char Digits[] = "0123456789abcdef";
    for (const char Byte : Bytes)
    {
        const uint8_t Value = static_cast<uint8_t>(Byte);
        const char Escape[] = {'\\', 'x', Digits[Value >> 4], Digits[Value & 0xF], '\0'};
        Out += Escape;
    }
}

/** Text as the rule lets a terminal show it: every unit it refuses written as \xNN. */
inline std::string Shown(std::string_view Text, bool bKeepLineFeed)
{
    std::string Out;
    ForEachUnit(Text, bKeepLineFeed,
                [&Out](std::string_view Sequence, bool bEscaped)
                {
                    if (bEscaped)
                    {
                        AppendByteEscapes(Out, Sequence);
                    }
                    else
                    {
                        Out += Sequence;
                    }
                    return true;
                });
    return Out;
}
} // namespace TerminalText
