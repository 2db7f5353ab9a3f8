#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib
{
class Server;
}

namespace ZorBackend
{
struct FBackendState;

// The seed used when no other is given: the one next to the program (where the build and the install put it),
// else the one in the sources.
std::string DefaultSeedPath();

struct FBackendOptions
{
    std::string SeedPath = DefaultSeedPath();
    int64_t TokenLifetime = 7200;
    int64_t RefreshLifetime = 28800;
    int64_t ExchangeCodeLifetime = 300;
    size_t MaxBodyBytes = 1024 * 1024;
    // Title files are the regular files directly in this folder; none when it is empty.
    std::string TitleFilesDir = std::string();
    // More builds of the demo game that the demo account owns (Windows, label "Live"), for runs at scale.
    int64_t ExtraBuilds = 0;
    // Each token verification is answered this much later, for runs that end while one is under way.
    int64_t VerifyDelayMilliseconds = 0;
};

// The local stand-in of the backend services, serving on 127.0.0.1 from a worker thread pool.
class FLocalBackend
{
public:
    explicit FLocalBackend(FBackendOptions InOptions = {});
    ~FLocalBackend();
    FLocalBackend(const FLocalBackend&) = delete;
    FLocalBackend& operator=(const FLocalBackend&) = delete;

    // Loads the seed and starts serving; Port 0 picks a free port. Returns the bound port, or -1 with
    // OutError.
    int Start(int Port, std::string& OutError);
    void Stop();

    // Test helpers: end a token at once, or change the lifetimes of tokens granted from now on.
    bool RevokeToken(const std::string& AccessToken);
    void SetTokenLifetime(int64_t Seconds);
    void SetRefreshLifetime(int64_t Seconds);
    void SetTitleFilesDir(const std::string& Dir);

private:
    FBackendOptions Options;
    std::unique_ptr<FBackendState> State;
    std::unique_ptr<httplib::Server> Server;
    std::thread ServerThread;
    std::atomic<bool> bListenEnded{false};
};
} // namespace ZorBackend
