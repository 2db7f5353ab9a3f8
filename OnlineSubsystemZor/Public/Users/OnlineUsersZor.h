#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineUserInterface.h"
#include "Subsystem/BaseServiceZor.h"
#include "Users/ZorUserInfoCache.h"

class FZorReply;
struct FZorLoginStamp;

/**
 * The public records of other users, queried on behalf of local user 0 over the user road and kept per local
 * user until queried again.
 */
class FOnlineUsersZor : public IOnlineUser, public FAccountServiceZor
{
public:
    static const FString SectionName;

    explicit FOnlineUsersZor(FOnlineSubsystemZor* InSubsystem);
    FOnlineUsersZor() = default;

    bool QueryUserInfo(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& UserIds) override;
    bool GetAllUserInfo(int32 LocalUserNum, TArray<TSharedRef<FOnlineUser>>& OutUsers) override;
    TSharedPtr<FOnlineUser> GetUserInfo(int32 LocalUserNum, const FUniqueNetId& UserId) override;

private:
    bool CheckQueryPreconditions(int32 LocalUserNum, FUniqueNetIdPtr& OutLocalUserId,
                                 FString& OutError) const;
    /** The path with one "accountId" parameter per user, in the order given. */
    FString GetQueryPath(const TArray<FUniqueNetIdRef>& UserIds) const;
    FUniqueNetIdPtr GetLocalUserId(int32 LocalUserNum) const;
    void QueryUserInfo_HttpRequestComplete(int32 LocalUserNum, const TArray<FUniqueNetIdRef>& UserIds,
                                           FZorReply& Reply);

    FString QueryUserAccountsUrl = "/api/public/account";
    FZorUserInfoCache UserInfos;
};
