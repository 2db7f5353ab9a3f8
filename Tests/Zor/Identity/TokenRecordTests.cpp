#include <gtest/gtest.h>

#include "ExactText.h"
#include "Identity/AuthTokenZor.h"
#include "Json/JsonSerializer.h"

TEST(AuthToken, NewRecordWritesEveryKeyWithAnEmptyAdditionalInformation)
{
    const FAuthTokenZor Token;
    EXPECT_EQ(Token.TokenState, EAuthTokenState::None);
    EXPECT_EQ(Token.bIsUserToken, 1u);
    TSharedPtr<FJsonObject> Json;
    ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Token.ToJson()), Json));
    for (const char* Key : {"access_token", "expires_in", "token_type", "refresh_token", "refresh_expires",
                            "account_id", "client_id"})
    {
        EXPECT_TRUE(ZorExact::HasKeys(Json, {Key}));
    }
    const TSharedPtr<FJsonObject>* Info = nullptr;
    ASSERT_TRUE(Json->TryGetObjectField("additionalInformation", Info));
    EXPECT_EQ((*Info)->Values.Num(), 0);
    EXPECT_EQ(Json->Values.Num(), 8);
}

TEST(AuthToken, RoundTripKeepsEveryJsonField)
{
    FAuthTokenZor Token;
    Token.access_token = "a";
    Token.expires_in = 12.5;
    Token.refresh_token = "r";
    Token.account_id = "acct";
    Token.client_id = "client";
    Token.additionalInformation.Add("region", "eu");
    FAuthTokenZor Read;
    ASSERT_TRUE(Read.FromReplyJson(Token.ToJson()));
    EXPECT_TRUE(Read.access_token.Equals("a"));
    EXPECT_DOUBLE_EQ(Read.expires_in, 12.5);
    EXPECT_TRUE(Read.additionalInformation.FindRef("REGION").Equals("eu"));
}

TEST(AuthToken, PartialReplyLeavesMissingFieldsEmpty)
{
    FAuthTokenZor Token;
    ASSERT_TRUE(
        Token.FromReplyJson(R"({"access_token":"a","additionalInformation":{"n":5,"s":"x","o":{}}})"));
    EXPECT_TRUE(Token.access_token.Equals("a"));
    EXPECT_EQ(Token.expires_in, 0.0);
    EXPECT_TRUE(Token.account_id.IsEmpty());
    EXPECT_EQ(Token.additionalInformation.Num(), 1); // members that are not strings are skipped
}

namespace
{
const FString HugeText(std::string(FAuthTokenZor::MaxTextLength + 1, 'x'));
const FString HostileReplies[] = {
    "[]",
    "not json",
    R"({"access_token":"a","expires_in":-5})",
    R"({"access_token":"a","expires_in":1e300})",
    FString::Printf(R"({"access_token":"%s"})", *HugeText),
    FString::Printf(R"({"access_token":"a","additionalInformation":{"k":"%s"}})", *HugeText),
};

using FHostileReplyTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FHostileReplyTest, HostileRepliesAreRefused)
{
    const FString& Reply = HostileReplies[GetParam()];
    FAuthTokenZor Token;
    EXPECT_FALSE(Token.FromReplyJson(Reply)) << *Reply.Left(80);
}

INSTANTIATE_TEST_SUITE_P(Replies, FHostileReplyTest, ::testing::Range(size_t{0}, std::size(HostileReplies)));

TEST(AuthToken, RefreshLifetimeIsNotJudgedAndSurvivesARoundTrip)
{
    for (const char* Reply :
         {R"({"access_token":"a","expires_in":60,"refresh_expires":-1})",
          R"({"access_token":"a","expires_in":60,"refresh_expires":1e300})",
          R"({"access_token":"a","expires_in":60,"refresh_expires":-1.2345678901234567e-300})",
          R"({"access_token":"a","expires_in":60,"refresh_expires":5e-324})"})
    {
        FAuthTokenZor Token;
        ASSERT_TRUE(Token.FromReplyJson(Reply)) << Reply;
        EXPECT_DOUBLE_EQ(Token.expires_in, 60.0);
        FAuthTokenZor Again;
        ASSERT_TRUE(Again.FromReplyJson(Token.ToJson())) << Reply;
        EXPECT_EQ(Again.refresh_expires, Token.refresh_expires) << Reply;
    }
}

TEST(AuthToken, WrongTypesDoNotCrashAndLeaveDefaults)
{
    FAuthTokenZor Token;
    ASSERT_TRUE(Token.FromReplyJson(
        R"({"access_token":5,"expires_in":"soon","account_id":null,"additionalInformation":[1]})"));
    EXPECT_EQ(Token.expires_in, 0.0);
    EXPECT_TRUE(Token.account_id.IsEmpty());
    EXPECT_EQ(Token.additionalInformation.Num(), 0);
}

TEST(AuthToken, KillTypesHaveTheirTextsAndOthersNone)
{
    EXPECT_STREQ(LexToString(EAuthTokenKillType::OTHERS_ACCOUNT_CLIENT), "OTHERS_ACCOUNT_CLIENT");
    EXPECT_STREQ(LexToString(EAuthTokenKillType::ALL), "ALL");
    EXPECT_STREQ(LexToString(static_cast<EAuthTokenKillType>(9)), "");
}
