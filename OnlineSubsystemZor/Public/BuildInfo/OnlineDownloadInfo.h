#pragma once

#include "BuildInfo/OnlineDownloadItem.h"
#include "Core/DateTime.h"
#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

/** The signed download of a build: when the signatures expire and the items by name. */
class FOnlineDownloadInfo : public FOnlineJsonSerializable
{
public:
    FDateTime Expires;
    TMap<FString, FOnlineDownloadItem> Items;

    /** "expires" as an ISO 8601 text; "items" as an object whose members are the items by name. */
    void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override;

private:
    void SerializeExpires(FOnlineJsonSerializerBase& Serializer);
    void SerializeItems(FOnlineJsonSerializerBase& Serializer);
};
