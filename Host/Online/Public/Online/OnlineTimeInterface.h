#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryServerUtcTimeComplete, bool /*bWasSuccessful*/,
                                       const FString& /*DateTimeStr*/, const FString& /*Error*/);
using FOnQueryServerUtcTimeCompleteDelegate = FOnQueryServerUtcTimeComplete::FDelegate;

/** The engine's server time contract: ask the service for its clock and keep the last answer as text. */
class IOnlineTime
{
public:
    virtual ~IOnlineTime() = default;

    virtual bool QueryServerUtcTime() = 0;
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryServerUtcTimeComplete, bool, const FString&, const FString&);
    virtual FString GetLastServerTime() = 0;
};
