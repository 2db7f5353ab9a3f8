#include "Messages/ZorSendMessageRequest.h"

#include "Core/Base64.h"

FZorSendMessageRequest::FZorSendMessageRequest(const FString& InType, const FString& InFromName,
                                               const FString& InValidUntil, const FString& InPushMessage,
                                               const TArray<uint8>& PayloadBytes)
    : type(InType), fromName(InFromName), validUntil(InValidUntil), pushMessage(InPushMessage),
      body(FBase64::Encode(PayloadBytes))
{
}
