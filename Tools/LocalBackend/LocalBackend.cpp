#include "LocalBackend.h"

#include "BackendHttp.h"
#include "BackendSeed.h"
#include "BackendState.h"
#include "Services/ServiceTable.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>

namespace ZorBackend
{
namespace
{
constexpr const char* LoopbackHost = "127.0.0.1";

void ConfigureServer(httplib::Server& Server, const FBackendOptions& Options)
{
    Server.set_payload_max_length(Options.MaxBodyBytes);
    // Replies no handler wrote (unknown routes, oversized bodies, bad request lines) still carry an error
    // body.
    const httplib::Server::HandlerWithResponse ErrorHandler =
        [](const httplib::Request&, httplib::Response& Res)
    {
        return FillDefaultError(Res) ? httplib::Server::HandlerResponse::Handled
                                     : httplib::Server::HandlerResponse::Unhandled;
    };
    Server.set_error_handler(ErrorHandler);
    Server.set_pre_routing_handler(
        [](const httplib::Request& Req, httplib::Response& Res)
        {
            if (!HasStrayQuestionMark(Req))
            {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            SendError(Res, 400, ErrorCodes::BadRequest, "Malformed request");
            return httplib::Server::HandlerResponse::Handled;
        });
    Server.set_exception_handler([](const httplib::Request&, httplib::Response& Res, std::exception_ptr)
                                 { SendError(Res, 500, ErrorCodes::ServerError, "Internal server error"); });
}

// The server writes with plain send(): a client that hangs up early must not end the whole process.
void IgnoreBrokenPipes()
{
    struct sigaction Current = {};
    if (sigaction(SIGPIPE, nullptr, &Current) == 0 && Current.sa_handler == SIG_DFL)
    {
        std::signal(SIGPIPE, SIG_IGN);
    }
}

// Binds with SO_REUSEADDR alone: the library's default adds SO_REUSEPORT, which would let a second backend
// share a busy port silently. Then widens the library's listen backlog of 5, which drops bursts of connects.
int Bind(httplib::Server& Server, int Port)
{
    const auto ListenSocket = std::make_shared<socket_t>(INVALID_SOCKET);
    Server.set_socket_options(
        [ListenSocket](socket_t Socket)
        {
            int Yes = 1;
            setsockopt(Socket, SOL_SOCKET, SO_REUSEADDR, &Yes, sizeof(Yes));
            *ListenSocket = Socket;
        });
    const int Bound = Port == 0 ? Server.bind_to_any_port(LoopbackHost)
                                : (Server.bind_to_port(LoopbackHost, Port) ? Port : -1);
    if (Bound > 0)
    {
        ::listen(*ListenSocket, SOMAXCONN);
    }
    return Bound;
}

// Why Port cannot be bound, learnt by trying once more with a plain socket.
std::string BindFailureReason(int Port)
{
    const int Probe = ::socket(AF_INET, SOCK_STREAM, 0);
    if (Probe < 0)
    {
        return std::strerror(errno);
    }
    int Yes = 1;
    setsockopt(Probe, SOL_SOCKET, SO_REUSEADDR, &Yes, sizeof(Yes));
    sockaddr_in Address = {};
    Address.sin_family = AF_INET;
    Address.sin_port = htons(static_cast<uint16_t>(Port));
    inet_pton(AF_INET, LoopbackHost, &Address.sin_addr);
    const int Result = ::bind(Probe, reinterpret_cast<const sockaddr*>(&Address), sizeof(Address));
    const int Error = errno;
    ::close(Probe);
    if (Result == 0)
    {
        return "the port could not be bound";
    }
    return Error == EADDRINUSE ? "the port is in use, perhaps by another zorbackend" : std::strerror(Error);
}
} // namespace

std::string DefaultSeedPath()
{
    std::error_code Error;
    const std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Error);
    const std::filesystem::path NextToProgram = Program.parent_path() / "LocalBackend.json";
    if (!Error && std::filesystem::is_regular_file(NextToProgram, Error))
    {
        return NextToProgram.string();
    }
    return ZOR_BACKEND_DEFAULT_SEED;
}

FLocalBackend::FLocalBackend(FBackendOptions InOptions) : Options(std::move(InOptions)) {}

FLocalBackend::~FLocalBackend()
{
    Stop();
}

int FLocalBackend::Start(int Port, std::string& OutError)
{
    if (Server)
    {
        OutError = "the backend is already running";
        return -1;
    }
    if (Port < 0 || Port > 65535)
    {
        OutError = "port out of range: " + std::to_string(Port);
        return -1;
    }
    auto NewState = std::make_unique<FBackendState>();
    NewState->Lifetimes = {Options.TokenLifetime, Options.RefreshLifetime, Options.ExchangeCodeLifetime};
    NewState->TitleFilesDir = Options.TitleFilesDir;
    NewState->ExtraBuilds = Options.ExtraBuilds;
    NewState->VerifyDelay = std::chrono::milliseconds(Options.VerifyDelayMilliseconds);
    if (auto Error = LoadSeedFile(Options.SeedPath, *NewState))
    {
        OutError = *Error;
        return -1;
    }
    IgnoreBrokenPipes();
    auto NewServer = std::make_unique<httplib::Server>();
    ConfigureServer(*NewServer, Options);
    AddServices(*NewState, *NewServer);
    const int BoundPort = Bind(*NewServer, Port);
    if (BoundPort <= 0)
    {
        OutError = std::string("cannot listen on ") + LoopbackHost + ":" + std::to_string(Port) + ": " +
                   BindFailureReason(Port) + "; --port N picks another port, --port 0 a free one";
        return -1;
    }
    State = std::move(NewState);
    Server = std::move(NewServer);
    bListenEnded = false;
    ServerThread = std::thread(
        [this]
        {
            Server->listen_after_bind();
            bListenEnded = true;
        });
    // A stop before the accept loop runs would be lost, so Start returns only once the loop is up.
    while (!Server->is_running() && !bListenEnded)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return BoundPort;
}

void FLocalBackend::Stop()
{
    if (!Server)
    {
        return;
    }
    Server->stop();
    if (ServerThread.joinable())
    {
        ServerThread.join();
    }
    Server.reset();
    State.reset();
}

bool FLocalBackend::RevokeToken(const std::string& AccessToken)
{
    if (!State)
    {
        return false;
    }
    std::lock_guard Lock(State->Mutex);
    return State->RevokeAccessToken(AccessToken);
}

void FLocalBackend::SetTokenLifetime(int64_t Seconds)
{
    Options.TokenLifetime = Seconds;
    if (State)
    {
        std::lock_guard Lock(State->Mutex);
        State->Lifetimes.Token = Seconds;
    }
}

void FLocalBackend::SetRefreshLifetime(int64_t Seconds)
{
    Options.RefreshLifetime = Seconds;
    if (State)
    {
        std::lock_guard Lock(State->Mutex);
        State->Lifetimes.Refresh = Seconds;
    }
}

void FLocalBackend::SetTitleFilesDir(const std::string& Dir)
{
    Options.TitleFilesDir = Dir;
    if (State)
    {
        std::lock_guard Lock(State->Mutex);
        State->TitleFilesDir = Dir;
    }
}
} // namespace ZorBackend
