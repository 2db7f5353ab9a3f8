#include "Online/OnlineNetDriver.h"

#include <atomic>

namespace
{
std::atomic<int32> GameNetDriverPort{0};
}

int32 GetGameNetDriverPort()
{
    return GameNetDriverPort.load();
}

void SetGameNetDriverPort(int32 Port)
{
    GameNetDriverPort.store(Port);
}
