#include "Messages/OnlineMessageZor.h"

#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

FUniqueNetIdPtr FOnlineMessageZor::GetLocalUserId(int32 LocalUserNum) const
{
    const IOnlineIdentityPtr Identity = Subsystem ? Subsystem->GetIdentityInterface() : nullptr;
    const FUniqueNetIdPtr UserId = Identity ? Identity->GetUniquePlayerId(LocalUserNum) : nullptr;
    return UserId && UserId->IsValid() ? UserId : nullptr;
}

TSharedPtr<FZorMessage> FOnlineMessageZor::FindMessage(const FString& UserIdText,
                                                       const FString& MessageIdText, bool bCreate)
{
    TArray<TSharedRef<FZorMessage>>* Messages =
        bCreate ? &MessageCache.FindOrAdd(UserIdText) : MessageCache.Find(UserIdText);
    if (!Messages)
    {
        return nullptr;
    }
    for (const TSharedRef<FZorMessage>& Message : *Messages)
    {
        if (Message->MessageId->ToString() == MessageIdText)
        {
            return Message;
        }
    }
    if (!bCreate)
    {
        return nullptr;
    }
    return (*Messages)[Messages->Add(MakeShared<FZorMessage>(MessageIdText))];
}

void FOnlineMessageZor::RemoveCachedMessage(const FString& UserIdText, const FString& MessageIdText)
{
    if (TArray<TSharedRef<FZorMessage>>* Messages = MessageCache.Find(UserIdText))
    {
        Messages->RemoveAll([&MessageIdText](const TSharedRef<FZorMessage>& Message)
                            { return Message->MessageId->ToString() == MessageIdText; });
    }
}

void FOnlineMessageZor::RemoveCachedMessageHeader(const FString& UserIdText, const FString& MessageIdText)
{
    if (TArray<TSharedRef<FZorMessageHeader>>* Headers = HeaderCache.Find(UserIdText))
    {
        Headers->RemoveAll([&MessageIdText](const TSharedRef<FZorMessageHeader>& Header)
                           { return Header->MessageId->ToString() == MessageIdText; });
    }
}

bool FOnlineMessageZor::GetMessageHeaders(int32 LocalUserNum,
                                          TArray<TSharedRef<FOnlineMessageHeader>>& OutHeaders)
{
    OutHeaders.Empty();
    const FUniqueNetIdPtr UserId = GetLocalUserId(LocalUserNum);
    const TArray<TSharedRef<FZorMessageHeader>>* Headers =
        UserId ? HeaderCache.Find(UserId->ToString()) : nullptr;
    if (!Headers)
    {
        return false;
    }
    for (const TSharedRef<FZorMessageHeader>& Header : *Headers)
    {
        OutHeaders.Add(Header);
    }
    return true;
}

TSharedPtr<FOnlineMessage> FOnlineMessageZor::GetMessage(int32 LocalUserNum,
                                                         const FUniqueMessageId& MessageId)
{
    const FUniqueNetIdPtr UserId = GetLocalUserId(LocalUserNum);
    return UserId ? FindMessage(UserId->ToString(), MessageId.ToString(), false) : nullptr;
}

bool FOnlineMessageZor::ClearMessageHeaders(int32 /*LocalUserNum*/)
{
    return false;
}

bool FOnlineMessageZor::ClearMessage(int32 /*LocalUserNum*/, const FUniqueMessageId& /*MessageId*/)
{
    return false;
}

bool FOnlineMessageZor::ClearMessages(int32 /*LocalUserNum*/)
{
    return false;
}
