#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <map>
#include <string>

namespace ZorBackend
{
struct FCloudFile
{
    std::string FileName; // the display name the upload gave
    std::string Content;
    std::string Uploaded;
};

// Per-user cloud files under the game service:
//   GET    /game/api/cloudstorage/user/<id>                          the user's files with their SHA1 hashes
//   GET    /game/api/cloudstorage/user/<id>/<name>                   one file's bytes
//   PUT    /game/api/cloudstorage/user/<id>/<name>?filename=<shown>  stores the body
//   DELETE /game/api/cloudstorage/user/<id>/<name>
// Only the account's own user token reaches its files; any other token, a client token included, gets 403.
class FUserCloudService final : public FBackendService
{
public:
    explicit FUserCloudService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    // By account id (letter case counts), then by unique name (ignoring case, as the module looks names up).
    std::map<std::string, std::map<std::string, FCloudFile, FIgnoreCaseLess>> Files;
};
} // namespace ZorBackend
