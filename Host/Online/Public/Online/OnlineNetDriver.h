#pragma once

#include "CoreMinimal.h"

/** The engine's URL defaults: the port a game listens on when none is given. */
struct FUrlConfig
{
    int32 DefaultPort = 7777;
};

/**
 * The port the game world's net driver listens on; 0 when there is no world, no game net driver, or it runs
 * as a client. The host program sets it when it listens.
 */
int32 GetGameNetDriverPort();
void SetGameNetDriverPort(int32 Port);
