#pragma once

#include "BackendService.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ZorBackend
{
using FSteadyClock = std::chrono::steady_clock;

struct FExternalAuth
{
    std::string Type;
    std::string Id;
    std::string Token;
};

struct FAccount
{
    std::string Id;
    std::string DisplayName;
    std::string Name;
    std::string Email;
    std::string Password;
    std::vector<FExternalAuth> ExternalAuths;
    std::string LastLogin;
};

struct FClient
{
    std::string Name;
    std::string Id;
    std::string Secret;
    std::string Service;
    // Only a server's client token may send the server and cheat profile commands.
    bool bServer = false;
};

// One granted access token; it is also the auth session that the session endpoints list and kill.
struct FToken
{
    std::string AccessToken;
    std::string RefreshToken;
    std::string SessionId;
    std::string AccountId; // empty for a client-credentials token
    std::string ClientId;
    std::string AuthMethod;
    std::string CreatedAt;
    FSteadyClock::time_point ExpiresAt;
    FSteadyClock::time_point RefreshExpiresAt;
    bool bRevoked = false;

    bool IsActive(FSteadyClock::time_point Now) const { return !bRevoked && Now < ExpiresAt; }
};

enum class ETokenCheck
{
    Valid,
    Unknown,
    Revoked,
    Expired,
};

struct FLifetimes
{
    int64_t Token = 7200;
    int64_t Refresh = 28800;
    int64_t ExchangeCode = 300;
};

// Orders text keys ignoring ASCII case, as the module's own maps compare them.
struct FIgnoreCaseLess
{
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const;
};

// Everything the backend keeps: what every service shares (accounts, clients, tokens) and the services with
// their own state. Handlers run on the server's worker threads: hold Mutex for every access.
struct FBackendState
{
    FBackendState();
    ~FBackendState();
    FBackendState(const FBackendState&) = delete;
    FBackendState& operator=(const FBackendState&) = delete;

    std::mutex Mutex;
    std::map<std::string, FAccount> Accounts;                  // by account id
    std::map<std::string, FClient> Clients;                    // by client id
    std::unordered_map<std::string, FToken> Tokens;            // by access token
    std::unordered_map<std::string, std::string> RefreshIndex; // refresh token to access token
    FLifetimes Lifetimes;
    std::string TitleFilesDir;
    int64_t ExtraBuilds = 0;
    std::chrono::milliseconds VerifyDelay{0};
    std::mt19937_64 Random{SeedRandom()};
    std::vector<std::unique_ptr<FBackendService>> Services;

    // 32 lower-case hex characters, unique among live tokens and refresh tokens.
    std::string NewSecret();

    FAccount* FindAccountByEmail(const std::string& Email);

    ETokenCheck CheckAccessToken(const std::string& AccessToken, FSteadyClock::time_point Now,
                                 FToken** OutToken = nullptr);

    FToken& IssueToken(const std::string& AccountId, const std::string& ClientId,
                       const std::string& AuthMethod, FSteadyClock::time_point Now);

    // Revokes the access token and its refresh token; false when the token is unknown.
    bool RevokeAccessToken(const std::string& AccessToken);

    // Forgets tokens that can no longer be used in any way.
    void PruneExpired(FSteadyClock::time_point Now);

private:
    static std::mt19937_64::result_type SeedRandom();
    bool IsSecretInUse(const std::string& Secret) const;
};
} // namespace ZorBackend
