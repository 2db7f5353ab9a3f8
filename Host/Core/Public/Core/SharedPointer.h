#pragma once

#include <cassert>
#include <memory>
#include <utility>

/** Reference counting is always thread-safe here; the mode only keeps declarations readable. */
enum class ESPMode
{
    NotThreadSafe,
    ThreadSafe,
};

template <typename T, ESPMode Mode = ESPMode::ThreadSafe> class TSharedRef;
template <typename T, ESPMode Mode = ESPMode::ThreadSafe> class TWeakPtr;

template <typename T, ESPMode Mode = ESPMode::ThreadSafe> class TSharedPtr : public std::shared_ptr<T>
{
public:
    using std::shared_ptr<T>::shared_ptr;
    TSharedPtr() = default;
    TSharedPtr(std::shared_ptr<T> Other) : std::shared_ptr<T>(std::move(Other)) {}
    template <typename U, ESPMode M> TSharedPtr(const TSharedPtr<U, M>& Other) : std::shared_ptr<T>(Other) {}
    template <typename U, ESPMode M> TSharedPtr(const TSharedRef<U, M>& Other) : std::shared_ptr<T>(Other) {}

    bool IsValid() const { return static_cast<bool>(*this); }
    T* Get() const { return this->get(); }
    void Reset() { this->reset(); }
    TSharedRef<T, Mode> ToSharedRef() const
    {
        assert(IsValid());
        return TSharedRef<T, Mode>(static_cast<const std::shared_ptr<T>&>(*this));
    }
};

/** A shared pointer that is never empty by contract. */
template <typename T, ESPMode Mode> class TSharedRef : public std::shared_ptr<T>
{
public:
    explicit TSharedRef(std::shared_ptr<T> Other) : std::shared_ptr<T>(std::move(Other))
    {
        assert(this->get());
    }
    template <typename U, ESPMode M> TSharedRef(const TSharedRef<U, M>& Other) : std::shared_ptr<T>(Other) {}

    T& Get() const { return *this->get(); }
    TSharedPtr<T, Mode> ToSharedPtr() const { return TSharedPtr<T, Mode>(*this); }
};

template <typename T, ESPMode Mode> class TWeakPtr : public std::weak_ptr<T>
{
public:
    using std::weak_ptr<T>::weak_ptr;
    TWeakPtr() = default;
    template <typename U, ESPMode M> TWeakPtr(const TSharedPtr<U, M>& Other) : std::weak_ptr<T>(Other) {}
    template <typename U, ESPMode M> TWeakPtr(const TSharedRef<U, M>& Other) : std::weak_ptr<T>(Other) {}

    TSharedPtr<T, Mode> Pin() const { return TSharedPtr<T, Mode>(this->lock()); }
    bool IsValid() const { return !this->expired(); }
    void Reset() { this->reset(); }
};

template <typename T, ESPMode Mode = ESPMode::ThreadSafe>
class TSharedFromThis : public std::enable_shared_from_this<T>
{
public:
    TSharedRef<T, Mode> AsShared() { return TSharedRef<T, Mode>(this->shared_from_this()); }
    TSharedRef<const T, Mode> AsShared() const { return TSharedRef<const T, Mode>(this->shared_from_this()); }
    TWeakPtr<T, Mode> AsWeak() { return TWeakPtr<T, Mode>(this->weak_from_this()); }
    bool DoesSharedInstanceExist() const { return !this->weak_from_this().expired(); }
};

template <typename T, ESPMode Mode = ESPMode::ThreadSafe, typename... ArgTypes>
TSharedRef<T, Mode> MakeShared(ArgTypes&&... Args)
{
    return TSharedRef<T, Mode>(std::make_shared<T>(std::forward<ArgTypes>(Args)...));
}

template <typename T> TSharedRef<T> MakeShareable(T* Object)
{
    return TSharedRef<T>(std::shared_ptr<T>(Object));
}

template <typename To, typename From, ESPMode Mode>
TSharedPtr<To, Mode> StaticCastSharedPtr(const TSharedPtr<From, Mode>& P)
{
    return TSharedPtr<To, Mode>(std::static_pointer_cast<To>(P));
}
template <typename To, typename From, ESPMode Mode>
TSharedRef<To, Mode> StaticCastSharedRef(const TSharedRef<From, Mode>& P)
{
    return TSharedRef<To, Mode>(std::static_pointer_cast<To>(P));
}

template <typename T> using TUniquePtr = std::unique_ptr<T>;
template <typename T, typename... ArgTypes> TUniquePtr<T> MakeUnique(ArgTypes&&... Args)
{
    return std::make_unique<T>(std::forward<ArgTypes>(Args)...);
}

template <typename T, ESPMode Mode> struct std::hash<TSharedPtr<T, Mode>>
{
    size_t operator()(const TSharedPtr<T, Mode>& P) const { return std::hash<const void*>()(P.get()); }
};
template <typename T, ESPMode Mode> struct std::hash<TSharedRef<T, Mode>>
{
    size_t operator()(const TSharedRef<T, Mode>& P) const { return std::hash<const void*>()(P.get()); }
};
