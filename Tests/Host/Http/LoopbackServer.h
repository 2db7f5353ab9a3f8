#pragma once

#include <atomic>
#include <thread>

#include <httplib.h>

#include "CoreMinimal.h"

namespace HttpTest
{
/** A cpp-httplib server on 127.0.0.1 and an ephemeral port, serving on its own thread until destroyed. */
class FLoopbackServer
{
public:
    /** More server threads than the client opens connections, so idle keep-alive connections never starve it.
     */
    static constexpr size_t ThreadCount = 32;

    FLoopbackServer()
    {
        Server.new_task_queue = [] { return new httplib::ThreadPool(ThreadCount); };
        Server.set_keep_alive_timeout(1);
        // Its listen backlog is tiny: keep connections open rather than make the client reconnect in bursts.
        Server.set_keep_alive_max_count(1000);
        Server.set_tcp_nodelay(true);
    }
    ~FLoopbackServer() { Stop(); }
    FLoopbackServer(const FLoopbackServer&) = delete;
    FLoopbackServer& operator=(const FLoopbackServer&) = delete;

    /** Binds and serves; call after the routes are registered. */
    bool Start()
    {
        Port = Server.bind_to_any_port("127.0.0.1");
        if (Port <= 0)
        {
            return false;
        }
        Thread = std::thread([this] { Server.listen_after_bind(); });
        while (!Server.is_running())
        {
            std::this_thread::yield();
        }
        return true;
    }
    void Stop()
    {
        bStopping = true;
        if (Thread.joinable())
        {
            Server.stop();
            Thread.join();
        }
    }
    FString Url(const char* Path) const { return FString::Printf("http://127.0.0.1:%d%s", Port, Path); }

    httplib::Server Server;
    /** Lets long-running handlers end early when the server stops. */
    std::atomic<bool> bStopping{false};
    int Port = 0;

private:
    std::thread Thread;
};
} // namespace HttpTest
