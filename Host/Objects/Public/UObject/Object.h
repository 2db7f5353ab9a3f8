#pragma once

#include <memory>

#include "UObject/Class.h"

/**
 * Base of engine-managed objects. Objects made by NewObject belong to the collector: CollectGarbage destroys
 * those that no root reaches, following each class's AddReferencedObjects and every object's outer. Objects
 * made any other way (on the stack, as members) are never collected. Game thread only.
 */
class UObject
{
public:
    UObject();
    /** A copy is a new object: it takes the name and outer, but is neither rooted nor owned by the collector.
     */
    UObject(const UObject& Other);
    UObject& operator=(const UObject&) = delete;
    virtual ~UObject();

    static UClass* StaticClass();
    virtual UClass* GetClass() const { return StaticClass(); }
    /** Reports the objects this one keeps alive; derived classes call Super's first. */
    static void AddReferencedObjects(UObject* InThis, FReferenceCollector& Collector);

    const FString& GetName() const { return Name; }
    UObject* GetOuter() const { return Outer; }

    bool IsA(const UClass* Class) const { return GetClass()->IsChildOf(Class); }
    template <typename T> bool IsA() const { return IsA(T::StaticClass()); }
    /** True when the object implements the interface whose class is InterfaceType (e.g. UZorItemAware). */
    template <typename InterfaceType> bool Implements() const
    {
        return dynamic_cast<const typename InterfaceType::NativeInterfaceType*>(this) != nullptr;
    }

    /** A rooted object, and everything it reaches, survives collection. */
    void AddToRoot() { bRooted = true; }
    void RemoveFromRoot() { bRooted = false; }
    bool IsRooted() const { return bRooted; }

    /** Expires when the object is destroyed; delegates and weak object pointers watch it. */
    std::weak_ptr<const void> GetLiveness() const { return Liveness; }

private:
    friend class FUObjectArray;

    FString Name;
    UObject* Outer = nullptr;
    bool bRooted = false;
    /** Position in the collector's list; INDEX_NONE for objects the collector does not own. */
    int32 CollectorIndex = INDEX_NONE;
    std::shared_ptr<const void> Liveness;
};

/** Delegates bound to an engine-managed object (CreateUObject, CreateWeakLambda) are skipped once it is gone.
 */
inline std::weak_ptr<const void> GetDelegateLiveness(const UObject* Object)
{
    return Object->GetLiveness();
}

/** Base of the classes that stand for interfaces; the native side is a plain class with virtual operations.
 */
class UInterface : public UObject
{
    DECLARE_OBJECT_CLASS(UInterface, UObject)
};

/** Opens the body of an interface class and names its native side. */
#define DECLARE_INTERFACE_CLASS(TClass, TNativeInterface)                                                    \
    DECLARE_OBJECT_CLASS(TClass, UInterface)                                                                 \
    using NativeInterfaceType = TNativeInterface;

/** An object that groups others; the transient package holds objects that are never saved. */
class UPackage : public UObject
{
    DECLARE_OBJECT_CLASS(UPackage, UObject)
};

/** The rooted package that is the default outer of new objects. */
UPackage* GetTransientPackage();

/**
 * Makes an object of Class (which must be T or derived from it and not abstract) in Outer and hands it to the
 * collector. An empty name becomes "ClassName_N". Null when the class does not fit.
 */
UObject* StaticConstructObject(const UClass* Class, UObject* Outer, const FString& Name);

template <typename T>
T* NewObject(UObject* Outer = GetTransientPackage(), const UClass* Class = T::StaticClass(),
             const FString& Name = FString())
{
    if (!Class || !Class->IsChildOf(T::StaticClass()))
    {
        return nullptr;
    }
    return static_cast<T*>(StaticConstructObject(Class, Outer, Name));
}

/** The object as T (a class or a native interface), or null. */
template <typename T> T* Cast(UObject* Object)
{
    return dynamic_cast<T*>(Object);
}
template <typename T> const T* Cast(const UObject* Object)
{
    return dynamic_cast<const T*>(Object);
}
