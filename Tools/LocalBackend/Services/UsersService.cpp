#include "UsersService.h"

#include "AccountService.h"
#include "BearerAuth.h"

namespace ZorBackend
{
namespace
{
constexpr const char* TooManyIds = "errors.zor.account.too_many_account_ids";
// More ids than any list a game shows at once would be a mistake or an abuse.
constexpr size_t MaxIdsPerQuery = 100;

void HandleQuery(FBackendState& State, const httplib::Request& Req, httplib::Response& Res)
{
    const size_t Count = Req.get_param_value_count("accountId");
    if (Count == 0 || Count > MaxIdsPerQuery)
    {
        return SendError(Res, 400, TooManyIds, "Give from 1 to 100 accountId parameters");
    }
    WithBearer(State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartArray();
                   for (size_t Index = 0; Index < Count; ++Index)
                   {
                       const auto Found = State.Accounts.find(Req.get_param_value("accountId", Index));
                       if (Found == State.Accounts.end())
                       {
                           continue;
                       }
                       const FAccount& Account = Found->second;
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
                       Writer.EndObject();
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Buffer);
               });
}
} // namespace

void FUsersService::Register(httplib::Server& Server)
{
    Server.Get(std::string(AccountServicePath) + "/api/public/account",
               [this](const httplib::Request& Req, httplib::Response& Res) { HandleQuery(State, Req, Res); });
}
} // namespace ZorBackend
