#pragma once

#include "CoreMinimal.h"

/** What the game service tells of one account addressed by e-mail. */
class FTavoAccountInfo
{
public:
    FTavoAccountInfo() = default;
    FTavoAccountInfo(const FString& InId, const FString& InEmail, const FString& InDisplayName)
        : id(InId), email(InEmail), displayName(InDisplayName)
    {
    }

    FString id;
    FString email;
    FString displayName;
    /** True while the account still awaits validation. */
    bool pendingAuth = false;
};
