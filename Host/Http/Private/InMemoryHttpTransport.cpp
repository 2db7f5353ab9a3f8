#include "InMemoryHttpTransport.h"

#include "HttpModule.h"

FString FInMemoryHttpTransport::FStartedRequest::GetContentAsString() const
{
    return FString(reinterpret_cast<const char*>(Content.GetData()), Content.Num());
}

bool FInMemoryHttpTransport::StartRequest(const FHttpRequestRef& Request)
{
    FHttpRequestSnapshot Snapshot = TakeSnapshot(Request);
    FStartedRequest Record;
    Record.Request = Request;
    Record.URL = std::move(Snapshot.URL);
    Record.Verb = std::move(Snapshot.Verb);
    for (const auto& Header : Snapshot.Headers)
    {
        Record.Headers.Add(Header.Key, Header.Value);
    }
    Record.Content = std::move(Snapshot.Content);
    Record.State = IsFinished(Request) ? EState::Cancelled : EState::Pending;

    FScopeLock Guard(&Lock);
    if (bShutDown)
    {
        return false;
    }
    Started.Add(std::move(Record));
    return true;
}

void FInMemoryHttpTransport::CancelRequest(const FHttpRequestRef& Request)
{
    FScopeLock Guard(&Lock);
    const int32 Index = FindIndex(Request.get());
    if (Index != INDEX_NONE && Started[Index].State == EState::Pending)
    {
        Started[Index].State = EState::Cancelled;
    }
}

void FInMemoryHttpTransport::Shutdown()
{
    TArray<FHttpRequestPtr> Waiting;
    {
        FScopeLock Guard(&Lock);
        bShutDown = true;
        for (const FStartedRequest& Record : Started)
        {
            if (Record.State == EState::Pending)
            {
                Waiting.Add(Record.Request);
            }
        }
    }
    for (const FHttpRequestPtr& Request : Waiting)
    {
        Fail(Request);
    }
}

TArray<FInMemoryHttpTransport::FStartedRequest> FInMemoryHttpTransport::GetStartedRequests() const
{
    FScopeLock Guard(&Lock);
    return Started;
}

int32 FInMemoryHttpTransport::NumStarted() const
{
    FScopeLock Guard(&Lock);
    return Started.Num();
}

int32 FInMemoryHttpTransport::NumPending() const
{
    FScopeLock Guard(&Lock);
    int32 Count = 0;
    for (const FStartedRequest& Record : Started)
    {
        Count += Record.State == EState::Pending ? 1 : 0;
    }
    return Count;
}

FHttpRequestPtr FInMemoryHttpTransport::FindOldestPending() const
{
    FScopeLock Guard(&Lock);
    const FStartedRequest* Oldest = Started.FindByPredicate([](const FStartedRequest& Record)
                                                            { return Record.State == EState::Pending; });
    return Oldest ? Oldest->Request : FHttpRequestPtr();
}

bool FInMemoryHttpTransport::FindStarted(const FHttpRequestPtr& Request, FStartedRequest& OutRecord) const
{
    FScopeLock Guard(&Lock);
    const int32 Index = FindIndex(Request.Get());
    if (Index == INDEX_NONE)
    {
        return false;
    }
    OutRecord = Started[Index];
    return true;
}

bool FInMemoryHttpTransport::Respond(const FHttpRequestPtr& Request, int32 Code, const FString& Body,
                                     TMap<FString, FString> Headers, const FString& ContentType)
{
    if (!Request)
    {
        return false;
    }
    if (!ContentType.IsEmpty())
    {
        Headers.Remove("Content-Type");
        Headers.Add("Content-Type", ContentType);
    }
    FHttpHeaderList HeaderList;
    for (const auto& Header : Headers)
    {
        HeaderList.Add({Header.Key, Header.Value});
    }
    const auto* Bytes = reinterpret_cast<const uint8*>(Body.View().data());
    auto Response = MakeShared<FHttpResponse>(Request->GetURL(), Code, std::move(HeaderList),
                                              TArray<uint8>(Bytes, Body.Len()));
    return Finish(Request, EState::Responded, Response);
}

bool FInMemoryHttpTransport::Fail(const FHttpRequestPtr& Request)
{
    return Request && Finish(Request, EState::Failed, nullptr);
}

void FInMemoryHttpTransport::Reset()
{
    TArray<FStartedRequest> Dropped;
    FScopeLock Guard(&Lock);
    std::swap(Dropped, Started);
}

bool FInMemoryHttpTransport::Finish(const FHttpRequestPtr& Request, EState NewState,
                                    const FHttpResponsePtr& Response)
{
    {
        FScopeLock Guard(&Lock);
        const int32 Index = FindIndex(Request.Get());
        if (Index == INDEX_NONE || Started[Index].State != EState::Pending)
        {
            return false;
        }
        Started[Index].State = NewState;
    }
    ReportFinished(Request.ToSharedRef(), Response);
    return true;
}

int32 FInMemoryHttpTransport::FindIndex(const IHttpRequest* Request) const
{
    return Started.IndexOfByPredicate([Request](const FStartedRequest& Record)
                                      { return Record.Request.Get() == Request; });
}

FScopedInMemoryHttpTransport::FScopedInMemoryHttpTransport()
    : Transport(MakeShared<FInMemoryHttpTransport>()), Previous(FHttpModule::Get().GetInstalledTransport())
{
    FHttpModule::Get().DiscardPendingCompletions();
    FHttpModule::Get().SetTransport(Transport);
}

FScopedInMemoryHttpTransport::~FScopedInMemoryHttpTransport()
{
    FHttpModule::Get().SetTransport(Previous);
    Transport->Reset();
    FHttpModule::Get().DiscardPendingCompletions();
}
