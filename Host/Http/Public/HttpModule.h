#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "HttpTransport.h"
#include "Interfaces/IHttpRequest.h"

DECLARE_LOG_CATEGORY_EXTERN(LogHttp, Log, All);

class FHttpRequest;

/**
 * The host's HTTP module. Requests may be created and started from any thread; their completions are fired
 * only by Tick, which the host calls on the game thread every frame.
 */
class FHttpModule
{
public:
    static FHttpModule& Get();

    FHttpRequestRef CreateRequest();

    /** Fires the completions that arrived since the last tick, oldest first. */
    void Tick(float DeltaSeconds);
    /**
     * Sleeps until a completion waits for Tick or MaxSeconds pass; true when one waits. A host may spend the
     * rest of its frame here rather than in a plain sleep, so answers are fired as soon as they arrive.
     */
    bool WaitForCompletions(float MaxSeconds);

    /** Installs the transport for requests started from now on; null goes back to the default (libcurl). */
    void SetTransport(TSharedPtr<IHttpTransport> InTransport);
    /** The installed transport; the libcurl one is created on first use. */
    TSharedPtr<IHttpTransport> GetTransport();

    /**
     * Cancels every transfer in flight and stops the transport's worker. Their failed completions stay
     * queued: they fire on the next Tick, or are dropped without firing if the process ends first. A later
     * request starts a fresh default transport.
     */
    void Shutdown();

    /**
     * Re-reads HttpConnectionTimeout (default 10) and HttpTotalTimeout (default 60), in seconds, from section
     * [HTTP] of the engine ini; 0 leaves libcurl's own (300 s to connect, no total limit). Also
     * HttpMaxResponseBytes (default 256 MiB): a longer response body fails the request instead of growing
     * without bound. Applies to requests started afterwards.
     */
    void UpdateConfigs();
    float GetHttpConnectionTimeout() const { return ConnectionTimeout.load(std::memory_order_relaxed); }
    float GetHttpTotalTimeout() const { return TotalTimeout.load(std::memory_order_relaxed); }
    int32 GetHttpMaxResponseBytes() const { return MaxResponseBytes.load(std::memory_order_relaxed); }

    FHttpModule(const FHttpModule&) = delete;
    FHttpModule& operator=(const FHttpModule&) = delete;

private:
    friend class FHttpRequest;
    friend class FScopedInMemoryHttpTransport;

    FHttpModule();
    ~FHttpModule();

    void QueueCompletion(FHttpRequestRef Request);
    TSharedPtr<IHttpTransport> GetInstalledTransport();
    /** Forgets completions not yet fired; test fixtures use it so one test's leftovers never reach the next.
     */
    void DiscardPendingCompletions();

    FCriticalSection TransportLock;
    TSharedPtr<IHttpTransport> Transport;

    std::mutex CompletionMutex;
    std::condition_variable CompletionArrived;
    TArray<FHttpRequestRef> Completions;

    std::atomic<float> ConnectionTimeout;
    std::atomic<float> TotalTimeout;
    std::atomic<int32> MaxResponseBytes;
};
