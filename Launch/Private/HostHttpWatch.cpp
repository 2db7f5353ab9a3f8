#include "HostHttpWatch.h"

#include <algorithm>
#include <utility>

FHostHttpWatch::FHostHttpWatch(TSharedPtr<IHttpTransport> InInner) : Inner(std::move(InInner)) {}

bool FHostHttpWatch::StartRequest(const FHttpRequestRef& Request)
{
    {
        std::lock_guard Guard(Mutex);
        ForgetFinishedLocked();
        Started.push_back({Request, Request->GetURL()});
    }
    return Inner->StartRequest(Request);
}

void FHostHttpWatch::CancelRequest(const FHttpRequestRef& Request)
{
    Inner->CancelRequest(Request);
}

void FHostHttpWatch::Shutdown()
{
    Inner->Shutdown();
}

bool FHostHttpWatch::IsInFlight(const FString& Part)
{
    std::lock_guard Guard(Mutex);
    ForgetFinishedLocked();
    return std::any_of(Started.begin(), Started.end(),
                       [&Part](const FStarted& Each)
                       { return Each.URL.Contains(Part, ESearchCase::CaseSensitive); });
}

void FHostHttpWatch::ForgetFinishedLocked()
{
    // A request's status leaves Processing only as its completion fires, on the game thread.
    std::erase_if(Started,
                  [](const FStarted& Each)
                  {
                      const FHttpRequestPtr Request = Each.Request.Pin();
                      return !Request || Request->GetStatus() != EHttpRequestStatus::Processing;
                  });
}
