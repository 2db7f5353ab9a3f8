#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include "Core/Types.h"

/**
 * Percent and JSON escapes read the one way the wire and the services write them: percent escapes in either
 * hex case, '+' as a blank however it is written, and JSON escapes with surrogate pairs.
 */
namespace ZorEscapes
{
/** An escape read as one unit: the bytes it gives in a reading, the characters it took in the text read.
 * Dense escapes give about a unit for every three characters, so a unit is kept in ten bytes. */
#pragma pack(push, 1)
struct FUnit
{
    uint32 Begin, ReadBegin;
    uint8 Length, ReadLength;

    size_t End() const { return Begin + Length; }
    size_t ReadEnd() const { return ReadBegin + ReadLength; }
};
#pragma pack(pop)

/**
 * Text read once: writes what it reads as to Out, which has room for Text.size() bytes, and a unit for each
 * escape to Units, which has room for Text.size() / 2 + 1. A byte outside the units is written as it is.
 * Returns the bytes written and the end of the units written.
 */
std::pair<size_t, FUnit*> Decode(std::string_view Text, char* Out, FUnit* Units);
} // namespace ZorEscapes
