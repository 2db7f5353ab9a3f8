#include "HttpRequest.h"

#include "HttpModule.h"
#include "HttpUrl.h"

namespace
{
FString FormatHeader(const TPair<FString, FString>& Header)
{
    return Header.Key + ": " + Header.Value;
}
} // namespace

const char* EHttpRequestStatus::ToString(Type Status)
{
    switch (Status)
    {
    case NotStarted:
        return "NotStarted";
    case Processing:
        return "Processing";
    case Failed:
        return "Failed";
    case Succeeded:
        return "Succeeded";
    }
    return "Unknown";
}

FString FHttpRequest::GetURL() const
{
    std::lock_guard Guard(Mutex);
    return URL;
}

FString FHttpRequest::GetHeader(const FString& HeaderName) const
{
    std::lock_guard Guard(Mutex);
    const auto* Found = Headers.FindByPredicate([&](const auto& Header) { return Header.Key == HeaderName; });
    return Found ? Found->Value : FString();
}

TArray<FString> FHttpRequest::GetAllHeaders() const
{
    std::lock_guard Guard(Mutex);
    TArray<FString> Lines;
    for (const auto& Header : Headers)
    {
        Lines.Add(FormatHeader(Header));
    }
    return Lines;
}

FHttpHeaderList FHttpRequest::GetHeaderList() const
{
    std::lock_guard Guard(Mutex);
    return Headers;
}

uint64 FHttpRequest::GetContentLength() const
{
    std::lock_guard Guard(Mutex);
    return static_cast<uint64>(Content.Num());
}

const TArray<uint8>& FHttpRequest::GetContent() const
{
    return Content;
}

FString FHttpRequest::GetVerb() const
{
    std::lock_guard Guard(Mutex);
    return Verb;
}

void FHttpRequest::SetVerb(const FString& InVerb)
{
    if (!HttpToken::IsToken(InVerb))
    {
        UE_LOG(LogHttp, Warning, "Refusing invalid HTTP verb \"%s\".", *InVerb);
        return;
    }
    std::lock_guard Guard(Mutex);
    Verb = InVerb.ToUpper();
}

void FHttpRequest::SetURL(const FString& InURL)
{
    std::lock_guard Guard(Mutex);
    URL = InURL;
}

void FHttpRequest::SetHeader(const FString& HeaderName, const FString& HeaderValue)
{
    if (!HttpToken::IsToken(HeaderName))
    {
        // A malformed name may be a whole "Name: value" line, secret and all.
        UE_LOG(LogHttp, Warning, "Refusing an HTTP header with an invalid name.");
        return;
    }
    if (!HttpToken::IsSafeHeaderValue(HeaderValue))
    {
        UE_LOG(LogHttp, Warning, "Refusing invalid HTTP header \"%s\".", *HeaderName);
        return;
    }
    std::lock_guard Guard(Mutex);
    auto* Found = Headers.FindByPredicate([&](const auto& Header) { return Header.Key == HeaderName; });
    if (Found)
    {
        *Found = {HeaderName, HeaderValue};
        return;
    }
    Headers.Add({HeaderName, HeaderValue});
}

void FHttpRequest::SetContent(const TArray<uint8>& InContent)
{
    std::lock_guard Guard(Mutex);
    Content = InContent;
}

void FHttpRequest::SetContentAsString(const FString& InContent)
{
    const std::string_view Text = InContent.View();
    std::lock_guard Guard(Mutex);
    Content = TArray<uint8>(reinterpret_cast<const uint8*>(Text.data()), static_cast<int32>(Text.size()));
}

bool FHttpRequest::ProcessRequest()
{
    FString StartURL;
    {
        std::lock_guard Guard(Mutex);
        if (bStartAttempted || bCompletionQueued)
        {
            UE_LOG(LogHttp, Warning, "ProcessRequest ignored: request already started or cancelled. url=%s",
                   *URLForLogLocked());
            return false;
        }
        bStartAttempted = true;
        StartURL = URL;
    }
    if (!HttpUrl::IsValidHttpUrl(StartURL))
    {
        RefuseStart("invalid URL");
        return false;
    }
    const TSharedPtr<IHttpTransport> StartTransport = FHttpModule::Get().GetTransport();
    {
        std::lock_guard Guard(Mutex);
        // A cancel from another thread may already have completed it; its status then stays final.
        if (bCompletionQueued)
        {
            return false;
        }
        Status = EHttpRequestStatus::Processing;
        StartTime = FClock::now();
        Transport = StartTransport;
    }
    if (!StartTransport->StartRequest(AsShared()))
    {
        RefuseStart("transport refused it");
        return false;
    }
    return true;
}

void FHttpRequest::RefuseStart(const char* Reason)
{
    FString Shown;
    {
        std::lock_guard Guard(Mutex);
        Shown = URLForLogLocked();
    }
    UE_LOG(LogHttp, Warning, "Request not started (%s). url=%s", Reason, *Shown);
    OnTransportFinished(nullptr);
}

void FHttpRequest::CancelRequest()
{
    TSharedPtr<IHttpTransport> RunningOn;
    {
        std::lock_guard Guard(Mutex);
        if (!MarkCompletionQueuedLocked(nullptr))
        {
            return;
        }
        if (Status == EHttpRequestStatus::Processing)
        {
            RunningOn = Transport.Pin();
        }
    }
    FHttpModule::Get().QueueCompletion(AsShared());
    if (RunningOn)
    {
        RunningOn->CancelRequest(AsShared());
    }
}

void FHttpRequest::OnTransportFinished(const FHttpResponsePtr& InResponse)
{
    {
        std::lock_guard Guard(Mutex);
        if (!MarkCompletionQueuedLocked(InResponse))
        {
            return;
        }
    }
    FHttpModule::Get().QueueCompletion(AsShared());
}

FString FHttpRequest::URLForLogLocked() const
{
    return HttpUrl::MaskForLog(URL);
}

bool FHttpRequest::MarkCompletionQueuedLocked(const FHttpResponsePtr& InResponse)
{
    if (bCompletionQueued)
    {
        return false;
    }
    bCompletionQueued = true;
    PendingResponse = InResponse;
    if (StartTime && !EndTime)
    {
        EndTime = FClock::now();
    }
    return true;
}

bool FHttpRequest::IsCompletionQueued() const
{
    std::lock_guard Guard(Mutex);
    return bCompletionQueued;
}

void FHttpRequest::DeliverCompletion()
{
    FHttpResponsePtr Delivered;
    {
        std::lock_guard Guard(Mutex);
        Response = PendingResponse;
        PendingResponse.Reset();
        Status = Response ? EHttpRequestStatus::Succeeded : EHttpRequestStatus::Failed;
        Delivered = Response;
    }
    CompleteDelegate.ExecuteIfBound(FHttpRequestPtr(AsShared()), Delivered, Delivered.IsValid());
}

EHttpRequestStatus::Type FHttpRequest::GetStatus() const
{
    std::lock_guard Guard(Mutex);
    return Status;
}

FHttpResponsePtr FHttpRequest::GetResponse() const
{
    std::lock_guard Guard(Mutex);
    return Response;
}

float FHttpRequest::GetElapsedTime() const
{
    std::lock_guard Guard(Mutex);
    if (!StartTime)
    {
        return 0.0f;
    }
    const FClock::time_point End = EndTime.value_or(FClock::now());
    return std::chrono::duration<float>(End - *StartTime).count();
}
