#include "CaseNamePrinter.h"
#include "Common/ZorReply.h"
#include "HttpTransport.h"
#include "Identity/AuthTokenZor.h"
#include "ZorRows.h"
#include "ZorSubsystemTest.h"

namespace
{
enum class EReplyKind
{
    NoResponse,
    NotJson,
    InvalidJson,
    ServerErrorCode,
    ServerErrorMessage,
    ServerErrorWithoutMessage,
    Success,
};

using ZorTestCases::PrintTo;

struct FReplyCase
{
    const char* Name;
    EReplyKind Kind;
    int32 Code;
    const char* ContentType;
    const char* Body;
    EZorErrorKind Expected;
    const char* ExpectedText;
    /** The account service's rule: a JSON reply's "errorMessage" alone is the text. */
    bool bServiceErrorText = false;
};

const FReplyCase ReplyCases[] = {
    {"NoResponse", EReplyKind::NoResponse, 0, "", "", EZorErrorKind::NoResponse, "No response"},
    {"NotJson", EReplyKind::NotJson, 200, "text/html", "<html>", EZorErrorKind::InvalidPayload,
     "Invalid response payload"},
    {"InvalidJson", EReplyKind::InvalidJson, 200, "application/json",
     "{\"code\":", EZorErrorKind::InvalidPayload, "Invalid response payload"},
    {"ServerErrorCode", EReplyKind::ServerErrorCode, 400, "application/json",
     R"({"errorCode":"errors.auth.bad","errorMessage":"Bad things"})", EZorErrorKind::ServiceError,
     R"(Invalid response. code=400 error={"errorCode":"errors.auth.bad","errorMessage":"Bad things"})"},
    {"ServerErrorMessage", EReplyKind::ServerErrorMessage, 400, "application/json",
     R"({"errorCode":"errors.auth.bad","errorMessage":"Bad things"})", EZorErrorKind::ServiceError,
     "Bad things", true},
    {"ServerErrorWithoutMessage", EReplyKind::ServerErrorWithoutMessage, 503, "text/plain", "busy",
     EZorErrorKind::HttpStatus, "Invalid response. code=503 error=busy"},
    {"RefusalWithoutServiceMessage", EReplyKind::ServerErrorWithoutMessage, 400, "application/json",
     R"({"errorCode":"errors.auth.bad"})", EZorErrorKind::HttpStatus,
     R"(Invalid response. code=400 error={"errorCode":"errors.auth.bad"})", true},
    {"RefusalEchoingSecrets", EReplyKind::ServerErrorWithoutMessage, 401, "text/plain",
     "saw secret-token-value-123 signed bearer request-bearer-0001", EZorErrorKind::HttpStatus,
     "Invalid response. code=401 error=saw secr<redacted> signed bearer requ<redacted>"},
    {"ServiceMessageEchoingSecrets", EReplyKind::ServerErrorMessage, 401, "application/json",
     R"({"errorMessage":"saw secret-token-value-123 signed bearer request-bearer-0001"})",
     EZorErrorKind::ServiceError, "saw secr<redacted> signed bearer requ<redacted>", true},
    {"Success", EReplyKind::Success, 201, "application/json", R"({"code":"ex-1","expiresInSeconds":30})",
     EZorErrorKind::None, ""},
};

TArray<uint8> Bytes(const FString& Text)
{
    TArray<uint8> Out;
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        Out.Add(static_cast<uint8>(Text[Index]));
    }
    return Out;
}

FHttpResponsePtr MakeResponse(int32 Code, const FString& ContentType, const FString& Body)
{
    return MakeShared<FHttpResponse>("http://h/x", Code, FHttpHeaderList{{"Content-Type", ContentType}},
                                     Bytes(Body));
}

/** Replies of every kind, read through the helper alone; the log is captured at VeryVerbose. */
class FZorReplyTest : public FZorSubsystemTest
{
protected:
    FZorReplyTest()
    {
        Call.Operation = "Test op";
        Request->SetURL("http://h/api/kill/secret-token-value-123");
        Call.Secrets = {"secret-token-value-123"};
        // Signed as a road signs it, after the call was described: its credential is masked all the same.
        Request->SetHeader("Authorization", "bearer request-bearer-0001");
    }

