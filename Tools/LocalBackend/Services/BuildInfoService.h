#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <string>
#include <vector>

namespace ZorBackend
{
// One build of an application for a label (and optional sub label) and a platform.
struct FBuild
{
    std::string AppName;
    std::string CatalogItemId;
    std::string Label;
    std::string SubLabel;
    std::string Platform;
    std::string BuildVersion;
    std::vector<std::string> CompatibleApps;
};

// Build manifests of both build-information versions and their signed downloads, under the game service. A
// user sees the builds of the catalog items the account owns; anyone signed in sees the launcher's.
class FBuildInfoService final : public FBackendService
{
public:
    explicit FBuildInfoService(FBackendState& InState);
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    std::vector<FBuild> Builds;
};
} // namespace ZorBackend
