// Small requests over loopback: through FHttpModule (worker thread, game-thread tick) against raw libcurl
// multi driven from one thread, both with the same verb, number of requests in flight and per-host connection
// cap. At 64 in flight it measures throughput; at 1 in flight, the common case in a game, the time each
// request adds.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include "HttpModule.h"

namespace
{
constexpr int32 RequestsPerRound = 2000;
constexpr long MaxConnectionsPerHost = 16;
// The game thread sleeps out its frame but wakes as soon as an answer waits for the tick.
constexpr float FrameSeconds = 1.0f / 60.0f;
const char* const PostBody = "{\"templateId\":\"sword\",\"quantity\":1}";

/** Raw libcurl only: how a request that must not be sent twice could be kept from it. */
enum class ERawVariant
{
    Plain,
    /** The module's way: a pre-send callback that refuses a second sending. */
    SendOnceGuard,
    /** The other way: a new connection for each such request, so none is ever retried. */
    FreshConnection,
};

struct FLoad
{
    const char* Verb;
    int32 InFlight;
    ERawVariant Variant = ERawVariant::Plain;
};

class FBenchServer
{
public:
    FBenchServer()
    {
        Server.new_task_queue = [] { return new httplib::ThreadPool(32); };
        Server.set_keep_alive_max_count(100000);
        Server.set_tcp_nodelay(true);
        const auto Answer = [](const httplib::Request&, httplib::Response& Res)
        { Res.set_content("{\"ok\":true}", "application/json"); };
        Server.Get("/small", Answer);
        Server.Post("/small", Answer);
        Port = Server.bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server.listen_after_bind(); });
        while (!Server.is_running())
        {
            std::this_thread::yield();
        }
    }
    ~FBenchServer()
    {
        Server.stop();
        Thread.join();
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port) + "/small"; }

private:
    httplib::Server Server;
    std::thread Thread;
    int Port = 0;
};

FBenchServer& GetServer()
{
    static FBenchServer Server;
    return Server;
}

bool IsPost(const FLoad& Load)
{
    return std::string(Load.Verb) == "POST";
}

/** One round through the module; returns how many requests failed. */
int32 RunModuleRound(const FString& Url, const FLoad& Load)
{
    int32 Started = 0;
    int32 Done = 0;
    int32 Failed = 0;
    std::function<void()> StartOne = [&]
    {
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(Url);
        Request->SetVerb(Load.Verb);
        if (IsPost(Load))
        {
            Request->SetHeader("Content-Type", "application/json");
            Request->SetContentAsString(PostBody);
        }
        Request->OnProcessRequestComplete().BindLambda(
            [&](FHttpRequestPtr, FHttpResponsePtr Response, bool bConnected)
            {
                ++Done;
                Failed += bConnected && Response->GetResponseCode() == 200 ? 0 : 1;
                if (Started < RequestsPerRound)
                {
                    StartOne();
                }
            });
        ++Started;
        Request->ProcessRequest();
    };
    for (int32 Index = 0; Index < Load.InFlight; ++Index)
    {
        StartOne();
    }
    while (Done < RequestsPerRound)
    {
        FHttpModule::Get().WaitForCompletions(FrameSeconds);
        FHttpModule::Get().Tick(FrameSeconds);
    }
    return Failed;
}

void BM_Module(benchmark::State& State, FLoad Load)
{
    const FString Url(GetServer().Url());
    // The first round opens the connections; every benchmark times only rounds on warm connections.
    RunModuleRound(Url, Load);
    for (auto _ : State)
    {
        if (RunModuleRound(Url, Load) > 0)
        {
            State.SkipWithError("requests failed");
            break;
        }
    }
    State.SetItemsProcessed(State.iterations() * RequestsPerRound);
}

