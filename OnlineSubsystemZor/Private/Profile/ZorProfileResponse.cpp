#include "Core/PlatformTime.h"
#include "Profile/ZorProfile.h"
#include "Profile/ZorProfileNumbers.h"

namespace
{
using FJsonFields = TMap<FString, TSharedPtr<FJsonValue>>;

bool AreValuesEqual(const TSharedPtr<FJsonValue>& Lhs, const TSharedPtr<FJsonValue>& Rhs)
{
    if (!Lhs || !Rhs)
    {
        return !Lhs && !Rhs;
    }
    return FJsonValue::CompareEqual(*Lhs, *Rhs);
}

/** Same names (ignoring letter case) with equal values. */
bool AreFieldsEqual(const FJsonFields& NewFields, const FJsonFields& HeldFields)
{
    if (NewFields.Num() != HeldFields.Num())
    {
        return false;
    }
    for (const auto& Field : NewFields)
    {
        const TSharedPtr<FJsonValue>* Held = HeldFields.Find(Field.Key);
        if (!Held || !AreValuesEqual(Field.Value, *Held))
        {
            return false;
        }
    }
    return true;
}

/** The element as an object; a Warning and null for anything else. */
TSharedPtr<FJsonObject> ObjectElement(const TSharedPtr<FJsonValue>& Element, const char* ListName)
{
    const TSharedPtr<FJsonObject> Object = Element ? Element->AsObject() : nullptr;
    if (!Object)
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Skipping a %s element that is not an object.", ListName);
    }
    return Object;
}
} // namespace

void UZorProfile::HandleZorResponse(const TSharedPtr<FJsonObject>& Response, FZorQueryResult& Result)
{
    FDateTime ServerTime;
    if (FDateTime::ParseIso8601(*Response->GetStringField("serverTime"), ServerTime))
    {
        ServerTimeOffset = ServerTime - FDateTime::UtcNow();
    }
    const int64 PreviousRevision = ProfileRevision;
    ProfileRevision = ZorProfileNumbers::SaturateToInt64(Response->GetNumberField("profileRevision"));

    TSet<FString> ChangedTypes;
    bool bStatsChanged = false;
    const TArray<TSharedPtr<FJsonValue>>* Changes = nullptr;
    if (Response->TryGetArrayField("profileChanges", Changes))
    {
        for (const TSharedPtr<FJsonValue>& Element : *Changes)
        {
            if (const TSharedPtr<FJsonObject> Change = ObjectElement(Element, "profileChanges"))
            {
                ApplyProfileChange(Change, PreviousRevision, bStatsChanged, ChangedTypes);
            }
        }
        if (bStatsChanged)
        {
            StatsUpdatedDelegates.Broadcast(ProfileRevision);
        }
    }
    if (ChangedTypes.Num() > 0)
    {
        InventoryUpdatedDelegates.Broadcast(ChangedTypes, ProfileRevision);
    }
    ApplyNotifications(Response, Result);
}

void UZorProfile::ApplyProfileChange(const TSharedPtr<FJsonObject>& Change, int64 PreviousRevision,
                                     bool& bStatsChanged, TSet<FString>& ChangedTypes)
{
    const FString ChangeType = Change->GetStringField("changeType");
    if (ChangeType == "fullProfileUpdate")
    {
        if (!HandleFullProfileUpdate(Change->GetObjectField("profile"), &bStatsChanged, &ChangedTypes,
                                     PreviousRevision))
        {
            UE_LOG(LogOnlineGame, Error,
                   "ZOR-Profile: Received full profile update from ZOR but was unable to apply it.");
        }
        return;
    }
    if (PreviousRevision < 0)
    {
        UE_LOG(LogOnlineGame, Error,
               "ZOR-Profile: Received profile deltas from ZOR before any full profile update.");
        return;
    }
    if (ChangeType == "itemAdded")
    {
        ApplyItemAdded(Change, ChangedTypes);
    }
    else if (ChangeType == "itemRemoved")
    {
        ApplyItemRemoved(Change, ChangedTypes);
    }
    else if (ChangeType == "itemAttrChanged")
    {
        ApplyItemAttrChanged(Change, ChangedTypes);
    }
    else if (ChangeType == "itemQuantityChanged")
    {
        ApplyItemQuantityChanged(Change, ChangedTypes);
    }
    else if (ChangeType == "statModified")
    {
        bStatsChanged = true;
        ApplyStatModified(Change);
    }
    else
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Unable to process profile change of type %s.",
               *ChangeType);
    }
}

