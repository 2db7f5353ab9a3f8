#pragma once

#include <type_traits>

#include "CoreMinimal.h"

class UObject;
class FReferenceCollector;

enum EClassFlags : uint32
{
    CLASS_None = 0,
    /** No instance can be made; NewObject refuses the class. */
    CLASS_Abstract = 1u << 0,
    /** The class stands for an interface that other classes implement natively. */
    CLASS_Interface = 1u << 1,
};

/**
 * What the engine knows of one engine-managed class: its name, package, parent, how to make an instance and
 * how to find the objects an instance references. Classes live for the whole program and are found by name in
 * a registry, so configuration and console text can name them.
 */
class UClass
{
public:
    using FConstructor = UObject* (*)();
    using FAddReferencedObjects = void (*)(UObject*, FReferenceCollector&);

    /** Registers the class under its name; classes register once, at program start. */
    UClass(const char* InName, const char* InPackageName, const UClass* InSuperClass,
           FConstructor InConstructor, FAddReferencedObjects InAddReferencedObjects, uint32 InClassFlags);
    UClass(const UClass&) = delete;
    UClass& operator=(const UClass&) = delete;

    /** The name without the "U" prefix, e.g. "ZorProfile". */
    const FString& GetName() const { return Name; }
    const FString& GetPackageName() const { return PackageName; }
    /** "/Script/Package.Name". */
    FString GetPathName() const { return PackageName + "." + Name; }
    const UClass* GetSuperClass() const { return SuperClass; }
    bool HasAnyClassFlags(uint32 Flags) const { return (ClassFlags & Flags) != 0; }
    /** True for this class and every class derived from it. */
    bool IsChildOf(const UClass* Other) const;

    /** A new, unregistered instance; null for an abstract class. Use NewObject instead. */
    UObject* ConstructInstance() const;
    /** Reports what Object references, through the most derived class's own function. */
    void AddReferencedObjects(UObject* Object, FReferenceCollector& Collector) const
    {
        AddReferencedObjectsFunction(Object, Collector);
    }

    /** The registered class of that name or path name, ignoring letter case; null when none. */
    static UClass* FindClass(const FString& NameOrPathName);

private:
    FString Name;
    FString PackageName;
    const UClass* SuperClass;
    FConstructor Constructor;
    FAddReferencedObjects AddReferencedObjectsFunction;
    uint32 ClassFlags;
};

namespace ObjectClassPrivate
{
/** "UZorProfile" gives "ZorProfile". */
const char* StripClassPrefix(const char* DeclaredName);

template <typename T> UObject* ConstructDefault()
{
    if constexpr (std::is_abstract_v<T> || !std::is_default_constructible_v<T>)
    {
        return nullptr;
    }
    else
    {
        return new T();
    }
}

/** Makes a class known to the registry when the program starts. */
struct FRegisterClass
{
    explicit FRegisterClass(UClass* Class) { (void)Class; }
};
} // namespace ObjectClassPrivate

/**
 * Opens the body of an engine-managed class: ThisClass, Super, StaticClass and GetClass. Every member after
 * it is public until the next access specifier.
 */
#define DECLARE_OBJECT_CLASS(TClass, TSuperClass)                                                            \
public:                                                                                                      \
    using ThisClass = TClass;                                                                                \
    using Super = TSuperClass;                                                                               \
    static UClass* StaticClass();                                                                            \
    UClass* GetClass() const override                                                                        \
    {                                                                                                        \
        return StaticClass();                                                                                \
    }

/**
 * Defines the class record of TClass in one source file. The class's static AddReferencedObjects (its own or
 * the nearest inherited one) is what the collector calls for its instances.
 */
#define IMPLEMENT_OBJECT_CLASS(TClass, PackageName, ClassFlags)                                              \
    UClass* TClass::StaticClass()                                                                            \
    {                                                                                                        \
        static UClass Class(ObjectClassPrivate::StripClassPrefix(#TClass), PackageName,                      \
                            Super::StaticClass(), &ObjectClassPrivate::ConstructDefault<TClass>,             \
                            &TClass::AddReferencedObjects, ClassFlags);                                      \
        return &Class;                                                                                       \
    }                                                                                                        \
    static ObjectClassPrivate::FRegisterClass GRegister##TClass(TClass::StaticClass());
