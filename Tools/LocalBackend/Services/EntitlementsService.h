#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <map>
#include <string>
#include <vector>

namespace ZorBackend
{
// The module reaches the commerce service under its ServiceName "commerce".
inline constexpr const char* CommerceServicePath = "/commerce";

struct FEntitlement
{
    std::string Id;
    std::string Name;
    std::string CatalogItemId;
    std::string GrantDate;
};

// What each account owns. The demo account starts with the demo products; a fulfilled order grants more.
class FEntitlementsService final : public FBackendService
{
public:
    explicit FEntitlementsService(FBackendState& InState);
    void Register(httplib::Server& Server) override;

    // Gives the account the catalog item once; the entitlement it holds for the item.
    const FEntitlement& Grant(const std::string& AccountId, const std::string& Name,
                              const std::string& CatalogItemId);
    bool Owns(const std::string& AccountId, const std::string& CatalogItemId) const;

    FBackendState& State;
    std::map<std::string, std::vector<FEntitlement>, FIgnoreCaseLess> Entitlements; // by account id
};
} // namespace ZorBackend