void UZorProfile::ApplyItemAdded(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes)
{
    const TSharedPtr<FJsonObject>& ItemJson = Change->GetObjectField("item");
    if (!ItemJson)
    {
        UE_LOG(LogOnlineGame, Error, "ZOR-Profile: itemAdded for %s did not contain an item JSON entry.",
               *PlayerName);
        return;
    }
    const FString ItemId = Change->GetStringField("itemId");
    const TSharedPtr<FZorItem> Held = Items.FindRef(ItemId);
    const TSharedPtr<FZorItem> Item = Held ? Held : MakeShared<FZorItem>(ItemId).ToSharedPtr();
    if (Held)
    {
        // A reused item may change its type; the type it leaves has changed too.
        ChangedTypes.Add(Held->ItemType);
    }
    Item->Initialize(ItemJson, ClassMap, ProfileRevision);
    if (Held)
    {
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s replaced %d x %s [%s]", *PlayerName, Item->Quantity,
               *Item->TemplateId, *Item->ItemId);
    }
    else
    {
        Items.Add(ItemId, Item);
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s gained %d x %s [%s]", *PlayerName, Item->Quantity,
               *Item->TemplateId, *Item->ItemId);
    }
    ChangedTypes.Add(Item->ItemType);
}

void UZorProfile::ApplyItemRemoved(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes)
{
    const FString ItemId = Change->GetStringField("itemId");
    const TSharedPtr<FZorItem> Item = Items.FindRef(ItemId);
    if (!Item)
    {
        UE_LOG(LogOnlineGame, Error,
               "ZOR-Profile: Unable to remove ZOR item %s from %s because it does not exist in our cache.",
               *ItemId, *PlayerName);
        return;
    }
    Item->Revision = ProfileRevision;
    UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s lost %d x %s", *PlayerName, Item->Quantity,
           *Item->TemplateId);
    Item->RemoveInstance();
    ChangedTypes.Add(Item->ItemType);
    Items.Remove(ItemId);
}

void UZorProfile::ApplyItemAttrChanged(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes)
{
    const FString ItemId = Change->GetStringField("itemId");
    const TSharedPtr<FZorItem> Item = Items.FindRef(ItemId);
    if (!Item)
    {
        UE_LOG(LogOnlineGame, Error,
               "ZOR-Profile: Unable to change an attribute of ZOR item %s for %s because it does not exist "
               "in our "
               "cache.",
               *ItemId, *PlayerName);
        return;
    }
    Item->Revision = ProfileRevision;
    const FString AttributeName = Change->GetStringField("attributeName");
    TSharedPtr<FJsonValue> Value = Change->TryGetField("attributeValue");
    if (Value && Value->Type == EJson::Null)
    {
        Value.Reset();
    }
    if (Value)
    {
        Item->Attributes->SetField(AttributeName, Value);
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s's %s attribute %s changed.", *PlayerName,
               *Item->TemplateId, *AttributeName);
    }
    else
    {
        Item->Attributes->RemoveField(AttributeName);
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s's %s attribute %s was removed.", *PlayerName,
               *Item->TemplateId, *AttributeName);
    }
    ChangedTypes.Add(Item->ItemType);
    Item->NotifyAttributeChanged(AttributeName, Value, ProfileRevision);
}

void UZorProfile::ApplyItemQuantityChanged(const TSharedPtr<FJsonObject>& Change, TSet<FString>& ChangedTypes)
{
    const FString ItemId = Change->GetStringField("itemId");
    const TSharedPtr<FZorItem> Item = Items.FindRef(ItemId);
    if (!Item)
    {
        UE_LOG(
            LogOnlineGame, Error,
            "ZOR-Profile: Unable to adjust quantity on ZOR item %s from %s because it does not exist in our "
            "cache.",
            *ItemId, *PlayerName);
        return;
    }
    Item->Revision = ProfileRevision;
    const int32 NewQuantity = Change->GetIntegerField("quantity");
    LogQuantityChange(*Item, NewQuantity);
    Item->Quantity = NewQuantity;
    ChangedTypes.Add(Item->ItemType);
    Item->NotifyQuantityChanged();
}

