#include <atomic>

#include "UObject/GarbageCollection.h"

/** The collector's list of the objects it owns, with the marking and sweeping of a collection. */
class FUObjectArray
{
public:
    static FUObjectArray& Get()
    {
        static FUObjectArray Array;
        return Array;
    }

    void Add(UObject* Object, const FString& Name, UObject* Outer)
    {
        Object->Name = Name;
        Object->Outer = Outer;
        Object->CollectorIndex = static_cast<int32>(Objects.size());
        Objects.push_back(Object);
    }

    void Remove(UObject* Object)
    {
        const int32 Index = Object->CollectorIndex;
        if (Index == INDEX_NONE)
        {
            return;
        }
        UObject* Moved = Objects.back();
        Objects[Index] = Moved;
        Moved->CollectorIndex = Index;
        Objects.pop_back();
        Object->CollectorIndex = INDEX_NONE;
    }

    int32 Num() const { return static_cast<int32>(Objects.size()); }

    int32 Collect()
    {
        std::vector<bool> Reachable(Objects.size(), false);
        FReferenceCollector Collector;
        for (UObject* Object : Objects)
        {
            if (Object->bRooted)
            {
                Collector.Pending.push_back(Object);
            }
        }
        Mark(Collector, Reachable);
        return Sweep(Reachable);
    }

    static void Report(FReferenceCollector& Collector, const UObject* Object)
    {
        if (Object && Object->CollectorIndex != INDEX_NONE)
        {
            Collector.Pending.push_back(const_cast<UObject*>(Object));
        }
    }

private:
    void Mark(FReferenceCollector& Collector, std::vector<bool>& Reachable)
    {
        // An explicit work list: reference chains can be far longer than the stack is deep.
        while (!Collector.Pending.empty())
        {
            UObject* Object = Collector.Pending.back();
            Collector.Pending.pop_back();
            if (Reachable[Object->CollectorIndex])
            {
                continue;
            }
            Reachable[Object->CollectorIndex] = true;
            Report(Collector, Object->Outer);
            Object->GetClass()->AddReferencedObjects(Object, Collector);
        }
    }

    int32 Sweep(const std::vector<bool>& Reachable)
    {
        std::vector<UObject*> Doomed;
        for (size_t Index = 0; Index < Reachable.size(); ++Index)
        {
            // A pinned liveness means one of the object's delegates is running; it goes next time.
            if (!Reachable[Index] && Objects[Index]->Liveness.use_count() == 1)
            {
                Doomed.push_back(Objects[Index]);
            }
        }
        for (UObject* Object : Doomed)
        {
            Remove(Object);
        }
        for (UObject* Object : Doomed)
        {
            delete Object;
        }
        return static_cast<int32>(Doomed.size());
    }

    std::vector<UObject*> Objects;
};

UObject::UObject() : Liveness(std::make_shared<int>(0)) {}

UObject::UObject(const UObject& Other)
    : Name(Other.Name), Outer(Other.Outer), Liveness(std::make_shared<int>(0))
{
}

UObject::~UObject()
{
    FUObjectArray::Get().Remove(this);
}

void UObject::AddReferencedObjects(UObject*, FReferenceCollector&) {}

IMPLEMENT_OBJECT_CLASS(UInterface, "/Script/CoreUObject", CLASS_Abstract | CLASS_Interface)
IMPLEMENT_OBJECT_CLASS(UPackage, "/Script/CoreUObject", CLASS_None)

UClass* UObject::StaticClass()
{
    static UClass Class("Object", "/Script/CoreUObject", nullptr,
                        &ObjectClassPrivate::ConstructDefault<UObject>, &UObject::AddReferencedObjects,
                        CLASS_None);
    return &Class;
}
static ObjectClassPrivate::FRegisterClass GRegisterUObject(UObject::StaticClass());

UPackage* GetTransientPackage()
{
    static UPackage* const Package = []
    {
        auto* Created = NewObject<UPackage>(nullptr, UPackage::StaticClass(), "/Engine/Transient");
        Created->AddToRoot();
        return Created;
    }();
    return Package;
}

UObject* StaticConstructObject(const UClass* Class, UObject* Outer, const FString& Name)
{
    static std::atomic<uint64> NameCounter{0};
    UObject* Object = Class ? Class->ConstructInstance() : nullptr;
    if (!Object)
    {
        return nullptr;
    }
    const FString ObjectName =
        Name.IsEmpty()
            ? FString::Printf("%s_%llu", *Class->GetName(), static_cast<unsigned long long>(NameCounter++))
            : Name;
    FUObjectArray::Get().Add(Object, ObjectName, Outer);
    return Object;
}

void FReferenceCollector::AddReferencedObject(const UObject* Object)
{
    FUObjectArray::Report(*this, Object);
}

int32 CollectGarbage()
{
    return FUObjectArray::Get().Collect();
}

int32 GetNumCollectedObjects()
{
    return FUObjectArray::Get().Num();
}
