#pragma once

#include <mutex>
#include <vector>

#include "HttpTransport.h"

/**
 * The installed transport with a view of what is in flight: the host waits on requests the module sends
 * without an event of their own (a logout's session kills), whose answers would otherwise be cut off by quit.
 */
class FHostHttpWatch : public IHttpTransport
{
public:
    explicit FHostHttpWatch(TSharedPtr<IHttpTransport> InInner);

    bool StartRequest(const FHttpRequestRef& Request) override;
    void CancelRequest(const FHttpRequestRef& Request) override;
    void Shutdown() override;

    /** Whether a request whose URL contains Part has not had its completion fired yet. */
    bool IsInFlight(const FString& Part);

private:
    struct FStarted
    {
        TWeakPtr<IHttpRequest, ESPMode::ThreadSafe> Request;
        FString URL;
    };

    /** Forgets the requests whose completions have fired; call it with Mutex held. */
    void ForgetFinishedLocked();

    TSharedPtr<IHttpTransport> Inner;
    std::mutex Mutex;
    std::vector<FStarted> Started;
};
