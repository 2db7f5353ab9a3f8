#pragma once

#include <algorithm>
#include <cassert>
#include <initializer_list>
#include <utility>
#include <vector>

#include "Core/Types.h"

/** Dynamic array with the host's operation names. */
template <typename T> class TArray
{
public:
    using ElementType = T;

    TArray() = default;
    TArray(std::initializer_list<T> Init) : Items(Init) {}
    TArray(const T* Data, int32 Count) : Items(Data, Data + Count) {}
    explicit TArray(std::vector<T> From) : Items(std::move(From)) {}

    int32 Num() const { return static_cast<int32>(Items.size()); }
    bool IsEmpty() const { return Items.empty(); }
    bool IsValidIndex(int32 Index) const { return Index >= 0 && Index < Num(); }

    T& operator[](int32 Index)
    {
        assert(IsValidIndex(Index));
        return Items[Index];
    }
    const T& operator[](int32 Index) const
    {
        assert(IsValidIndex(Index));
        return Items[Index];
    }
    T& Last(int32 FromEnd = 0) { return Items[Items.size() - 1 - FromEnd]; }
    const T& Last(int32 FromEnd = 0) const { return Items[Items.size() - 1 - FromEnd]; }
    T* GetData() { return Items.data(); }
    const T* GetData() const { return Items.data(); }

    int32 Add(const T& Item)
    {
        Items.push_back(Item);
        return Num() - 1;
    }
    int32 Add(T&& Item)
    {
        Items.push_back(std::move(Item));
        return Num() - 1;
    }
    template <typename... ArgTypes> int32 Emplace(ArgTypes&&... Args)
    {
        Items.emplace_back(std::forward<ArgTypes>(Args)...);
        return Num() - 1;
    }
    T& AddDefaulted_GetRef() { return Items.emplace_back(); }
    int32 AddUnique(const T& Item)
    {
        const int32 Existing = Find(Item);
        return Existing != INDEX_NONE ? Existing : Add(Item);
    }
    void Append(const TArray& Other) { Items.insert(Items.end(), Other.Items.begin(), Other.Items.end()); }
    void Append(const T* Data, int32 Count) { Items.insert(Items.end(), Data, Data + Count); }
    void Insert(const T& Item, int32 Index) { Items.insert(Items.begin() + Index, Item); }

    int32 Find(const T& Item) const
    {
        auto It = std::find(Items.begin(), Items.end(), Item);
        return It == Items.end() ? INDEX_NONE : static_cast<int32>(It - Items.begin());
    }
    bool Contains(const T& Item) const { return Find(Item) != INDEX_NONE; }
    template <typename Pred> T* FindByPredicate(Pred Predicate)
    {
        auto It = std::find_if(Items.begin(), Items.end(), Predicate);
        return It == Items.end() ? nullptr : &*It;
    }
    template <typename Pred> const T* FindByPredicate(Pred Predicate) const
    {
        auto It = std::find_if(Items.begin(), Items.end(), Predicate);
        return It == Items.end() ? nullptr : &*It;
    }
    template <typename Pred> int32 IndexOfByPredicate(Pred Predicate) const
    {
        auto It = std::find_if(Items.begin(), Items.end(), Predicate);
        return It == Items.end() ? INDEX_NONE : static_cast<int32>(It - Items.begin());
    }
    template <typename Pred> bool ContainsByPredicate(Pred Predicate) const
    {
        return IndexOfByPredicate(Predicate) != INDEX_NONE;
    }
    template <typename Pred> TArray FilterByPredicate(Pred Predicate) const
    {
        TArray Result;
        std::copy_if(Items.begin(), Items.end(), std::back_inserter(Result.Items), Predicate);
        return Result;
    }

    /** Removes every element equal to Item; returns how many went. */
    int32 Remove(const T& Item)
    {
        const size_t Before = Items.size();
        Items.erase(std::remove(Items.begin(), Items.end(), Item), Items.end());
        return static_cast<int32>(Before - Items.size());
    }
    int32 RemoveSingle(const T& Item)
    {
        const int32 Index = Find(Item);
        if (Index == INDEX_NONE)
        {
            return 0;
        }
        RemoveAt(Index);
        return 1;
    }
    template <typename Pred> int32 RemoveAll(Pred Predicate)
    {
        const size_t Before = Items.size();
        Items.erase(std::remove_if(Items.begin(), Items.end(), Predicate), Items.end());
        return static_cast<int32>(Before - Items.size());
    }
    void RemoveAt(int32 Index, int32 Count = 1)
    {
        Items.erase(Items.begin() + Index, Items.begin() + Index + Count);
    }

    void Empty(int32 Slack = 0)
    {
        Items.clear();
        if (Slack > 0)
        {
            Items.reserve(Slack);
        }
    }
    void Reset() { Items.clear(); }
    void Reserve(int32 Count) { Items.reserve(Count); }
    void SetNum(int32 Count) { Items.resize(Count); }
    void SetNumZeroed(int32 Count) { Items.assign(Count, T{}); }
    void Sort() { std::sort(Items.begin(), Items.end()); }
    template <typename Pred> void Sort(Pred Predicate) { std::sort(Items.begin(), Items.end(), Predicate); }
    template <typename Pred> void StableSort(Pred Predicate)
    {
        std::stable_sort(Items.begin(), Items.end(), Predicate);
    }

    bool operator==(const TArray& Other) const { return Items == Other.Items; }

    auto begin() { return Items.begin(); }
    auto end() { return Items.end(); }
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }

    std::vector<T>& ToStdVector() { return Items; }
    const std::vector<T>& ToStdVector() const { return Items; }

private:
    std::vector<T> Items;
};
