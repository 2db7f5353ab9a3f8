#include "AccountCreationService.h"

#include "BearerAuth.h"
#include "ProfileService.h"

#include <rapidjson/document.h>

#include <cstdio>
#include <optional>
#include <vector>

namespace ZorBackend
{
namespace
{
namespace CreationErrors
{
constexpr const char* InvalidEmail = "errors.zor.account.invalid_email";
constexpr const char* InvalidDisplayName = "errors.zor.account.invalid_display_name";
constexpr const char* InvalidPassword = "errors.zor.account.invalid_password";
constexpr const char* EmailTaken = "errors.zor.account.email_taken";
constexpr const char* DisplayNameTaken = "errors.zor.account.display_name_taken";
constexpr const char* AccountNotFound = "errors.zor.account.account_not_found";
constexpr const char* InvalidCredentials = "errors.zor.account.invalid_account_credentials";
constexpr const char* ClientTokenRequired = "errors.zor.account.client_token_required";
constexpr const char* InvalidValidationToken = "errors.zor.account.invalid_validation_token";
constexpr const char* InvalidPayload = "errors.zor.account.invalid_payload";
} // namespace CreationErrors

constexpr size_t MaxFieldLength = 256;

bool IsWord(const std::string& Text)
{
    return !Text.empty() && Text.size() <= MaxFieldLength && Text.find(' ') == std::string::npos;
}

bool IsEmail(const std::string& Text)
{
    return IsWord(Text) && Text.find('@') != std::string::npos && Text.find('.') != std::string::npos;
}

std::optional<rapidjson::Document> ReadObject(const httplib::Request& Req)
{
    rapidjson::Document Body;
    if (!ParseJson(Req.body, Body) || !Body.IsObject())
    {
        return std::nullopt;
    }
    return Body;
}

std::string StringField(const rapidjson::Value& Object, const char* Key)
{
    const auto Found = Object.FindMember(Key);
    return Found != Object.MemberEnd() && Found->value.IsString()
               ? std::string(Found->value.GetString(), Found->value.GetStringLength())
               : std::string();
}

bool IsDisplayNameTaken(const FBackendState& State, const std::string& DisplayName,
                        const std::string& ExceptId)
{
    for (const auto& [Id, Account] : State.Accounts)
    {
        if (Id != ExceptId && EqualsIgnoreCase(Account.DisplayName, DisplayName))
        {
            return true;
        }
    }
    return false;
}

void SendAccount(httplib::Response& Res, const FAccount& Account, bool bPendingAuth)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    WriteString(Writer, "id", Account.Id);
    WriteString(Writer, "email", Account.Email);
    WriteString(Writer, "displayName", Account.DisplayName);
    Writer.Key("pendingAuth");
    Writer.Bool(bPendingAuth);
    Writer.EndObject();
    SendJson(Res, 200, Buffer);
}

void LogValidationToken(const std::string& Email, const std::string& Token)
{
    std::fprintf(stderr, "zorbackend: validation token for %s: %s\n", Printable(Email).c_str(),
                 Token.c_str());
}

class FHandlers
{
public:
    explicit FHandlers(FAccountCreationService& InService) : Service(InService), State(InService.State) {}

    void Create(const httplib::Request& Req, httplib::Response& Res)
    {
        WithClient(Req, Res, [&] { CreateLocked(Req, Res); });
    }

    void Query(const httplib::Request& Req, httplib::Response& Res)
    {
        WithClient(Req, Res,
                   [&]
                   {
                       if (FAccount* Account = Found(Req, Res))
                       {
                           SendAccount(Res, *Account, IsPending(*Account));
                       }
                   });
    }

    void Update(const httplib::Request& Req, httplib::Response& Res)
    {
        std::lock_guard Lock(State.Mutex);
        if (FAccount* Account = WithPassword(Req, Res))
        {
            UpdateLocked(*Account, Req, Res);
        }
    }

