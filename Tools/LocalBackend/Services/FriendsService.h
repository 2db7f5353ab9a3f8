#pragma once

#include "BackendService.h"
#include "BackendState.h"

#include <map>
#include <string>

namespace ZorBackend
{
// Where an invitation stands, as seen from one side; the words are the module's.
enum class EFriendStatus
{
    Accepted,
    PendingOutbound,
    PendingInbound,
};

// One user's list of one name: friend's account id to the status seen from this user.
using FFriendsList = std::map<std::string, EFriendStatus, FIgnoreCaseLess>;

// Named friends lists per account, under the game service:
//   GET    /game/api/public/list/<id>/<name>                  the list as [{"tavoId","status"}]
//   DELETE /game/api/public/list/<id>/<name>                  drops the list and its records on the other
//   side POST   /game/api/public/list/<id>/<name>/<friend>         invites a friend POST
//   /game/api/public/list/<inviter>/<name>/<id>/accept the invitee accepts POST
//   /game/api/public/list/<inviter>/<name>/<id>/reject the invitee rejects DELETE
//   /game/api/public/list/<id>/<name>/<friend>         removes a friend
// The bearer must be the account in the <id> slot. Every invitation is kept on both sides, in the two users'
// lists of the same name: outbound with the inviter, inbound with the invitee.
class FFriendsService final : public FBackendService
{
public:
    explicit FFriendsService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
    // Account id, then list name, to the list.
    std::map<std::string, std::map<std::string, FFriendsList, FIgnoreCaseLess>, FIgnoreCaseLess> Lists;
};
} // namespace ZorBackend
