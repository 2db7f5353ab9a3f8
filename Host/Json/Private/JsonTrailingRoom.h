#pragma once

#include <cstddef>
#include <new>

namespace JsonPrivate
{
/** Alignment of the room a TTrailingRoomAllocator hands out. */
constexpr size_t TrailingRoomAlignment = alignof(void*);

/**
 * An allocator for std::allocate_shared that hands out room for the shared block with Extra bytes after it
 * and tells where those start, so an object and what it holds take one allocation. The bytes lie past
 * everything the block asked for, so nothing depends on how the library lays the block out.
 */
template <typename T> class TTrailingRoomAllocator
{
public:
    using value_type = T;

    TTrailingRoomAllocator(size_t InExtra, void** InRoom) : Extra(InExtra), Room(InRoom) {}
    template <typename U>
    TTrailingRoomAllocator(const TTrailingRoomAllocator<U>& Other) : Extra(Other.Extra), Room(Other.Room)
    {
    }

    T* allocate(size_t Number)
    {
        static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
        const size_t Own =
            (sizeof(T) * Number + TrailingRoomAlignment - 1) / TrailingRoomAlignment * TrailingRoomAlignment;
        char* Memory = static_cast<char*>(::operator new(Own + Extra));
        *Room = Memory + Own;
        return reinterpret_cast<T*>(Memory);
    }
    void deallocate(T* Memory, size_t) { ::operator delete(Memory); }

    template <typename U> bool operator==(const TTrailingRoomAllocator<U>& Other) const
    {
        return Extra == Other.Extra && Room == Other.Room;
    }

private:
    template <typename U> friend class TTrailingRoomAllocator;

    size_t Extra;
    void** Room;
};
} // namespace JsonPrivate