    void Delete(const httplib::Request& Req, httplib::Response& Res)
    {
        std::lock_guard Lock(State.Mutex);
        FAccount* Account = WithPassword(Req, Res);
        if (!Account)
        {
            return;
        }
        const std::string Id = Account->Id;
        std::vector<std::string> Tokens;
        for (const auto& [AccessToken, Token] : State.Tokens)
        {
            if (Token.AccountId == Id)
            {
                Tokens.push_back(AccessToken);
            }
        }
        for (const std::string& AccessToken : Tokens)
        {
            State.RevokeAccessToken(AccessToken);
        }
        Service.PendingValidations.erase(Id);
        State.Accounts.erase(Id);
        Res.status = 204;
    }

    void Validate(const httplib::Request& Req, httplib::Response& Res)
    {
        WithClient(Req, Res,
                   [&]
                   {
                       FAccount* Account = Found(Req, Res);
                       if (!Account)
                       {
                           return;
                       }
                       const auto Pending = Service.PendingValidations.find(Account->Id);
                       if (Pending != Service.PendingValidations.end() &&
                           !ConstantTimeEquals(Pending->second, Req.matches[2].str()))
                       {
                           return SendError(Res, 400, CreationErrors::InvalidValidationToken,
                                            "The validation token does not match");
                       }
                       Service.PendingValidations.erase(Account->Id);
                       Res.status = 204;
                   });
    }

    void ResetPassword(const httplib::Request& Req, httplib::Response& Res)
    {
        WithClient(Req, Res,
                   [&]
                   {
                       if (FAccount* Account = Found(Req, Res))
                       {
                           std::fprintf(stderr, "zorbackend: password reset requested for %s\n",
                                        Printable(Account->Email).c_str());
                           Res.status = 204;
                       }
                   });
    }

    void Resend(const httplib::Request& Req, httplib::Response& Res)
    {
        WithClient(Req, Res,
                   [&]
                   {
                       FAccount* Account = Found(Req, Res);
                       if (!Account)
                       {
                           return;
                       }
                       std::string& Token = Service.PendingValidations[Account->Id];
                       Token = State.NewSecret();
                       LogValidationToken(Account->Email, Token);
                       Res.status = 204;
                   });
    }

private:
    // Runs Handler with the state locked when the caller holds a live client token (no account's token).
    void WithClient(const httplib::Request& Req, httplib::Response& Res, const std::function<void()>& Handler)
    {
        WithBearer(State, Req, Res,
                   [&](FToken& Caller, FSteadyClock::time_point)
                   {
                       if (!Caller.AccountId.empty())
                       {
                           return SendError(Res, 403, CreationErrors::ClientTokenRequired,
                                            "Accounts are managed with the application client's token");
                       }
                       Handler();
                   });
    }

    // The account of the e-mail in the path whose password the basic credentials carry; call locked.
    FAccount* WithPassword(const httplib::Request& Req, httplib::Response& Res)
    {
        const auto Credentials = ParseBasicAuth(Req.get_header_value("Authorization"));
        FAccount* Account = State.FindAccountByEmail(Req.matches[1].str());
        if (!Credentials || !Account || !EqualsIgnoreCase(Credentials->Id, Account->Email) ||
            !ConstantTimeEquals(Credentials->Secret, Account->Password))
        {
            SendError(Res, 401, CreationErrors::InvalidCredentials, "Invalid e-mail or password");
            return nullptr;
        }
        return Account;
    }

    FAccount* Found(const httplib::Request& Req, httplib::Response& Res)
    {
        FAccount* Account = State.FindAccountByEmail(Req.matches[1].str());
        if (!Account)
        {
            SendError(Res, 404, CreationErrors::AccountNotFound, "No account has this e-mail");
        }
        return Account;
    }

    bool IsPending(const FAccount& Account) const { return Service.PendingValidations.contains(Account.Id); }

