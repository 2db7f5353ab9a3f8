#include "Messages/ZorMessage.h"

FZorMessage::FZorMessage(const FString& MessageIdText)
    : FOnlineMessage(MakeShared<FUniqueNetIdString>(MessageIdText))
{
}

void FZorMessage::Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject)
{
    FString MessageIdText = MessageId->ToString();
    if (!bFlatObject)
    {
        Serializer.StartObject();
    }
    Serializer.Serialize("messageId", MessageIdText);
    Serializer.Serialize("body", Body);
    if (!bFlatObject)
    {
        Serializer.EndObject();
    }
    if (Serializer.IsLoading())
    {
        MessageId = MakeShared<FUniqueNetIdString>(MessageIdText);
    }
}
