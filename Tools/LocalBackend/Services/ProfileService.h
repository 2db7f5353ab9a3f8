#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace ZorBackend
{
// The module reaches the game service under its ServiceName "game". Profile commands are posted to
//   /game/api/profile/<accountId>/<form>/<command>?profileId=<profileId>&rvn=<revision>
// where the form is "client" (the account's own user token), "dedicated_server" or "cheat" (client tokens).
inline constexpr const char* GameServicePath = "/game";
inline constexpr const char* ProfileBuildHeader = "X-TavoGames-ZorVersion";
// The build number every profile reply carries in ProfileBuildHeader.
inline constexpr int64_t ProfileServiceBuild = 1187;

// Names to values kept as compact JSON text, written back into replies as they are.
using FJsonFields = std::map<std::string, std::string, FIgnoreCaseLess>;

struct FProfileItem
{
    std::string TemplateId;
    int32_t Quantity = 1;
    FJsonFields Attributes;
};

// One profile of one account. The revision only grows, also across a reset, so that a client never mistakes
// a reset profile for the one it holds.
struct FProfile
{
    int64_t Revision = 1;
    FJsonFields Stats;
    std::map<std::string, FProfileItem, FIgnoreCaseLess> Items; // by item id
};

// Account id and profile id.
using FProfileKey = std::pair<std::string, std::string>;

// Player profiles and the commands that query and change them.
class FProfileService final : public FBackendService
{
public:
    explicit FProfileService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    std::map<FProfileKey, FProfile> Profiles;
};
} // namespace ZorBackend
