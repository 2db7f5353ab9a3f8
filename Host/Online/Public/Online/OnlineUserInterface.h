#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineIdentityInterface.h"
#include "Online/OnlineTypes.h"

DECLARE_MULTICAST_DELEGATE_FourParams(FOnQueryUserInfoComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const TArray<FUniqueNetIdRef>& /*UserIds*/,
                                      const FString& /*Error*/);
using FOnQueryUserInfoCompleteDelegate = FOnQueryUserInfoComplete::FDelegate;

/**
 * The engine's user-information contract: the public records of other users, queried on behalf of a local
 * user and kept until queried again.
 */
class IOnlineUser
{
public:
    virtual ~IOnlineUser() = default;

    /** Starts a query; the event fires once with its outcome, also when the query cannot start. */
    virtual bool QueryUserInfo(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& UserIds) = 0;
    DEFINE_ONLINE_PLAYER_DELEGATE_THREE_PARAM(OnQueryUserInfoComplete, bool, const TArray<FUniqueNetIdRef>&,
                                              const FString&);

    /** Every record kept for the local user; false when none was ever queried. */
    virtual bool GetAllUserInfo(int32 LocalUserNum, TArray<TSharedRef<FOnlineUser>>& OutUsers) = 0;
    /** The kept record of one user, or an empty pointer. */
    virtual TSharedPtr<FOnlineUser> GetUserInfo(int32 LocalUserNum, const FUniqueNetId& UserId) = 0;
};
