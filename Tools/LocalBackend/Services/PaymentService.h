#pragma once

#include "BackendHttp.h"
#include "BackendService.h"
#include "BackendState.h"

#include <optional>
#include <string>
#include <vector>

namespace ZorBackend
{
struct FDemoBillingAccount
{
    std::string Id;
    std::string Name;
    std::string Country;
    bool bDefault = false;
};

// Every account has the same demo billing accounts; the first is its default.
const std::vector<FDemoBillingAccount>& DemoBillingAccounts();
const FDemoBillingAccount* FindBillingAccount(const std::string& Id);

// Billing accounts: the list for the account's purchase token, the default one for its user token.
class FPaymentService final : public FBackendService
{
public:
    explicit FPaymentService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
};

// The caller's own account, or the 403 error that refuses it.
std::optional<FServiceError> CheckAccountCaller(const FToken& Caller, const std::string& AccountId);
} // namespace ZorBackend
