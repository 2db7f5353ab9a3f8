#pragma once

#include "BackendService.h"
#include "BackendState.h"

namespace ZorBackend
{
// Public information of several accounts at once, under the account service:
//   GET /account/api/public/account?accountId=<id>&accountId=<id>...
// answers a bare array of the accounts found, in the order asked; unknown ids are left out.
class FUsersService final : public FBackendService
{
public:
    explicit FUsersService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
};
} // namespace ZorBackend
