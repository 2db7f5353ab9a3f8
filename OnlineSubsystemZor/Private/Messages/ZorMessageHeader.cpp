#include "Messages/ZorMessageHeader.h"

FZorMessageHeader::FZorMessageHeader(const FString& FromUserIdText, const FString& MessageIdText)
    : FOnlineMessageHeader(MakeShared<FUniqueNetIdString>(FromUserIdText),
                           MakeShared<FUniqueNetIdString>(MessageIdText))
{
}

void FZorMessageHeader::Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject)
{
    FString FromUserIdText = FromUserId->ToString();
    FString MessageIdText = MessageId->ToString();
    if (!bFlatObject)
    {
        Serializer.StartObject();
    }
    Serializer.Serialize("fromTavoId", FromUserIdText);
    Serializer.Serialize("fromName", FromName);
    Serializer.Serialize("messageId", MessageIdText);
    Serializer.Serialize("messageType", Type);
    Serializer.Serialize("timestamp", TimeStamp);
    if (!bFlatObject)
    {
        Serializer.EndObject();
    }
    if (Serializer.IsLoading())
    {
        FromUserId = MakeShared<FUniqueNetIdString>(FromUserIdText);
        MessageId = MakeShared<FUniqueNetIdString>(MessageIdText);
    }
}