void UZorProfile::LogQuantityChange(const FZorItem& Item, int32 NewQuantity) const
{
    // Differences of two 32-bit quantities need 64 bits.
    const int64 OldQuantity = Item.Quantity;
    if (NewQuantity < OldQuantity)
    {
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s lost %lld x %s", *PlayerName,
               static_cast<long long>(OldQuantity - NewQuantity), *Item.TemplateId);
        return;
    }
    UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s gained %lld x %s", *PlayerName,
           static_cast<long long>(NewQuantity - OldQuantity), *Item.TemplateId);
}

void UZorProfile::ApplyStatModified(const TSharedPtr<FJsonObject>& Change)
{
    const FString StatName = Change->GetStringField("name");
    const TSharedPtr<FJsonValue> Value = Change->TryGetField("value");
    if (!Value)
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Unable to process statModified change to %s's %s stat.",
               *PlayerName, *StatName);
        return;
    }
    Stats.Add(StatName, Value);
}

void UZorProfile::ApplyNotifications(const TSharedPtr<FJsonObject>& Response, FZorQueryResult& Result)
{
    const TArray<TSharedPtr<FJsonValue>>* Notifications = nullptr;
    if (!Response->TryGetArrayField("notifications", Notifications))
    {
        return;
    }
    for (const TSharedPtr<FJsonValue>& Element : *Notifications)
    {
        const TSharedPtr<FJsonObject> Object = ObjectElement(Element, "notifications");
        if (!Object)
        {
            continue;
        }
        const TSharedPtr<FJsonValue> Payload = Object->TryGetField("payload");
        const FOnlineNotification Notification(Object->GetStringField("type"), Payload ? Payload : Element);
        HandleNotificationDelegate.ExecuteIfBound(Notification);
        if (!Object->GetBoolField("primary"))
        {
            continue;
        }
        if (!Result.PrimaryNotification.TypeStr.IsEmpty())
        {
            UE_LOG(LogOnlineGame, Error,
                   "ZOR-Profile: Stomping primary notification of type %s with another of type %s (we expect "
                   "only "
                   "one primary per response!).",
                   *Result.PrimaryNotification.TypeStr, *Notification.TypeStr);
        }
        Result.PrimaryNotification = Notification;
    }
}

bool UZorProfile::HandleFullProfileUpdate(const TSharedPtr<FJsonObject>& Profile, bool* bOutStatsChanged,
                                          TSet<FString>* OutChangedTypes, int64 PreviousRevision)
{
    if (!Profile)
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Missing profile object in JSON for %s", *PlayerName);
        return false;
    }
    UE_LOG(LogOnlineGame, Log, "ZOR-Profile: Received full profile update (version %s) for %s.",
           *Profile->GetStringField("version"), *PlayerName);
    const double StartTime = FPlatformTime::Seconds();
    UpdateStatsFromProfile(Profile, *bOutStatsChanged);
    const double StatsTime = FPlatformTime::Seconds();
    const TSet<FString> UnlistedIds = UpdateItemsFromProfile(Profile, *OutChangedTypes, PreviousRevision);
    const double ItemsTime = FPlatformTime::Seconds();
    RemoveItems(UnlistedIds, *OutChangedTypes);
    const double EndTime = FPlatformTime::Seconds();
    UE_LOG(LogOnlineGame, Display, "HandleFullProfileUpdate Complete:");
    UE_LOG(LogOnlineGame, Display, "\tTotalTime: %0.2f", EndTime - StartTime);
    UE_LOG(LogOnlineGame, Display, "\tStatUpdate: %0.2f", StatsTime - StartTime);
    UE_LOG(LogOnlineGame, Display, "\tItemUpdate: %0.2f", ItemsTime - StatsTime);
    UE_LOG(LogOnlineGame, Display, "\tDestroyOld: %0.2f", EndTime - ItemsTime);
    return true;
}

void UZorProfile::UpdateStatsFromProfile(const TSharedPtr<FJsonObject>& Profile, bool& bStatsChanged)
{
    const TSharedPtr<FJsonObject>& StatsJson = Profile->GetObjectField("stats");
    const TSharedPtr<FJsonObject>& NewStats = StatsJson ? StatsJson->GetObjectField("attributes") : StatsJson;
    if (!NewStats)
    {
        UE_LOG(LogOnlineGame, Warning,
               "ZOR-Profile: Full profile for %s has no stats attributes; stats kept.", *PlayerName);
        return;
    }
    if (AreFieldsEqual(NewStats->Values, Stats))
    {
        return;
    }
    bStatsChanged = true;
    Stats = NewStats->Values;
    if (ProfileRevision >= 0)
    {
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: updated account stats for %s", *PlayerName);
    }
}

