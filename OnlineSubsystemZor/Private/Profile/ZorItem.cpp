#include "Profile/ZorItem.h"

#include "Online/OnlineTypes.h"
#include "Profile/ZorItemAware.h"

namespace
{
UClass* FindMappedClass(const FZorClassMap& ClassMap, const FString& TemplateId, const FString& ItemType)
{
    if (UClass* ByTemplate = ClassMap.FindRef(TemplateId))
    {
        return ByTemplate;
    }
    return ClassMap.FindRef(ItemType);
}
} // namespace

FString FZorItem::GetTypeOfTemplate(const FString& TemplateId)
{
    int32 Dot = INDEX_NONE;
    return TemplateId.FindChar('.', Dot) ? TemplateId.Left(Dot) : TemplateId;
}

TSharedPtr<FJsonObject> FZorItem::AttributesOf(const TSharedPtr<FJsonObject>& ItemJson) const
{
    TSharedPtr<FJsonObject> Found = ItemJson ? ItemJson->GetObjectField("attributes") : nullptr;
    if (!Found)
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Item %s has no attributes object; it is taken as empty.",
               *ItemId);
    }
    return Found;
}

void FZorItem::Initialize(const TSharedPtr<FJsonObject>& ItemJson, const FZorClassMap& ClassMap,
                          int64 InRevision)
{
    Revision = InRevision;
    TemplateId = ItemJson ? ItemJson->GetStringField("templateId") : FString();
    Quantity = ItemJson ? ItemJson->GetIntegerField("quantity") : 0;
    const TSharedPtr<FJsonObject> NewAttributes = AttributesOf(ItemJson);
    Attributes =
        NewAttributes ? FJsonObject::Duplicate(NewAttributes).ToSharedRef() : MakeShared<FJsonObject>();
    ItemType = GetTypeOfTemplate(TemplateId);

    UClass* const Class = FindMappedClass(ClassMap, TemplateId, ItemType);
    if (!Class)
    {
        Instance = nullptr;
        return;
    }
    if (!Instance || Instance->GetClass() != Class)
    {
        Instance = NewObject<UObject>(GetTransientPackage(), Class);
    }
    PopulateInstance();
}

void FZorItem::PopulateInstance()
{
    IZorItemAware* const Aware = Cast<IZorItemAware>(Instance);
    if (!Aware || Aware->PopulateFromItem(*this))
    {
        return;
    }
    UE_LOG(LogOnlineGame, Error, "Failed to populate item %s of type %s which was mapped to class %s",
           *ItemId, *TemplateId, *Instance->GetClass()->GetName());
    Instance = nullptr;
}

void FZorItem::RemoveInstance()
{
    if (IZorItemAware* const Aware = Cast<IZorItemAware>(Instance))
    {
        Aware->OnItemRemoved();
    }
    Instance = nullptr;
}

void FZorItem::NotifyAttributeChanged(const FString& AttributeName, const TSharedPtr<FJsonValue>& Value,
                                      int64 ProfileRevision)
{
    IZorItemAware* const Aware = Cast<IZorItemAware>(Instance);
    if (Aware && !Aware->OnAttributeChanged(AttributeName, Value, ProfileRevision))
    {
        PopulateInstance();
    }
}

void FZorItem::NotifyQuantityChanged()
{
    if (IZorItemAware* const Aware = Cast<IZorItemAware>(Instance))
    {
        Aware->OnQuantityChanged(Quantity);
    }
}
