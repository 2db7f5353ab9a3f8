#include "Messages/OnlineMessageZor.h"

#include "Common/ZorCallSet.h"
#include "Core/Base64.h"
#include "Core/Config.h"
#include "Identity/OnlineIdentityZor.h"
#include "Messages/ZorMessagePayload.h"
#include "Messages/ZorSendMessageRequest.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const FString SectionName = "OnlineSubsystemZor.OnlineMessagesZor";
const FString MessagesKey = "messages";

FString PendingKey(int32 LocalUserNum)
{
    return FString::Printf("messages:%d", LocalUserNum);
}
} // namespace

FOnlineMessageZor::FOnlineMessageZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName)
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "EnumerateMessagesUrl", EnumerateMessagesUrl, GEngineIni);
    GConfig->GetString(Section, "ReadMessageUrl", ReadMessageUrl, GEngineIni);
    GConfig->GetString(Section, "SendMessageUrl", SendMessageUrl, GEngineIni);
    GConfig->GetString(Section, "DeleteMessageUrl", DeleteMessageUrl, GEngineIni);
}

bool FOnlineMessageZor::IsPending(int32 LocalUserNum) const
{
    return GetCalls().IsPending(PendingKey(LocalUserNum));
}

bool FOnlineMessageZor::EnumerateMessages(int32 LocalUserNum)
{
    FRequestContext Context{EOperation::EnumerateMessages, LocalUserNum, FString(),
                            MakeShared<FUniqueNetIdString>(FString())};
    FUniqueNetIdPtr UserId;
    FString Error;
    ValidateRequest(LocalUserNum, UserId, Error);
    return Dispatch(Context, UserId, FString(), Error);
}

bool FOnlineMessageZor::ReadMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId)
{
    FRequestContext Context{EOperation::ReadMessage, LocalUserNum, FString(),
                            MakeShared<FUniqueNetIdString>(MessageId.ToString())};
    FUniqueNetIdPtr UserId;
    FString Error;
    ValidateRequest(LocalUserNum, UserId, Error);
    return Dispatch(Context, UserId, FString(), Error);
}

bool FOnlineMessageZor::SendMessage(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& RecipientIds,
                                    const FString& MessageType, const FOnlineMessagePayload& Payload)
{
    FRequestContext Context{EOperation::SendMessage, LocalUserNum, FString(),
                            MakeShared<FUniqueNetIdString>(FString())};
    FUniqueNetIdPtr UserId;
    FString Error;
    FString Body;
    if (ValidateRequest(LocalUserNum, UserId, Error))
    {
        Error = MakeSendBody(LocalUserNum, RecipientIds, MessageType, Payload, Body);
    }
    return Dispatch(Context, UserId, Body, Error);
}

bool FOnlineMessageZor::DeleteMessage(int32 LocalUserNum, const FUniqueMessageId& MessageId)
{
    FRequestContext Context{EOperation::DeleteMessage, LocalUserNum, FString(),
                            MakeShared<FUniqueNetIdString>(MessageId.ToString())};
    FUniqueNetIdPtr UserId;
    FString Error;
    ValidateRequest(LocalUserNum, UserId, Error);
    return Dispatch(Context, UserId, FString(), Error);
}

const char* FOnlineMessageZor::NameOf(EOperation Operation)
{
    switch (Operation)
    {
    case EOperation::EnumerateMessages:
        return "EnumerateMessages";
    case EOperation::ReadMessage:
        return "ReadMessage";
    case EOperation::SendMessage:
        return "SendMessage";
    case EOperation::DeleteMessage:
        break;
    }
    return "DeleteMessage";
}

FZorCall FOnlineMessageZor::DescribeCall(EOperation Operation) const
{
    FZorCall Call;
    Call.Operation = NameOf(Operation);
    switch (Operation)
    {
    case EOperation::EnumerateMessages:
        Call.Url = EnumerateMessagesUrl;
        Call.CompleteVerbosity = ELogVerbosity::VeryVerbose;
        break;
    case EOperation::ReadMessage:
        Call.Url = ReadMessageUrl;
        break;
    case EOperation::SendMessage:
        Call.Url = SendMessageUrl;
        Call.Verb = "POST";
        break;
    case EOperation::DeleteMessage:
        Call.Url = DeleteMessageUrl;
        Call.Verb = "DELETE";
        break;
    }
    Call.Url = GetBaseUrl() + Call.Url;
    return Call;
}

bool FOnlineMessageZor::ValidateRequest(int32 LocalUserNum, FUniqueNetIdPtr& OutUserId,
                                        FString& OutError) const
{
    OutError.Empty();
    if (LocalUserNum != 0)
    {
        OutError = FString::Printf("Invalid LocalUserNum=%d", LocalUserNum);
        return false;
    }
    OutUserId = GetLocalUserId(LocalUserNum);
    if (!OutUserId)
    {
        OutError = "Invalid userid";
    }
    else if (IsPending(LocalUserNum))
    {
        OutError = FString::Printf("Already pending for LocalUserNum=%d", LocalUserNum);
    }
    return OutError.IsEmpty();
}

