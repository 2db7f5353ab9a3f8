#pragma once

#include <string_view>
#include <vector>

#include <simdjson.h>

#include "Json/JsonValue.h"

namespace JsonPrivate
{
/**
 * A child waiting for its container to close. A string or number stays as read until then, when the container
 * knows all of its scalars and places them together; anything else is made at once.
 */
struct FStepwiseChild
{
    TSharedPtr<FJsonValue> Value;
    /** A string: the parser's unescaped copy, which lasts as long as the parse. */
    std::string_view Text;
    double Number = 0.0;
    /** String or Number while the child waits to be made; None when Value holds it. */
    EJson Waiting = EJson::None;
};

struct FStepwiseField
{
    FString Key;
    FStepwiseChild Child;
};

/** An open container and where its children start in the scratch lists. */
struct FStepwiseFrame
{
    bool bObject;
    simdjson::ondemand::object_iterator Field;
    simdjson::ondemand::object_iterator FieldsEnd;
    simdjson::ondemand::array_iterator Element;
    simdjson::ondemand::array_iterator ElementsEnd;
    size_t FirstChild;
};

/** Children of the open containers, waiting until their container closes. */
struct FStepwiseScratch
{
    std::vector<FStepwiseFrame> Frames;
    std::vector<FStepwiseField> Fields;
    std::vector<FStepwiseChild> Elements;

    /** Drops what a failed parse left, and lets go of room that one unusual document needed. */
    void Reset()
    {
        constexpr size_t KeptEntries = 4096;
        Frames.clear();
        Fields.clear();
        Elements.clear();
        if (Fields.capacity() > KeptEntries || Elements.capacity() > KeptEntries)
        {
            Fields = {};
            Elements = {};
        }
    }
};

/**
 * Reads Text, of which Padded is the parser's padded copy, with the step-by-step parser: it reads whatever
 * JSON the whole-document parser cannot read as we do, and words every error ("JSON parse error at offset
 * %zu: %s").
 */
bool ReadStepwise(simdjson::ondemand::parser& Parser, std::string_view Text,
                  simdjson::padded_string_view Padded, FStepwiseScratch& Scratch,
                  TSharedPtr<FJsonValue>& OutValue, FString& OutError);
} // namespace JsonPrivate
