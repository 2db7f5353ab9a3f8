#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"
#include "Subsystem/ZorWorkOwner.h"

class FOnlineFriendsZor;

/**
 * Sends invitations to several friends, one after another: the friends service takes one request per user and
 * list at a time, so each next one goes out once the previous one ended, whatever its outcome, and once the
 * list is free of other callers' requests. Local user 0, list "default". It owns itself through its bindings
 * to the service's events, so it goes with the service and ends quietly once the service shuts down, or once
 * the login it started under has ended.
 */
class FZorInviteChain : public TSharedFromThis<FZorInviteChain>
{
public:
    static void Start(const TSharedPtr<FOnlineFriendsZor>& Friends, const TArray<FString>& FriendIds,
                      const FZorWorkOwner& Owner);

    FZorInviteChain(const TSharedPtr<FOnlineFriendsZor>& InFriends, const TArray<FString>& InFriendIds,
                    const FZorWorkOwner& InOwner);

private:
    /** Every event that ends a request on a list, which may free the list. */
    void Bind(FOnlineFriendsZor& Service);
    void SendNext();
    void OnListEvent(int32 LocalUserNum, const FString& ListName);
    void Finish();

    TWeakPtr<FOnlineFriendsZor> Friends;
    TArray<FString> FriendIds;
    FZorWorkOwner Owner;
    int32 Next = 0;
    /** Set while an invitation is being handed over, so its refusal event does not start the next one. */
    bool bSending = false;
    /** Set while an invitation of this chain is in flight. */
    bool bAwaiting = false;
    FDelegateHandle SendInviteHandle;
    FDelegateHandle AcceptInviteHandle;
    FDelegateHandle RejectInviteHandle;
    FDelegateHandle DeleteFriendHandle;
    FDelegateHandle ReadListHandle;
    FDelegateHandle DeleteListHandle;
};
