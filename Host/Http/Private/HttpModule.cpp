#include "HttpModule.h"

#include <algorithm>
#include <chrono>

#include "Core/Config.h"
#include "CurlHttpTransport.h"
#include "HttpRequest.h"

DEFINE_LOG_CATEGORY(LogHttp);

namespace
{
constexpr float DefaultConnectionTimeout = 10.0f;
constexpr float DefaultTotalTimeout = 60.0f;
constexpr int32 DefaultMaxResponseBytes = 256 * 1024 * 1024;

struct FHttpLimits
{
    float Connection = DefaultConnectionTimeout;
    float Total = DefaultTotalTimeout;
    int32 MaxResponseBytes = DefaultMaxResponseBytes;
};

FHttpLimits ReadLimits()
{
    FHttpLimits Limits;
    GConfig->GetFloat("HTTP", "HttpConnectionTimeout", Limits.Connection, GEngineIni);
    GConfig->GetFloat("HTTP", "HttpTotalTimeout", Limits.Total, GEngineIni);
    GConfig->GetInt("HTTP", "HttpMaxResponseBytes", Limits.MaxResponseBytes, GEngineIni);
    if (Limits.MaxResponseBytes <= 0)
    {
        Limits.MaxResponseBytes = DefaultMaxResponseBytes;
    }
    return Limits;
}
} // namespace

FHttpModule& FHttpModule::Get()
{
    static FHttpModule Module;
    return Module;
}

FHttpModule::FHttpModule()
    : ConnectionTimeout(DefaultConnectionTimeout), TotalTimeout(DefaultTotalTimeout),
      MaxResponseBytes(DefaultMaxResponseBytes)
{
    UpdateConfigs();
}

FHttpModule::~FHttpModule()
{
    Shutdown();
}

FHttpRequestRef FHttpModule::CreateRequest()
{
    return MakeShared<FHttpRequest>();
}

void FHttpModule::Tick(float /*DeltaSeconds*/)
{
    TArray<FHttpRequestRef> Ready;
    {
        std::lock_guard Guard(CompletionMutex);
        std::swap(Ready, Completions);
    }
    // Completions queued by these handlers wait for the next tick, so none fires inside the call that caused
    // it.
    for (const FHttpRequestRef& Request : Ready)
    {
        StaticCastSharedRef<FHttpRequest>(Request)->DeliverCompletion();
    }
}

bool FHttpModule::WaitForCompletions(float MaxSeconds)
{
    std::unique_lock Guard(CompletionMutex);
    return CompletionArrived.wait_for(Guard, std::chrono::duration<float>(std::max(MaxSeconds, 0.0f)),
                                      [this] { return Completions.Num() > 0; });
}

void FHttpModule::SetTransport(TSharedPtr<IHttpTransport> InTransport)
{
    FScopeLock Guard(&TransportLock);
    Transport = std::move(InTransport);
}

TSharedPtr<IHttpTransport> FHttpModule::GetTransport()
{
    FScopeLock Guard(&TransportLock);
    if (!Transport)
    {
        Transport = MakeShared<FCurlHttpTransport>();
    }
    return Transport;
}

TSharedPtr<IHttpTransport> FHttpModule::GetInstalledTransport()
{
    FScopeLock Guard(&TransportLock);
    return Transport;
}

void FHttpModule::Shutdown()
{
    TSharedPtr<IHttpTransport> Stopping;
    {
        FScopeLock Guard(&TransportLock);
        std::swap(Stopping, Transport);
    }
    if (Stopping)
    {
        Stopping->Shutdown();
    }
}

void FHttpModule::UpdateConfigs()
{
    const FHttpLimits Limits = ReadLimits();
    ConnectionTimeout.store(Limits.Connection, std::memory_order_relaxed);
    TotalTimeout.store(Limits.Total, std::memory_order_relaxed);
    MaxResponseBytes.store(Limits.MaxResponseBytes, std::memory_order_relaxed);
}

void FHttpModule::QueueCompletion(FHttpRequestRef Request)
{
    {
        std::lock_guard Guard(CompletionMutex);
        Completions.Add(std::move(Request));
    }
    CompletionArrived.notify_all();
}

void FHttpModule::DiscardPendingCompletions()
{
    TArray<FHttpRequestRef> Dropped;
    std::lock_guard Guard(CompletionMutex);
    std::swap(Dropped, Completions);
}
