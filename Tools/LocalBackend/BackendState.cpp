#include "BackendState.h"

#include "BackendHttp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace ZorBackend
{
bool FIgnoreCaseLess::operator()(std::string_view A, std::string_view B) const
{
    return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                        [](char Left, char Right) {
                                            return std::tolower(static_cast<unsigned char>(Left)) <
                                                   std::tolower(static_cast<unsigned char>(Right));
                                        });
}

FBackendState::FBackendState() = default;

FBackendState::~FBackendState() = default;

std::mt19937_64::result_type FBackendState::SeedRandom()
{
    std::random_device Device;
    return (static_cast<uint64_t>(Device()) << 32) ^ Device();
}

bool FBackendState::IsSecretInUse(const std::string& Secret) const
{
    return Tokens.contains(Secret) || RefreshIndex.contains(Secret);
}

std::string FBackendState::NewSecret()
{
    std::string Secret;
    do
    {
        char Text[33];
        std::snprintf(Text, sizeof(Text), "%016llx%016llx", static_cast<unsigned long long>(Random()),
                      static_cast<unsigned long long>(Random()));
        Secret = Text;
    } while (IsSecretInUse(Secret));
    return Secret;
}

FAccount* FBackendState::FindAccountByEmail(const std::string& Email)
{
    for (auto& [Id, Account] : Accounts)
    {
        if (EqualsIgnoreCase(Account.Email, Email))
        {
            return &Account;
        }
    }
    return nullptr;
}

ETokenCheck FBackendState::CheckAccessToken(const std::string& AccessToken, FSteadyClock::time_point Now,
                                            FToken** OutToken)
{
    const auto Found = Tokens.find(AccessToken);
    if (Found == Tokens.end())
    {
        return ETokenCheck::Unknown;
    }
    if (OutToken)
    {
        *OutToken = &Found->second;
    }
    if (Found->second.bRevoked)
    {
        return ETokenCheck::Revoked;
    }
    return Now < Found->second.ExpiresAt ? ETokenCheck::Valid : ETokenCheck::Expired;
}

FToken& FBackendState::IssueToken(const std::string& AccountId, const std::string& ClientId,
                                  const std::string& AuthMethod, FSteadyClock::time_point Now)
{
    FToken Token;
    Token.AccessToken = NewSecret();
    Token.SessionId = NewSecret();
    Token.AccountId = AccountId;
    Token.ClientId = ClientId;
    Token.AuthMethod = AuthMethod;
    Token.CreatedAt = FormatIso8601(std::chrono::system_clock::now());
    Token.ExpiresAt = Now + std::chrono::seconds(Lifetimes.Token);
    // Client tokens are obtained again with their own grant; only account tokens can be refreshed.
    if (!AccountId.empty())
    {
        Token.RefreshToken = NewSecret();
        Token.RefreshExpiresAt = Now + std::chrono::seconds(Lifetimes.Refresh);
        RefreshIndex.emplace(Token.RefreshToken, Token.AccessToken);
    }
    const std::string Key = Token.AccessToken;
    return Tokens.emplace(Key, std::move(Token)).first->second;
}

bool FBackendState::RevokeAccessToken(const std::string& AccessToken)
{
    const auto Found = Tokens.find(AccessToken);
    if (Found == Tokens.end())
    {
        return false;
    }
    Found->second.bRevoked = true;
    return true;
}

void FBackendState::PruneExpired(FSteadyClock::time_point Now)
{
    for (auto It = Tokens.begin(); It != Tokens.end();)
    {
        const FToken& Token = It->second;
        const bool bRefreshUsable = !Token.RefreshToken.empty() && Now < Token.RefreshExpiresAt;
        if (Now < Token.ExpiresAt || bRefreshUsable)
        {
            ++It;
            continue;
        }
        RefreshIndex.erase(Token.RefreshToken);
        It = Tokens.erase(It);
    }
}
} // namespace ZorBackend
