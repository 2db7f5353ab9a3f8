#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineMessagePayload.h"
#include "Online/OnlineTypes.h"

/** Messages are addressed by text ids, as users are. */
using FUniqueMessageId = FUniqueNetId;
using FUniqueMessageIdRef = FUniqueNetIdRef;

/** What an inbox listing tells about one message. */
class FOnlineMessageHeader
{
public:
    FOnlineMessageHeader(const FUniqueNetIdRef& InFromUserId, const FUniqueMessageIdRef& InMessageId)
        : FromUserId(InFromUserId), MessageId(InMessageId)
    {
    }
    virtual ~FOnlineMessageHeader() = default;

    FUniqueNetIdRef FromUserId;
    FString FromName;
    FUniqueMessageIdRef MessageId;
    FString Type;
    FString TimeStamp;
};

/** One message read whole: its id and the named values it carries. */
class FOnlineMessage
{
public:
    explicit FOnlineMessage(const FUniqueMessageIdRef& InMessageId) : MessageId(InMessageId) {}
    virtual ~FOnlineMessage() = default;

    FUniqueMessageIdRef MessageId;
    FOnlineMessagePayload Payload;
};

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnEnumerateMessagesComplete, int32 /*LocalUserNum*/,
                                       bool /*bWasSuccessful*/, const FString& /*Error*/);
using FOnEnumerateMessagesCompleteDelegate = FOnEnumerateMessagesComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnReadMessageComplete, int32 /*LocalUserNum*/, bool /*bWasSuccessful*/,
                                      const FUniqueMessageId& /*MessageId*/, const FString& /*Error*/);
using FOnReadMessageCompleteDelegate = FOnReadMessageComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnSendMessageComplete, int32 /*LocalUserNum*/,
                                       bool /*bWasSuccessful*/, const FString& /*Error*/);
using FOnSendMessageCompleteDelegate = FOnSendMessageComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnDeleteMessageComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const FUniqueMessageId& /*MessageId*/,
                                      const FString& /*Error*/);
using FOnDeleteMessageCompleteDelegate = FOnDeleteMessageComplete::FDelegate;

/** The engine's message contract: list a local user's inbox, read, send and delete messages. */
class IOnlineMessage
{
public:
    virtual ~IOnlineMessage() = default;

    virtual bool EnumerateMessages(int32 LocalUserNum) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnEnumerateMessagesComplete, int32, bool, const FString&);
    virtual bool GetMessageHeaders(int32 LocalUserNum,
                                   TArray<TSharedRef<FOnlineMessageHeader>>& OutHeaders) = 0;
    virtual bool ClearMessageHeaders(int32 LocalUserNum) = 0;

    virtual bool ReadMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) = 0;
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnReadMessageComplete, int32, bool, const FUniqueMessageId&,
                                      const FString&);
    virtual TSharedPtr<FOnlineMessage> GetMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) = 0;
    virtual bool ClearMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) = 0;
    virtual bool ClearMessages(int32 LocalUserNum) = 0;

    virtual bool SendMessage(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& RecipientIds,
                             const FString& MessageType, const FOnlineMessagePayload& Payload) = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnSendMessageComplete, int32, bool, const FString&);

    virtual bool DeleteMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) = 0;
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnDeleteMessageComplete, int32, bool, const FUniqueMessageId&,
                                      const FString&);
};
