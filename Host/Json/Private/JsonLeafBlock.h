#pragma once

#include <cstddef>
#include <string_view>

#include "JsonReadValues.h"
#include "Json/JsonValue.h"

namespace JsonPrivate
{
/**
 * Room for the strings and numbers of one container, allocated at once with one set of reference counts:
 * one allocation for all of them instead of one each. Every value placed here is shared through a pointer
 * that holds the whole block, so a value kept after its container is gone keeps its siblings' bytes too.
 * No destructor runs for the values placed here: they own nothing beyond their room, which goes with the
 * block.
 */
class FJsonLeafBlock
{
public:
    /**
     * The most room one block takes for a large container, whose scalars then fill several: a value kept
     * alone never holds more than this of its siblings.
     */
    static constexpr size_t MaxBytes = 4096;

    /** Room a string of Length bytes takes. */
    static size_t StringBytes(size_t Length);
    /** Room a number takes. */
    static size_t NumberBytes();

    /** A block with Bytes of room, summed from StringBytes and NumberBytes of what will be placed. */
    static TSharedPtr<FJsonLeafBlock> Make(size_t Bytes);

    bool HasRoom(size_t Bytes) const { return static_cast<size_t>(End - Next) >= Bytes; }

    /** Places a value in room that was counted for it. */
    static TSharedPtr<FJsonValue> AddString(const TSharedPtr<FJsonLeafBlock>& Block, std::string_view Text);
    static TSharedPtr<FJsonValue> AddNumber(const TSharedPtr<FJsonLeafBlock>& Block, double Value);

private:
    void* Take(size_t Bytes);

    char* Next = nullptr;
    char* End = nullptr;
};

/**
 * Places the strings and numbers of one container: counted first, then made in leaf blocks when at least two
 * need room, else each on its own. Shared numbers take no room.
 */
class FJsonLeafPlacer
{
public:
    void CountString(size_t Length);
    void CountNumber(double Value);
    /** Once this much is counted the first block is full anyway, so counting the rest buys nothing. */
    bool IsCounted() const { return Bytes >= FJsonLeafBlock::MaxBytes && Count >= 2; }
    /** Ends the counting: makes the first block, when one pays. */
    void Start();

    TSharedPtr<FJsonValue> PlaceString(std::string_view Text)
    {
        if (!Block)
        {
            return MakeShared<FJsonValueString>(FString(Text));
        }
        return FJsonLeafBlock::AddString(BlockWithRoom(FJsonLeafBlock::StringBytes(Text.size())), Text);
    }

    TSharedPtr<FJsonValue> PlaceNumber(double Value)
    {
        if (!Block || IsSharedNumber(Value))
        {
            return MakeNumber(Value);
        }
        return FJsonLeafBlock::AddNumber(BlockWithRoom(FJsonLeafBlock::NumberBytes()), Value);
    }

private:
    /** The block with room for Needed more bytes, a new one when the current is full. */
    const TSharedPtr<FJsonLeafBlock>& BlockWithRoom(size_t Needed)
    {
        if (!Block->HasRoom(Needed))
        {
            StartAnotherBlock(Needed);
        }
        return Block;
    }
    void StartAnotherBlock(size_t Needed);

    size_t Bytes = 0;
    int32 Count = 0;
    TSharedPtr<FJsonLeafBlock> Block;
};
} // namespace JsonPrivate
