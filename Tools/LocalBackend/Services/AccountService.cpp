#include "AccountService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <algorithm>
#include <thread>
#include <tuple>
#include <variant>

namespace ZorBackend
{
namespace
{
// Grant bodies are a few hundred bytes; anything near this is not a grant.
constexpr size_t MaxFormBytes = 16 * 1024;
constexpr const char* FormContentType = "application/x-www-form-urlencoded";

namespace AccountErrors
{
constexpr const char* InvalidClient = "errors.zor.account.oauth.invalid_client";
constexpr const char* InvalidGrant = "errors.zor.account.oauth.invalid_grant";
constexpr const char* UnsupportedGrantType = "errors.zor.account.oauth.unsupported_grant_type";
constexpr const char* InvalidRequest = "errors.zor.account.oauth.invalid_request";
constexpr const char* Forbidden = "errors.zor.account.oauth.forbidden";
constexpr const char* AccountNotFound = "errors.zor.account.account_not_found";
constexpr const char* SessionNotFound = "errors.zor.account.session_not_found";
} // namespace AccountErrors

FServiceError InvalidRequest(std::string Message)
{
    return {400, AccountErrors::InvalidRequest, std::move(Message)};
}

FServiceError InvalidGrant(std::string Message)
{
    return {400, AccountErrors::InvalidGrant, std::move(Message)};
}

FServiceError MissingField(const char* Key)
{
    return InvalidRequest(std::string("Missing parameter ") + Key);
}

int64_t SecondsLeft(FSteadyClock::time_point Until, FSteadyClock::time_point Now)
{
    if (Until <= Now)
    {
        return 0;
    }
    return std::chrono::ceil<std::chrono::seconds>(Until - Now).count();
}

const std::string* RequiredField(const FFormFields& Form, const char* Key)
{
    const auto Found = Form.find(Key);
    return Found == Form.end() || Found->second.empty() ? nullptr : &Found->second;
}

// A session belongs to the caller when it is of the same account, or, for client tokens, of the same client.
bool SameOwner(const FToken& Caller, const FToken& Other)
{
    if (!Caller.AccountId.empty())
    {
        return Caller.AccountId == Other.AccountId;
    }
    return Other.AccountId.empty() && Caller.ClientId == Other.ClientId;
}

using FGrantResult = std::variant<FToken*, FServiceError>;

struct FGrantContext
{
    FAccountService& Service;
    FBackendState& State;
    const FFormFields& Form;
    const FClient& Client;
    FSteadyClock::time_point Now;
};

FToken& LogIn(FGrantContext& Context, FAccount& Account, const char* AuthMethod)
{
    Account.LastLogin = FormatIso8601(std::chrono::system_clock::now());
    return Context.State.IssueToken(Account.Id, Context.Client.Id, AuthMethod, Context.Now);
}

FGrantResult GrantPassword(FGrantContext& Context)
{
    const std::string* Username = RequiredField(Context.Form, "username");
    const std::string* Password = RequiredField(Context.Form, "password");
    if (!Username)
    {
        return MissingField("username");
    }
    if (!Password)
    {
        return MissingField("password");
    }
    FAccount* Account = Context.State.FindAccountByEmail(*Username);
    // One answer for an unknown user and a wrong password, so that the reply confirms no account.
    if (!Account || !ConstantTimeEquals(Account->Password, *Password))
    {
        return InvalidGrant("Invalid account credentials");
    }
    return &LogIn(Context, *Account, "password");
}

FGrantResult GrantExchangeCode(FGrantContext& Context)
{
    const std::string* Code = RequiredField(Context.Form, "exchange_code");
    if (!Code)
    {
        return MissingField("exchange_code");
    }
    const auto Found = Context.Service.ExchangeCodes.find(*Code);
    if (Found == Context.Service.ExchangeCodes.end())
    {
        return InvalidGrant("Exchange code is unknown or already used");
    }
    const FExchangeCode Entry = Found->second;
    Context.Service.ExchangeCodes.erase(Found);
    if (Entry.ExpiresAt <= Context.Now)
    {
        return InvalidGrant("Exchange code has expired");
    }
    const auto Account = Context.State.Accounts.find(Entry.AccountId);
    if (Account == Context.State.Accounts.end())
    {
        return InvalidGrant("Exchange code names no account");
    }
    return &LogIn(Context, Account->second, "exchange_code");
}

FGrantResult GrantRefreshToken(FGrantContext& Context)
{
    const std::string* RefreshToken = RequiredField(Context.Form, "refresh_token");
    if (!RefreshToken)
    {
        return MissingField("refresh_token");
    }
    const auto Index = Context.State.RefreshIndex.find(*RefreshToken);
    if (Index == Context.State.RefreshIndex.end())
    {
        return InvalidGrant("Unknown refresh token");
    }
    FToken& Old = Context.State.Tokens.at(Index->second);
    if (Old.bRevoked)
    {
        return InvalidGrant("Refresh token has been revoked");
    }
    if (Old.RefreshExpiresAt <= Context.Now)
    {
        return InvalidGrant("Refresh token has expired");
    }
    if (Old.ClientId != Context.Client.Id)
    {
        return InvalidGrant("Refresh token was granted to another client");
    }
    // The new pair replaces the old one, so a refresh token is good for one refresh only.
    Old.bRevoked = true;
    const std::string AccountId = Old.AccountId;
    const std::string AuthMethod = Old.AuthMethod;
    return &Context.State.IssueToken(AccountId, Context.Client.Id, AuthMethod, Context.Now);
}

FGrantResult GrantClientCredentials(FGrantContext& Context)
{
    return &Context.State.IssueToken("", Context.Client.Id, "client_credentials", Context.Now);
}

FAccount* FindExternalAccount(FBackendState& State, const std::string& Type, const std::string& Token)
{
    // The "internal" type carries "id:secret" as its token; other types carry the external service's ticket.
    const bool bInternal = EqualsIgnoreCase(Type, "internal");
    for (auto& [Id, Account] : State.Accounts)
    {
        for (const FExternalAuth& Auth : Account.ExternalAuths)
        {
            const std::string Expected = bInternal ? Auth.Id + ":" + Auth.Token : Auth.Token;
            if (EqualsIgnoreCase(Auth.Type, Type) && ConstantTimeEquals(Expected, Token))
            {
                return &Account;
            }
        }
    }
    return nullptr;
}

FGrantResult GrantExternalAuth(FGrantContext& Context)
{
    const std::string* Type = RequiredField(Context.Form, "external_auth_type");
    const std::string* Token = RequiredField(Context.Form, "external_auth_token");
    if (!Type)
    {
        return MissingField("external_auth_type");
    }
    if (!Token)
    {
        return MissingField("external_auth_token");
    }
    FAccount* Account = FindExternalAccount(Context.State, *Type, *Token);
    if (!Account)
    {
        return InvalidGrant("No account is linked to these external credentials");
    }
    return &LogIn(Context, *Account, "external_auth");
}

using FGrantHandler = FGrantResult (*)(FGrantContext&);

FGrantHandler FindGrantHandler(const std::string& GrantType)
{
    static const std::pair<const char*, FGrantHandler> Handlers[] = {
        {"password", GrantPassword},          {"exchange_code", GrantExchangeCode},
        {"refresh_token", GrantRefreshToken}, {"client_credentials", GrantClientCredentials},
        {"external_auth", GrantExternalAuth},
    };
    for (const auto& [Name, Handler] : Handlers)
    {
        if (GrantType == Name)
        {
            return Handler;
        }
    }
    return nullptr;
}

std::variant<const FClient*, FServiceError> AuthorizeClient(FBackendState& State, const httplib::Request& Req)
{
    const auto Credentials = ParseBasicAuth(Req.get_header_value("Authorization"));
    if (!Credentials)
    {
        return FServiceError{401, AccountErrors::InvalidClient,
                             "Missing or malformed basic client credentials"};
    }
    const auto Found = State.Clients.find(Credentials->Id);
    if (Found == State.Clients.end() || !ConstantTimeEquals(Found->second.Secret, Credentials->Secret))
    {
        return FServiceError{401, AccountErrors::InvalidClient, "Unknown client or wrong client secret"};
    }
    return &Found->second;
}

void SendToken(httplib::Response& Res, const FToken& Token, FSteadyClock::time_point Now)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    WriteString(Writer, "access_token", Token.AccessToken);
    WriteInt(Writer, "expires_in", SecondsLeft(Token.ExpiresAt, Now));
    WriteString(Writer, "token_type", "bearer");
    if (!Token.RefreshToken.empty())
    {
        WriteString(Writer, "refresh_token", Token.RefreshToken);
        WriteInt(Writer, "refresh_expires", SecondsLeft(Token.RefreshExpiresAt, Now));
    }
    if (!Token.AccountId.empty())
    {
        WriteString(Writer, "account_id", Token.AccountId);
    }
    WriteString(Writer, "client_id", Token.ClientId);
    Writer.Key("additionalInformation");
    Writer.StartObject();
    Writer.EndObject();
    Writer.EndObject();
    SendJson(Res, 200, Buffer);
}

std::optional<FServiceError> CheckFormRequest(const httplib::Request& Req)
{
    if (Req.body.size() > MaxFormBytes)
    {
        return FServiceError{413, ErrorCodes::PayloadTooLarge, "Request body too large"};
    }
    if (Req.has_header("Content-Type") && MediaType(Req.get_header_value("Content-Type")) != FormContentType)
    {
        return FServiceError{415, ErrorCodes::UnsupportedMediaType, "Expected a form-encoded body"};
    }
    return std::nullopt;
}

void HandleToken(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    if (const auto Error = CheckFormRequest(Req))
    {
        return SendError(Res, *Error);
    }
    const std::optional<FFormFields> Form = ParseForm(Req.body);
    if (!Form)
    {
        return SendError(Res, InvalidRequest("Malformed form body"));
    }
    std::lock_guard Lock(State.Mutex);
    const auto Now = FSteadyClock::now();
    Service.PruneExpired(Now);
    const auto Client = AuthorizeClient(State, Req);
    if (const auto* Error = std::get_if<FServiceError>(&Client))
    {
        return SendError(Res, *Error);
    }
    const std::string* GrantType = RequiredField(*Form, "grant_type");
    if (!GrantType)
    {
        return SendError(Res, MissingField("grant_type"));
    }
    const FGrantHandler Handler = FindGrantHandler(*GrantType);
    if (!Handler)
    {
        return SendError(Res, 400, AccountErrors::UnsupportedGrantType, "Unsupported grant type");
    }
    FGrantContext Context{Service, State, *Form, *std::get<const FClient*>(Client), Now};
    const FGrantResult Result = Handler(Context);
    if (const auto* Error = std::get_if<FServiceError>(&Result))
    {
        return SendError(Res, *Error);
    }
    SendToken(Res, *std::get<FToken*>(Result), Now);
}

void HandleVerify(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    // Outside the state's lock, so the delay holds back only this reply.
    std::this_thread::sleep_for(State.VerifyDelay);
    WithBearer(State, Req, Res,
               [&](FToken& Token, FSteadyClock::time_point Now)
               {
                   const auto Client = State.Clients.find(Token.ClientId);
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartObject();
                   WriteString(Writer, "client_id", Token.ClientId);
                   WriteString(Writer, "client_service",
                               Client == State.Clients.end() ? "" : Client->second.Service);
                   WriteString(Writer, "account_id", Token.AccountId);
                   WriteInt(Writer, "expires_in", SecondsLeft(Token.ExpiresAt, Now));
                   WriteString(Writer, "auth_method", Token.AuthMethod);
                   Writer.EndObject();
                   SendJson(Res, 200, Buffer);
               });
}

void HandleExchange(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    WithBearer(State, Req, Res,
               [&](FToken& Token, FSteadyClock::time_point Now)
               {
                   if (Token.AccountId.empty())
                   {
                       return SendError(Res, 403, AccountErrors::Forbidden,
                                        "Exchange codes are issued to account tokens only");
                   }
                   Service.PruneExpired(Now);
                   const std::string Code = Service.NewExchangeCode();
                   const int64_t Lifetime = State.Lifetimes.ExchangeCode;
                   Service.ExchangeCodes[Code] =
                       FExchangeCode{Token.AccountId, Token.ClientId, Now + std::chrono::seconds(Lifetime)};
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartObject();
                   WriteString(Writer, "code", Code);
                   WriteInt(Writer, "expiresInSeconds", Lifetime);
                   WriteString(Writer, "creatingClientId", Token.ClientId);
                   // Any known client may trade the code for a token of its own.
                   WriteString(Writer, "consumingClientId", "");
                   Writer.EndObject();
                   SendJson(Res, 200, Buffer);
               });
}

void WriteSession(FJsonWriter& Writer, const FToken& Session, const FToken& Caller,
                  FSteadyClock::time_point Now)
{
    Writer.StartObject();
    WriteString(Writer, "sessionId", Session.SessionId);
    WriteString(Writer, "accountId", Session.AccountId);
    WriteString(Writer, "clientId", Session.ClientId);
    WriteString(Writer, "authMethod", Session.AuthMethod);
    WriteString(Writer, "createdAt", Session.CreatedAt);
    WriteInt(Writer, "expiresIn", SecondsLeft(Session.ExpiresAt, Now));
    Writer.Key("current");
    Writer.Bool(&Session == &Caller);
    Writer.EndObject();
}

void HandleQuerySessions(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point Now)
               {
                   std::vector<const FToken*> Sessions;
                   for (const auto& [AccessToken, Token] : State.Tokens)
                   {
                       if (Token.IsActive(Now) && SameOwner(Caller, Token))
                       {
                           Sessions.push_back(&Token);
                       }
                   }
                   std::sort(Sessions.begin(), Sessions.end(),
                             [](const FToken* A, const FToken* B) {
                                 return std::tie(A->CreatedAt, A->SessionId) <
                                        std::tie(B->CreatedAt, B->SessionId);
                             });
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartArray();
                   for (const FToken* Session : Sessions)
                   {
                       WriteSession(Writer, *Session, Caller, Now);
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Buffer);
               });
}

