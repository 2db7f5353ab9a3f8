#pragma once

#include "BackendHttp.h"
#include "BackendState.h"

#include <functional>
#include <string_view>
#include <variant>

namespace ZorBackend
{
// The caller's live access token, or the 401 error that answers a missing, unknown, revoked or expired one.
// Call it with State.Mutex held.
std::variant<FToken*, FServiceError> AuthorizeBearer(FBackendState& State, const httplib::Request& Req,
                                                     FSteadyClock::time_point Now);

// Runs Handler with the state locked and the caller's live token, or answers why there is none.
// Routes the module sends with a client token (user information, look-ups, catalog, sessions) use this.
void WithBearer(FBackendState& State, const httplib::Request& Req, httplib::Response& Res,
                const std::function<void(FToken&, FSteadyClock::time_point)>& Handler);

// A player's own data is reached only with that player's token: a client token has no account and
// never does, whatever client it was granted to.
bool IsOwnToken(const FToken& Caller, std::string_view AccountId);

// A client token of a client that the seed marks as a server: no player's token and no other client's.
bool IsServerToken(const FBackendState& State, const FToken& Caller);

// WithBearer for a route of AccountId's own data: any other token is answered with Forbidden.
void WithOwnBearer(FBackendState& State, const httplib::Request& Req, httplib::Response& Res,
                   std::string_view AccountId, const FServiceError& Forbidden,
                   const std::function<void(FToken&, FSteadyClock::time_point)>& Handler);
} // namespace ZorBackend
