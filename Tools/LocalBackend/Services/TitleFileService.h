#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <string>

namespace ZorBackend
{
// Title files, the regular files directly in the folder the backend was given, under the game service:
//   GET /game/api/cloudstorage/system[?start=N&count=N]  the files with their SHA1 hashes, by name, paged
//   GET /game/api/cloudstorage/system/<name>             one file's bytes
// Any live token reaches them; without a folder the list is empty.
class FTitleFileService final : public FBackendService
{
public:
    explicit FTitleFileService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
};
} // namespace ZorBackend
