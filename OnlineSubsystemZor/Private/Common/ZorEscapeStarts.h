#pragma once

#include <cstddef>
#include <string_view>

#include "Core/Types.h"

/**
 * Where percent and JSON escapes start in a text, found 64 bytes at a time from bit masks, so that how far
 * one escape reaches never holds up finding the next. A backslash starts one when an even run of backslashes
 * is before it and a byte after it; a '%' does when no backslash escapes it and two hex digits follow. A NUL
 * starts none.
 */
namespace ZorEscapeStarts
{
/**
 * Bit K set where an escape starts at byte Block + K of Text, Block a multiple of 64. Escaped is 1 when the
 * byte at Block is escaped by the last backslash of the block before (0 for the first block); it is left
 * saying the same of the next block's first byte.
 */
uint64 InBlock(std::string_view Text, size_t Block, uint64& Escaped);
} // namespace ZorEscapeStarts
