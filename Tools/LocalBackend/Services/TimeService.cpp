#include "TimeService.h"

#include "BackendHttp.h"

#include <chrono>

namespace ZorBackend
{
void FTimeService::Register(httplib::Server& Server)
{
    Server.Get("/game/api/3/timestamp", [](const httplib::Request&, httplib::Response& Res)
               { Res.set_content(FormatIso8601(std::chrono::system_clock::now()), "text/plain"); });
}
} // namespace ZorBackend
