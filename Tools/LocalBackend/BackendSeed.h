#pragma once

#include "BackendState.h"

#include <optional>
#include <string>

namespace ZorBackend
{
// Fills the accounts and clients of State from seed JSON; returns the reason when the seed is refused.
std::optional<std::string> LoadSeedJson(const std::string& Json, FBackendState& State);
std::optional<std::string> LoadSeedFile(const std::string& Path, FBackendState& State);
} // namespace ZorBackend
