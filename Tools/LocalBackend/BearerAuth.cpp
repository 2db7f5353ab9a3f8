#include "BearerAuth.h"

namespace ZorBackend
{
namespace
{
constexpr const char* InvalidToken = "errors.zor.account.oauth.invalid_token";
} // namespace

std::variant<FToken*, FServiceError> AuthorizeBearer(FBackendState& State, const httplib::Request& Req,
                                                     FSteadyClock::time_point Now)
{
    const std::optional<std::string> AccessToken = ParseBearerAuth(Req.get_header_value("Authorization"));
    if (!AccessToken)
    {
        return FServiceError{401, InvalidToken, "Missing or malformed bearer token"};
    }
    FToken* Token = nullptr;
    switch (State.CheckAccessToken(*AccessToken, Now, &Token))
    {
    case ETokenCheck::Valid:
        return Token;
    case ETokenCheck::Revoked:
        return FServiceError{401, InvalidToken, "Access token has been revoked"};
    case ETokenCheck::Expired:
        return FServiceError{401, InvalidToken, "Access token has expired"};
    case ETokenCheck::Unknown:
        break;
    }
    return FServiceError{401, InvalidToken, "Unknown access token"};
}

void WithBearer(FBackendState& State, const httplib::Request& Req, httplib::Response& Res,
                const std::function<void(FToken&, FSteadyClock::time_point)>& Handler)
{
    std::lock_guard Lock(State.Mutex);
    const auto Now = FSteadyClock::now();
    const auto Caller = AuthorizeBearer(State, Req, Now);
    if (const auto* Error = std::get_if<FServiceError>(&Caller))
    {
        return SendError(Res, *Error);
    }
    Handler(*std::get<FToken*>(Caller), Now);
}

bool IsOwnToken(const FToken& Caller, std::string_view AccountId)
{
    return !Caller.AccountId.empty() && Caller.AccountId == AccountId;
}

bool IsServerToken(const FBackendState& State, const FToken& Caller)
{
    const auto Client = State.Clients.find(Caller.ClientId);
    return Caller.AccountId.empty() && Client != State.Clients.end() && Client->second.bServer;
}

void WithOwnBearer(FBackendState& State, const httplib::Request& Req, httplib::Response& Res,
                   std::string_view AccountId, const FServiceError& Forbidden,
                   const std::function<void(FToken&, FSteadyClock::time_point)>& Handler)
{
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point Now)
               {
                   if (!IsOwnToken(Caller, AccountId))
                   {
                       return SendError(Res, Forbidden);
                   }
                   Handler(Caller, Now);
               });
}
} // namespace ZorBackend
