#include "AccountMappingService.h"

#include "AccountService.h"
#include "BearerAuth.h"

#include <rapidjson/document.h>

#include <algorithm>

namespace ZorBackend
{
namespace
{
namespace MappingErrors
{
constexpr const char* AccountNotFound = "errors.zor.account.account_not_found";
constexpr const char* NotYourAccount = "errors.zor.account.not_your_account";
constexpr const char* InvalidPayload = "errors.zor.account.invalid_payload";
constexpr const char* InvalidExternalToken = "errors.zor.account.external_auth.invalid_token";
constexpr const char* TypeLinked = "errors.zor.account.external_auth.type_already_linked";
constexpr const char* LinkedElsewhere = "errors.zor.account.external_auth.linked_to_another_account";
constexpr const char* NotLinked = "errors.zor.account.external_auth.not_linked";
constexpr const char* DisplayNameNotFound = "errors.zor.account.display_name_not_found";
} // namespace MappingErrors

constexpr size_t MaxFieldLength = 256;

std::string StringField(const rapidjson::Value& Object, const char* Key)
{
    const auto Found = Object.FindMember(Key);
    return Found != Object.MemberEnd() && Found->value.IsString()
               ? std::string(Found->value.GetString(), Found->value.GetStringLength())
               : std::string();
}

bool IsLinkedElsewhere(const FBackendState& State, const std::string& AccountId, const std::string& Type,
                       const std::string& ExternalId)
{
    for (const auto& [Id, Account] : State.Accounts)
    {
        for (const FExternalAuth& Auth : Account.ExternalAuths)
        {
            if (Id != AccountId && EqualsIgnoreCase(Auth.Type, Type) && EqualsIgnoreCase(Auth.Id, ExternalId))
            {
                return true;
            }
        }
    }
    return false;
}

void WriteLinks(FJsonWriter& Writer, const FAccount& Account, const std::string& Type)
{
    Writer.StartObject();
    WriteString(Writer, "tavoId", Account.Id);
    Writer.Key("externalAccounts");
    Writer.StartArray();
    for (const FExternalAuth& Auth : Account.ExternalAuths)
    {
        if (Type.empty() || EqualsIgnoreCase(Auth.Type, Type))
        {
            Writer.StartObject();
            WriteString(Writer, "type", Auth.Type);
            WriteString(Writer, "externalId", Auth.Id);
            Writer.EndObject();
        }
    }
    Writer.EndArray();
    Writer.EndObject();
}

class FHandlers
{
public:
    explicit FHandlers(FAccountMappingService& Service) : State(Service.State) {}

    void Link(const httplib::Request& Req, httplib::Response& Res)
    {
        WithOwnAccount(Req, Res, [&](FAccount& Account) { LinkLocked(Account, Req, Res); });
    }

    void Unlink(const httplib::Request& Req, httplib::Response& Res)
    {
        WithOwnAccount(Req, Res,
                       [&](FAccount& Account)
                       {
                           const std::string Type = Req.matches[2].str();
                           const size_t Removed =
                               std::erase_if(Account.ExternalAuths, [&](const FExternalAuth& Auth)
                                             { return EqualsIgnoreCase(Auth.Type, Type); });
                           if (Removed == 0)
                           {
                               return SendError(Res, 404, MappingErrors::NotLinked,
                                                "No external account of this type is linked");
                           }
                           Res.status = 200;
                       });
    }

    void List(const httplib::Request& Req, httplib::Response& Res)
    {
        WithOwnAccount(Req, Res,
                       [&](FAccount& Account)
                       {
                           rapidjson::StringBuffer Buffer;
                           FJsonWriter Writer(Buffer);
                           Writer.StartArray();
                           WriteLinks(Writer, Account, Req.matches.size() > 2 ? Req.matches[2].str() : "");
                           Writer.EndArray();
                           SendJson(Res, 200, Buffer);
                       });
    }

