#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <rapidjson/document.h>

#include <map>
#include <string>
#include <vector>

namespace ZorBackend
{
// One matchmaking session: what its host last sent, and what the service keeps itself.
struct FMatchSession
{
    rapidjson::Document Body; // the host's fields, as sent
    std::string Id;
    std::string ServerAddress; // the host's peer address, as the service saw it
    std::string LastUpdated;
    std::vector<std::string> PublicPlayers;
    std::vector<std::string> PrivatePlayers;
    // Who may change or end it: the creator's account, or for a client token (a dedicated server) its client.
    std::string OwnerAccountId;
    std::string OwnerClientId;
};

// Matchmaking sessions in memory: create, update, destroy, register and unregister players, find by criteria
// and find by player. Any live bearer token may create and find; the module sends user tokens and, on a
// server, the application's client token. Only the session's owner changes or ends it.
class FMatchmakingService final : public FBackendService
{
public:
    explicit FMatchmakingService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    std::map<std::string, FMatchSession> Sessions; // by id
    uint64_t NextId = 1;
};
} // namespace ZorBackend
