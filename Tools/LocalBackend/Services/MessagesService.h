#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ZorBackend
{
struct FInboxMessage
{
    std::string MessageId;
    std::string FromAccountId;
    std::string FromName;
    std::string Type;
    std::string Timestamp;
    // The payload's Base64 text, checked on arrival and handed back as it came.
    std::string Body;
};

// One inbox per account, under the game service:
//   GET    /game/api/messaging/<id>/inbox               the headers, oldest first
//   GET    /game/api/messaging/<id>/inbox/<messageId>   {"messageId","body"}
//   POST   /game/api/messaging/<id>/outbox              {"type","toTavoIds","fromName","body",...}
//   DELETE /game/api/messaging/<id>/inbox/<messageId>
// The bearer must be the account in the <id> slot; a sent message lands in each recipient's inbox.
class FMessagesService final : public FBackendService
{
public:
    explicit FMessagesService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    std::map<std::string, std::vector<FInboxMessage>, FIgnoreCaseLess> Inboxes;
    uint64_t NextMessage = 1;
};
} // namespace ZorBackend
