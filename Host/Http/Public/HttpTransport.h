#pragma once

#include "Interfaces/IHttpRequest.h"
#include "Interfaces/IHttpResponse.h"

using FHttpHeaderList = TArray<TPair<FString, FString>>;

/** A response as a transport builds it. The content type is taken from its "Content-Type" header. */
class FHttpResponse : public IHttpResponse
{
public:
    FHttpResponse(FString InURL, int32 InResponseCode, FHttpHeaderList InHeaders, TArray<uint8> InContent);

    FString GetURL() const override { return URL; }
    FString GetHeader(const FString& HeaderName) const override;
    TArray<FString> GetAllHeaders() const override;
    FString GetContentType() const override { return GetHeader("Content-Type"); }
    uint64 GetContentLength() const override { return static_cast<uint64>(Content.Num()); }
    const TArray<uint8>& GetContent() const override { return Content; }
    int32 GetResponseCode() const override { return ResponseCode; }
    FString GetContentAsString() const override;

private:
    FString URL;
    int32 ResponseCode;
    FHttpHeaderList Headers;
    TArray<uint8> Content;
};

/** What a request needs on the wire, copied on the thread that started it. */
struct FHttpRequestSnapshot
{
    FString URL;
    FString Verb;
    FHttpHeaderList Headers;
    TArray<uint8> Content;

    /** The URL with its secrets masked, for log lines. */
    FString URLForLog() const;
};

/**
 * How started requests reach the wire. The module hands every started request to the installed transport;
 * the transport reports each outcome once through ReportFinished, from any thread, and never calls game code.
 */
class IHttpTransport
{
public:
    virtual ~IHttpTransport() = default;

    /** Runs on the thread that called ProcessRequest: copy what is needed and return at once. False refuses.
     */
    virtual bool StartRequest(const FHttpRequestRef& Request) = 0;
    /** The request has already reported its cancellation; drop its transfer. Any thread. */
    virtual void CancelRequest(const FHttpRequestRef& Request) = 0;
    /** Ends every transfer (each reports failure) and stops any worker; later starts are refused. */
    virtual void Shutdown() = 0;

protected:
    /** Hands a transfer's outcome to its request; a null response means the transfer failed. */
    static void ReportFinished(const FHttpRequestRef& Request, const FHttpResponsePtr& Response);
    /** True once the request's completion is on its way (e.g. it was cancelled), so its transfer can be
     * skipped. */
    static bool IsFinished(const FHttpRequestRef& Request);
    static FHttpRequestSnapshot TakeSnapshot(const FHttpRequestRef& Request);
};
