#include "CaseNamePrinter.h"
#include "Core/Base64.h"
#include "Messages/OnlineMessageZor.h"
#include "Messages/ZorMessagePayload.h"
#include "ZorRows.h"
#include "ZorSubsystemTest.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

namespace
{
const FString Inbox = "http://127.0.0.1:8080/api/messaging/acct1/inbox";
const FString TwoHeaders = R"([{"fromTavoId":"u2","fromName":"Bo","messageId":"m1","messageType":"gift",)"
                           R"("timestamp":"t1"},{"fromTavoId":"u3","messageId":"m2"}])";

/** A subsystem with local user 0 logged in as "acct1" and every message event recorded as text. */
class FMessagesTest : public FZorSubsystemTest
{
protected:
    FMessagesTest()
    {
        CreateSubsystem();
        InstallUser("acct1");
        Messages().AddOnEnumerateMessagesCompleteDelegate(FOnEnumerateMessagesCompleteDelegate::CreateLambda(
            [this](int32 UserNum, bool bOk, const FString& Error)
            { Events.Add(FString::Printf("list:%d:%d:%s", UserNum, bOk, *Error)); }));
        Messages().AddOnReadMessageCompleteDelegate(FOnReadMessageCompleteDelegate::CreateLambda(
            [this](int32 UserNum, bool bOk, const FUniqueMessageId& Id, const FString& Error)
            { Events.Add(FString::Printf("read:%d:%d:%s:%s", UserNum, bOk, *Id.ToString(), *Error)); }));
        Messages().AddOnSendMessageCompleteDelegate(FOnSendMessageCompleteDelegate::CreateLambda(
            [this](int32 UserNum, bool bOk, const FString& Error)
            { Events.Add(FString::Printf("send:%d:%d:%s", UserNum, bOk, *Error)); }));
        Messages().AddOnDeleteMessageCompleteDelegate(FOnDeleteMessageCompleteDelegate::CreateLambda(
            [this](int32 UserNum, bool bOk, const FUniqueMessageId& Id, const FString& Error)
            { Events.Add(FString::Printf("delete:%d:%d:%s:%s", UserNum, bOk, *Id.ToString(), *Error)); }));
    }

    FOnlineMessageZor& Messages() { return *Subsystem->GetZorMessageService(); }
    FString EventText() const { return FString::Join(Events, ","); }

    void List(int32 Code, const FString& Body)
    {
        ASSERT_TRUE(Messages().EnumerateMessages(0));
        Tick();
        Answer(Inbox, Code, Body);
    }
    void Read(const FString& Id, int32 Code, const FString& Body)
    {
        ASSERT_TRUE(Messages().ReadMessage(0, FUniqueNetIdString(Id)));
        Tick();
        Answer(Inbox + "/" + Id, Code, Body);
    }
    int32 CachedHeaders()
    {
        TArray<TSharedRef<FOnlineMessageHeader>> Headers;
        return Messages().GetMessageHeaders(0, Headers) ? Headers.Num() : -1;
    }
    static FString MessageReply(const FString& Id, const FZorMessagePayload& Payload)
    {
        TArray<uint8> Bytes;
        EXPECT_TRUE(Payload.ToBytes(Bytes));
        return FString::Printf(R"({"messageId":"%s","body":"%s"})", *Id, *FBase64::Encode(Bytes));
    }

