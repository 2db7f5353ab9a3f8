// Small GET requests over loopback: through FHttpModule (worker thread, game-thread tick) against raw libcurl
// multi driven from one thread, both with the same number of requests in flight and per-host connection cap.

#include <cstdio>
#include <functional>
#include <map>
#include <thread>

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include "HttpModule.h"

namespace
{
constexpr int32 RequestsPerRound = 2000;
constexpr int32 InFlight = 64;
constexpr long MaxConnectionsPerHost = 16;

class FBenchServer
{
public:
    FBenchServer()
    {
        Server.new_task_queue = [] { return new httplib::ThreadPool(32); };
        Server.set_keep_alive_max_count(100000);
        Server.set_tcp_nodelay(true);
        Server.Get("/small", [](const httplib::Request&, httplib::Response& Res)
                   { Res.set_content("{\"ok\":true}", "application/json"); });
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

/** One round through the module; returns how many requests failed. */
int32 RunModuleRound(const FString& Url)
{
    int32 Started = 0;
    int32 Done = 0;
    int32 Failed = 0;
    std::function<void()> StartOne = [&]
    {
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(Url);
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
    for (int32 Index = 0; Index < InFlight; ++Index)
    {
        StartOne();
    }
    while (Done < RequestsPerRound)
    {
        FHttpModule::Get().Tick(0.0f);
        std::this_thread::yield();
    }
    return Failed;
}

void BM_HttpModule(benchmark::State& State)
{
    const FString Url(GetServer().Url());
    // The first round opens the connections; both benchmarks time only rounds on warm connections.
    RunModuleRound(Url);
    for (auto _ : State)
    {
        if (RunModuleRound(Url) > 0)
        {
            State.SkipWithError("requests failed");
            break;
        }
    }
    State.SetItemsProcessed(State.iterations() * RequestsPerRound);
}

size_t CollectBody(char* Data, size_t Size, size_t Count, void* UserData)
{
    static_cast<std::string*>(UserData)->append(Data, Size * Count);
    return Size * Count;
}

/** One round through a caller-driven multi handle; returns how many requests failed. */
int32 RunRawRound(CURLM* Multi, const std::string& Url)
{
    std::map<CURL*, std::string> Bodies;
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
        curl_multi_add_handle(Multi, Easy);
        ++Started;
    };
    for (int32 Index = 0; Index < InFlight; ++Index)
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
    return Failed;
}

void BM_RawCurlMulti(benchmark::State& State)
{
    const std::string Url = GetServer().Url();
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* Multi = curl_multi_init();
    curl_multi_setopt(Multi, CURLMOPT_MAX_HOST_CONNECTIONS, MaxConnectionsPerHost);
    RunRawRound(Multi, Url);
    for (auto _ : State)
    {
        if (RunRawRound(Multi, Url) > 0)
        {
            State.SkipWithError("requests failed");
            break;
        }
    }
    curl_multi_cleanup(Multi);
    State.SetItemsProcessed(State.iterations() * RequestsPerRound);
}

BENCHMARK(BM_RawCurlMulti)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_HttpModule)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

/** Keeps each run's requests per second so the two can be compared at the end. */
class FRateReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& Result : Runs)
        {
            const auto Rate = Result.counters.find("items_per_second");
            if (Rate != Result.counters.end() && !Result.error_occurred)
            {
                Rates[Result.benchmark_name()] = Rate->second.value;
            }
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    std::map<std::string, double> Rates;
};
} // namespace

int main(int ArgCount, char** Args)
{
    benchmark::Initialize(&ArgCount, Args);
    FRateReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    const auto Raw = Reporter.Rates.find("BM_RawCurlMulti/min_time:2.000/real_time");
    const auto Module = Reporter.Rates.find("BM_HttpModule/min_time:2.000/real_time");
    if (Raw != Reporter.Rates.end() && Module != Reporter.Rates.end())
    {
        std::printf("FHttpModule: %.0f requests/s, raw libcurl multi: %.0f requests/s, module/raw = %.2f\n",
                    Module->second, Raw->second, Module->second / Raw->second);
    }
    FHttpModule::Get().Shutdown();
    return 0;
}
