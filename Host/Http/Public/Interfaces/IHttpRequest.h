#pragma once

#include "Interfaces/IHttpBase.h"
#include "Interfaces/IHttpResponse.h"

class IHttpRequest;

using FHttpRequestPtr = TSharedPtr<IHttpRequest, ESPMode::ThreadSafe>;
using FHttpRequestRef = TSharedRef<IHttpRequest, ESPMode::ThreadSafe>;

namespace EHttpRequestStatus
{
enum Type
{
    NotStarted,
    Processing,
    Failed,
    Succeeded,
};
const char* ToString(Type Status);
} // namespace EHttpRequestStatus

/** Fired once on the game thread; the response is null and the flag false when no response arrived. */
DECLARE_DELEGATE_ThreeParams(FHttpRequestCompleteDelegate, FHttpRequestPtr /*Request*/,
                             FHttpResponsePtr /*Response*/, bool /*bConnectedSuccessfully*/);

/**
 * One HTTP request. Configure it on one thread, then start it with ProcessRequest. Its completion delegate
 * fires exactly once per started or cancelled request, always from FHttpModule::Tick, never inside
 * ProcessRequest or CancelRequest. The module keeps the request alive until that completion has fired.
 */
class IHttpRequest : public IHttpBase
{
public:
    /** Upper-case verb; "GET" until set. */
    virtual FString GetVerb() const = 0;
    virtual void SetVerb(const FString& Verb) = 0;
    /** Stored as given; bytes that are illegal in a URL are percent-encoded only on the wire. */
    virtual void SetURL(const FString& URL) = 0;
    /**
     * Sets or replaces a header (name matched ignoring case). A name that is not an HTTP token or a value
     * holding CR, LF or NUL is refused with a warning, so callers cannot inject extra header lines.
     */
    virtual void SetHeader(const FString& HeaderName, const FString& HeaderValue) = 0;
    virtual void SetContent(const TArray<uint8>& Content) = 0;
    virtual void SetContentAsString(const FString& Content) = 0;

    /**
     * Starts the request. False when it cannot start: an empty or non-HTTP URL (the request then completes
     * unsuccessfully on a later tick), or when it was already started or cancelled (its one completion is
     * already on its way; no second one follows).
     */
    virtual bool ProcessRequest() = 0;
    /**
     * Stops the request. A request not yet completed then completes unsuccessfully, with no response, on a
     * later tick; cancelling again or after completion does nothing.
     */
    virtual void CancelRequest() = 0;

    virtual FHttpRequestCompleteDelegate& OnProcessRequestComplete() = 0;
    /** Becomes Succeeded or Failed only when the completion is delivered by FHttpModule::Tick. */
    virtual EHttpRequestStatus::Type GetStatus() const = 0;
    /** Null until a completion with a response has been delivered. */
    virtual FHttpResponsePtr GetResponse() const = 0;
    /** Seconds from ProcessRequest until the transfer ended (or until now while it runs); 0 if never started.
     */
    virtual float GetElapsedTime() const = 0;
};
