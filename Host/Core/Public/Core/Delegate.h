#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "Core/Types.h"

/** Identifies one binding of a multicast delegate. */
class FDelegateHandle
{
public:
    FDelegateHandle() = default;
    static FDelegateHandle New()
    {
        static std::atomic<uint64> Counter{0};
        FDelegateHandle Handle;
        Handle.Id = ++Counter;
        return Handle;
    }
    bool IsValid() const { return Id != 0; }
    void Reset() { Id = 0; }
    bool operator==(const FDelegateHandle& Other) const { return Id == Other.Id; }
    bool operator!=(const FDelegateHandle& Other) const { return Id != Other.Id; }

private:
    uint64 Id = 0;
};

/** Liveness of objects derived from std::enable_shared_from_this (TSharedFromThis). */
template <typename U>
auto GetDelegateLiveness(const U* Object) -> decltype(Object->weak_from_this(), std::weak_ptr<const void>())
{
    return std::weak_ptr<const void>(Object->weak_from_this());
}

template <typename Signature> class TDelegate;

/**
 * Single-cast delegate. A binding to an object with a known lifetime (SP, UObject, weak lambda) is skipped
 * once that object is gone; the object is kept alive while its function runs.
 */
template <typename RetType, typename... ParamTypes> class TDelegate<RetType(ParamTypes...)>
{
    using FFunction = std::function<RetType(ParamTypes...)>;

    struct FBinding
    {
        FFunction Function;
        std::weak_ptr<const void> Owner;
        bool bHasOwner = false;
        const void* Object = nullptr;
    };

public:
    TDelegate() = default;

    template <typename FunctorType, typename... VarTypes>
    static TDelegate CreateLambda(FunctorType&& Functor, VarTypes... Vars)
    {
        return Make(BindPayload(std::forward<FunctorType>(Functor), std::move(Vars)...), nullptr);
    }
    template <typename FuncType, typename... VarTypes>
    static TDelegate CreateStatic(FuncType Function, VarTypes... Vars)
    {
        return Make(BindPayload(Function, std::move(Vars)...), nullptr);
    }
    /** Unsafe by contract: the caller guarantees the object outlives the binding. */
    template <typename U, typename MethodType, typename... VarTypes>
    static TDelegate CreateRaw(U* Object, MethodType Method, VarTypes... Vars)
    {
        return Make(BindMethod(Object, Method, std::move(Vars)...), Object);
    }
    template <typename U, typename MethodType, typename... VarTypes>
    static TDelegate CreateSP(U* Object, MethodType Method, VarTypes... Vars)
    {
        return MakeOwned(BindMethod(Object, Method, std::move(Vars)...), Object, GetDelegateLiveness(Object));
    }
    template <typename PtrType, typename MethodType, typename... VarTypes>
    static TDelegate CreateSP(const PtrType& Shared, MethodType Method, VarTypes... Vars) requires requires
    {
        Shared.get();
    }
    {
        auto* Object = Shared.get();
        return MakeOwned(BindMethod(Object, Method, std::move(Vars)...), Object,
                         std::weak_ptr<const void>(Shared));
    }
    template <typename U, typename MethodType, typename... VarTypes>
    static TDelegate CreateThreadSafeSP(U* Object, MethodType Method, VarTypes... Vars)
    {
        return CreateSP(Object, Method, std::move(Vars)...);
    }
    /** Bound to an engine-managed object; skipped once the object is destroyed. */
    template <typename U, typename MethodType, typename... VarTypes>
    static TDelegate CreateUObject(U* Object, MethodType Method, VarTypes... Vars)
    {
        return MakeOwned(BindMethod(Object, Method, std::move(Vars)...), Object, GetDelegateLiveness(Object));
    }
    /** A lambda that runs only while Object lives. */
    template <typename U, typename FunctorType, typename... VarTypes>
    static TDelegate CreateWeakLambda(U* Object, FunctorType&& Functor, VarTypes... Vars)
    {
        return MakeOwned(BindPayload(std::forward<FunctorType>(Functor), std::move(Vars)...), Object,
                         GetDelegateLiveness(Object));
    }

    template <typename... ArgTypes> void BindLambda(ArgTypes&&... Args)
    {
        *this = CreateLambda(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindStatic(ArgTypes&&... Args)
    {
        *this = CreateStatic(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindRaw(ArgTypes&&... Args)
    {
        *this = CreateRaw(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindSP(ArgTypes&&... Args)
    {
        *this = CreateSP(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindThreadSafeSP(ArgTypes&&... Args)
    {
        *this = CreateThreadSafeSP(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindUObject(ArgTypes&&... Args)
    {
        *this = CreateUObject(std::forward<ArgTypes>(Args)...);
    }
    template <typename... ArgTypes> void BindWeakLambda(ArgTypes&&... Args)
    {
        *this = CreateWeakLambda(std::forward<ArgTypes>(Args)...);
    }

    void Unbind() { Binding.reset(); }
    bool IsBound() const { return Binding && (!Binding->bHasOwner || !Binding->Owner.expired()); }
    bool IsBoundToObject(const void* Object) const { return Binding && Binding->Object == Object; }

    /** Calls the binding; an unbound delegate or a gone owner returns a default value. */
    RetType Execute(ParamTypes... Params) const
    {
        const std::shared_ptr<const FBinding> Held = Binding;
        if (!Held)
        {
            return RetType();
        }
        std::shared_ptr<const void> Pinned;
        if (Held->bHasOwner)
        {
            Pinned = Held->Owner.lock();
            if (!Pinned)
            {
                return RetType();
            }
        }
        return Held->Function(std::forward<ParamTypes>(Params)...);
    }

    bool ExecuteIfBound(ParamTypes... Params) const requires std::is_void_v<RetType>
    {
        if (!IsBound())
        {
            return false;
        }
        Execute(std::forward<ParamTypes>(Params)...);
        return true;
    }

private:
    template <typename FunctorType, typename... VarTypes>
    static FFunction BindPayload(FunctorType&& Functor, VarTypes... Vars)
    {
        if constexpr (sizeof...(VarTypes) == 0)
        {
            return FFunction(std::forward<FunctorType>(Functor));
        }
        else
        {
            return [Functor = std::forward<FunctorType>(Functor),
                    ... Vars = std::move(Vars)](ParamTypes... Params) mutable -> RetType
            { return Functor(std::forward<ParamTypes>(Params)..., Vars...); };
        }
    }
    template <typename U, typename MethodType, typename... VarTypes>
    static FFunction BindMethod(U* Object, MethodType Method, VarTypes... Vars)
    {
        return [Object, Method, ... Vars = std::move(Vars)](ParamTypes... Params) mutable -> RetType
        { return (Object->*Method)(std::forward<ParamTypes>(Params)..., Vars...); };
    }
    static TDelegate Make(FFunction Function, const void* Object)
    {
        TDelegate Result;
        auto Binding = std::make_shared<FBinding>();
        Binding->Function = std::move(Function);
        Binding->Object = Object;
        Result.Binding = std::move(Binding);
        return Result;
    }
    static TDelegate MakeOwned(FFunction Function, const void* Object, std::weak_ptr<const void> Owner)
    {
        TDelegate Result;
        auto Binding = std::make_shared<FBinding>();
        Binding->Function = std::move(Function);
        Binding->Object = Object;
        Binding->Owner = std::move(Owner);
        Binding->bHasOwner = true;
        Result.Binding = std::move(Binding);
        return Result;
    }

    std::shared_ptr<const FBinding> Binding;
};

template <typename Signature> class TMulticastDelegate;

/**
 * Multicast delegate. A broadcast calls the bindings present when it started, skipping those removed or whose
 * owner died meanwhile; handlers may add or remove bindings, or destroy their own object, while it runs.
 */
template <typename... ParamTypes> class TMulticastDelegate<void(ParamTypes...)>
{
public:
    using FDelegate = TDelegate<void(ParamTypes...)>;

    FDelegateHandle Add(const FDelegate& Delegate)
    {
        if (!Delegate.IsBound())
        {
            return FDelegateHandle();
        }
        auto Entry = std::make_shared<FEntry>();
        Entry->Delegate = Delegate;
        Entry->Handle = FDelegateHandle::New();
        Entries.push_back(Entry);
        return Entry->Handle;
    }
    template <typename... ArgTypes> FDelegateHandle AddLambda(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateLambda(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddStatic(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateStatic(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddRaw(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateRaw(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddSP(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateSP(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddThreadSafeSP(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateThreadSafeSP(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddUObject(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateUObject(std::forward<ArgTypes>(Args)...));
    }
    template <typename... ArgTypes> FDelegateHandle AddWeakLambda(ArgTypes&&... Args)
    {
        return Add(FDelegate::CreateWeakLambda(std::forward<ArgTypes>(Args)...));
    }

    bool Remove(FDelegateHandle Handle)
    {
        for (size_t Index = 0; Index < Entries.size(); ++Index)
        {
            if (Entries[Index]->Handle == Handle)
            {
                Entries[Index]->bRemoved = true;
                Entries.erase(Entries.begin() + Index);
                return true;
            }
        }
        return false;
    }
    int32 RemoveAll(const void* Object)
    {
        int32 Removed = 0;
        for (size_t Index = Entries.size(); Index-- > 0;)
        {
            if (Entries[Index]->Delegate.IsBoundToObject(Object))
            {
                Entries[Index]->bRemoved = true;
                Entries.erase(Entries.begin() + Index);
                ++Removed;
            }
        }
        return Removed;
    }
    void Clear()
    {
        for (auto& Entry : Entries)
        {
            Entry->bRemoved = true;
        }
        Entries.clear();
    }
    bool IsBound() const
    {
        for (const auto& Entry : Entries)
        {
            if (Entry->Delegate.IsBound())
            {
                return true;
            }
        }
        return false;
    }
    bool IsBoundToObject(const void* Object) const
    {
        for (const auto& Entry : Entries)
        {
            if (Entry->Delegate.IsBoundToObject(Object))
            {
                return true;
            }
        }
        return false;
    }

    void Broadcast(ParamTypes... Params) const
    {
        // A snapshot keeps removals and additions made by handlers from disturbing this pass.
        const std::vector<std::shared_ptr<FEntry>> Snapshot = Entries;
        for (const auto& Entry : Snapshot)
        {
            if (!Entry->bRemoved)
            {
                Entry->Delegate.Execute(Params...);
            }
        }
    }

private:
    struct FEntry
    {
        FDelegate Delegate;
        FDelegateHandle Handle;
        bool bRemoved = false;
    };
    std::vector<std::shared_ptr<FEntry>> Entries;
};

#define DECLARE_DELEGATE(Name) using Name = TDelegate<void()>;
#define DECLARE_DELEGATE_OneParam(Name, P1) using Name = TDelegate<void(P1)>;
#define DECLARE_DELEGATE_TwoParams(Name, P1, P2) using Name = TDelegate<void(P1, P2)>;
#define DECLARE_DELEGATE_ThreeParams(Name, P1, P2, P3) using Name = TDelegate<void(P1, P2, P3)>;
#define DECLARE_DELEGATE_FourParams(Name, P1, P2, P3, P4) using Name = TDelegate<void(P1, P2, P3, P4)>;
#define DECLARE_DELEGATE_FiveParams(Name, P1, P2, P3, P4, P5)                                                \
    using Name = TDelegate<void(P1, P2, P3, P4, P5)>;
#define DECLARE_DELEGATE_SixParams(Name, P1, P2, P3, P4, P5, P6)                                             \
    using Name = TDelegate<void(P1, P2, P3, P4, P5, P6)>;
#define DECLARE_DELEGATE_RetVal(Ret, Name) using Name = TDelegate<Ret()>;
#define DECLARE_DELEGATE_RetVal_OneParam(Ret, Name, P1) using Name = TDelegate<Ret(P1)>;
#define DECLARE_DELEGATE_RetVal_TwoParams(Ret, Name, P1, P2) using Name = TDelegate<Ret(P1, P2)>;
#define DECLARE_MULTICAST_DELEGATE(Name) using Name = TMulticastDelegate<void()>;
#define DECLARE_MULTICAST_DELEGATE_OneParam(Name, P1) using Name = TMulticastDelegate<void(P1)>;
#define DECLARE_MULTICAST_DELEGATE_TwoParams(Name, P1, P2) using Name = TMulticastDelegate<void(P1, P2)>;
#define DECLARE_MULTICAST_DELEGATE_ThreeParams(Name, P1, P2, P3)                                             \
    using Name = TMulticastDelegate<void(P1, P2, P3)>;
#define DECLARE_MULTICAST_DELEGATE_FourParams(Name, P1, P2, P3, P4)                                          \
    using Name = TMulticastDelegate<void(P1, P2, P3, P4)>;
#define DECLARE_MULTICAST_DELEGATE_FiveParams(Name, P1, P2, P3, P4, P5)                                      \
    using Name = TMulticastDelegate<void(P1, P2, P3, P4, P5)>;
#define DECLARE_MULTICAST_DELEGATE_SixParams(Name, P1, P2, P3, P4, P5, P6)                                   \
    using Name = TMulticastDelegate<void(P1, P2, P3, P4, P5, P6)>;
