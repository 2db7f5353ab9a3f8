#include "Identity/AuthTokenZor.h"

#include <cmath>

namespace
{
// No service grants a token for longer than ten years; a longer lifetime is a broken or hostile reply.
constexpr double MaxLifetimeSeconds = 10.0 * 365.0 * 24.0 * 3600.0;

bool IsSaneLifetime(double Seconds)
{
    return std::isfinite(Seconds) && Seconds >= 0.0 && Seconds <= MaxLifetimeSeconds;
}

bool IsSaneText(const FString& Text)
{
    return Text.Len() <= FAuthTokenZor::MaxTextLength;
}
} // namespace

bool FAuthTokenZor::FromReplyJson(const FString& Json)
{
    if (!FromJson(Json))
    {
        return false;
    }
    // Only the access token's lifetime is acted on; the refresh token's is the service's business.
    if (!IsSaneLifetime(expires_in))
    {
        return false;
    }
    const FString* const Texts[] = {&access_token, &token_type, &refresh_token, &account_id, &client_id};
    for (const FString* Text : Texts)
    {
        if (!IsSaneText(*Text))
        {
            return false;
        }
    }
    for (const auto& Entry : additionalInformation)
    {
        if (!IsSaneText(Entry.Key) || !IsSaneText(Entry.Value))
        {
            return false;
        }
    }
    return true;
}

const char* LexToString(EAuthTokenKillType KillType)
{
    switch (KillType)
    {
    case EAuthTokenKillType::ALL:
        return "ALL";
    case EAuthTokenKillType::OTHERS:
        return "OTHERS";
    case EAuthTokenKillType::ALL_ACCOUNT_CLIENT:
        return "ALL_ACCOUNT_CLIENT";
    case EAuthTokenKillType::OTHERS_ACCOUNT_CLIENT:
        return "OTHERS_ACCOUNT_CLIENT";
    }
    return "";
}
