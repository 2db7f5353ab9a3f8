#include "Online/OnlineFriendsInterface.h"

const char* EInviteStatus::ToString(Type Status)
{
    switch (Status)
    {
    case Accepted:
        return "Accepted";
    case PendingInbound:
        return "PendingInbound";
    case PendingOutbound:
        return "PendingOutbound";
    case Unknown:
        break;
    }
    return "Unknown";
}
