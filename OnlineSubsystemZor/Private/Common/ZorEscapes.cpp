#include "Common/ZorEscapes.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
/** A hex digit's value; -1 for a character that is none. */
int32 HexValue(char Char)
{
    const char Lower = static_cast<char>(Char | 0x20);
    return Char >= '0' && Char <= '9' ? Char - '0' : Lower >= 'a' && Lower <= 'f' ? Lower - 'a' + 10 : -1;
}

/** The value of Count hex digits at Position; -1 when they are not all there. */
int32 HexAt(std::string_view Text, size_t Position, size_t Count)
{
    int32 Value = Position + Count <= Text.size() ? 0 : -1;
    for (size_t Index = Position; Index < Position + Count && Value >= 0; ++Index)
    {
        const int32 Digit = HexValue(Text[Index]);
        Value = Digit >= 0 ? Value * 16 + Digit : -1;
    }
    return Value;
}

/** A "\u" escape at Position, a surrogate pair taken whole: the characters it takes, 0 when it is none. */
size_t ReadUnicodeEscape(std::string_view Text, size_t Position, char*& Out)
{
    const int32 Code = HexAt(Text, Position + 2, 4);
    const bool bHigh = Code >= 0xD800 && Code <= 0xDBFF;
    const int32 Low = bHigh && Text.substr(Position + 6, 2) == "\\u" ? HexAt(Text, Position + 8, 4) : -1;
    if (Code < 0 || (Code >= 0xD800 && Code <= 0xDFFF && (!bHigh || Low < 0xDC00 || Low > 0xDFFF)))
    {
        return 0;
    }
    const uint32 CodePoint = bHigh ? 0x10000 + ((Code - 0xD800) << 10) + (Low - 0xDC00) : Code;
    static constexpr uint8 Leads[] = {0, 0xC0, 0xE0, 0xF0};
    const int32 Trailing = CodePoint < 0x80 ? 0 : CodePoint < 0x800 ? 1 : CodePoint < 0x10000 ? 2 : 3;
    // '+' reads as a blank however it was written, so a secret that holds one matches this echo of it too.
    *Out++ = CodePoint == '+' ? ' ' : static_cast<char>(Leads[Trailing] | (CodePoint >> (6 * Trailing)));
    for (int32 Shift = 6 * (Trailing - 1); Shift >= 0; Shift -= 6)
    {
        *Out++ = static_cast<char>(0x80 | ((CodePoint >> Shift) & 0x3F));
    }
    return bHigh ? 12 : 6;
}

/** Bit K set where byte K of the 64 at Bytes is in [Low, Low + Count). */
uint64 InRange(const char* Bytes, char Low, uint8 Count)
{
#if defined(__SSE2__)
    const auto Chunk = [Bytes, Low, Count](int32 Offset) -> uint64
    {
        const __m128i Loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + Offset));
        const __m128i Above = _mm_sub_epi8(Loaded, _mm_set1_epi8(Low));
        const __m128i Inside =
            _mm_cmpeq_epi8(_mm_min_epu8(Above, _mm_set1_epi8(static_cast<char>(Count - 1))), Above);
        return static_cast<uint64>(static_cast<uint16>(_mm_movemask_epi8(Inside))) << Offset;
    };
    return Chunk(0) | Chunk(16) | Chunk(32) | Chunk(48);
#else
    uint64 Bits = 0;
    for (int32 Index = 0; Index < 64; ++Index)
    {
        Bits |= static_cast<uint64>(static_cast<uint8>(Bytes[Index] - Low) < Count) << Index;
    }
    return Bits;
#endif
}

uint64 HexDigits(const char* Bytes)
{
    return InRange(Bytes, '0', 10) | InRange(Bytes, 'a', 6) | InRange(Bytes, 'A', 6);
}

/** The backslashes that escape the byte after them: in each run, the first and every second one after it. */
uint64 EscapingBackslashes(uint64 Backslashes, uint64 Escaped)
{
    constexpr uint64 Even = 0x5555555555555555ull;
    const uint64 Free = Backslashes & ~Escaped;
    const uint64 Starts = Free & ~(Free << 1);
    // Adding a run's first bit carries through the run and clears it: what is left of Free runs from odd
    // bits.
    const uint64 FromEven = Free & ~(Free + (Starts & Even));
    return (FromEven & Even) | (Free & ~FromEven & ~Even);
}

/**
 * Where escapes start in the block of 64 bytes at Block: bit K for byte Block + K. A backslash starts one
 * when an even run of backslashes is before it and a byte after it; a '%' does when no backslash escapes it
 * and two hex digits follow; a NUL starts none. Escaped is 1 when the byte at Block is escaped by the last
 * backslash of the block before; it is left saying the same of the next block's first byte.
 */
