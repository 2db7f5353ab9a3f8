#include "ExactText.h"
#include "Messages/ZorMessage.h"
#include "Messages/ZorMessageHeader.h"
#include "Messages/ZorSendMessageRequest.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

#include <gtest/gtest.h>

namespace
{
TSharedPtr<FJsonObject> Parse(const FString& Text)
{
    TSharedPtr<FJsonObject> Object;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object)) << *Text;
    return Object;
}

TEST(MessageRecordTest, HeaderReadsItsKeysAndTreatsOtherKindsAsAbsent)
{
    FZorMessageHeader Header("", "");
    ASSERT_TRUE(Header.FromJson(R"({"fromTavoId":"u1","fromName":"Ann","messageId":"m1",)"
                                R"("messageType":"gift","timestamp":"2026-01-02T03:04:05Z"})"));
    EXPECT_EQ(Header.FromUserId->ToString(), FString("u1"));
    EXPECT_EQ(Header.FromName, FString("Ann"));
    EXPECT_EQ(Header.MessageId->ToString(), FString("m1"));
    EXPECT_EQ(Header.Type, FString("gift"));
    EXPECT_EQ(Header.TimeStamp, FString("2026-01-02T03:04:05Z"));

    FZorMessageHeader Typed("", "");
    ASSERT_TRUE(Typed.FromJson(R"({"fromTavoId":12,"fromName":["x"],"messageId":"m2"})"));
    EXPECT_TRUE(Typed.FromUserId->ToString().IsEmpty());
    EXPECT_TRUE(Typed.FromName.IsEmpty());
    EXPECT_EQ(Typed.MessageId->ToString(), FString("m2"));
}

TEST(MessageRecordTest, MessageReadsItsIdAndBody)
{
    FZorMessage Message("asked");
    ASSERT_TRUE(Message.FromJson(R"({"messageId":"m9","body":"AAAAAA=="})"));
    EXPECT_EQ(Message.MessageId->ToString(), FString("m9"));
    EXPECT_EQ(Message.Body, FString("AAAAAA=="));

    FZorMessage NoId("asked");
    ASSERT_TRUE(NoId.FromJson(R"({"messageId":5,"body":"AAAAAA=="})"));
    EXPECT_EQ(NoId.MessageId->ToString(), FString("asked"));
}

TEST(MessageRecordTest, SendRequestWritesEveryKeyWithThePayloadInBase64)
{
    FZorSendMessageRequest Request("gift", "Ann", "", "None", TArray<uint8>{0, 0, 0, 0});
    Request.toTavoIds = {"u2", "u3"};

    const TSharedPtr<FJsonObject> Json = Parse(Request.ToJson());

    ASSERT_TRUE(Json);
    EXPECT_TRUE(
        ZorExact::HasKeys(Json, {"type", "fromName", "validUntil", "pushMessage", "toTavoIds", "body"}));
    EXPECT_EQ(Json->GetStringField("type"), FString("gift"));
    EXPECT_EQ(Json->GetStringField("fromName"), FString("Ann"));
    EXPECT_TRUE(Json->HasTypedField<EJson::String>("validUntil"));
    EXPECT_EQ(Json->GetStringField("pushMessage"), FString("None"));
    EXPECT_EQ(Json->GetStringField("body"), FString("AAAAAA=="));
    const TArray<TSharedPtr<FJsonValue>>& To = Json->GetArrayField("toTavoIds");
    ASSERT_EQ(To.Num(), 2);
    EXPECT_EQ(To[1]->AsString(), FString("u3"));
}
} // namespace
