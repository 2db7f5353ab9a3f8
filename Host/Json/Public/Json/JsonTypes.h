#pragma once

#include "CoreMinimal.h"

/** Kind of a JSON value. */
enum class EJson
{
    None,
    Null,
    String,
    Number,
    Boolean,
    Array,
    Object,
};

class FJsonValue;
class FJsonObject;

/**
 * Deepest nesting of arrays and objects that the reader accepts and the serializer writes. Deeper input is
 * refused before it can exhaust the stack of whoever walks the tree.
 */
inline constexpr int32 JsonMaxDepth = 512;
