#include "JsonLeafBlock.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <utility>

#include "JsonTrailingRoom.h"

namespace
{
size_t RoundUp(size_t Bytes)
{
    constexpr size_t Alignment = JsonPrivate::TrailingRoomAlignment;
    return (Bytes + Alignment - 1) / Alignment * Alignment;
}

/** A string whose bytes follow it in its block. */
class FJsonLeafString final : public FJsonValue
{
public:
    explicit FJsonLeafString(std::string_view Text)
        : FJsonValue(EJson::String), Length(static_cast<uint32>(Text.size()))
    {
        std::memcpy(Bytes(), Text.data(), Text.size());
    }

    FString AsString() const override { return FString(ViewString()); }

protected:
    std::string_view ViewString() const override { return std::string_view(Bytes(), Length); }

private:
    char* Bytes() { return reinterpret_cast<char*>(this + 1); }
    const char* Bytes() const { return reinterpret_cast<const char*>(this + 1); }

    uint32 Length;
};

static_assert(alignof(FJsonLeafString) <= JsonPrivate::TrailingRoomAlignment);
static_assert(alignof(FJsonValueNumber) <= JsonPrivate::TrailingRoomAlignment);
} // namespace

size_t JsonPrivate::FJsonLeafBlock::StringBytes(size_t Length)
{
    return RoundUp(sizeof(FJsonLeafString) + Length);
}

size_t JsonPrivate::FJsonLeafBlock::NumberBytes()
{
    return RoundUp(sizeof(FJsonValueNumber));
}

TSharedPtr<JsonPrivate::FJsonLeafBlock> JsonPrivate::FJsonLeafBlock::Make(size_t Bytes)
{
    void* Room = nullptr;
    TSharedPtr<FJsonLeafBlock> Block = MakeSharedWithRoom<FJsonLeafBlock>(Bytes, Room);
    Block->Next = static_cast<char*>(Room);
    Block->End = Block->Next + Bytes;
    return Block;
}

void* JsonPrivate::FJsonLeafBlock::Take(size_t Bytes)
{
    assert(HasRoom(Bytes));
    return std::exchange(Next, Next + Bytes);
}

TSharedPtr<FJsonValue> JsonPrivate::FJsonLeafBlock::AddString(const TSharedPtr<FJsonLeafBlock>& Block,
                                                              std::string_view Text)
{
    FJsonValue* Leaf = new (Block->Take(StringBytes(Text.size()))) FJsonLeafString(Text);
    return TSharedPtr<FJsonValue>(Block, Leaf);
}

TSharedPtr<FJsonValue> JsonPrivate::FJsonLeafBlock::AddNumber(const TSharedPtr<FJsonLeafBlock>& Block,
                                                              double Value)
{
    FJsonValue* Leaf = new (Block->Take(NumberBytes())) FJsonValueNumber(Value);
    return TSharedPtr<FJsonValue>(Block, Leaf);
}

void JsonPrivate::FJsonLeafPlacer::CountString(size_t Length)
{
    Bytes += FJsonLeafBlock::StringBytes(Length);
    ++Count;
}

void JsonPrivate::FJsonLeafPlacer::CountNumber(double Value)
{
    if (!IsSharedNumber(Value))
    {
        Bytes += FJsonLeafBlock::NumberBytes();
        ++Count;
    }
}

void JsonPrivate::FJsonLeafPlacer::Start()
{
    if (Count >= 2)
    {
        Block = FJsonLeafBlock::Make(std::min(Bytes, FJsonLeafBlock::MaxBytes));
    }
}

void JsonPrivate::FJsonLeafPlacer::StartAnotherBlock(size_t Needed)
{
    Block = FJsonLeafBlock::Make(std::max(Needed, FJsonLeafBlock::MaxBytes));
}
