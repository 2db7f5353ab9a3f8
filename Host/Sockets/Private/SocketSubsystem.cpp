#include "Sockets/SocketSubsystem.h"

#include <unistd.h>

namespace
{
constexpr uint32 LoopbackIp = 0x7F000001;
}

bool FSocketSubsystem::GetHostName(FString& OutName)
{
    char Name[256] = {};
    if (gethostname(Name, sizeof(Name) - 1) != 0 || Name[0] == '\0')
    {
        return false;
    }
    OutName = Name;
    return true;
}

FInternetAddr FSocketSubsystem::GetLocalHostAddr()
{
    // The LAN beacon of this host answers on loopback, which every process on the machine reaches.
    FInternetAddr Addr;
    Addr.SetIp(LoopbackIp);
    return Addr;
}
