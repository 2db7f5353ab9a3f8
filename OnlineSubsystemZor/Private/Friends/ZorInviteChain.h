#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"

class FOnlineFriendsZor;

/**
 * Sends invitations to several friends, one after another: each next one from the previous one's completion,
 * whatever its outcome, since the friends service takes one request per user and list at a time. Local user
 * 0, list "default". It owns itself through its binding to the service's event, so it goes with the service
 * and ends quietly once the service shuts down.
 */
class FZorInviteChain : public TSharedFromThis<FZorInviteChain>
{
public:
    static void Start(const TSharedPtr<FOnlineFriendsZor>& Friends, const TArray<FString>& FriendIds);

    FZorInviteChain(const TSharedPtr<FOnlineFriendsZor>& InFriends, const TArray<FString>& InFriendIds);

private:
    void SendNext();
    void OnInviteComplete(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName);
    void Finish();

    TWeakPtr<FOnlineFriendsZor> Friends;
    TArray<FString> FriendIds;
    int32 Next = 0;
    /** Set while an invitation is being handed over, so its refusal event does not start the next one. */
    bool bSending = false;
    FDelegateHandle Handle;
};