    FZorReply Reply(int32 Code, const FString& ContentType, const FString& Body)
    {
        return FZorReply(Call, Request, MakeResponse(Code, ContentType, Body), true);
    }

    FZorCall Call;
    FHttpRequestPtr Request = FHttpModule::Get().CreateRequest();
};

using FZorReplyKindTest = TZorRows<FZorReplyTest, FReplyCase>;
} // namespace

TEST_P(FZorReplyKindTest, ReadsEachKindOfReplyOnce)
{
    const FReplyCase& Case = GetParam();
    Call.bServiceErrorText = Case.bServiceErrorText;
    FZorReply Read = Case.Kind == EReplyKind::NoResponse ? FZorReply(Call, Request, nullptr, false)
                                                         : Reply(Case.Code, Case.ContentType, Case.Body);
    FAuthTokenExchangeCodeZor Code;
    if (Read.Check())
    {
        Read.Read(Code);
    }
    EXPECT_EQ(Read.GetError().Kind, Case.Expected);
    EXPECT_EQ(Read.GetErrorText(), FString(Case.ExpectedText));
    EXPECT_EQ(Read.Finish(), Case.Expected == EZorErrorKind::None);
    EXPECT_EQ(Log.Count("Test op request failed."), Case.Expected == EZorErrorKind::None ? 0 : 1);
    EXPECT_EQ(Log.Count("Test op request complete. url=http://h/api/kill/secr<redacted>"),
              Case.Kind == EReplyKind::NoResponse ? 0 : 1);
    EXPECT_FALSE(Log.Contains("secret-token-value-123"));
    EXPECT_FALSE(Log.Contains("request-bearer-0001"));
    if (Case.Kind == EReplyKind::Success)
    {
        EXPECT_EQ(Code.code, FString("ex-1"));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FZorReplyKindTest, ::testing::ValuesIn(ReplyCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(FZorReplyTest, ServiceErrorKeepsItsCodesAndTheOnly200RuleRefusesOtherSuccesses)
{
    FZorReply Refused =
        Reply(404, "application/json", R"({"errorCode":"errors.missing","errorMessage":"Gone"})");
    EXPECT_FALSE(Refused.Check());
    EXPECT_EQ(Refused.GetError().HttpCode, 404);
    EXPECT_EQ(Refused.GetError().ErrorCode, FString("errors.missing"));

    FZorReply Created = Reply(201, "application/json", "{}");
    EXPECT_FALSE(Created.Check(EZorCodeRule::Only200));
    EXPECT_EQ(Created.GetErrorText(), FString("Invalid response. code=201 error={}"));
    EXPECT_TRUE(Reply(200, "application/json", "{}").Check(EZorCodeRule::Only200));
    EXPECT_TRUE(Reply(299, "text/plain", "").Check());
    EXPECT_FALSE(Reply(300, "text/plain", "").Check()) << "no redirect is followed";
    EXPECT_FALSE(Reply(199, "text/plain", "").Check());
}

TEST_F(FZorReplyTest, ObjectsAndBareArraysUnderTheirKey)
{
    TSharedPtr<FJsonObject> Json;
    FZorReply Array = Reply(200, "application/json", R"([{"id":"a"},{"id":"b"}])");
    ASSERT_TRUE(Array.ReadObject(Json, "friends"));
    EXPECT_EQ(Json->GetArrayField("friends").Num(), 2);

    FZorReply Broken = Reply(200, "application/json", "[1,");
    EXPECT_FALSE(Broken.ReadObject(Json, "friends"));
    EXPECT_FALSE(Json.IsValid());
    EXPECT_EQ(Broken.GetErrorText(), FString("Invalid response payload=[1,"));

    FZorReply NotObject = Reply(200, "application/json", "[]");
    EXPECT_FALSE(NotObject.ReadObject(Json));
}

TEST_F(FZorReplyTest, FirstErrorWinsAndSecretsInTheBodyAreMasked)
{
    FZorReply Read = Reply(500, "text/plain", "grant_type=refresh_token&refresh_token=r-secret");
    EXPECT_FALSE(Read.Check());
    Read.Fail(EZorErrorKind::InvalidPayload, "later");
    EXPECT_EQ(Read.GetError().Kind, EZorErrorKind::HttpStatus);
    Read.Finish();
    EXPECT_FALSE(Log.Contains("r-secret"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Test op request failed. Invalid response. code=500"));
}