    TArray<FString> Events;
};

struct FListCase
{
    const char* Name;
    int32 Code;
    FString Body;
    FString Event;
    int32 Cached;
};

TEST_F(FMessagesTest, InboxListingsReplaceTheHeadersOnlyWhenTheyHoldAList)
{
    EXPECT_EQ(CachedHeaders(), -1);
    const FListCase Cases[] = {
        {"two headers", 200, TwoHeaders, "list:0:1:", 2},
        {"an object", 200, R"({"messages":1})", R"(list:0:0:Invalid response payload={"messages":1})", 2},
        {"not JSON", 200, "<html>", "list:0:0:Invalid response payload=<html>", 2},
        {"a refused code", 401, "denied", "list:0:0:Invalid response. code=401 error=denied", 2},
        {"elements that are no objects", 200, R"([1,"m",{"messageId":"m3"}])", "list:0:1:", 1},
        {"an empty list", 200, "[]", "list:0:1:", 0},
    };
    for (const FListCase& Case : Cases)
    {
        Events.Empty();
        List(Case.Code, Case.Body);
        EXPECT_EQ(EventText(), Case.Event) << Case.Name;
        EXPECT_EQ(CachedHeaders(), Case.Cached) << Case.Name;
    }
    EXPECT_EQ(Http().GetStartedRequests()[0].Verb, FString("GET"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::VeryVerbose, "EnumerateMessages request complete. url=" + Inbox));
}

TEST_F(FMessagesTest, HeadersCarryTheirFields)
{
    List(200, TwoHeaders);
    TArray<TSharedRef<FOnlineMessageHeader>> Headers;
    ASSERT_TRUE(Messages().GetMessageHeaders(0, Headers));
    EXPECT_EQ(Headers[0]->FromUserId->ToString(), FString("u2"));
    EXPECT_EQ(Headers[0]->FromName, FString("Bo"));
    EXPECT_EQ(Headers[0]->MessageId->ToString(), FString("m1"));
    EXPECT_EQ(Headers[0]->Type, FString("gift"));
    EXPECT_EQ(Headers[0]->TimeStamp, FString("t1"));
}

TEST_F(FMessagesTest, OneRequestPerUserWhateverItsKind)
{
    ASSERT_TRUE(Messages().ReadMessage(0, FUniqueNetIdString("m1")));
    EXPECT_FALSE(Messages().EnumerateMessages(0));
    EXPECT_FALSE(Messages().DeleteMessage(2, FUniqueNetIdString("m1")));
    EXPECT_EQ(EventText(), FString("list:0:0:Already pending for LocalUserNum=0,"
                                   "delete:2:0:m1:Invalid LocalUserNum=2"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "EnumerateMessages request failed. Already pending"));
}

TEST_F(FMessagesTest, AReadMessageReplacesItsPayloadAndKeepsTheIdAskedFor)
{
    FZorMessagePayload First;
    First.SetAttribute("gold", FVariantData(5));
    First.SetAttribute("note", FVariantData("hi"));
    Read("m1", 200, MessageReply("other", First));

    FZorMessagePayload Second;
    Second.SetAttribute("gems", FVariantData(2.5f));
    Read("M1", 200, MessageReply("m1", Second));

    const TSharedPtr<FOnlineMessage> Message = Messages().GetMessage(0, FUniqueNetIdString("m1"));
    ASSERT_TRUE(Message);
    EXPECT_EQ(Message->MessageId->ToString(), FString("m1"));
    EXPECT_EQ(Message->Payload, static_cast<const FOnlineMessagePayload&>(Second));
    EXPECT_EQ(EventText(), FString("read:0:1:m1:,read:0:1:M1:"));
}

struct FBadBodyCase
{
    const char* Name;
    FString Body;
};

const FBadBodyCase BadBodyCases[] = {
    {"not JSON", "nope"},
    {"body not Base64", R"({"messageId":"m1","body":"A=A="})"},
    {"body with a blank", R"({"messageId":"m1","body":"AAAA AAA="})"},
};

void PrintTo(const FBadBodyCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

using FMessagesBadBodyTest = TZorRows<FMessagesTest, FBadBodyCase>;

TEST_P(FMessagesBadBodyTest, AnUnreadableMessageFailsAndLeavesTheCache)
{
    const FBadBodyCase& Case = GetParam();
    FZorMessagePayload Kept;
    Kept.SetAttribute("gold", FVariantData(5));
    Read("m1", 200, MessageReply("m1", Kept));
    Events.Empty();
    Read("m1", 200, Case.Body);
    EXPECT_EQ(EventText(), "read:0:0:m1:Invalid Json response. code=200 error=" + Case.Body) << Case.Name;
    EXPECT_EQ(Messages().GetMessage(0, FUniqueNetIdString("m1"))->Payload,
              static_cast<const FOnlineMessagePayload&>(Kept))
        << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FMessagesBadBodyTest, ::testing::ValuesIn(BadBodyCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FMessagesTest, AnUnreadableMessageMakesNoRecord)
{
    Read("m9", 200, "nope");
    EXPECT_FALSE(Messages().GetMessage(0, FUniqueNetIdString("m9"))) << "no record for a message never read";
}

TEST_F(FMessagesTest, SendingPostsTheRecipientsAndThePayload)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute("gold", FVariantData(5));
    const TArray<FUniqueNetIdRef> To = {MakeShared<FUniqueNetIdString>("u2"),
                                        MakeShared<FUniqueNetIdString>(""),
                                        MakeShared<FUniqueNetIdString>("u3")};
    ASSERT_TRUE(Messages().SendMessage(0, To, "gift", Payload));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Skipping invalid recipient."));
    Tick();

    const auto Sent = Oldest();
    EXPECT_EXACT_EQ(Sent.URL, FString("http://127.0.0.1:8080/api/messaging/acct1/outbox"));
    EXPECT_EQ(Sent.Verb, FString("POST"));
    TSharedPtr<FJsonObject> Json;
    ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Sent.GetContentAsString()), Json));
    EXPECT_TRUE(
        ZorExact::HasKeys(Json, {"type", "fromName", "validUntil", "pushMessage", "toTavoIds", "body"}));
    EXPECT_EQ(Json->GetStringField("type"), FString("gift"));
    EXPECT_EQ(Json->GetStringField("fromName"), FString("Player One"));
    EXPECT_EQ(Json->GetStringField("pushMessage"), FString("None"));
    EXPECT_EQ(Json->GetArrayField("toTavoIds").Num(), 2);
    TArray<uint8> Bytes;
    ASSERT_TRUE(FBase64::Decode(Json->GetStringField("body"), Bytes));
    FZorMessagePayload Read;
    Read.FromBytes(Bytes);
    EXPECT_EQ(Read, Payload);

    RespondOldest(201, "");
    Tick();
    EXPECT_EQ(EventText(), FString("send:0:1:"));
}

