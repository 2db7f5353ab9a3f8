#include "UObject/Class.h"

namespace
{
/** Built on first use, so classes may register from any translation unit's static initialisation. */
TMap<FString, UClass*>& ClassesByName()
{
    static TMap<FString, UClass*> Classes;
    return Classes;
}
TMap<FString, UClass*>& ClassesByPath()
{
    static TMap<FString, UClass*> Classes;
    return Classes;
}
} // namespace

const char* ObjectClassPrivate::StripClassPrefix(const char* DeclaredName)
{
    return DeclaredName[0] == 'U' && DeclaredName[1] != '\0' ? DeclaredName + 1 : DeclaredName;
}

UClass::UClass(const char* InName, const char* InPackageName, const UClass* InSuperClass,
               FConstructor InConstructor, FAddReferencedObjects InAddReferencedObjects, uint32 InClassFlags)
    : Name(InName), PackageName(InPackageName), SuperClass(InSuperClass), Constructor(InConstructor),
      AddReferencedObjectsFunction(InAddReferencedObjects), ClassFlags(InClassFlags)
{
    // A short name that two packages share keeps its first class; the path name stays unique.
    if (!ClassesByName().Contains(Name))
    {
        ClassesByName().Add(Name, this);
    }
    ClassesByPath().Add(GetPathName(), this);
}

bool UClass::IsChildOf(const UClass* Other) const
{
    for (const UClass* Class = this; Class; Class = Class->SuperClass)
    {
        if (Class == Other)
        {
            return true;
        }
    }
    return false;
}

UObject* UClass::ConstructInstance() const
{
    if (HasAnyClassFlags(CLASS_Abstract | CLASS_Interface) || !Constructor)
    {
        return nullptr;
    }
    return Constructor();
}

UClass* UClass::FindClass(const FString& NameOrPathName)
{
    if (UClass* const* ByPath = ClassesByPath().Find(NameOrPathName))
    {
        return *ByPath;
    }
    return ClassesByName().FindRef(NameOrPathName);
}
