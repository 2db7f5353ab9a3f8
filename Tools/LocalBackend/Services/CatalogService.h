#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ZorBackend
{
// The module reaches the commerce services (catalog, orders, payment) under their ServiceName "commerce".
inline constexpr const char* CommercePath = "/commerce";
// The one namespace of the demo catalog.
inline constexpr const char* DemoNamespace = "qx";

struct FDemoItem
{
    std::string Id;
    std::string EntitlementName;
    std::string Title;
    std::string Description;
    std::vector<std::string> Categories; // category paths
};

struct FDemoOffer
{
    std::string Id;
    std::string Title;
    std::string Description;
    int32_t Price = 0;
    std::vector<std::string> ItemIds;
    std::vector<std::string> Categories;
};

// The demo catalog; it never changes, so it is read without the state's lock.
const FDemoOffer* FindDemoOffer(const std::string& Namespace, const std::string& OfferId);
const FDemoItem* FindDemoItem(const std::string& ItemId);

// Categories, currencies and the offers and items of the demo namespace, for any live token.
class FCatalogService final : public FBackendService
{
public:
    explicit FCatalogService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
};
} // namespace ZorBackend
