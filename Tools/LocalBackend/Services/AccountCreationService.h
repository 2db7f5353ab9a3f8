#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <map>
#include <string>

namespace ZorBackend
{
// Accounts addressed by e-mail, under the game service:
//   POST   /game/api/tavoAccount/account                         create (the application client's token)
//   GET    /game/api/tavoAccount/account/<email>                 query (client token)
//   PUT    /game/api/tavoAccount/account/<email>                 update (basic e-mail:password)
//   DELETE /game/api/tavoAccount/account/<email>                 delete (basic e-mail:password)
//   POST   /game/api/tavoAccount/account/<email>/validate/<token> validate (client token)
//   POST   /game/api/tavoAccount/account/<email>/resetPassword   reset (client token)
//   POST   /game/api/tavoAccount/account/<email>/resend          resend the validation (client token)
// A new account may log in at once; it stays pending until validated with the token the backend logs, as a
// mail would carry it.
class FAccountCreationService final : public FBackendService
{
public:
    explicit FAccountCreationService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    // Validation tokens of the accounts that still await validation, by account id.
    std::map<std::string, std::string> PendingValidations;
};
} // namespace ZorBackend
