#pragma once

#include "CoreMinimal.h"
#include "Messages/ZorMessage.h"
#include "Messages/ZorMessageHeader.h"
#include "Online/OnlineMessageInterface.h"
#include "Subsystem/BaseServiceZor.h"

struct FZorCall;
class FZorReply;

/**
 * A local user's inbox over the game service, for local user 0: list headers, read, send and delete
 * messages. One message request per user is in flight at a time, whatever its kind.
 */
class FOnlineMessageZor : public IOnlineMessage, public FGameServiceZor
{
public:
    explicit FOnlineMessageZor(FOnlineSubsystemZor* InSubsystem);

    bool EnumerateMessages(int32 LocalUserNum) override;
    bool GetMessageHeaders(int32 LocalUserNum, TArray<TSharedRef<FOnlineMessageHeader>>& OutHeaders) override;
    bool ClearMessageHeaders(int32 LocalUserNum) override;
    bool ReadMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) override;
    TSharedPtr<FOnlineMessage> GetMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) override;
    bool ClearMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) override;
    bool ClearMessages(int32 LocalUserNum) override;
    bool SendMessage(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& RecipientIds,
                     const FString& MessageType, const FOnlineMessagePayload& Payload) override;
    bool DeleteMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId) override;

    /** Whether a message request of that user is in flight. */
    bool IsPending(int32 LocalUserNum) const;

private:
    enum class EOperation : uint8
    {
        EnumerateMessages,
        ReadMessage,
        SendMessage,
        DeleteMessage,
    };
    /** What a completion needs, fixed when the request is made. */
    struct FRequestContext
    {
        EOperation Operation;
        int32 LocalUserNum;
        FString UserIdText;
        FUniqueMessageIdRef MessageId;
    };

    static const char* NameOf(EOperation Operation);
    FZorCall DescribeCall(EOperation Operation) const;
    bool ValidateRequest(int32 LocalUserNum, FUniqueNetIdPtr& OutUserId, FString& OutError) const;
    /** Sends a validated operation's request, or reports Error through its event when one is set. */
    bool Dispatch(FRequestContext& Context, const FUniqueNetIdPtr& UserId, const FString& Body,
                  FString Error);
    /** The body of a sent message; an error text when the payload cannot go whole. */
    FString MakeSendBody(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& RecipientIds,
                         const FString& MessageType, const FOnlineMessagePayload& Payload,
                         FString& OutBody) const;
    void OnReply(FZorReply& Reply, const FRequestContext& Context);
    void ReadHeaders(FZorReply& Reply, const FRequestContext& Context);
    void ReadBody(FZorReply& Reply, const FRequestContext& Context);
    void Fire(const FRequestContext& Context, bool bWasSuccessful, const FString& Error);

    FUniqueNetIdPtr GetLocalUserId(int32 LocalUserNum) const;
    TSharedPtr<FZorMessage> FindMessage(const FString& UserIdText, const FString& MessageIdText,
                                        bool bCreate);
    void RemoveCachedMessage(const FString& UserIdText, const FString& MessageIdText);
    void RemoveCachedMessageHeader(const FString& UserIdText, const FString& MessageIdText);

    FString EnumerateMessagesUrl = "/api/messaging/`id/inbox";
    FString ReadMessageUrl = "/api/messaging/`id/inbox/`messageId";
    FString SendMessageUrl = "/api/messaging/`id/outbox";
    FString DeleteMessageUrl = "/api/messaging/`id/inbox/`messageId";

    /** Per user id text, the last inbox listing. */
    TMap<FString, TArray<TSharedRef<FZorMessageHeader>>> HeaderCache;
    /** Per user id text, the messages read. */
    TMap<FString, TArray<TSharedRef<FZorMessage>>> MessageCache;
};