enum class EKillType
{
    All,
    Others,
    AllAccountClient,
    OthersAccountClient,
};

std::optional<EKillType> ParseKillType(const std::string& Text)
{
    static const std::pair<const char*, EKillType> Types[] = {
        {"ALL", EKillType::All},
        {"OTHERS", EKillType::Others},
        {"ALL_ACCOUNT_CLIENT", EKillType::AllAccountClient},
        {"OTHERS_ACCOUNT_CLIENT", EKillType::OthersAccountClient},
    };
    for (const auto& [Name, Type] : Types)
    {
        if (Text == Name)
        {
            return Type;
        }
    }
    return std::nullopt;
}

bool ShouldKill(EKillType Type, const FToken& Caller, const FToken& Other)
{
    if (!SameOwner(Caller, Other))
    {
        return false;
    }
    const bool bSelf = &Caller == &Other;
    const bool bSameClient = Caller.ClientId == Other.ClientId;
    switch (Type)
    {
    case EKillType::All:
        return true;
    case EKillType::Others:
        return !bSelf;
    case EKillType::AllAccountClient:
        return bSameClient;
    case EKillType::OthersAccountClient:
        return bSameClient && !bSelf;
    }
    return false;
}

void HandleKillSessions(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   const std::optional<EKillType> Type = Req.get_param_value_count("killType") == 1
                                                             ? ParseKillType(Req.get_param_value("killType"))
                                                             : std::nullopt;
                   if (!Type)
                   {
                       return SendError(
                           Res, InvalidRequest("killType must be one of ALL, OTHERS, ALL_ACCOUNT_CLIENT, "
                                               "OTHERS_ACCOUNT_CLIENT"));
                   }
                   for (auto& [AccessToken, Token] : State.Tokens)
                   {
                       if (ShouldKill(*Type, Caller, Token))
                       {
                           Token.bRevoked = true;
                       }
                   }
                   Res.status = 204;
               });
}

