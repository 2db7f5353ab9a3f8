#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <string>
#include <unordered_map>

namespace ZorBackend
{
// The module reaches the account service under its ServiceName "account".
inline constexpr const char* AccountServicePath = "/account";

struct FExchangeCode
{
    std::string AccountId;
    std::string CreatingClientId;
    FSteadyClock::time_point ExpiresAt;
};

// Grants, token verification, exchange codes, auth sessions and public account information.
class FAccountService final : public FBackendService
{
public:
    explicit FAccountService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    // Codes not yet traded for a token, by code.
    std::unordered_map<std::string, FExchangeCode> ExchangeCodes;

    // A code unique among live codes, tokens and refresh tokens.
    std::string NewExchangeCode();
    // Forgets tokens that can no longer be used and codes past their expiry.
    void PruneExpired(FSteadyClock::time_point Now);
};
} // namespace ZorBackend
