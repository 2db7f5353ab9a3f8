#include "CurlHttpTransport.h"

#include <cmath>

#include "HttpModule.h"
#include "HttpUrl.h"

namespace
{
// Further requests to a host wait for a free kept-alive connection rather than open ever more sockets.
constexpr long MaxConnectionsPerHost = 16;
// Only bounds an idle wait: libcurl's own timers shorten it and new work wakes the worker at once.
constexpr int IdleWaitMs = 1000;

void InitCurlOnce()
{
    // Never cleaned up: other threads of the process may still use libcurl at exit.
    static std::once_flag Once;
    std::call_once(Once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

long SecondsToMs(float Seconds)
{
    return Seconds > 0.0f ? static_cast<long>(std::lround(Seconds * 1000.0f)) : 0L;
}
} // namespace

struct FCurlHttpTransport::FTransfer
{
    explicit FTransfer(const FHttpRequestRef& InRequest) : Request(InRequest) {}
    ~FTransfer()
    {
        if (Easy)
        {
            curl_easy_cleanup(Easy);
        }
        curl_slist_free_all(HeaderList);
    }
    FTransfer(const FTransfer&) = delete;
    FTransfer& operator=(const FTransfer&) = delete;

    FHttpRequestRef Request;
    FHttpRequestSnapshot Snapshot;
    std::string WireURL;
    curl_slist* HeaderList = nullptr;
    long ConnectTimeoutMs = 0;
    long TotalTimeoutMs = 0;
    size_t MaxResponseBytes = 0;
    CURL* Easy = nullptr;

    FHttpHeaderList ResponseHeaders;
    TArray<uint8> ResponseBody;
    char ErrorText[CURL_ERROR_SIZE] = {};

    /** Worker thread only: set once the request went out, and when a second sending was stopped. */
    bool bSent = false;
    bool bResendRefused = false;
};

namespace
{
using FTransfer = FCurlHttpTransport::FTransfer;

size_t OnBody(char* Data, size_t Size, size_t Count, void* UserData)
{
    auto* Transfer = static_cast<FTransfer*>(UserData);
    if (static_cast<size_t>(Transfer->ResponseBody.Num()) + Size * Count > Transfer->MaxResponseBytes)
    {
        return 0; // libcurl ends the transfer as a failure
    }
    Transfer->ResponseBody.Append(reinterpret_cast<const uint8*>(Data), static_cast<int32>(Size * Count));
    return Size * Count;
}

size_t OnHeaderLine(char* Data, size_t Size, size_t Count, void* UserData)
{
    auto* Transfer = static_cast<FTransfer*>(UserData);
    const std::string_view Line(Data, Size * Count);
    if (Line.starts_with("HTTP/"))
    {
        // A new status line starts a new header block (after an interim "100 Continue", for instance).
        Transfer->ResponseHeaders.Reset();
        return Size * Count;
    }
    const size_t Colon = Line.find(':');
    if (Colon == std::string_view::npos || Colon == 0)
    {
        return Size * Count;
    }
    const FString Name = FString(Line.substr(0, Colon)).TrimStartAndEnd();
    const FString Value = FString(Line.substr(Colon + 1)).TrimStartAndEnd();
    Transfer->ResponseHeaders.Add({Name, Value});
    return Size * Count;
}

curl_slist* BuildHeaderList(const FHttpRequestSnapshot& Snapshot)
{
    curl_slist* List = nullptr;
    bool bHasContentType = false;
    for (const auto& Header : Snapshot.Headers)
    {
        bHasContentType = bHasContentType || Header.Key == "Content-Type";
        // "Name;" is how libcurl sends a header with an empty value.
        const FString Line = Header.Value.IsEmpty() ? Header.Key + ";" : Header.Key + ": " + Header.Value;
        List = curl_slist_append(List, *Line);
    }
    if (!bHasContentType)
    {
        // Keeps libcurl from inventing a form content type for bodies the caller left untyped.
        List = curl_slist_append(List, "Content-Type:");
    }
    // No "Expect: 100-continue" round trip before larger bodies.
    return curl_slist_append(List, "Expect:");
}

bool IsIdempotent(const FString& Verb)
{
    for (const char* Repeatable : {"GET", "HEAD", "PUT", "DELETE", "OPTIONS"})
    {
        if (Verb == Repeatable)
        {
            return true;
        }
    }
    return Verb.IsEmpty();
}

/**
 * libcurl sends a request again on a fresh connection when a reused one dies before any reply, whatever the
 * verb. The server may have read and applied it, so a request that must not be repeated stops here the second
 * time and fails once instead.
 */
int OnBeforeSend(void* UserData, char* /*RemoteIp*/, char* /*LocalIp*/, int /*RemotePort*/, int /*LocalPort*/)
{
    auto* Transfer = static_cast<FTransfer*>(UserData);
    if (!Transfer->bSent)
    {
        Transfer->bSent = true;
        return CURL_PREREQFUNC_OK;
    }
    Transfer->bResendRefused = true;
    return CURL_PREREQFUNC_ABORT;
}

const char* FailureReason(const FTransfer& Transfer, CURLcode Result)
{
    if (Transfer.bResendRefused)
    {
        return "connection lost before a reply, and this verb is never sent twice";
    }
    return Transfer.ErrorText[0] ? Transfer.ErrorText : curl_easy_strerror(Result);
}

/** HOST:PORT that the URL connects to (its scheme's port when it names none); empty when it is unreadable. */
std::string ConnectAddress(const std::string& URL)
{
    CURLU* Parsed = curl_url();
    char* Host = nullptr;
    char* Port = nullptr;
    std::string Address;
    if (curl_url_set(Parsed, CURLUPART_URL, URL.c_str(), 0) == CURLUE_OK &&
        curl_url_get(Parsed, CURLUPART_HOST, &Host, 0) == CURLUE_OK &&
        curl_url_get(Parsed, CURLUPART_PORT, &Port, CURLU_DEFAULT_PORT) == CURLUE_OK)
    {
        Address = std::string(Host) + ":" + Port;
    }
    curl_free(Host);
    curl_free(Port);
    curl_url_cleanup(Parsed);
    return Address;
}

/** The transfer ended before any connection stood: nothing answered there. */
bool FailedToConnect(CURL* Easy, CURLcode Result)
{
    if (Result == CURLE_COULDNT_RESOLVE_HOST || Result == CURLE_COULDNT_CONNECT)
    {
        return true;
    }
    curl_off_t ConnectMicroseconds = 0;
    return Result == CURLE_OPERATION_TIMEDOUT &&
           curl_easy_getinfo(Easy, CURLINFO_CONNECT_TIME_T, &ConnectMicroseconds) == CURLE_OK &&
           ConnectMicroseconds == 0;
}

/** Why the transfer failed; the address it tried leads when it never connected (curl's texts may omit it). */
FString DescribeFailure(const FTransfer& Transfer, CURLcode Result)
{
    const char* Reason = FailureReason(Transfer, Result);
    if (!FailedToConnect(Transfer.Easy, Result))
    {
        return Reason;
    }
    return FString::Printf("cannot connect to %s: %s", ConnectAddress(Transfer.WireURL).c_str(), Reason);
}

void SetVerbAndBody(CURL* Easy, const FHttpRequestSnapshot& Snapshot)
{
    const std::string Verb = Snapshot.Verb.IsEmpty() ? "GET" : std::string(Snapshot.Verb.View());
    if (Verb == "HEAD")
    {
        curl_easy_setopt(Easy, CURLOPT_NOBODY, 1L);
        return;
    }
    if (Verb == "GET" && Snapshot.Content.IsEmpty())
    {
        curl_easy_setopt(Easy, CURLOPT_HTTPGET, 1L);
        return;
    }
    static const char NoBody[] = "";
    const char* Body =
        Snapshot.Content.IsEmpty() ? NoBody : reinterpret_cast<const char*>(Snapshot.Content.GetData());
    curl_easy_setopt(Easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(Snapshot.Content.Num()));
    curl_easy_setopt(Easy, CURLOPT_POSTFIELDS, Body);
    if (Verb != "POST")
    {
        curl_easy_setopt(Easy, CURLOPT_CUSTOMREQUEST, Verb.c_str());
    }
}

void ConfigureEasy(FTransfer& Transfer)
{
    CURL* Easy = Transfer.Easy;
    curl_easy_setopt(Easy, CURLOPT_PRIVATE, &Transfer);
    curl_easy_setopt(Easy, CURLOPT_URL, Transfer.WireURL.c_str());
    curl_easy_setopt(Easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(Easy, CURLOPT_NOSIGNAL, 1L);
    // Removing a transfer that is still resolving its host must not wait for the resolver: a cancel or a
    // shutdown would otherwise stall on a slow name lookup.
    curl_easy_setopt(Easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(Easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(Easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(Easy, CURLOPT_CONNECTTIMEOUT_MS, Transfer.ConnectTimeoutMs);
    curl_easy_setopt(Easy, CURLOPT_TIMEOUT_MS, Transfer.TotalTimeoutMs);
    curl_easy_setopt(Easy, CURLOPT_HTTPHEADER, Transfer.HeaderList);
    curl_easy_setopt(Easy, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(Easy, CURLOPT_WRITEDATA, &Transfer);
    curl_easy_setopt(Easy, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
    curl_easy_setopt(Easy, CURLOPT_HEADERDATA, &Transfer);
    curl_easy_setopt(Easy, CURLOPT_ERRORBUFFER, Transfer.ErrorText);
    if (!IsIdempotent(Transfer.Snapshot.Verb))
    {
        curl_easy_setopt(Easy, CURLOPT_PREREQFUNCTION, &OnBeforeSend);
        curl_easy_setopt(Easy, CURLOPT_PREREQDATA, &Transfer);
    }
    SetVerbAndBody(Easy, Transfer.Snapshot);
}
} // namespace

FCurlHttpTransport::FCurlHttpTransport()
{
    InitCurlOnce();
    Multi = curl_multi_init();
    curl_multi_setopt(Multi, CURLMOPT_MAX_HOST_CONNECTIONS, MaxConnectionsPerHost);
    Worker = std::thread([this] { Run(); });
}

FCurlHttpTransport::~FCurlHttpTransport()
{
    Shutdown();
    curl_multi_cleanup(Multi);
}

bool FCurlHttpTransport::StartRequest(const FHttpRequestRef& Request)
{
    auto Transfer = std::make_unique<FTransfer>(Request);
    Transfer->Snapshot = TakeSnapshot(Request);
    Transfer->WireURL = HttpUrl::EncodeForWire(Transfer->Snapshot.URL.View());
    Transfer->HeaderList = BuildHeaderList(Transfer->Snapshot);
    Transfer->ConnectTimeoutMs = SecondsToMs(FHttpModule::Get().GetHttpConnectionTimeout());
    Transfer->TotalTimeoutMs = SecondsToMs(FHttpModule::Get().GetHttpTotalTimeout());
    Transfer->MaxResponseBytes = static_cast<size_t>(FHttpModule::Get().GetHttpMaxResponseBytes());
    {
        std::lock_guard Guard(QueueMutex);
        if (bStopping)
        {
            return false;
        }
        PendingStarts.push_back(std::move(Transfer));
    }
    curl_multi_wakeup(Multi);
    return true;
}

void FCurlHttpTransport::CancelRequest(const FHttpRequestRef& Request)
{
    {
        std::lock_guard Guard(QueueMutex);
        if (bStopping)
        {
            return;
        }
        PendingCancels.push_back(Request);
    }
    curl_multi_wakeup(Multi);
}

void FCurlHttpTransport::Shutdown()
{
    std::lock_guard ShutdownGuard(ShutdownMutex);
    {
        std::lock_guard Guard(QueueMutex);
        bStopping = true;
    }
    curl_multi_wakeup(Multi);
    if (Worker.joinable())
    {
        Worker.join();
    }
}

void FCurlHttpTransport::Run()
{
    while (ServiceQueues())
    {
        int Running = 0;
        curl_multi_perform(Multi, &Running);
        CollectFinished();
        curl_multi_poll(Multi, nullptr, 0, IdleWaitMs, nullptr);
    }
    FailEverything();
}

bool FCurlHttpTransport::ServiceQueues()
{
    std::vector<std::unique_ptr<FTransfer>> Starts;
    std::vector<FHttpRequestRef> Cancels;
    {
        std::lock_guard Guard(QueueMutex);
        if (bStopping)
        {
            return false;
        }
        Starts.swap(PendingStarts);
        Cancels.swap(PendingCancels);
    }
    for (auto& Transfer : Starts)
    {
        BeginTransfer(std::move(Transfer));
    }
    for (const FHttpRequestRef& Request : Cancels)
    {
        AbortTransfer(Request.get());
    }
    return true;
}

void FCurlHttpTransport::BeginTransfer(std::unique_ptr<FTransfer> Transfer)
{
    // Cancelled while it waited in the queue: it never reaches the wire.
    if (IsFinished(Transfer->Request))
    {
        return;
    }
    Transfer->Easy = curl_easy_init();
    if (Transfer->Easy)
    {
        ConfigureEasy(*Transfer);
    }
    if (!Transfer->Easy || curl_multi_add_handle(Multi, Transfer->Easy) != CURLM_OK)
    {
        UE_LOG(LogHttp, Warning, "Could not start HTTP transfer. url=%s", *Transfer->Snapshot.URLForLog());
        ReportFinished(Transfer->Request, nullptr);
        return;
    }
    const IHttpRequest* Key = Transfer->Request.get();
    Active[Key] = std::move(Transfer);
}

void FCurlHttpTransport::AbortTransfer(const IHttpRequest* Request)
{
    auto Found = Active.find(Request);
    if (Found == Active.end())
    {
        return;
    }
    curl_multi_remove_handle(Multi, Found->second->Easy);
    const FHttpRequestRef Cancelled = Found->second->Request;
    Active.erase(Found);
    ReportFinished(Cancelled, nullptr);
}

void FCurlHttpTransport::CollectFinished()
{
    int Remaining = 0;
    while (CURLMsg* Message = curl_multi_info_read(Multi, &Remaining))
    {
        if (Message->msg == CURLMSG_DONE)
        {
            FinishTransfer(Message->easy_handle, Message->data.result);
        }
    }
}

void FCurlHttpTransport::FinishTransfer(CURL* Easy, CURLcode Result)
{
    FTransfer* Raw = nullptr;
    curl_easy_getinfo(Easy, CURLINFO_PRIVATE, &Raw);
    curl_multi_remove_handle(Multi, Easy);
    auto Found = Active.find(Raw->Request.get());
    std::unique_ptr<FTransfer> Transfer = std::move(Found->second);
    Active.erase(Found);

    if (Result != CURLE_OK)
    {
        UE_LOG(LogHttp, Warning, "HTTP request failed: %s. url=%s", *DescribeFailure(*Transfer, Result),
               *Transfer->Snapshot.URLForLog());
        ReportFinished(Transfer->Request, nullptr);
        return;
    }
    long Code = 0;
    curl_easy_getinfo(Easy, CURLINFO_RESPONSE_CODE, &Code);
    auto Response =
        MakeShared<FHttpResponse>(Transfer->Snapshot.URL, static_cast<int32>(Code),
                                  std::move(Transfer->ResponseHeaders), std::move(Transfer->ResponseBody));
    ReportFinished(Transfer->Request, Response);
}

void FCurlHttpTransport::FailEverything()
{
    std::vector<std::unique_ptr<FTransfer>> Unstarted;
    {
        std::lock_guard Guard(QueueMutex);
        Unstarted.swap(PendingStarts);
        PendingCancels.clear();
    }
    for (const auto& Transfer : Unstarted)
    {
        ReportFinished(Transfer->Request, nullptr);
    }
    for (auto& [Key, Transfer] : Active)
    {
        curl_multi_remove_handle(Multi, Transfer->Easy);
        ReportFinished(Transfer->Request, nullptr);
    }
    Active.clear();
}
