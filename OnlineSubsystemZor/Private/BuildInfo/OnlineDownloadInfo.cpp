#include "BuildInfo/OnlineDownloadInfo.h"

#include "Json/Json.h"

void FOnlineDownloadInfo::Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject)
{
    if (!bFlatObject)
    {
        Serializer.StartObject();
    }
    SerializeExpires(Serializer);
    SerializeItems(Serializer);
    if (!bFlatObject)
    {
        Serializer.EndObject();
    }
}

void FOnlineDownloadInfo::SerializeExpires(FOnlineJsonSerializerBase& Serializer)
{
    FString Text = Serializer.IsSaving() ? Expires.ToIso8601() : FString();
    Serializer.Serialize("expires", Text);
    if (Serializer.IsLoading() && !Text.IsEmpty())
    {
        FDateTime::ParseIso8601(*Text, Expires);
    }
}

void FOnlineDownloadInfo::SerializeItems(FOnlineJsonSerializerBase& Serializer)
{
    if (Serializer.IsSaving())
    {
        Serializer.StartObject("items");
        for (auto& Item : Items)
        {
            Serializer.SerializeRecord(Item.Key, Item.Value);
        }
        Serializer.EndObject();
        return;
    }
    const TSharedPtr<FJsonObject>* ItemsObject = nullptr;
    if (!Serializer.GetObject() || !Serializer.GetObject()->TryGetObjectField("items", ItemsObject))
    {
        return;
    }
    for (const auto& Member : (*ItemsObject)->Values)
    {
        const TSharedPtr<FJsonObject>* ItemObject = nullptr;
        if (Member.Value && Member.Value->TryGetObject(ItemObject))
        {
            FOnlineDownloadItem Item;
            Item.FromJson(*ItemObject);
            Items.Add(Member.Key, Item);
        }
    }
}
