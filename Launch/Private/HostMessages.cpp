#include "Core/Parse.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Messages/OnlineMessageZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace
{
const char* const SendUsage = "messages send TO[,TO...] KEY=VALUE...";

TSharedPtr<FOnlineMessageZor> GetMessages(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineMessageZor> Messages = Subsystem ? Subsystem->GetZorMessageService() : nullptr;
    if (!Messages)
    {
        UE_LOG(LogHost, Warning, "messages: there is no message service");
    }
    return Messages;
}

/** The message service when local user 0 is logged in; null with the reason logged otherwise. */
TSharedPtr<FOnlineMessageZor> GetMessagesOfUser(FZorHost& Host)
{
    const TSharedPtr<FOnlineMessageZor> Messages = GetMessages(Host);
    return Messages && Host.GetLoggedInUser("messages") ? Messages : nullptr;
}

/** A whole number, a number with a fraction or exponent, or else text. */
FVariantData ValueOfForm(const FString& Text)
{
    const char* Begin = *Text;
    char* End = nullptr;
    errno = 0;
    const long long Whole = std::strtoll(Begin, &End, 10);
    if (!Text.IsEmpty() && *End == '\0' && errno == 0)
    {
        return Whole >= INT_MIN && Whole <= INT_MAX ? FVariantData(static_cast<int32>(Whole))
                                                    : FVariantData(static_cast<int64>(Whole));
    }
    errno = 0;
    const double Real = std::strtod(Begin, &End);
    const bool bNumberForm = !Text.IsEmpty() && *End == '\0' && errno == 0 &&
                             Text.ToStdString().find_first_not_of("0123456789+-.eE") == std::string::npos;
    return bNumberForm ? FVariantData(Real) : FVariantData(Text);
}

bool Send(FZorHost& Host, const TCHAR* Args)
{
    FString To;
    if (!FParse::Token(Args, To, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", SendUsage);
        return false;
    }
    TArray<FString> Ids;
    To.ParseIntoArray(Ids, ",");
    TArray<FUniqueNetIdRef> Recipients;
    for (const FString& Id : Ids)
    {
        Recipients.Add(MakeShared<FUniqueNetIdString>(Id));
    }
    FOnlineMessagePayload Payload;
    for (FString Pair; FParse::Token(Args, Pair, false);)
    {
        FString Key;
        FString Value;
        if (!Pair.Split("=", &Key, &Value) || Key.IsEmpty())
        {
            UE_LOG(LogHost, Warning, "usage: %s", SendUsage);
            return false;
        }
        Payload.SetAttribute(Key, ValueOfForm(Value));
    }
    const TSharedPtr<FOnlineMessageZor> Messages = GetMessagesOfUser(Host);
    Host.AwaitOutcome("messages send");
    return Messages && Messages->SendMessage(FZorHost::LocalUser, Recipients, "text", Payload);
}

bool WithMessageId(FZorHost& Host, const TCHAR* Args,
                   bool (FOnlineMessageZor::*Call)(int32, const FUniqueMessageId&), const char* Operation,
                   const char* Usage)
{
    FString MessageId;
    if (!FParse::Token(Args, MessageId, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    const TSharedPtr<FOnlineMessageZor> Messages = GetMessagesOfUser(Host);
    Host.AwaitOutcome(Operation);
    return Messages && ((*Messages).*Call)(FZorHost::LocalUser, FUniqueNetIdString(MessageId));
}

bool MessagesWord(FZorHost& Host, const TCHAR* Args)
{
    if (FParse::Command(&Args, "list"))
    {
        const TSharedPtr<FOnlineMessageZor> Messages = GetMessagesOfUser(Host);
        Host.AwaitOutcome("messages list");
        return Messages && Messages->EnumerateMessages(FZorHost::LocalUser);
    }
    if (FParse::Command(&Args, "read"))
    {
        return WithMessageId(Host, Args, &FOnlineMessageZor::ReadMessage, "messages read",
                             "messages read ID");
    }
    if (FParse::Command(&Args, "send"))
    {
        return Send(Host, Args);
    }
    if (FParse::Command(&Args, "delete"))
    {
        return WithMessageId(Host, Args, &FOnlineMessageZor::DeleteMessage, "messages delete",
                             "messages delete ID");
    }
    UE_LOG(LogHost, Warning, "usage: messages list | read ID | send TO[,TO...] KEY=VALUE... | delete ID");
    return false;
}

void LogHeaders(FOnlineMessageZor& Messages)
{
    TArray<TSharedRef<FOnlineMessageHeader>> Headers;
    Messages.GetMessageHeaders(FZorHost::LocalUser, Headers);
    UE_LOG(LogHost, Display, "Inbox: %d messages", Headers.Num());
    for (const TSharedRef<FOnlineMessageHeader>& Header : Headers)
    {
        UE_LOG(LogHost, Display, "  %s from=%s (%s) type=%s at=%s", *Header->MessageId->ToString(),
               *Header->FromUserId->ToString(), *Header->FromName, *Header->Type, *Header->TimeStamp);
    }
}

void LogPayload(FOnlineMessageZor& Messages, const FUniqueMessageId& MessageId)
{
    const TSharedPtr<FOnlineMessage> Message = Messages.GetMessage(FZorHost::LocalUser, MessageId);
    if (!Message)
    {
        return;
    }
    UE_LOG(LogHost, Display, "Message %s: %d values", *MessageId.ToString(), Message->Payload.Num());
    for (const FOnlineMessagePayloadEntry& Entry : Message->Payload.GetEntries())
    {
        UE_LOG(LogHost, Display, "  %s=%s (%s)", *Entry.Key, *Entry.Value.ToString(),
               LexToString(Entry.Value.GetType()));
    }
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineMessageZor> Messages = GetMessages(Host);
    if (!Messages)
    {
        return;
    }
    FOnlineMessageZor* Service = Messages.Get();
    Messages->AddOnEnumerateMessagesCompleteDelegate(FOnEnumerateMessagesCompleteDelegate::CreateLambda(
        [&Host, Service](int32 LocalUserNum, bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnEnumerateMessagesComplete LocalUserNum=%d bWasSuccessful=%d Error=%s",
                   LocalUserNum, bWasSuccessful, *ZorLogText::Error(Error));
            if (bWasSuccessful)
            {
                LogHeaders(*Service);
            }
            Host.ReportOutcome("messages list", bWasSuccessful);
        }));
    Messages->AddOnReadMessageCompleteDelegate(FOnReadMessageCompleteDelegate::CreateLambda(
        [&Host, Service](int32 LocalUserNum, bool bWasSuccessful, const FUniqueMessageId& MessageId,
                         const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnReadMessageComplete LocalUserNum=%d bWasSuccessful=%d MessageId=%s Error=%s",
                   LocalUserNum, bWasSuccessful, *MessageId.ToString(), *ZorLogText::Error(Error));
            if (bWasSuccessful)
            {
                LogPayload(*Service, MessageId);
            }
            Host.ReportOutcome("messages read", bWasSuccessful);
        }));
    Messages->AddOnSendMessageCompleteDelegate(FOnSendMessageCompleteDelegate::CreateLambda(
        [&Host](int32 LocalUserNum, bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnSendMessageComplete LocalUserNum=%d bWasSuccessful=%d Error=%s",
                   LocalUserNum, bWasSuccessful, *ZorLogText::Error(Error));
            Host.ReportOutcome("messages send", bWasSuccessful);
        }));
    Messages->AddOnDeleteMessageCompleteDelegate(FOnDeleteMessageCompleteDelegate::CreateLambda(
        [&Host](int32 LocalUserNum, bool bWasSuccessful, const FUniqueMessageId& MessageId,
                const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnDeleteMessageComplete LocalUserNum=%d bWasSuccessful=%d MessageId=%s Error=%s",
                   LocalUserNum, bWasSuccessful, *MessageId.ToString(), *ZorLogText::Error(Error));
            Host.ReportOutcome("messages delete", bWasSuccessful);
        }));
}

const TCHAR* const Notes[] = {SecondUserNote, DemoUserNote};

const FHostWord Words[] = {
    {"messages",
     "messages list | read ID | send TO[,TO...] KEY=VALUE... | delete ID",
     "lists, reads, sends (values typed as integers, floats or text) and deletes local user 0's messages",
     &MessagesWord,
     nullptr,
     {},
     Notes},
};
const FHostOperation Operations[] = {
    {"messages list"},
    {"messages read"},
    {"messages send"},
    {"messages delete"},
};
} // namespace

const FHostWordGroup& GetMessagesHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
