#pragma once

#include <cstddef>
#include <cstdint>

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = long long; // printf's %lld, as the engine's format strings expect
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using uint64 = unsigned long long;
using TCHAR = char;
using ANSICHAR = char;

constexpr int32 INDEX_NONE = -1;
