#include "Online/OnlineSessionInterface.h"

bool IsPlayerInSessionImpl(IOnlineSession* SessionInt, const FName& SessionName, const FUniqueNetId& UniqueId)
{
    const FNamedOnlineSession* Session = SessionInt ? SessionInt->GetNamedSession(SessionName) : nullptr;
    if (!Session)
    {
        return false;
    }
    return Session->RegisteredPlayers.ContainsByPredicate([&UniqueId](const FUniqueNetIdRef& Player)
                                                          { return *Player == UniqueId; });
}
