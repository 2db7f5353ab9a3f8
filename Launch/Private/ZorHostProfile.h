#pragma once

#include "CoreMinimal.h"
#include "Profile/ZorProfile.h"

class FOnlineSubsystemZor;

/**
 * The profile of local user 0 as the console host's game code uses it: it queries the profile and sends any
 * command by name with parameters given as a JSON object, logging each outcome with the items and stats.
 */
class UZorHostProfile : public UZorProfile
{
    DECLARE_OBJECT_CLASS(UZorHostProfile, UZorProfile)

public:
    /** Asks for the full profile; false when it could not start (the outcome is logged either way). */
    bool Query();
    /** Sends the command Name under the client context with the members of Params as its body. */
    bool SendCommand(const FString& Name, const TSharedPtr<FJsonObject>& Params);

    /** What the profile as last read holds: for Kind "item" the summed quantity of template Name's items, for
     * "stat" stat Name's value ("none" when there is none). */
    FString Held(const FString& Kind, const FString& Name) const;

    /** Told the command's name and whether it succeeded, after each outcome is logged. */
    TFunction<void(const FString& Command, bool bSucceeded)> OnResult;

private:
    void LogResult(const FZorQueryResult& Result, FString Command) const;
};