    void FindDisplayName(const httplib::Request& Req, httplib::Response& Res)
    {
        WithBearer(State, Req, Res,
                   [&](FToken&, FSteadyClock::time_point)
                   {
                       const std::string Name = Req.matches[1].str();
                       const auto Found =
                           std::find_if(State.Accounts.begin(), State.Accounts.end(),
                                        [&](const auto& Entry)
                                        { return EqualsIgnoreCase(Entry.second.DisplayName, Name); });
                       if (Found == State.Accounts.end())
                       {
                           return SendError(Res, 404, MappingErrors::DisplayNameNotFound,
                                            "No account has this display name");
                       }
                       rapidjson::StringBuffer Buffer;
                       FJsonWriter Writer(Buffer);
                       Writer.StartObject();
                       WriteString(Writer, "id", Found->second.Id);
                       WriteString(Writer, "displayName", Found->second.DisplayName);
                       Writer.EndObject();
                       SendJson(Res, 200, Buffer);
                   });
    }

private:
    // Runs Handler locked with the account of the path when the caller holds that account's own token.
    void WithOwnAccount(const httplib::Request& Req, httplib::Response& Res,
                        const std::function<void(FAccount&)>& Handler)
    {
        WithBearer(State, Req, Res,
                   [&](FToken& Caller, FSteadyClock::time_point)
                   {
                       const auto Found = State.Accounts.find(Req.matches[1].str());
                       if (Found == State.Accounts.end())
                       {
                           return SendError(Res, 404, MappingErrors::AccountNotFound, "No such account");
                       }
                       if (!IsOwnToken(Caller, Found->first))
                       {
                           return SendError(Res, 403, MappingErrors::NotYourAccount,
                                            "Only the account itself manages its external accounts");
                       }
                       Handler(Found->second);
                   });
    }

    void LinkLocked(FAccount& Account, const httplib::Request& Req, httplib::Response& Res)
    {
        rapidjson::Document Body;
        if (!ParseJson(Req.body, Body) || !Body.IsObject())
        {
            return SendError(Res, 400, MappingErrors::InvalidPayload, "Expected a JSON object");
        }
        const std::string Type = StringField(Body, "authType");
        const std::string Token = StringField(Body, "externalAuthToken");
        const size_t Colon = Token.find(':');
        if (Type.empty() || Type.size() > MaxFieldLength || Token.size() > MaxFieldLength ||
            Colon == std::string::npos || Colon == 0 || Colon + 1 == Token.size())
        {
            return SendError(Res, 400, MappingErrors::InvalidExternalToken,
                             "authType and an externalAuthToken of the form EXTERNALID:PROOF are required");
        }
        FExternalAuth Link{Type, Token.substr(0, Colon), Token};
        if (EqualsIgnoreCase(Type, "internal"))
        {
            Link.Token = Token.substr(Colon + 1);
        }
        if (std::any_of(Account.ExternalAuths.begin(), Account.ExternalAuths.end(),
                        [&](const FExternalAuth& Auth) { return EqualsIgnoreCase(Auth.Type, Type); }))
        {
            return SendError(Res, 409, MappingErrors::TypeLinked,
                             "An external account of this type is linked");
        }
        if (IsLinkedElsewhere(State, Account.Id, Type, Link.Id))
        {
            return SendError(Res, 409, MappingErrors::LinkedElsewhere,
                             "This external account is linked to another account");
        }
        Account.ExternalAuths.push_back(Link);
        rapidjson::StringBuffer Buffer;
        FJsonWriter Writer(Buffer);
        Writer.StartObject();
        WriteString(Writer, "accountId", Account.Id);
        WriteString(Writer, "type", Link.Type);
        WriteString(Writer, "externalAuthId", Link.Id);
        Writer.EndObject();
        SendJson(Res, 200, Buffer);
    }

    FBackendState& State;
};
} // namespace

void FAccountMappingService::Register(httplib::Server& Server)
{
    const std::string Links = std::string(AccountServicePath) + "/api/public/account/([^/]+)/externalAuths";
    using FHandler = void (FHandlers::*)(const httplib::Request&, httplib::Response&);
    const auto Bind = [this](FHandler Handler)
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { (FHandlers(*this).*Handler)(Req, Res); };
    };
    Server.Post(Links, Bind(&FHandlers::Link));
    Server.Delete(Links + "/([^/]+)", Bind(&FHandlers::Unlink));
    Server.Get(Links, Bind(&FHandlers::List));
    Server.Get(Links + "/([^/]+)", Bind(&FHandlers::List));
    Server.Get(std::string(AccountServicePath) + "/api/public/account/displayName/(.+)",
               Bind(&FHandlers::FindDisplayName));
}
} // namespace ZorBackend
