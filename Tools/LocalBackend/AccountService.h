#pragma once

#include "BackendHttp.h"
#include "BackendState.h"

#include <variant>

namespace ZorBackend
{
// The module reaches the account service under its ServiceName "account".
inline constexpr const char* AccountServicePath = "/account";

void RegisterAccountService(httplib::Server& Server, FBackendState& State);

// The caller's live access token, or the 401 error that answers a missing, unknown, revoked or expired one.
// Services that take bearer tokens call it with State.Mutex held.
std::variant<FToken*, FServiceError> AuthorizeBearer(FBackendState& State, const httplib::Request& Req,
                                                     FSteadyClock::time_point Now);
} // namespace ZorBackend
