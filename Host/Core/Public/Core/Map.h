#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <initializer_list>
#include <new>
#include <utility>

#include "Core/Array.h"
#include "Core/String.h"

template <typename K, typename V> struct TPair
{
    K Key;
    V Value;
};

/**
 * Key to value map that iterates in insertion order. Element addresses stay valid until that element is
 * removed, so a pointer from Find survives later additions. FString keys compare ignoring letter case.
 *
 * Elements live in blocks that never move, linked in insertion order; a removed element's place is reused.
 * Small maps are searched in order, larger ones through an open-addressing index of element pointers.
 */
template <typename K, typename V> class TMap
{
    using FEntry = TPair<K, V>;

    struct FNode
    {
        FEntry Entry;
        FNode* Prev;
        FNode* Next;
    };

    /** A block's header; its nodes follow it. */
    struct FBlock
    {
        FBlock* Next;
        int32 Capacity : 31;
        /** Room its owner handed over with AdoptRoom: the map uses it but never frees it. */
        uint32 bBorrowed : 1;
        int32 Used;
    };
    static_assert(sizeof(FBlock) == 16, "block header grew");
    static_assert(alignof(FNode) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "node alignment beyond operator new");
    static constexpr size_t BlockHeaderSize =
        (sizeof(FBlock) + alignof(FNode) - 1) / alignof(FNode) * alignof(FNode);

    template <typename EntryType, typename NodeType> class TEntryIterator
    {
    public:
        explicit TEntryIterator(NodeType* InNode) : Node(InNode) {}
        EntryType& operator*() const { return Node->Entry; }
        EntryType* operator->() const { return &Node->Entry; }
        TEntryIterator& operator++()
        {
            Node = Node->Next;
            return *this;
        }
        bool operator==(const TEntryIterator& Other) const { return Node == Other.Node; }
        bool operator!=(const TEntryIterator& Other) const { return Node != Other.Node; }

    private:
        NodeType* Node;
    };

public:
    TMap() = default;
    TMap(std::initializer_list<FEntry> Init)
    {
        Reserve(static_cast<int32>(Init.size()));
        for (const FEntry& Entry : Init)
        {
            Add(Entry.Key, Entry.Value);
        }
    }
    TMap(const TMap& Other) { CopyFrom(Other); }
    TMap(TMap&& Other) noexcept { TakeFrom(Other); }
    TMap& operator=(const TMap& Other)
    {
        if (this != &Other)
        {
            Empty();
            CopyFrom(Other);
        }
        return *this;
    }
    TMap& operator=(TMap&& Other) noexcept
    {
        if (this != &Other)
        {
            Empty();
            TakeFrom(Other);
        }
        return *this;
    }
    ~TMap() { Empty(); }

    int32 Num() const { return Count; }
    bool IsEmpty() const { return Count == 0; }

    /** Makes room for Number more elements in one block. */
    void Reserve(int32 Number)
    {
        const int32 Spare = Blocks ? Blocks->Capacity - Blocks->Used : 0;
        const int32 Needed = Number - Spare - FreeCount;
        if (Needed > 0)
        {
            Reserved = Needed;
            AddReservedBlock();
        }
        if (Count + Number > IndexThreshold && NeedsLargerIndex(Count + Number))
        {
            RebuildIndex(Count + Number);
        }
    }

    /** Bytes AdoptRoom needs for Number elements. */
    static constexpr size_t RoomBytes(int32 Number)
    {
        return BlockHeaderSize + sizeof(FNode) * static_cast<size_t>(Number);
    }
    /** Alignment AdoptRoom needs. */
    static constexpr size_t RoomAlignment = alignof(FNode) > alignof(FBlock) ? alignof(FNode)
                                                                             : alignof(FBlock);

    /**
     * Lets an empty map keep its first Number elements in Memory (RoomBytes(Number), RoomAlignment), which
     * its owner allocated together with something else and frees after the map is gone. A map moved from
     * hands its elements over one by one, since the room stays where it is.
     */
    void AdoptRoom(void* Memory, int32 Number)
    {
        assert(!Blocks && Count == 0 && Number > 0);
        PushBlock(Memory, Number, true);
        if (Number > IndexThreshold)
        {
            RebuildIndex(Number);
        }
    }

    /** Adds or replaces; a replaced value keeps its place in the order. */
    V& Add(const K& Key, V Value)
    {
        V& Slot = FindOrAdd(Key);
        Slot = std::move(Value);
        return Slot;
    }
    V& Add(K&& Key, V Value)
    {
        if (V* Found = Find(Key))
        {
            *Found = std::move(Value);
            return *Found;
        }
        return Append(std::move(Key), std::move(Value));
    }
    V& FindOrAdd(const K& Key)
    {
        if (V* Found = Find(Key))
        {
            return *Found;
        }
        return Append(K(Key), V{});
    }
    V* Find(const K& Key)
    {
        FNode* Node = FindNode(Key);
        return Node ? &Node->Entry.Value : nullptr;
    }
    const V* Find(const K& Key) const { return const_cast<TMap*>(this)->Find(Key); }
    /** Copy of the value, or a default value when absent. */
    V FindRef(const K& Key) const
    {
        const V* Value = Find(Key);
        return Value ? *Value : V{};
    }
    V& FindChecked(const K& Key)
    {
        V* Value = Find(Key);
        assert(Value);
        return *Value;
    }
    V& operator[](const K& Key) { return FindChecked(Key); }
    bool Contains(const K& Key) const { return Find(Key) != nullptr; }
    const K* FindKey(const V& Value) const
    {
        for (const FEntry& Entry : *this)
        {
            if (Entry.Value == Value)
            {
                return &Entry.Key;
            }
        }
        return nullptr;
    }

    int32 Remove(const K& Key)
    {
        FNode* Node = FindNode(Key);
        if (!Node)
        {
            return 0;
        }
        RemoveNode(Node);
        return 1;
    }
    bool RemoveAndCopyValue(const K& Key, V& OutValue)
    {
        FNode* Node = FindNode(Key);
        if (!Node)
        {
            return false;
        }
        OutValue = std::move(Node->Entry.Value);
        RemoveNode(Node);
        return true;
    }
    void Empty()
    {
        for (FNode* Node = Head; Node;)
        {
            FNode* Next = Node->Next;
            Node->Entry.~FEntry();
            Node = Next;
        }
        while (Blocks)
        {
            FBlock* Next = Blocks->Next;
            if (!Blocks->bBorrowed)
            {
                ::operator delete(Blocks);
            }
            Blocks = Next;
        }
        delete[] Slots;
        Slots = nullptr;
        Head = Tail = FreeNodes = nullptr;
        Count = 0;
        FreeCount = 0;
        Reserved = 0;
        SlotBits = 0;
    }
    void Reset() { Empty(); }

    void GenerateKeyArray(TArray<K>& OutKeys) const
    {
        OutKeys.Reset();
        for (const FEntry& Entry : *this)
        {
            OutKeys.Add(Entry.Key);
        }
    }
    void GenerateValueArray(TArray<V>& OutValues) const
    {
        OutValues.Reset();
        for (const FEntry& Entry : *this)
        {
            OutValues.Add(Entry.Value);
        }
    }

    /** Iterator that may remove the element it stands on. */
    class TIterator
    {
    public:
        explicit TIterator(TMap& InMap) : Map(InMap), Current(InMap.Head) {}
        explicit operator bool() const { return Current != nullptr; }
        TIterator& operator++()
        {
            Current = bRemoved ? Current : Current->Next;
            bRemoved = false;
            return *this;
        }
        FEntry& operator*() const { return Current->Entry; }
        FEntry* operator->() const { return &Current->Entry; }
        const K& Key() const { return Current->Entry.Key; }
        V& Value() const { return Current->Entry.Value; }
        void RemoveCurrent()
        {
            FNode* Next = Current->Next;
            Map.RemoveNode(Current);
            Current = Next;
            bRemoved = true;
        }

    private:
        TMap& Map;
        FNode* Current;
        bool bRemoved = false;
    };
    TIterator CreateIterator() { return TIterator(*this); }

    using iterator = TEntryIterator<FEntry, FNode>;
    using const_iterator = TEntryIterator<const FEntry, const FNode>;
    iterator begin() { return iterator(Head); }
    iterator end() { return iterator(nullptr); }
    const_iterator begin() const { return const_iterator(Head); }
    const_iterator end() const { return const_iterator(nullptr); }

private:
    /** Below this many elements the index is not worth its upkeep. */
    static constexpr int32 IndexThreshold = 8;
    /** Large maps take several blocks rather than one huge one, which the allocator handles worse. */
    static constexpr int32 MaxBlockNodes = static_cast<int32>(std::max<size_t>(1, 16384 / sizeof(FNode)));

    void CopyFrom(const TMap& Other)
    {
        Reserve(Other.Count);
        for (const FEntry& Entry : Other)
        {
            Add(Entry.Key, Entry.Value);
        }
    }

    void TakeFrom(TMap& Other)
    {
        if (Other.HasBorrowedRoom())
        {
            Reserve(Other.Count);
            for (FNode* Node = Other.Head; Node; Node = Node->Next)
            {
                Append(std::move(Node->Entry.Key), std::move(Node->Entry.Value));
            }
            Other.Empty();
            return;
        }
        Steal(Other);
    }

    /** Borrowed room is always the oldest block, the last of the list. */
    bool HasBorrowedRoom() const
    {
        const FBlock* Block = Blocks;
        while (Block && Block->Next)
        {
            Block = Block->Next;
        }
        return Block && Block->bBorrowed;
    }

    void Steal(TMap& Other)
    {
        Head = std::exchange(Other.Head, nullptr);
        Tail = std::exchange(Other.Tail, nullptr);
        FreeNodes = std::exchange(Other.FreeNodes, nullptr);
        Blocks = std::exchange(Other.Blocks, nullptr);
        Slots = std::exchange(Other.Slots, nullptr);
        SlotBits = std::exchange(Other.SlotBits, 0);
        Count = std::exchange(Other.Count, 0);
        FreeCount = std::exchange(Other.FreeCount, 0);
        Reserved = std::exchange(Other.Reserved, 0);
    }

    void AddReservedBlock()
    {
        const int32 Capacity = std::min(Reserved, MaxBlockNodes);
        Reserved -= Capacity;
        AddBlock(Capacity);
    }

    void AddBlock(int32 Capacity) { PushBlock(::operator new(RoomBytes(Capacity)), Capacity, false); }

    void PushBlock(void* Memory, int32 Capacity, bool bBorrowed)
    {
        FBlock* Block = static_cast<FBlock*>(Memory);
        Block->Next = Blocks;
        Block->Capacity = Capacity;
        Block->bBorrowed = bBorrowed ? 1 : 0;
        Block->Used = 0;
        Blocks = Block;
    }

    /** Raw room for one node: a freed one first, else the newest block's next, else a new block. */
    FNode* TakeNodeMemory()
    {
        if (FreeNodes)
        {
            --FreeCount;
            return std::exchange(FreeNodes, FreeNodes->Next);
        }
        if (!Blocks || Blocks->Used == Blocks->Capacity)
        {
            if (Reserved > 0)
            {
                AddReservedBlock();
            }
            else
            {
                AddBlock(std::min(Count > 0 ? Count : 1, MaxBlockNodes));
            }
        }
        char* Nodes = reinterpret_cast<char*>(Blocks) + BlockHeaderSize;
        return reinterpret_cast<FNode*>(Nodes + sizeof(FNode) * static_cast<size_t>(Blocks->Used++));
    }

    V& Append(K&& Key, V&& Value)
    {
        FNode* Memory = TakeNodeMemory();
        FNode* Node = new (Memory) FNode{FEntry{std::move(Key), std::move(Value)}, Tail, nullptr};
        (Tail ? Tail->Next : Head) = Node;
        Tail = Node;
        ++Count;
        if (Slots && !NeedsLargerIndex(Count))
        {
            Insert(Node);
        }
        else if (Count > IndexThreshold)
        {
            RebuildIndex(Count);
        }
        return Node->Entry.Value;
    }

    void RemoveNode(FNode* Node)
    {
        if (Slots)
        {
            Erase(Node);
        }
        (Node->Prev ? Node->Prev->Next : Head) = Node->Next;
        (Node->Next ? Node->Next->Prev : Tail) = Node->Prev;
        Node->Entry.~FEntry();
        Node->Next = FreeNodes;
        FreeNodes = Node;
        ++FreeCount;
        --Count;
    }

    size_t SlotMask() const { return (size_t{1} << SlotBits) - 1; }

    /** Fibonacci hashing: pointer keys hash to themselves, and their low bits are always zero. */
    size_t HomeOf(const K& Key) const
    {
        return static_cast<size_t>((static_cast<uint64>(std::hash<K>()(Key)) * 0x9E3779B97F4A7C15ull) >>
                                   (64 - SlotBits));
    }

    FNode* FindNode(const K& Key)
    {
        if (!Slots)
        {
            for (FNode* Node = Head; Node; Node = Node->Next)
            {
                if (Node->Entry.Key == Key)
                {
                    return Node;
                }
            }
            return nullptr;
        }
        for (size_t Slot = HomeOf(Key); Slots[Slot]; Slot = (Slot + 1) & SlotMask())
        {
            if (Slots[Slot]->Entry.Key == Key)
            {
                return Slots[Slot];
            }
        }
        return nullptr;
    }

    /** The index stays at most half full. */
    bool NeedsLargerIndex(int32 Number) const
    {
        return !Slots || static_cast<size_t>(Number) * 2 > (size_t{1} << SlotBits);
    }

    void RebuildIndex(int32 Number)
    {
        SlotBits = 4;
        while ((size_t{1} << SlotBits) < static_cast<size_t>(Number) * 2)
        {
            ++SlotBits;
        }
        delete[] Slots;
        Slots = new FNode*[size_t{1} << SlotBits]();
        for (FNode* Node = Head; Node; Node = Node->Next)
        {
            Insert(Node);
        }
    }

    void Insert(FNode* Node)
    {
        size_t Slot = HomeOf(Node->Entry.Key);
        while (Slots[Slot])
        {
            Slot = (Slot + 1) & SlotMask();
        }
        Slots[Slot] = Node;
    }

    /** Linear probing without tombstones: later entries of the probe run shift back into the hole. */
    void Erase(FNode* Node)
    {
        size_t Hole = HomeOf(Node->Entry.Key);
        while (Slots[Hole] != Node)
        {
            Hole = (Hole + 1) & SlotMask();
        }
        for (size_t Probe = (Hole + 1) & SlotMask(); Slots[Probe]; Probe = (Probe + 1) & SlotMask())
        {
            const size_t Home = HomeOf(Slots[Probe]->Entry.Key);
            const bool bStays =
                Hole < Probe ? (Home > Hole && Home <= Probe) : (Home > Hole || Home <= Probe);
            if (!bStays)
            {
                Slots[Hole] = Slots[Probe];
                Hole = Probe;
            }
        }
        Slots[Hole] = nullptr;
    }

    FNode* Head = nullptr;
    FNode* Tail = nullptr;
    /** Removed nodes, linked through Next, reused before a block's fresh room. */
    FNode* FreeNodes = nullptr;
    /** Newest first; only the newest may have fresh room. */
    FBlock* Blocks = nullptr;
    /** Index of 2^SlotBits element pointers, or none while the map is small. */
    FNode** Slots = nullptr;
    int32 SlotBits = 0;
    int32 Count = 0;
    int32 FreeCount = 0;
    /** Elements announced by Reserve that no block holds room for yet. */
    int32 Reserved = 0;
};

/** Set of unique values, iterating in insertion order. */
template <typename T> class TSet
{
public:
    bool Add(const T& Value)
    {
        if (Items.Contains(Value))
        {
            return false;
        }
        Items.Add(Value, true);
        return true;
    }
    bool Contains(const T& Value) const { return Items.Contains(Value); }
    int32 Remove(const T& Value) { return Items.Remove(Value); }
    int32 Num() const { return Items.Num(); }
    void Empty() { Items.Empty(); }
    TArray<T> Array() const
    {
        TArray<T> Keys;
        Items.GenerateKeyArray(Keys);
        return Keys;
    }

private:
    TMap<T, bool> Items;
};