TEST_F(FMessagesTest, APayloadPastTheLimitIsRefusedBeforeAnythingIsQueued)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute("blob", FVariantData(TArray<uint8>(std::vector<uint8>(5000, 1))));
    EXPECT_FALSE(Messages().SendMessage(0, {MakeShared<FUniqueNetIdString>("u2")}, "gift", Payload));
    EXPECT_EQ(EventText(), FString("send:0:0:Message payload too large. size=5017 limit=4096"));
    Tick();
    EXPECT_EQ(Http().NumStarted(), 0);
    EXPECT_FALSE(Messages().IsPending(0));
}

TEST_F(FMessagesTest, DeletingDropsTheCachedMessageAndHeaderWhateverTheAnswer)
{
    List(200, TwoHeaders);
    Read("m1", 200, MessageReply("m1", FZorMessagePayload()));
    ASSERT_TRUE(Messages().DeleteMessage(0, FUniqueNetIdString("M1")));
    Tick();
    EXPECT_EQ(Oldest().Verb, FString("DELETE"));
    Answer(Inbox + "/M1", 500, "gone wrong");
    EXPECT_FALSE(Messages().GetMessage(0, FUniqueNetIdString("m1")));
    EXPECT_EQ(CachedHeaders(), 1);
    EXPECT_EQ(Events.Last(), FString("delete:0:0:M1:Invalid response. code=500 error=gone wrong"));
}

TEST_F(FMessagesTest, ShutdownReportsPendingOnceAndGettersGoEmpty)
{
    const TSharedPtr<FOnlineMessageZor> Held = Subsystem->GetZorMessageService();
    ASSERT_TRUE(Held->ReadMessage(0, FUniqueNetIdString("m1")));
    Tick();
    Subsystem->Shutdown();
    EXPECT_EQ(EventText(), FString("read:0:0:m1:No response"));
    EXPECT_FALSE(Subsystem->GetMessageInterface());
    EXPECT_FALSE(Subsystem->GetZorMessageService());
    EXPECT_FALSE(Held->ClearMessages(0));
}
} // namespace
