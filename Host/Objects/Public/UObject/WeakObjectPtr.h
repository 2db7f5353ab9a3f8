#pragma once

#include "UObject/Object.h"

/** Points at an engine-managed object without keeping it alive; Get gives null once it is destroyed. */
template <typename T> class TWeakObjectPtr
{
public:
    TWeakObjectPtr() = default;
    TWeakObjectPtr(T* InObject) : Object(InObject)
    {
        if (InObject)
        {
            Liveness = GetDelegateLiveness(InObject);
        }
    }

    T* Get() const { return Liveness.expired() ? nullptr : Object; }
    bool IsValid() const { return Get() != nullptr; }
    void Reset()
    {
        Object = nullptr;
        Liveness.reset();
    }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return IsValid(); }
    bool operator==(const TWeakObjectPtr& Other) const { return Get() == Other.Get(); }

private:
    T* Object = nullptr;
    std::weak_ptr<const void> Liveness;
};
