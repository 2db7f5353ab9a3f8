#include "HttpTransport.h"

#include "HttpRequest.h"
#include "HttpUrl.h"

FHttpResponse::FHttpResponse(FString InURL, int32 InResponseCode, FHttpHeaderList InHeaders,
                             TArray<uint8> InContent)
    : URL(std::move(InURL)), ResponseCode(InResponseCode), Headers(std::move(InHeaders)),
      Content(std::move(InContent))
{
}

FString FHttpResponse::GetHeader(const FString& HeaderName) const
{
    // Repeated headers read as one comma-separated value, as HTTP defines.
    FString Value;
    bool bFound = false;
    for (const auto& Header : Headers)
    {
        if (Header.Key != HeaderName)
        {
            continue;
        }
        if (bFound)
        {
            Value += ", ";
        }
        Value += Header.Value;
        bFound = true;
    }
    return Value;
}

TArray<FString> FHttpResponse::GetAllHeaders() const
{
    TArray<FString> Lines;
    for (const auto& Header : Headers)
    {
        Lines.Add(Header.Key + ": " + Header.Value);
    }
    return Lines;
}

FString FHttpResponse::GetContentAsString() const
{
    return FString(reinterpret_cast<const char*>(Content.GetData()), Content.Num());
}

namespace
{
FHttpRequest* AsModuleRequest(const FHttpRequestRef& Request)
{
    return dynamic_cast<FHttpRequest*>(Request.get());
}
} // namespace

void IHttpTransport::ReportFinished(const FHttpRequestRef& Request, const FHttpResponsePtr& Response)
{
    if (FHttpRequest* ModuleRequest = AsModuleRequest(Request))
    {
        ModuleRequest->OnTransportFinished(Response);
    }
}

bool IHttpTransport::IsFinished(const FHttpRequestRef& Request)
{
    const FHttpRequest* ModuleRequest = AsModuleRequest(Request);
    return !ModuleRequest || ModuleRequest->IsCompletionQueued();
}

FHttpRequestSnapshot IHttpTransport::TakeSnapshot(const FHttpRequestRef& Request)
{
    FHttpRequestSnapshot Snapshot;
    Snapshot.URL = Request->GetURL();
    Snapshot.Verb = Request->GetVerb();
    Snapshot.Content = Request->GetContent();
    if (const FHttpRequest* ModuleRequest = AsModuleRequest(Request))
    {
        Snapshot.Headers = ModuleRequest->GetHeaderList();
    }
    return Snapshot;
}

FString FHttpRequestSnapshot::URLForLog() const
{
    return HttpUrl::MaskForLog(URL);
}