uint64 StartsInBlock(std::string_view Text, size_t Block, uint64& Escaped)
{
    const char* Bytes = Text.data() + Block;
    char Last[64];
    if (Block + 64 > Text.size())
    {
        // The last block is read from a copy that holds no escape character past the text's end.
        std::memset(Last, 0, sizeof(Last));
        Bytes = static_cast<const char*>(std::memcpy(Last, Bytes, Text.size() - Block));
    }
    const uint64 Backslashes = InRange(Bytes, '\\', 1);
    const uint64 Percents = InRange(Bytes, '%', 1);
    if ((Backslashes | Percents) == 0)
    {
        Escaped = 0;
        return 0;
    }
    // A backslash that ends the text escapes nothing.
    const uint64 Ending = Block + 64 >= Text.size() ? 1ull << (Text.size() - 1 - Block) : 0;
    const uint64 Escaping = EscapingBackslashes(Backslashes, Escaped) & ~Ending;
    const uint64 FreePercents = Percents & ~(Escaping << 1 | Escaped);
    Escaped = Escaping >> 63;
    if (FreePercents == 0)
    {
        return Escaping;
    }
    const auto IsHexAt = [Text](size_t Position) -> uint64
    { return Position < Text.size() && HexValue(Text[Position]) >= 0 ? 1 : 0; };
    // Whether bytes 64 and 65 are hex digits, for a '%' at 62 or 63.
    const uint64 Digits = HexDigits(Bytes);
    const uint64 After = IsHexAt(Block + 64) | IsHexAt(Block + 65) << 1;
    return Escaping | (FreePercents & (Digits >> 1 | After << 63) & (Digits >> 2 | After << 62));
}

/**
 * Reads the escape that starts at Position: writes the bytes it stands for and returns the characters it
 * takes. A backslash before a character that starts no JSON escape reads as that character, as lenient
 * readers take it: then a secret that holds one reads as its echo does once the echo escaped the character
 * after it.
 */
size_t Read(std::string_view Text, size_t Position, char*& Out)
{
    if (Text[Position] == '%')
    {
        const int32 Hex = HexAt(Text, Position + 1, 2);
        *Out++ = Hex == '+' ? ' ' : static_cast<char>(Hex);
        return 3;
    }
    // Each letter of a one-character JSON escape, then what it stands for.
    static constexpr char Named[] = "b\bf\fn\nr\rt\t";
    const char Next = Text[Position + 1];
    if (const size_t Unicode = Next == 'u' ? ReadUnicodeEscape(Text, Position, Out) : 0; Unicode > 0)
    {
        return Unicode;
    }
    const char* Found = Next >= 'b' && Next <= 't' ? std::strchr(Named, Next) : nullptr;
    *Out++ = Found ? Found[1] : Next == '+' ? ' ' : Next;
    return 2;
}

/** Copies Text[From, To) to Out; a short run, as between dense escapes, in one move when both have room. */
void CopyRun(std::string_view Text, size_t From, size_t To, char*& Out, const char* OutEnd)
{
    constexpr size_t Word = 8;
    if (To - From <= Word && From + Word <= Text.size() && Out + Word <= OutEnd)
    {
        std::memcpy(Out, Text.data() + From, Word);
    }
    else
    {
        std::memcpy(Out, Text.data() + From, To - From);
    }
    Out += To - From;
}
} // namespace

std::pair<size_t, ZorEscapes::FUnit*> ZorEscapes::Decode(std::string_view Text, char* Out, FUnit* Units)
{
    char* Write = Out;
    size_t Unread = 0;
    uint64 Escaped = 0;
    // Where escapes start is found a block at a time, so how far one reaches never holds up finding the next.
    for (size_t Block = 0; Block < Text.size(); Block += 64)
    {
        for (uint64 Left = StartsInBlock(Text, Block, Escaped); Left != 0; Left &= Left - 1)
        {
            const size_t Position = Block + std::countr_zero(Left);
            // The second half of a surrogate pair, read with the first.
            if (Position < Unread)
            {
                continue;
            }
            CopyRun(Text, Unread, Position, Write, Out + Text.size());
            const uint32 Begin = static_cast<uint32>(Write - Out);
            const size_t Taken = Read(Text, Position, Write);
            Unread = Position + Taken;
            *Units++ = {Begin, static_cast<uint32>(Position), static_cast<uint8>(Write - Out - Begin),
                        static_cast<uint8>(Taken)};
        }
    }
    CopyRun(Text, Unread, Text.size(), Write, Out + Text.size());
    return {static_cast<size_t>(Write - Out), Units};
}
