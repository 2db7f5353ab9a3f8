#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineIdentityInterface.h"
#include "Online/OnlineTypes.h"

/** Where an invitation between two users stands. The numbers are the engine's: keep them. */
namespace EInviteStatus
{
enum Type
{
    Unknown = 0,
    Accepted = 1,
    PendingInbound = 2,
    PendingOutbound = 3,
};
const char* ToString(Type Status);
} // namespace EInviteStatus

/** What a user is doing, as far as friends may see. */
struct FOnlineUserPresence
{
    bool bIsOnline = false;
    bool bIsPlaying = false;
    bool bIsPlayingThisGame = false;
    bool bIsJoinable = false;
    bool bHasVoiceSupport = false;
    FString StatusText;
};

/** One entry of a friends list. */
class FOnlineFriend : public FOnlineUser
{
public:
    virtual EInviteStatus::Type GetInviteStatus() const = 0;
    virtual const FOnlineUserPresence& GetPresence() const = 0;
};

DECLARE_MULTICAST_DELEGATE_OneParam(FOnFriendsChange, int32 /*LocalUserNum*/);
using FOnFriendsChangeDelegate = FOnFriendsChange::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnReadFriendsListComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const FString& /*ListName*/,
                                      const FString& /*Error*/);
using FOnReadFriendsListCompleteDelegate = FOnReadFriendsListComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnDeleteFriendsListComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const FString& /*ListName*/,
                                      const FString& /*Error*/);
using FOnDeleteFriendsListCompleteDelegate = FOnDeleteFriendsListComplete::FDelegate;
/** The events about one friend: user number, success, the friend, the list and the error text. */
DECLARE_MULTICAST_DELEGATE_FiveParams(FOnFriendOperationComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const FUniqueNetId& /*FriendId*/,
                                      const FString& /*ListName*/, const FString& /*Error*/);
using FOnSendInviteComplete = FOnFriendOperationComplete;
using FOnSendInviteCompleteDelegate = FOnFriendOperationComplete::FDelegate;
using FOnAcceptInviteComplete = FOnFriendOperationComplete;
using FOnAcceptInviteCompleteDelegate = FOnFriendOperationComplete::FDelegate;
using FOnRejectInviteComplete = FOnFriendOperationComplete;
using FOnRejectInviteCompleteDelegate = FOnFriendOperationComplete::FDelegate;
using FOnDeleteFriendComplete = FOnFriendOperationComplete;
using FOnDeleteFriendCompleteDelegate = FOnFriendOperationComplete::FDelegate;

#define DEFINE_ONLINE_FRIEND_DELEGATE(Name)                                                                  \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates(int32 LocalUserNum, bool bWasSuccessful,                           \
                                          const FUniqueNetId& FriendId, const FString& ListName,             \
                                          const FString& Error)                                              \
    {                                                                                                        \
        Name##Delegates.Broadcast(LocalUserNum, bWasSuccessful, FriendId, ListName, Error);                  \
    }

/** The engine's friends contract: named friends lists of local users and the invitations between users. */
class IOnlineFriends
{
public:
    virtual ~IOnlineFriends() = default;

    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnFriendsChange, int32);

    virtual bool ReadFriendsList(int32 LocalUserNum, const FString& ListName) = 0;
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnReadFriendsListComplete, int32, bool, const FString&, const FString&);

    virtual bool DeleteFriendsList(int32 LocalUserNum, const FString& ListName) = 0;
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnDeleteFriendsListComplete, int32, bool, const FString&,
                                      const FString&);

    virtual bool SendInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) = 0;
    DEFINE_ONLINE_FRIEND_DELEGATE(OnSendInviteComplete);

    virtual bool AcceptInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) = 0;
    DEFINE_ONLINE_FRIEND_DELEGATE(OnAcceptInviteComplete);

    virtual bool RejectInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) = 0;
    DEFINE_ONLINE_FRIEND_DELEGATE(OnRejectInviteComplete);

    virtual bool DeleteFriend(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) = 0;
    DEFINE_ONLINE_FRIEND_DELEGATE(OnDeleteFriendComplete);

    /** The cached records of a list read earlier; false when the list was never read. */
    virtual bool GetFriendsList(int32 LocalUserNum, const FString& ListName,
                                TArray<TSharedRef<FOnlineFriend>>& OutFriends) = 0;
    virtual TSharedPtr<FOnlineFriend> GetFriend(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                                const FString& ListName) = 0;
    virtual bool IsFriend(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) = 0;
};