TSet<FString> UZorProfile::UpdateItemsFromProfile(const TSharedPtr<FJsonObject>& Profile,
                                                  TSet<FString>& ChangedTypes, int64 PreviousRevision)
{
    TSet<FString> UnlistedIds;
    const TSharedPtr<FJsonObject>& ItemsJson = Profile->GetObjectField("items");
    if (!ItemsJson)
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Full profile for %s has no items object; items kept.",
               *PlayerName);
        return UnlistedIds;
    }
    for (const auto& Entry : Items)
    {
        UnlistedIds.Add(Entry.Key);
    }
    for (const auto& Field : ItemsJson->Values)
    {
        const TSharedPtr<FJsonObject> ItemJson = Field.Value ? Field.Value->AsObject() : nullptr;
        // A malformed entry leaves a held item as it was rather than removing it.
        UnlistedIds.Remove(Field.Key);
        if (!ItemJson)
        {
            UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Skipping item %s of %s, which is not an object.",
                   *Field.Key, *PlayerName);
            continue;
        }
        if (const TSharedPtr<FZorItem> Held = Items.FindRef(Field.Key))
        {
            UpdateHeldItem(*Held, ItemJson, ChangedTypes);
            continue;
        }
        const TSharedRef<FZorItem> Item = MakeShared<FZorItem>(Field.Key);
        Item->Initialize(ItemJson, ClassMap, ProfileRevision);
        Items.Add(Field.Key, Item);
        if (PreviousRevision >= 0)
        {
            UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s gained %d x %s", *PlayerName, Item->Quantity,
                   *Item->TemplateId);
        }
        ChangedTypes.Add(Item->ItemType);
    }
    return UnlistedIds;
}

void UZorProfile::UpdateHeldItem(FZorItem& Item, const TSharedPtr<FJsonObject>& ItemJson,
                                 TSet<FString>& ChangedTypes)
{
    const FString NewTemplateId = ItemJson->GetStringField("templateId");
    if (NewTemplateId != Item.TemplateId)
    {
        const FString OldTemplateId = Item.TemplateId;
        ChangedTypes.Add(Item.ItemType);
        Item.Initialize(ItemJson, ClassMap, ProfileRevision);
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: %s recreated %d x %s (template change from %s)",
               *PlayerName, Item.Quantity, *Item.TemplateId, *OldTemplateId);
        ChangedTypes.Add(Item.ItemType);
        return;
    }
    const TSharedPtr<FJsonObject> NewAttributes = Item.AttributesOf(ItemJson);
    const FJsonFields NoFields;
    if (!AreFieldsEqual(NewAttributes ? NewAttributes->Values : NoFields, Item.Attributes->Values))
    {
        UE_LOG(LogOnlineGame, Log, "ZOR-Profile: %s's %s attributes were updated.", *PlayerName,
               *Item.TemplateId);
        Item.Revision = ProfileRevision;
        Item.Attributes =
            NewAttributes ? FJsonObject::Duplicate(NewAttributes).ToSharedRef() : MakeShared<FJsonObject>();
        ChangedTypes.Add(Item.ItemType);
        Item.PopulateInstance();
    }
    const int32 NewQuantity = ItemJson->GetIntegerField("quantity");
    if (NewQuantity != Item.Quantity)
    {
        LogQuantityChange(Item, NewQuantity);
        Item.Revision = ProfileRevision;
        Item.Quantity = NewQuantity;
        ChangedTypes.Add(Item.ItemType);
        Item.NotifyQuantityChanged();
    }
}

void UZorProfile::RemoveItems(const TSet<FString>& ItemIds, TSet<FString>& ChangedTypes)
{
    for (const FString& ItemId : ItemIds.Array())
    {
        TSharedPtr<FZorItem> Item;
        if (!Items.RemoveAndCopyValue(ItemId, Item))
        {
            continue;
        }
        Item->Revision = ProfileRevision;
        Item->RemoveInstance();
        ChangedTypes.Add(Item->ItemType);
    }
}