int RefuseSecondSending(void* UserData, char*, char*, int, int)
{
    bool& bSent = *static_cast<bool*>(UserData);
    const bool bFirst = !bSent;
    bSent = true;
    return bFirst ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

size_t CollectBody(char* Data, size_t Size, size_t Count, void* UserData)
{
    static_cast<std::string*>(UserData)->append(Data, Size * Count);
    return Size * Count;
}

/** One round through a caller-driven multi handle; returns how many requests failed. */
int32 RunRawRound(CURLM* Multi, const std::string& Url, const FLoad& Load)
{
    std::map<CURL*, std::string> Bodies;
    std::map<CURL*, bool> Sent;
    curl_slist* Headers = curl_slist_append(nullptr, "Content-Type: application/json");
    int32 Started = 0;
    int32 Done = 0;
    int32 Failed = 0;
    auto StartOne = [&]
    {
        CURL* Easy = curl_easy_init();
        curl_easy_setopt(Easy, CURLOPT_URL, Url.c_str());
        curl_easy_setopt(Easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(Easy, CURLOPT_WRITEFUNCTION, &CollectBody);
        curl_easy_setopt(Easy, CURLOPT_WRITEDATA, &Bodies[Easy]);
        curl_easy_setopt(Easy, CURLOPT_FRESH_CONNECT, Load.Variant == ERawVariant::FreshConnection ? 1L : 0L);
        if (Load.Variant == ERawVariant::SendOnceGuard)
        {
            curl_easy_setopt(Easy, CURLOPT_PREREQFUNCTION, &RefuseSecondSending);
            curl_easy_setopt(Easy, CURLOPT_PREREQDATA, &Sent[Easy]);
        }
        if (IsPost(Load))
        {
            curl_easy_setopt(Easy, CURLOPT_HTTPHEADER, Headers);
            curl_easy_setopt(Easy, CURLOPT_POSTFIELDS, PostBody);
        }
        curl_multi_add_handle(Multi, Easy);
        ++Started;
    };
    for (int32 Index = 0; Index < Load.InFlight; ++Index)
    {
        StartOne();
    }
    while (Done < RequestsPerRound)
    {
        int Running = 0;
        curl_multi_perform(Multi, &Running);
        int Remaining = 0;
        while (CURLMsg* Message = curl_multi_info_read(Multi, &Remaining))
        {
            if (Message->msg != CURLMSG_DONE)
            {
                continue;
            }
            CURL* Easy = Message->easy_handle;
            long Code = 0;
            curl_easy_getinfo(Easy, CURLINFO_RESPONSE_CODE, &Code);
            Failed += Message->data.result == CURLE_OK && Code == 200 ? 0 : 1;
            curl_multi_remove_handle(Multi, Easy);
            curl_easy_cleanup(Easy);
            Bodies.erase(Easy);
            Sent.erase(Easy);
            ++Done;
            if (Started < RequestsPerRound)
            {
                StartOne();
            }
        }
        if (Done < RequestsPerRound)
        {
            curl_multi_poll(Multi, nullptr, 0, 100, nullptr);
        }
    }
    curl_slist_free_all(Headers);
    return Failed;
}

void BM_RawCurl(benchmark::State& State, FLoad Load)
{
    const std::string Url = GetServer().Url();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* Multi = curl_multi_init();
    curl_multi_setopt(Multi, CURLMOPT_MAX_HOST_CONNECTIONS, MaxConnectionsPerHost);
    RunRawRound(Multi, Url, Load);
    for (auto _ : State)
    {
        if (RunRawRound(Multi, Url, Load) > 0)
        {
            State.SkipWithError("requests failed");
            break;
        }
    }
    curl_multi_cleanup(Multi);
    State.SetItemsProcessed(State.iterations() * RequestsPerRound);
}

void Register(const char* Name, void (*Function)(benchmark::State&, FLoad), FLoad Load)
{
    benchmark::RegisterBenchmark(Name, Function, Load)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0)
        ->Repetitions(3)
        ->ReportAggregatesOnly(false);
}

void RegisterAll()
{
    Register("RawCurl_GET_x64", &BM_RawCurl, {"GET", 64});
    Register("Module_GET_x64", &BM_Module, {"GET", 64});
    Register("RawCurl_GET_x1", &BM_RawCurl, {"GET", 1});
    Register("Module_GET_x1", &BM_Module, {"GET", 1});
    Register("RawCurl_POST_x1", &BM_RawCurl, {"POST", 1});
    Register("Module_POST_x1", &BM_Module, {"POST", 1});
    Register("RawCurl_POST_x1_SendOnceGuard", &BM_RawCurl, {"POST", 1, ERawVariant::SendOnceGuard});
    Register("RawCurl_POST_x1_FreshConnection", &BM_RawCurl, {"POST", 1, ERawVariant::FreshConnection});
}

/**
 * Keeps each benchmark's best time per request over its repetitions, as the other benchmark programs keep
 * their best time: on a shared machine the best repetition is the one least disturbed by other work.
 */
class FRateReporter : public benchmark::ConsoleReporter
{
public:
    FRateReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& Result : Runs)
        {
            const auto Rate = Result.counters.find("items_per_second");
            if (Result.run_type != Run::RT_Iteration || Result.error_occurred ||
                Rate == Result.counters.end() || Rate->second.value <= 0.0)
            {
                continue;
            }
            const double Us = 1e6 / Rate->second.value;
            const auto [Found, bAdded] =
                MicrosecondsPerRequest.try_emplace(Result.run_name.function_name, Us);
            Found->second = std::min(Found->second, Us);
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    bool Has(const std::string& Name) const { return MicrosecondsPerRequest.contains(Name); }
    double Us(const std::string& Name) const { return MicrosecondsPerRequest.at(Name); }

    /** Prints A's time per request minus B's, when both ran. */
    void PrintAdded(const char* Label, const std::string& A, const std::string& B) const
    {
        if (Has(A) && Has(B))
        {
            std::printf("%s: %+.1f us per request (%.1f against %.1f)\n", Label, Us(A) - Us(B), Us(A), Us(B));
        }
    }

private:
    std::map<std::string, double> MicrosecondsPerRequest;
};

void PrintSummary(const FRateReporter& Reporter)
{
    if (Reporter.Has("Module_GET_x64") && Reporter.Has("RawCurl_GET_x64"))
    {
        const double Module = 1e6 / Reporter.Us("Module_GET_x64");
        const double Raw = 1e6 / Reporter.Us("RawCurl_GET_x64");
        std::printf(
            "64 in flight: FHttpModule %.0f requests/s, raw libcurl multi %.0f requests/s, module/raw = "
            "%.2f\n",
            Module, Raw, Module / Raw);
    }
    Reporter.PrintAdded("1 in flight, GET, module over raw libcurl", "Module_GET_x1", "RawCurl_GET_x1");
    Reporter.PrintAdded("1 in flight, POST, module over raw libcurl", "Module_POST_x1", "RawCurl_POST_x1");
    Reporter.PrintAdded("1 in flight, module POST over module GET", "Module_POST_x1", "Module_GET_x1");
    Reporter.PrintAdded("1 in flight, raw POST over raw GET", "RawCurl_POST_x1", "RawCurl_GET_x1");
    Reporter.PrintAdded("1 in flight, raw POST with the send-once guard over without",
                        "RawCurl_POST_x1_SendOnceGuard", "RawCurl_POST_x1");
    Reporter.PrintAdded("1 in flight, raw POST on a fresh connection over a reused one",
                        "RawCurl_POST_x1_FreshConnection", "RawCurl_POST_x1");
}
} // namespace

int main(int ArgCount, char** Args)
{
    RegisterAll();
    benchmark::Initialize(&ArgCount, Args);
    if (benchmark::ReportUnrecognizedArguments(ArgCount, Args))
    {
        return 1;
    }
    FRateReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    PrintSummary(Reporter);
    FHttpModule::Get().Shutdown();
    benchmark::Shutdown();
    return 0;
}
