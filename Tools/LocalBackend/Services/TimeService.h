#pragma once

#include "BackendService.h"
#include "BackendState.h"

namespace ZorBackend
{
// The server time, public: GET /game/api/3/timestamp answers the current UTC time in ISO 8601 as plain text.
class FTimeService final : public FBackendService
{
public:
    explicit FTimeService(FBackendState&) {}
    void Register(httplib::Server& Server) override;
};
} // namespace ZorBackend
