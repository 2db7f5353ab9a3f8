#include "Common/ZorEscapeStarts.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{
bool IsHexDigit(char Char)
{
    const char Lower = static_cast<char>(Char | 0x20);
    return (Char >= '0' && Char <= '9') || (Lower >= 'a' && Lower <= 'f');
}

/** Bit K set where byte K of the 64 at Bytes is in [Low, Low + Count). */
uint64 InRange(const char* Bytes, char Low, uint8 Count)
{
#if defined(__SSE2__)
    const auto Chunk = [Bytes, Low, Count](int32 Offset) -> uint64
    {
        const __m128i Read = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + Offset));
        const __m128i Above = _mm_sub_epi8(Read, _mm_set1_epi8(Low));
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
} // namespace

uint64 ZorEscapeStarts::InBlock(std::string_view Text, size_t Block, uint64& Escaped)
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
    { return Position < Text.size() && IsHexDigit(Text[Position]) ? 1 : 0; };
    // Whether bytes 64 and 65 are hex digits, for a '%' at 62 or 63.
    const uint64 Digits = HexDigits(Bytes);
    const uint64 After = IsHexAt(Block + 64) | IsHexAt(Block + 65) << 1;
    return Escaping | (FreePercents & (Digits >> 1 | After << 63) & (Digits >> 2 | After << 62));
}
