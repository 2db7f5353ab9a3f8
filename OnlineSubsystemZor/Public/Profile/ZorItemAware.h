#pragma once

#include "CoreUObject.h"
#include "Json/JsonValue.h"

class FZorItem;
class IZorItemAware;

/** The interface class of objects that mirror a profile item. */
class UZorItemAware : public UInterface
{
    DECLARE_INTERFACE_CLASS(UZorItemAware, IZorItemAware)
};

/**
 * Implemented by the classes that game code maps to profile items; the profile keeps the object informed of
 * its item's changes. An object of a mapped class that does not implement it is still made and kept.
 */
class IZorItemAware
{
public:
    using UClassType = UZorItemAware;

    virtual ~IZorItemAware() = default;

    /** Fills the object from the whole item; false when the object cannot take it (the profile then drops
     * it). */
    virtual bool PopulateFromItem(FZorItem& Item) = 0;
    /** The item left the profile; the profile drops the object right after. */
    virtual void OnItemRemoved() = 0;
    /** NewValue is empty when the attribute was removed. False asks for PopulateFromItem instead. */
    virtual bool OnAttributeChanged(const FString& AttributeName, const TSharedPtr<FJsonValue>& NewValue,
                                    int64 ProfileRevision) = 0;
    /** The result is not used. */
    virtual bool OnQuantityChanged(int32 NewQuantity) = 0;
};
