#pragma once

#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <curl/curl.h>

#include "HttpTransport.h"

/**
 * The default transport: one libcurl multi handle driven by one worker thread, so connections are reused
 * across requests. Callers only touch the locked start and cancel queues; the worker owns every easy handle
 * and reports outcomes through ReportFinished.
 */
class FCurlHttpTransport : public IHttpTransport
{
public:
    FCurlHttpTransport();
    ~FCurlHttpTransport() override;

    bool StartRequest(const FHttpRequestRef& Request) override;
    void CancelRequest(const FHttpRequestRef& Request) override;
    void Shutdown() override;

    /** One request on the wire; defined with the worker code. */
    struct FTransfer;

private:
    void Run();
    /** Takes the queued starts and cancels; false once shutting down. */
    bool ServiceQueues();
    void BeginTransfer(std::unique_ptr<FTransfer> Transfer);
    void AbortTransfer(const IHttpRequest* Request);
    void CollectFinished();
    void FinishTransfer(CURL* Easy, CURLcode Result);
    void FailEverything();

    CURLM* Multi = nullptr;
    std::thread Worker;
    std::mutex ShutdownMutex;

    std::mutex QueueMutex;
    std::vector<std::unique_ptr<FTransfer>> PendingStarts;
    std::vector<FHttpRequestRef> PendingCancels;
    bool bStopping = false;

    /** Worker thread only. */
    std::unordered_map<const IHttpRequest*, std::unique_ptr<FTransfer>> Active;
};
