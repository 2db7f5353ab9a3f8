#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineMessageInterface.h"
#include "Json/OnlineJsonSerializable.h"

/** One inbox entry as the service lists it. */
class FZorMessageHeader : public FOnlineMessageHeader, public FOnlineJsonSerializable
{
public:
    FZorMessageHeader(const FString& FromUserIdText, const FString& MessageIdText);

    void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override;
};
