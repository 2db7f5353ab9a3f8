#pragma once

#include <initializer_list>
#include <list>
#include <unordered_map>
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
 */
template <typename K, typename V> class TMap
{
    using FEntry = TPair<K, V>;
    using FList = std::list<FEntry>;

public:
    TMap() = default;
    TMap(std::initializer_list<FEntry> Init)
    {
        for (const FEntry& Entry : Init)
        {
            Add(Entry.Key, Entry.Value);
        }
    }
    TMap(const TMap& Other) { CopyFrom(Other); }
    TMap(TMap&&) = default;
    TMap& operator=(const TMap& Other)
    {
        if (this != &Other)
        {
            Empty();
            CopyFrom(Other);
        }
        return *this;
    }
    TMap& operator=(TMap&&) = default;

    int32 Num() const { return static_cast<int32>(Entries.size()); }
    bool IsEmpty() const { return Entries.empty(); }

    /** Adds or replaces; a replaced value keeps its place in the order. */
    V& Add(const K& Key, V Value)
    {
        V& Slot = FindOrAdd(Key);
        Slot = std::move(Value);
        return Slot;
    }
    V& Add(K&& Key, V Value)
    {
        V& Slot = FindOrAdd(Key);
        Slot = std::move(Value);
        return Slot;
    }
    void Reserve(int32) {}
    V& FindOrAdd(const K& Key)
    {
        const auto Found = FindEntry(Key);
        if (Found != Entries.end())
        {
            return Found->Value;
        }
        Entries.push_back(FEntry{Key, V{}});
        const auto Last = std::prev(Entries.end());
        AddToIndex(Last);
        return Last->Value;
    }
    V* Find(const K& Key)
    {
        const auto Found = FindEntry(Key);
        return Found == Entries.end() ? nullptr : &Found->Value;
    }
    const V* Find(const K& Key) const
    {
        const auto Found = const_cast<TMap*>(this)->FindEntry(Key);
        return Found == Entries.end() ? nullptr : &Found->Value;
    }
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
        for (const FEntry& Entry : Entries)
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
        const auto Found = FindEntry(Key);
        if (Found == Entries.end())
        {
            return 0;
        }
        Index.erase(&Found->Key);
        Entries.erase(Found);
        return 1;
    }
    bool RemoveAndCopyValue(const K& Key, V& OutValue)
    {
        V* Value = Find(Key);
        if (!Value)
        {
            return false;
        }
        OutValue = std::move(*Value);
        Remove(Key);
        return true;
    }
    void Empty()
    {
        Index.clear();
        Entries.clear();
    }
    void Reset() { Empty(); }

    void GenerateKeyArray(TArray<K>& OutKeys) const
    {
        OutKeys.Reset();
        for (const FEntry& Entry : Entries)
        {
            OutKeys.Add(Entry.Key);
        }
    }
    void GenerateValueArray(TArray<V>& OutValues) const
    {
        OutValues.Reset();
        for (const FEntry& Entry : Entries)
        {
            OutValues.Add(Entry.Value);
        }
    }

    /** Iterator that may remove the element it stands on. */
    class TIterator
    {
    public:
        explicit TIterator(TMap& InMap) : Map(InMap), Current(InMap.Entries.begin()) {}
        explicit operator bool() const { return Current != Map.Entries.end(); }
        TIterator& operator++()
        {
            if (!bRemoved)
            {
                ++Current;
            }
            bRemoved = false;
            return *this;
        }
        FEntry& operator*() const { return *Current; }
        FEntry* operator->() const { return &*Current; }
        const K& Key() const { return Current->Key; }
        V& Value() const { return Current->Value; }
        void RemoveCurrent()
        {
            Map.Index.erase(&Current->Key);
            Current = Map.Entries.erase(Current);
            bRemoved = true;
        }

    private:
        TMap& Map;
        typename FList::iterator Current;
        bool bRemoved = false;
    };
    TIterator CreateIterator() { return TIterator(*this); }

    auto begin() { return Entries.begin(); }
    auto end() { return Entries.end(); }
    auto begin() const { return Entries.begin(); }
    auto end() const { return Entries.end(); }

private:
    void CopyFrom(const TMap& Other)
    {
        for (const FEntry& Entry : Other.Entries)
        {
            Add(Entry.Key, Entry.Value);
        }
    }

    FList Entries;
    using FListIterator = typename FList::iterator;

    /** Small maps are searched in order; larger ones through a hash index on the stored keys. */
    static constexpr size_t IndexThreshold = 8;

    struct FKeyHash
    {
        size_t operator()(const K* Key) const { return std::hash<K>()(*Key); }
    };
    struct FKeyEqual
    {
        bool operator()(const K* A, const K* B) const { return *A == *B; }
    };

    FListIterator FindEntry(const K& Key)
    {
        if (!Index.empty())
        {
            const auto Found = Index.find(&Key);
            return Found == Index.end() ? Entries.end() : Found->second;
        }
        for (auto It = Entries.begin(); It != Entries.end(); ++It)
        {
            if (It->Key == Key)
            {
                return It;
            }
        }
        return Entries.end();
    }
    void AddToIndex(FListIterator Added)
    {
        if (!Index.empty())
        {
            Index.emplace(&Added->Key, Added);
            return;
        }
        if (Entries.size() <= IndexThreshold)
        {
            return;
        }
        Index.reserve(Entries.size() * 2);
        for (auto It = Entries.begin(); It != Entries.end(); ++It)
        {
            Index.emplace(&It->Key, It);
        }
    }

    std::unordered_map<const K*, FListIterator, FKeyHash, FKeyEqual> Index;
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
