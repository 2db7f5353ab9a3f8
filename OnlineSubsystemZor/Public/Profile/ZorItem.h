#pragma once

#include "CoreUObject.h"
#include "Json/JsonObject.h"

/** Engine classes by item template id or item type. */
using FZorClassMap = TMap<FString, UClass*>;

/**
 * One item a profile holds: its id, template, quantity, attributes and, when game code mapped a class to it,
 * the object that mirrors it. Records are shared: profiles copied from one another hold the same records.
 */
class FZorItem : public TSharedFromThis<FZorItem>
{
public:
    explicit FZorItem(const FString& InItemId) : ItemId(InItemId) {}

    /**
     * Sets the item from its JSON object ("templateId", "quantity", "attributes") at the given revision, and
     * makes, keeps or drops its object as the class map says.
     */
    void Initialize(const TSharedPtr<FJsonObject>& ItemJson, const FZorClassMap& ClassMap, int64 InRevision);

    /** The item JSON's "attributes" object; empty, with a Warning, when it has none. */
    TSharedPtr<FJsonObject> AttributesOf(const TSharedPtr<FJsonObject>& ItemJson) const;

    /** The part of a template id before its first "."; the whole id when it has none. */
    static FString GetTypeOfTemplate(const FString& TemplateId);

    /** Asks the object to fill itself from the item; one that refuses is logged and dropped. */
    void PopulateInstance();
    /** Tells the object that the item left, then drops it. */
    void RemoveInstance();
    /** Tells the object of an attribute change (empty value: removed), falling back to PopulateInstance. */
    void NotifyAttributeChanged(const FString& AttributeName, const TSharedPtr<FJsonValue>& Value,
                                int64 ProfileRevision);
    void NotifyQuantityChanged();

    FString ItemType;
    FString ItemId;
    FString TemplateId;
    int32 Quantity = 1;
    TSharedRef<FJsonObject> Attributes = MakeShared<FJsonObject>();
    /** Made in the transient package; only the owning profiles' AddReferencedObjects keep it alive. */
    UObject* Instance = nullptr;
    int64 Revision = -1;
};
