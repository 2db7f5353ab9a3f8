#include "Common/ZorReply.h"

#include "Common/ZorRedact.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"

namespace
{
void LogOnlineAt(ELogVerbosity::Type Verbosity, const FString& Text)
{
    if (!LogOnline.IsSuppressed(Verbosity))
    {
        FLog::Write(LogOnline, Verbosity, FString(ONLINE_LOG_PREFIX) + Text);
    }
}
} // namespace

FZorReply::FZorReply(const FZorCall& InCall, const FHttpRequestPtr& InRequest,
                     const FHttpResponsePtr& InResponse, bool bInSucceeded)
    : Call(InCall), Request(InRequest), Response(InResponse), bSucceeded(bInSucceeded),
      Secrets(InCall.Secrets)
{
    if (Request)
    {
        Secrets.Append(ZorRedact::Credentials(Request->GetHeader("Authorization")));
    }
}

FZorReply FZorReply::ForEndedLogin(const FZorCall& InCall, const FHttpRequestPtr& InRequest)
{
    FZorReply Reply(InCall, InRequest, nullptr, false);
    Reply.bLoginEnded = true;
    return Reply;
}

void FZorReply::LogCompletion() const
{
    if (LogOnline.IsSuppressed(Call.CompleteVerbosity))
    {
        return; // the masked body of a large reply is not worth building for no line
    }
    const int32 Code = Response->GetResponseCode();
    if (!Call.CompleteLine.IsEmpty())
    {
        LogOnlineAt(Call.CompleteVerbosity, FString::Printf("%s code=%d", *Call.CompleteLine, Code));
        return;
    }
    LogOnlineAt(Call.CompleteVerbosity,
                FString::Printf("%s request complete. url=%s code=%d response=%s",
                                Call.CompleteName.IsEmpty() ? *Call.Operation : *Call.CompleteName,
                                *GetLoggedUrl(), Code, *LoggedBody()));
}

FString FZorReply::GetLoggedUrl() const
{
    if (!Request)
    {
        return FString();
    }
    // Marked secret values are masked where they stand, however the URL encodes them.
    const FString Url = Call.SecretPlaceholders.IsEmpty() ? Request->GetURL() : Call.ResolveLoggedUrl();
    return ZorRedact::Text(Url, Secrets);
}

bool FZorReply::Accepts(EZorCodeRule Rule, int32 Code)
{
    return Rule == EZorCodeRule::Only200 ? Code == 200 : Code >= 200 && Code <= 299;
}

bool FZorReply::Check(EZorCodeRule Rule)
{
    if (!bSucceeded || !Response)
    {
        Fail(EZorErrorKind::NoResponse, "No response");
        return false;
    }
    LogCompletion();
    if (FZorError Refused = CheckResponse(*Response, Rule))
    {
        const bool bServiceText = Call.bServiceErrorText && Refused.Kind == EZorErrorKind::ServiceError;
        Refused.Text = bServiceText ? MaskSecrets(Refused.Text) : RefusalText();
        Error = Refused;
    }
    return !Error;
}

FZorError FZorReply::CheckResponse(const IHttpResponse& Response, EZorCodeRule Rule)
{
    const int32 Code = Response.GetResponseCode();
    if (Accepts(Rule, Code))
    {
        return FZorError();
    }
    const FString Body = Response.GetContentAsString();
    FZorError Error = FZorError::Make(EZorErrorKind::HttpStatus, FString(), Code);
    TSharedPtr<FJsonObject> Json;
    if (!Response.GetContentType().Equals("application/json", ESearchCase::CaseSensitive) ||
        !FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), Json))
    {
        return Error;
    }
    Json->TryGetStringField("errorCode", Error.ErrorCode);
    FString Message;
    if (Json->TryGetStringField("errorMessage", Message))
    {
        Error.Kind = EZorErrorKind::ServiceError;
        Error.Text = Message;
    }
    return Error;
}

bool FZorReply::ReadObject(TSharedPtr<FJsonObject>& Out, const FString& ArrayKey)
{
    if (Error)
    {
        return false;
    }
    const FString Body = GetBody();
    const FString Text = ArrayKey.IsEmpty() ? Body : FString::Printf("{\"%s\":%s}", *ArrayKey, *Body);
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Out) || !Out)
    {
        Out.Reset();
        Fail(EZorErrorKind::InvalidPayload,
             MaskSecrets(FString::Printf("Invalid response payload=%s", *Body)));
    }
    return !Error;
}

void FZorReply::Fail(EZorErrorKind Kind, const FString& Text)
{
    if (!Error)
    {
        Error = FZorError::Make(Kind, Text, Response ? Response->GetResponseCode() : 0);
    }
}

FString FZorReply::RefusalText() const
{
    const int32 Code = Response ? Response->GetResponseCode() : 0;
    return MaskSecrets(FString::Printf("Invalid response. code=%d error=%s", Code, *GetBody()));
}

FString FZorReply::LoggedBody() const
{
    return ZorRedact::Body(MaskSecrets(GetBody()));
}

bool FZorReply::Finish() const
{
    if (Error)
    {
        LogOnlineAt(ELogVerbosity::Warning,
                    FString::Printf("%s request failed. %s", *Call.Operation, *ZorRedact::Body(Error.Text)));
    }
    return !Error;
}

FString FZorReply::MaskSecrets(const FString& Text) const
{
    return ZorRedact::Text(Text, Secrets);
}

bool FZorReply::ReadArray(const FString& ArrayKey, TArray<TSharedPtr<FJsonValue>>& Out)
{
    TSharedPtr<FJsonObject> Json;
    const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
    if (!ReadObject(Json, ArrayKey))
    {
        return false;
    }
    if (!Json->TryGetArrayField(ArrayKey, Elements))
    {
        Fail(EZorErrorKind::InvalidPayload,
             MaskSecrets(FString::Printf("Invalid response payload=%s", *GetBody())));
        return false;
    }
    Out = *Elements;
    return true;
}