FString FOnlineMessageZor::MakeSendBody(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& RecipientIds,
                                        const FString& MessageType, const FOnlineMessagePayload& Payload,
                                        FString& OutBody) const
{
    const FZorMessagePayload Encoded(Payload);
    TArray<uint8> Bytes;
    if (!Encoded.ToBytes(Bytes))
    {
        // A cut payload would reach the recipient as a different message: refuse it whole.
        return FString::Printf("Message payload too large. size=%lld limit=%d", Encoded.GetByteSize(),
                               FZorMessagePayload::MaxBytes);
    }
    const IOnlineIdentityPtr Identity = GetSubsystemIdentity();
    FZorSendMessageRequest Request(MessageType,
                                   Identity ? Identity->GetPlayerNickname(LocalUserNum) : FString(),
                                   FString(), "None", Bytes);
    for (const FUniqueNetIdRef& Recipient : RecipientIds)
    {
        if (!Recipient->IsValid())
        {
            UE_LOG_ONLINE(Warning, "Skipping invalid recipient. %s", *Recipient->ToDebugString());
            continue;
        }
        Request.toTavoIds.Add(Recipient->ToString());
    }
    OutBody = Request.ToJson();
    return FString();
}

bool FOnlineMessageZor::Dispatch(FRequestContext& Context, const FUniqueNetIdPtr& UserId, const FString& Body,
                                 FString Error)
{
    if (Error.IsEmpty())
    {
        Context.UserIdText = UserId->ToString();
        FZorCall Call = DescribeCall(Context.Operation);
        Call.Values = {{"`id", Context.UserIdText}, {"`messageId", Context.MessageId->ToString()}};
        Call.Body = Body;
        Call.PendingKey = PendingKey(Context.LocalUserNum);
        FZorError RoadError;
        if (GetCalls().SendAsUser(
                Call, *UserId, [this, Context](FZorReply& Reply) { OnReply(Reply, Context); }, RoadError))
        {
            return true;
        }
        if (!RoadError)
        {
            // Shut down: the completion has reported already.
            return false;
        }
        Error = RoadError.Text;
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", NameOf(Context.Operation), *Error);
    Fire(Context, false, Error);
    return false;
}

void FOnlineMessageZor::OnReply(FZorReply& Reply, const FRequestContext& Context)
{
    if (Context.Operation == EOperation::DeleteMessage)
    {
        // Dropped whatever the answer: a message the service may have deleted must not linger here.
        RemoveCachedMessage(Context.UserIdText, Context.MessageId->ToString());
        RemoveCachedMessageHeader(Context.UserIdText, Context.MessageId->ToString());
    }
    if (Reply.Check())
    {
        if (Context.Operation == EOperation::EnumerateMessages)
        {
            ReadHeaders(Reply, Context);
        }
        else if (Context.Operation == EOperation::ReadMessage)
        {
            ReadBody(Reply, Context);
        }
    }
    Reply.Finish();
    Fire(Context, Reply.Succeeded(), Reply.GetErrorText());
}

void FOnlineMessageZor::ReadHeaders(FZorReply& Reply, const FRequestContext& Context)
{
    TArray<TSharedPtr<FJsonValue>> Elements;
    if (!Reply.ReadArray(MessagesKey, Elements))
    {
        return;
    }
    TArray<TSharedRef<FZorMessageHeader>> Headers;
    for (const TSharedPtr<FJsonValue>& Element : Elements)
    {
        const TSharedPtr<FJsonObject> Object = Element ? Element->AsObject() : nullptr;
        if (!Object)
        {
            continue;
        }
        const TSharedRef<FZorMessageHeader> Header = MakeShared<FZorMessageHeader>(FString(), FString());
        Header->FromJson(Object);
        Headers.Add(Header);
    }
    HeaderCache.FindOrAdd(Context.UserIdText) = std::move(Headers);
}

void FOnlineMessageZor::ReadBody(FZorReply& Reply, const FRequestContext& Context)
{
    // Decoded aside: the cached message changes only once everything read.
    FZorMessage Read(Context.MessageId->ToString());
    TArray<uint8> Bytes;
    if (!Read.FromJson(Reply.GetBody()) || !FBase64::Decode(Read.Body, Bytes))
    {
        const int32 Code = Reply.GetResponse()->GetResponseCode();
        Reply.Fail(EZorErrorKind::InvalidPayload,
                   Reply.MaskSecrets(
                       FString::Printf("Invalid Json response. code=%d error=%s", Code, *Reply.GetBody())));
        return;
    }
    FZorMessagePayload Payload;
    Payload.FromBytes(Bytes);
    // The record keeps the id it was asked for, whatever id the reply names.
    FindMessage(Context.UserIdText, Context.MessageId->ToString(), true)->Payload = Payload;
}

void FOnlineMessageZor::Fire(const FRequestContext& Context, bool bWasSuccessful, const FString& Error)
{
    switch (Context.Operation)
    {
    case EOperation::EnumerateMessages:
        TriggerOnEnumerateMessagesCompleteDelegates(Context.LocalUserNum, bWasSuccessful, Error);
        break;
    case EOperation::ReadMessage:
        TriggerOnReadMessageCompleteDelegates(Context.LocalUserNum, bWasSuccessful, *Context.MessageId,
                                              Error);
        break;
    case EOperation::SendMessage:
        TriggerOnSendMessageCompleteDelegates(Context.LocalUserNum, bWasSuccessful, Error);
        break;
    case EOperation::DeleteMessage:
        TriggerOnDeleteMessageCompleteDelegates(Context.LocalUserNum, bWasSuccessful, *Context.MessageId,
                                                Error);
        break;
    }
}
