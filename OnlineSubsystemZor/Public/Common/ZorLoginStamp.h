#pragma once

#include "CoreMinimal.h"

/**
 * The login a request was made for: the local user and its login generation then, which every login and
 * logout of that user advances. No local user means no login to end: such a request is nobody's login's.
 */
struct FZorLoginStamp
{
    int32 LocalUserNum = INDEX_NONE;
    uint32 Generation = 0;

    bool IsSet() const { return LocalUserNum != INDEX_NONE; }
};
