#pragma once

namespace httplib
{
class Server;
}

namespace ZorBackend
{
// One service of the backend. It keeps its own state as members, guarded like all state by
// FBackendState::Mutex, and lives inside the backend's state for as long as the server runs.
class FBackendService
{
public:
    virtual ~FBackendService() = default;

    // Adds the service's routes; their handlers run on the server's worker threads.
    virtual void Register(httplib::Server& Server) = 0;
};
} // namespace ZorBackend
