#pragma once

#include <chrono>
#include <cstdint>
#include <map>
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

struct FExchangeCode
{
    std::string AccountId;
    std::string CreatingClientId;
    FSteadyClock::time_point ExpiresAt;
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

// Everything the services share. Handlers run on the server's worker threads: hold Mutex for every access.
struct FBackendState
{
    std::mutex Mutex;
    std::map<std::string, FAccount> Accounts;                  // by account id
    std::map<std::string, FClient> Clients;                    // by client id
    std::unordered_map<std::string, FToken> Tokens;            // by access token
    std::unordered_map<std::string, std::string> RefreshIndex; // refresh token to access token
    std::unordered_map<std::string, FExchangeCode> ExchangeCodes;
    std::map<FProfileKey, FProfile> Profiles;
    FLifetimes Lifetimes;
    std::mt19937_64 Random{SeedRandom()};

    // 32 lower-case hex characters, unique among live tokens, refresh tokens and codes.
    std::string NewSecret();

    FAccount* FindAccountByEmail(const std::string& Email);

    ETokenCheck CheckAccessToken(const std::string& AccessToken, FSteadyClock::time_point Now,
                                 FToken** OutToken = nullptr);

    FToken& IssueToken(const std::string& AccountId, const std::string& ClientId,
                       const std::string& AuthMethod, FSteadyClock::time_point Now);

    // Revokes the access token and its refresh token; false when the token is unknown.
    bool RevokeAccessToken(const std::string& AccessToken);

    // Forgets tokens that can no longer be used in any way and codes past their expiry.
    void PruneExpired(FSteadyClock::time_point Now);

private:
    static std::mt19937_64::result_type SeedRandom();
    bool IsSecretInUse(const std::string& Secret) const;
};
} // namespace ZorBackend
