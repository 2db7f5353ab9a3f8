#pragma once

#include "BackendHttp.h"
#include "BackendState.h"

#include <cstdint>

namespace ZorBackend
{
// The module reaches the game service under its ServiceName "game". Profile commands are posted to
//   /game/api/profile/<accountId>/<form>/<command>?profileId=<profileId>&rvn=<revision>
// where the form is "client" (the account's own user token), "dedicated_server" or "cheat" (client tokens).
inline constexpr const char* GameServicePath = "/game";
inline constexpr const char* ProfileBuildHeader = "X-TavoGames-ZorVersion";
// The build number every profile reply carries in ProfileBuildHeader.
inline constexpr int64_t ProfileServiceBuild = 1187;

void RegisterProfileService(httplib::Server& Server, FBackendState& State);
} // namespace ZorBackend
