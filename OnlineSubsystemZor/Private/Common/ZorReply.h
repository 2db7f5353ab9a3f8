#pragma once

#include "Common/ZorCall.h"
#include "Common/ZorError.h"
#include "CoreMinimal.h"
#include "Http.h"
#include "Json/JsonObject.h"

/** Which HTTP codes an operation accepts. */
enum class EZorCodeRule : uint8
{
    /** 200 to 299: the HTTP layer follows no redirect, so a 3xx never reached what it names. */
    Success,
    /** 200 alone. */
    Only200,
};

/**
 * The reply to one call, read in one place: the code check, the parse into a record or object, the single
 * warning. A handler checks, reads, and ends with Finish; its error text is what its event carries.
 */
class FZorReply
{
public:
    FZorReply(const FZorCall& InCall, const FHttpRequestPtr& InRequest, const FHttpResponsePtr& InResponse,
              bool bInSucceeded);
    /** The reply of a call whose login ended before it came: it fails with "No response" and stores nothing.
     */
    static FZorReply ForEndedLogin(const FZorCall& InCall, const FHttpRequestPtr& InRequest);

    /**
     * "No response" without a usable response; otherwise logs "<Operation> request complete. url=%s code=%d
     * response=%s" (masked) and applies the rule: a refused code gives the reply's "errorMessage" when it is
     * a JSON reply carrying one, else "Invalid response. code=%d error=%s". True when the reply passed.
     */
    bool Check(EZorCodeRule Rule = EZorCodeRule::Success);
    /** Whether Rule accepts Code; for the handlers that build their own refusal text. */
    static bool Accepts(EZorCodeRule Rule, int32 Code);
    /** Reads the body into a record when no error is set yet; "Invalid response payload" when it does not
     * read. */
    template <typename RecordType> bool Read(RecordType& Out)
    {
        if (Error)
        {
            return false;
        }
        if (!Out.FromJson(GetBody()))
        {
            Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
        }
        return !Error;
    }
    /**
     * Parses the body as a JSON object when no error is set yet, first wrapping a bare array under ArrayKey
     * when one is given; "Invalid response payload=%s" with the body when it does not parse.
     */
    bool ReadObject(TSharedPtr<FJsonObject>& Out, const FString& ArrayKey = FString());
    /**
     * The elements of a bare-array answer, wrapped under ArrayKey to parse; anything but an array fails the
     * same way, so a handler never replaces a cached list with what was not one.
     */
    bool ReadArray(const FString& ArrayKey, TArray<TSharedPtr<FJsonValue>>& Out);
    /** Sets the error unless one is set already; a text made of the reply is passed through MaskSecrets. */
    void Fail(EZorErrorKind Kind, const FString& Text);
    /** "Invalid response. code=%d error=%s" with the code and body, masked: the one refusal text of a reply.
     */
    FString RefusalText() const;
    /** The body as a log line shows it: masked by the call's secrets and by key, and cut. */
    FString LoggedBody() const;
    /** Logs the single warning "<Operation> request failed. %s" when there is an error; true on success. */
    bool Finish() const;

    const FZorError& GetError() const { return Error; }
    const FString& GetErrorText() const { return Error.Text; }
    bool Succeeded() const { return !Error; }
    bool HasResponse() const { return Response.IsValid(); }
    /** The login the call was made for ended first: what the handler would store is no longer anyone's. */
    bool HasLoginEnded() const { return bLoginEnded; }
    const FHttpRequestPtr& GetRequest() const { return Request; }
    const FHttpResponsePtr& GetResponse() const { return Response; }
    FString GetBody() const { return Response ? Response->GetContentAsString() : FString(); }
    /**
     * Text with the call's secrets masked: those it marked and the credential of the "Authorization" header
     * the request was sent with, whichever road signed it. A service may echo any of them in its reply; error
     * texts made of a reply are masked so, since every line that shows an event's text would show it whole.
     */
    FString MaskSecrets(const FString& Text) const;
    /** The request's URL as a log line may show it: the call's secret values masked. */
    FString GetLoggedUrl() const;

private:
    /** No error when Rule accepts the code; otherwise the code, with the service's message and error code
     * when it is a JSON reply carrying them. */
    static FZorError CheckResponse(const IHttpResponse& Response, EZorCodeRule Rule);
    /** The Verbose line of an answered call, with its secrets masked. */
    void LogCompletion() const;

    const FZorCall& Call;
    FHttpRequestPtr Request;
    FHttpResponsePtr Response;
    bool bSucceeded;
    bool bLoginEnded = false;
    FZorError Error;
    /** The call's secrets and the request's credentials, taken once the request has gone. */
    TArray<FString> Secrets;
};
