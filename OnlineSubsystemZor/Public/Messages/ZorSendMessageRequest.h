#pragma once

#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

/** The body of a sent message. */
class FZorSendMessageRequest : public FOnlineJsonSerializable
{
public:
    FZorSendMessageRequest() = default;
    FZorSendMessageRequest(const FString& InType, const FString& InFromName, const FString& InValidUntil,
                           const FString& InPushMessage, const TArray<uint8>& PayloadBytes);

    FString type;
    TArray<FString> toTavoIds;
    FString fromName;
    FString validUntil;
    FString pushMessage;
    /** Base64 of the payload bytes. */
    FString body;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("type", type);
    ONLINE_JSON_SERIALIZE_ARRAY("toTavoIds", toTavoIds);
    ONLINE_JSON_SERIALIZE("fromName", fromName);
    ONLINE_JSON_SERIALIZE("validUntil", validUntil);
    ONLINE_JSON_SERIALIZE("pushMessage", pushMessage);
    ONLINE_JSON_SERIALIZE("body", body);
    END_ONLINE_JSON_SERIALIZER
};
