#include "PaymentService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "CatalogService.h"

#include <algorithm>

namespace ZorBackend
{
namespace
{
void WriteAccount(FJsonWriter& Writer, const FDemoBillingAccount& Account)
{
    Writer.StartObject();
    WriteString(Writer, "id", Account.Id);
    WriteString(Writer, "billingAccountName", Account.Name);
    WriteString(Writer, "country", Account.Country);
    WriteString(Writer, "countrySource", "BILLING_ADDRESS");
    Writer.EndObject();
}

void HandleAccounts(FPaymentService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (const auto Error = CheckAccountCaller(Caller, Req.matches[1].str()))
                   {
                       return SendError(Res, *Error);
                   }
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartArray();
                   for (const FDemoBillingAccount& Account : DemoBillingAccounts())
                   {
                       WriteAccount(Writer, Account);
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Buffer);
               });
}

void HandleDefaultAccount(FPaymentService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (const auto Error = CheckAccountCaller(Caller, Req.matches[1].str()))
                   {
                       return SendError(Res, *Error);
                   }
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   WriteAccount(Writer, DemoBillingAccounts().front());
                   SendJson(Res, 200, Buffer);
               });
}
} // namespace

const std::vector<FDemoBillingAccount>& DemoBillingAccounts()
{
    static const std::vector<FDemoBillingAccount> Accounts = {
        {"ba-demo-card", "Demo Card", "US", true},
        {"ba-demo-wallet", "Demo Wallet", "US", false},
    };
    return Accounts;
}

const FDemoBillingAccount* FindBillingAccount(const std::string& Id)
{
    const auto& Accounts = DemoBillingAccounts();
    const auto Found = std::find_if(Accounts.begin(), Accounts.end(),
                                    [&](const FDemoBillingAccount& Account) { return Account.Id == Id; });
    return Found == Accounts.end() ? nullptr : &*Found;
}

std::optional<FServiceError> CheckAccountCaller(const FToken& Caller, const std::string& AccountId)
{
    if (!IsOwnToken(Caller, AccountId))
    {
        return FServiceError{403, "errors.zor.commerce.forbidden",
                             "The token's account may not use this account"};
    }
    return std::nullopt;
}

void FPaymentService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FPaymentService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    const std::string Accounts =
        std::string(CommercePath) + "/api/public/payment/accounts/([^/]+)/billingaccounts";
    Server.Get(Accounts, Bind(HandleAccounts));
    Server.Get(Accounts + "/default", Bind(HandleDefaultAccount));
}
} // namespace ZorBackend
