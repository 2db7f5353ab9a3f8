#pragma once

#include "CoreMinimal.h"
#include "Json/JsonValue.h"

/** A notification from an online service: its type and its JSON payload. */
struct FOnlineNotification
{
    FOnlineNotification() = default;
    FOnlineNotification(const FString& InTypeStr, const TSharedPtr<FJsonValue>& InPayload)
        : TypeStr(InTypeStr), Payload(InPayload)
    {
    }

    /** True when it carries a payload. */
    bool IsValid() const { return Payload.IsValid(); }

    FString TypeStr;
    TSharedPtr<FJsonValue> Payload;
};
