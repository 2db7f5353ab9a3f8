#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

#include "Json/JsonTypes.h"

namespace JsonPrivate
{
/** Alignment of the room MakeSharedWithRoom hands out. */
constexpr size_t TrailingRoomAlignment = alignof(void*);

/**
 * What the allocate_shared call in progress on this thread asks for beyond its block, and where that room
 * starts once allocated. Kept here rather than in the allocator, whose copy each shared block keeps for its
 * whole life.
 */
struct FTrailingRoomRequest
{
    size_t Extra = 0;
    void* Room = nullptr;
};
inline thread_local FTrailingRoomRequest TrailingRoomRequest;

/**
 * Hands out room for a shared block with the requested bytes after it. The bytes lie past everything the
 * block asked for, so nothing depends on how the library lays the block out.
 */
template <typename T> class TTrailingRoomAllocator
{
public:
    using value_type = T;

    TTrailingRoomAllocator() = default;
    template <typename U> TTrailingRoomAllocator(const TTrailingRoomAllocator<U>&) {}

    T* allocate(size_t Number)
    {
        static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
        const size_t Own =
            (sizeof(T) * Number + TrailingRoomAlignment - 1) / TrailingRoomAlignment * TrailingRoomAlignment;
        char* Memory = static_cast<char*>(::operator new(Own + TrailingRoomRequest.Extra));
        TrailingRoomRequest.Room = Memory + Own;
        return reinterpret_cast<T*>(Memory);
    }
    void deallocate(T* Memory, size_t) { ::operator delete(Memory); }

    template <typename U> bool operator==(const TTrailingRoomAllocator<U>&) const { return true; }
};

/** A new T in one allocation with Extra bytes of room after its shared block; OutRoom tells where. */
template <typename T, typename... ArgTypes>
TSharedPtr<T> MakeSharedWithRoom(size_t Extra, void*& OutRoom, ArgTypes&&... Args)
{
    // A constructor that makes another such value in between leaves this request as it found it.
    const FTrailingRoomRequest Outer =
        std::exchange(TrailingRoomRequest, FTrailingRoomRequest{Extra, nullptr});
    TSharedPtr<T> Made =
        std::allocate_shared<T>(TTrailingRoomAllocator<T>(), std::forward<ArgTypes>(Args)...);
    OutRoom = TrailingRoomRequest.Room;
    TrailingRoomRequest = Outer;
    return Made;
}
} // namespace JsonPrivate
