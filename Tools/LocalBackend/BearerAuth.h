#pragma once

#include "BackendHttp.h"
#include "BackendState.h"

#include <functional>
#include <variant>

namespace ZorBackend
{
// The caller's live access token, or the 401 error that answers a missing, unknown, revoked or expired one.
// Call it with State.Mutex held.
std::variant<FToken*, FServiceError> AuthorizeBearer(FBackendState& State, const httplib::Request& Req,
                                                     FSteadyClock::time_point Now);

// Runs Handler with the state locked and the caller's live token, or answers why there is none.
void WithBearer(FBackendState& State, const httplib::Request& Req, httplib::Response& Res,
                const std::function<void(FToken&, FSteadyClock::time_point)>& Handler);
} // namespace ZorBackend
