#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ZorBackend
{
struct FOrderLine
{
    std::string OfferId;
    int32_t Quantity = 1;
    int64_t UnitPrice = 0;
};

struct FOrder
{
    std::string Id;
    std::string AccountId;
    std::string Status; // "CREATED", "PAID", "FULFILLED"
    std::string CreatedAt;
    std::string ModifiedAt;
    std::vector<FOrderLine> Lines;
};

// Orders of the demo catalog on the account's purchase token: preview, create, check out, fulfil (which
// grants the entitlements service's entitlements), list, read. The module sends one order request at a time;
// a second one arriving while one is handled is refused with 409 and counted, so tests can assert that it
// never happens.
class FOrdersService final : public FBackendService
{
public:
    explicit FOrdersService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    std::map<std::string, FOrder> Orders; // by order id
    int64_t NextOrder = 1;
    std::atomic<int32_t> InFlight{0};
    std::atomic<int32_t> Overlaps{0};
};
} // namespace ZorBackend
