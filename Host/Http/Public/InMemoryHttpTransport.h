#pragma once

#include "HttpTransport.h"

/**
 * A transport for unit tests: it records every started request and answers only when the test says so. An
 * answer is delivered on the next FHttpModule::Tick, never inside Respond or Fail. Thread-safe.
 */
class FInMemoryHttpTransport : public IHttpTransport
{
public:
    enum class EState
    {
        Pending,
        Responded,
        Failed,
        Cancelled,
    };

    /** A started request as it was when it started. */
    struct FStartedRequest
    {
        FHttpRequestPtr Request;
        FString URL;
        FString Verb;
        /** Keys ignore letter case. */
        TMap<FString, FString> Headers;
        TArray<uint8> Content;
        EState State = EState::Pending;

        FString GetContentAsString() const;
    };

    bool StartRequest(const FHttpRequestRef& Request) override;
    void CancelRequest(const FHttpRequestRef& Request) override;
    /** Fails every unanswered request and refuses later starts. */
    void Shutdown() override;

    /** Every request started so far, oldest first, with its current state. */
    TArray<FStartedRequest> GetStartedRequests() const;
    int32 NumStarted() const;
    int32 NumPending() const;
    /** The oldest request still waiting for an answer; null when none waits. */
    FHttpRequestPtr FindOldestPending() const;
    /** The record of a started request; false when this transport never saw it. */
    bool FindStarted(const FHttpRequestPtr& Request, FStartedRequest& OutRecord) const;

    /**
     * Answers a waiting request. A non-empty ContentType becomes the "Content-Type" header, replacing one in
     * Headers. False when the request is not waiting here (never started, answered or cancelled).
     */
    bool Respond(const FHttpRequestPtr& Request, int32 Code, const FString& Body,
                 TMap<FString, FString> Headers = {}, const FString& ContentType = "application/json");
    /** Ends a waiting request as a connection failure (no response). False when it is not waiting. */
    bool Fail(const FHttpRequestPtr& Request);

    /** Forgets every record; waiting requests are dropped without completing. */
    void Reset();

private:
    bool Finish(const FHttpRequestPtr& Request, EState NewState, const FHttpResponsePtr& Response);
    int32 FindIndex(const IHttpRequest* Request) const;

    mutable FCriticalSection Lock;
    TArray<FStartedRequest> Started;
    bool bShutDown = false;
};

/**
 * Installs a fresh in-memory transport for its lifetime and puts back the previous transport afterwards.
 * Completions not yet ticked are dropped on install and on removal, and so are the requests left unanswered,
 * so nothing from one test reaches the next.
 */
class FScopedInMemoryHttpTransport
{
public:
    FScopedInMemoryHttpTransport();
    ~FScopedInMemoryHttpTransport();
    FScopedInMemoryHttpTransport(const FScopedInMemoryHttpTransport&) = delete;
    FScopedInMemoryHttpTransport& operator=(const FScopedInMemoryHttpTransport&) = delete;

    FInMemoryHttpTransport& Get() const { return *Transport; }
    FInMemoryHttpTransport* operator->() const { return Transport.Get(); }

private:
    TSharedPtr<FInMemoryHttpTransport> Transport;
    TSharedPtr<IHttpTransport> Previous;
};
