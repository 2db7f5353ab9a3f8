#pragma once

#include <chrono>
#include <mutex>
#include <optional>

#include "HttpTransport.h"
#include "Interfaces/IHttpRequest.h"

/**
 * The module's request. One mutex, never held while calling out, guards its state; GetContent hands out a
 * reference, so a request is configured by one thread at a time.
 */
class FHttpRequest : public IHttpRequest, public TSharedFromThis<FHttpRequest>
{
public:
    FString GetURL() const override;
    FString GetHeader(const FString& HeaderName) const override;
    TArray<FString> GetAllHeaders() const override;
    FString GetContentType() const override { return GetHeader("Content-Type"); }
    uint64 GetContentLength() const override;
    const TArray<uint8>& GetContent() const override;

    FString GetVerb() const override;
    void SetVerb(const FString& InVerb) override;
    void SetURL(const FString& InURL) override;
    void SetHeader(const FString& HeaderName, const FString& HeaderValue) override;
    void SetContent(const TArray<uint8>& InContent) override;
    void SetContentAsString(const FString& InContent) override;

    bool ProcessRequest() override;
    void CancelRequest() override;

    FHttpRequestCompleteDelegate& OnProcessRequestComplete() override { return CompleteDelegate; }
    EHttpRequestStatus::Type GetStatus() const override;
    FHttpResponsePtr GetResponse() const override;
    float GetElapsedTime() const override;

    FHttpHeaderList GetHeaderList() const;
    /** From a transport, any thread; ignored once a completion is on its way. */
    void OnTransportFinished(const FHttpResponsePtr& InResponse);
    bool IsCompletionQueued() const;
    /** Game thread, from FHttpModule::Tick: publishes the outcome and fires the delegate. */
    void DeliverCompletion();

private:
    using FClock = std::chrono::steady_clock;

    /** Marks the completion as queued; false when one already was. Call with the mutex held. */
    bool MarkCompletionQueuedLocked(const FHttpResponsePtr& InResponse);
    FString URLForLogLocked() const;
    void RefuseStart(const char* Reason);

    mutable std::mutex Mutex;
    FString URL;
    FString Verb = "GET";
    FHttpHeaderList Headers;
    TArray<uint8> Content;
    FHttpRequestCompleteDelegate CompleteDelegate;

    EHttpRequestStatus::Type Status = EHttpRequestStatus::NotStarted;
    bool bStartAttempted = false;
    bool bCompletionQueued = false;
    FHttpResponsePtr PendingResponse;
    FHttpResponsePtr Response;
    TWeakPtr<IHttpTransport> Transport;
    std::optional<FClock::time_point> StartTime;
    std::optional<FClock::time_point> EndTime;
};