void HandleKillSessionById(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   const auto Target = State.Tokens.find(Req.matches[1].str());
                   if (Target == State.Tokens.end() || !SameOwner(Caller, Target->second))
                   {
                       return SendError(Res, 404, AccountErrors::SessionNotFound, "No such session");
                   }
                   Target->second.bRevoked = true;
                   Res.status = 204;
               });
}

void HandleAccountInfo(FAccountService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FBackendState& State = Service.State;
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   const auto Found = State.Accounts.find(Req.matches[1].str());
                   if (Found == State.Accounts.end())
                   {
                       return SendError(Res, 404, AccountErrors::AccountNotFound, "No such account");
                   }
                   const FAccount& Account = Found->second;
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartObject();
                   WriteString(Writer, "id", Account.Id);
                   WriteString(Writer, "displayName", Account.DisplayName);
                   if (!Account.Name.empty())
                   {
                       WriteString(Writer, "name", Account.Name);
                   }
                   // The e-mail is private: only the account's own tokens see it.
                   if (Caller.AccountId == Account.Id)
                   {
                       WriteString(Writer, "email", Account.Email);
                   }
                   if (!Account.LastLogin.empty())
                   {
                       WriteString(Writer, "lastLogin", Account.LastLogin);
                   }
                   Writer.EndObject();
                   SendJson(Res, 200, Buffer);
               });
}

std::string Route(const char* Path)
{
    return std::string(AccountServicePath) + Path;
}
} // namespace

std::string FAccountService::NewExchangeCode()
{
    std::string Code;
    do
    {
        Code = State.NewSecret();
    } while (ExchangeCodes.contains(Code));
    return Code;
}

void FAccountService::PruneExpired(FSteadyClock::time_point Now)
{
    State.PruneExpired(Now);
    std::erase_if(ExchangeCodes, [Now](const auto& Entry) { return Entry.second.ExpiresAt <= Now; });
}

void FAccountService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FAccountService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    Server.Post(Route("/api/oauth/token"), Bind(HandleToken));
    Server.Get(Route("/api/oauth/verify"), Bind(HandleVerify));
    Server.Get(Route("/api/oauth/exchange"), Bind(HandleExchange));
    Server.Get(Route("/api/oauth/sessions"), Bind(HandleQuerySessions));
    Server.Delete(Route("/api/oauth/sessions/kill"), Bind(HandleKillSessions));
    Server.Delete(Route("/api/oauth/sessions/kill/([^/]+)"), Bind(HandleKillSessionById));
    Server.Get(Route("/api/public/account/([^/]+)"), Bind(HandleAccountInfo));
}
} // namespace ZorBackend
