#pragma once

#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include <simdjson.h>

#include "JsonLeafBlock.h"
#include "Json/JsonObject.h"

namespace JsonPrivate
{
/**
 * An open container of a finished document: the rest of its fields or elements, what it has built so far,
 * and the slot of its parent it goes into once closed.
 */
struct FDocumentFrame
{
    template <typename IteratorType> struct TCursor
    {
        IteratorType Next;
        IteratorType End;
    };
    std::variant<TCursor<simdjson::dom::object::iterator>, TCursor<simdjson::dom::array::iterator>> Cursor;
    TSharedPtr<FJsonObject> Object;
    /** Sized once when opened, so slots handed out for nested containers never move. */
    TArray<TSharedPtr<FJsonValue>> Items;
    TSharedPtr<FJsonValue>* Slot;
    FJsonLeafPlacer Leaves;
};
// Growing the frame list must move the element lists, not copy them, or the slots handed out would dangle.
static_assert(std::is_nothrow_move_constructible_v<FDocumentFrame>);

/**
 * Reads Text, of which Padded is the parser's padded copy, with the whole-document parser, whose strings and
 * numbers the library reads with the fastest code this processor runs. True with the tree; false, leaving
 * OutValue untouched, for any text it cannot read as we do or at all, which the step-by-step reader then
 * reads or refuses with its wording.
 */
bool ReadDocument(simdjson::dom::parser& Parser, std::string_view Text, simdjson::padded_string_view Padded,
                  std::vector<FDocumentFrame>& Frames, TSharedPtr<FJsonValue>& OutValue);
} // namespace JsonPrivate
