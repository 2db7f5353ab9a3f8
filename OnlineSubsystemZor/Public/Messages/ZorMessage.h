#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineMessageInterface.h"
#include "Json/OnlineJsonSerializable.h"

/** One message read whole. On the wire its payload bytes travel Base64-encoded as "body". */
class FZorMessage : public FOnlineMessage, public FOnlineJsonSerializable
{
public:
    explicit FZorMessage(const FString& MessageIdText);

    /** The Base64 text of the payload bytes as read; emptied once the payload is decoded. */
    FString Body;

    void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override;
};