    // The error that refuses these values, or none.
    std::optional<FServiceError> CheckValues(const std::string& Email, const std::string& DisplayName,
                                             const std::string& Password, const std::string& ExceptId)
    {
        if (!IsEmail(Email))
        {
            return FServiceError{400, CreationErrors::InvalidEmail, "Invalid e-mail address"};
        }
        if (!IsWord(DisplayName))
        {
            return FServiceError{400, CreationErrors::InvalidDisplayName, "Invalid display name"};
        }
        if (!IsWord(Password))
        {
            return FServiceError{400, CreationErrors::InvalidPassword, "Invalid password"};
        }
        const FAccount* Holder = State.FindAccountByEmail(Email);
        if (Holder && Holder->Id != ExceptId)
        {
            return FServiceError{409, CreationErrors::EmailTaken, "The e-mail address is in use"};
        }
        if (IsDisplayNameTaken(State, DisplayName, ExceptId))
        {
            return FServiceError{409, CreationErrors::DisplayNameTaken, "The display name is in use"};
        }
        return std::nullopt;
    }

    void CreateLocked(const httplib::Request& Req, httplib::Response& Res)
    {
        const std::optional<rapidjson::Document> Body = ReadObject(Req);
        if (!Body)
        {
            return SendError(Res, 400, CreationErrors::InvalidPayload, "Expected a JSON object");
        }
        FAccount Account;
        Account.Email = StringField(*Body, "email");
        Account.DisplayName = StringField(*Body, "displayName");
        Account.Password = StringField(*Body, "password");
        if (const auto Error = CheckValues(Account.Email, Account.DisplayName, Account.Password, ""))
        {
            return SendError(Res, *Error);
        }
        do
        {
            Account.Id = State.NewSecret();
        } while (State.Accounts.contains(Account.Id));
        const std::string Token = State.NewSecret();
        Service.PendingValidations[Account.Id] = Token;
        LogValidationToken(Account.Email, Token);
        SendAccount(Res, State.Accounts.emplace(Account.Id, Account).first->second, true);
    }

    void UpdateLocked(FAccount& Account, const httplib::Request& Req, httplib::Response& Res)
    {
        const std::optional<rapidjson::Document> Body = ReadObject(Req);
        if (!Body)
        {
            return SendError(Res, 400, CreationErrors::InvalidPayload, "Expected a JSON object");
        }
        const std::string NewEmail = StringField(*Body, "newEmail");
        const std::string NewDisplayName = StringField(*Body, "newDisplayName");
        const std::string NewPassword = StringField(*Body, "newPassword");
        if (const auto Error = CheckValues(NewEmail, NewDisplayName, NewPassword, Account.Id))
        {
            return SendError(Res, *Error);
        }
        Account.Email = NewEmail;
        Account.DisplayName = NewDisplayName;
        Account.Password = NewPassword;
        SendAccount(Res, Account, IsPending(Account));
    }

    FAccountCreationService& Service;
    FBackendState& State;
};
} // namespace

void FAccountCreationService::Register(httplib::Server& Server)
{
    const std::string Base = std::string(GameServicePath) + "/api/tavoAccount/account";
    const std::string One = Base + "/([^/]+)";
    using FHandler = void (FHandlers::*)(const httplib::Request&, httplib::Response&);
    const auto Bind = [this](FHandler Handler)
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { (FHandlers(*this).*Handler)(Req, Res); };
    };
    Server.Post(Base, Bind(&FHandlers::Create));
    Server.Get(One, Bind(&FHandlers::Query));
    Server.Put(One, Bind(&FHandlers::Update));
    Server.Delete(One, Bind(&FHandlers::Delete));
    Server.Post(One + "/validate/([^/]+)", Bind(&FHandlers::Validate));
    Server.Post(One + "/resetPassword", Bind(&FHandlers::ResetPassword));
    Server.Post(One + "/resend", Bind(&FHandlers::Resend));
}
} // namespace ZorBackend
