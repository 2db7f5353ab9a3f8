#pragma once

#include "BackendState.h"

namespace httplib
{
class Server;
}

namespace ZorBackend
{
// Creates every service of the table inside State and registers its routes with Server.
void AddServices(FBackendState& State, httplib::Server& Server);
} // namespace ZorBackend
