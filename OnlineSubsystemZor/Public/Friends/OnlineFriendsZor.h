#pragma once

#include "CoreMinimal.h"
#include "Friends/OnlineFriendZor.h"
#include "Online/OnlineFriendsInterface.h"
#include "Subsystem/BaseServiceZor.h"

struct FZorCall;
class FZorReply;

/** One named friends list of a user, as last read. */
struct FOnlineFriendsListZor
{
    FString ListName;
    TArray<TSharedRef<FOnlineFriendZor>> Friends;
};

/**
 * Friends lists and invitations over the game service, for local user 0. One request per user and list is in
 * flight at a time; the records that come back are cached per user and list.
 */
class FOnlineFriendsZor : public IOnlineFriends, public FGameServiceZor
{
public:
    explicit FOnlineFriendsZor(FOnlineSubsystemZor* InSubsystem);

    bool ReadFriendsList(int32 LocalUserNum, const FString& ListName) override;
    bool DeleteFriendsList(int32 LocalUserNum, const FString& ListName) override;
    bool SendInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) override;
    bool AcceptInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) override;
    bool RejectInvite(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) override;
    bool DeleteFriend(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) override;

    bool GetFriendsList(int32 LocalUserNum, const FString& ListName,
                        TArray<TSharedRef<FOnlineFriend>>& OutFriends) override;
    TSharedPtr<FOnlineFriend> GetFriend(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                        const FString& ListName) override;
    bool IsFriend(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName) override;

    /** Whether a request for that user and list is in flight. */
    bool IsPending(int32 LocalUserNum, const FString& ListName) const;
    /** Whether that request is an invitation. */
    bool IsInvitePending(int32 LocalUserNum, const FString& ListName) const;

private:
    enum class EOperation : uint8
    {
        ReadFriendsList,
        DeleteFriendsList,
        SendInvite,
        AcceptInvite,
        RejectInvite,
        DeleteFriend,
    };
    /** What a completion needs, fixed when the request is made. */
    struct FRequestContext
    {
        EOperation Operation;
        int32 LocalUserNum;
        FString UserIdText;
        FString ListName;
        FUniqueNetIdRef FriendId;
    };

    static const char* NameOf(EOperation Operation);
    /** The operation's request, without its values. */
    FZorCall DescribeCall(EOperation Operation) const;
    bool Start(EOperation Operation, int32 LocalUserNum, const FString& ListName,
               const FUniqueNetId* FriendId);
    bool ValidateRequest(int32 LocalUserNum, const FString& ListName, FUniqueNetIdPtr& OutUserId,
                         FString& OutError) const;
    FString CheckCache(EOperation Operation, const FString& UserIdText, const FString& FriendIdText,
                       const FString& ListName);
    /** False with OutError set when a road refused the request. */
    bool Send(const FRequestContext& Context, const FUniqueNetId& UserId, FString& OutError);
    void OnReply(FZorReply& Reply, const FRequestContext& Context);
    void ReadList(FZorReply& Reply, const FRequestContext& Context);
    void Fire(const FRequestContext& Context, bool bWasSuccessful, const FString& Error);

    FUniqueNetIdPtr GetLocalUserId(int32 LocalUserNum) const;
    FOnlineFriendsListZor* FindList(const FString& UserIdText, const FString& ListName, bool bCreate);
    TSharedPtr<FOnlineFriendZor> FindFriend(const FString& UserIdText, const FString& FriendIdText,
                                            const FString& ListName, bool bCreate);
    void RemoveCachedFriend(const FString& UserIdText, const FString& ListName, const FString& FriendIdText);
    void RemoveCachedFriendsList(const FString& UserIdText, const FString& ListName);

    FString QueryFriendsListUrl = "/api/public/list/`id/`name";
    FString DeleteFriendsListUrl = "/api/public/list/`id/`name";
    FString SendInviteUrl = "/api/public/list/`id/`name/`friend";
    FString AcceptInviteUrl = "/api/public/list/`friend/`name/`id/accept";
    FString RejectInviteUrl = "/api/public/list/`friend/`name/`id/reject";
    FString DeleteFriendUrl = "/api/public/list/`id/`name/`friend";
    /** Read for completeness; no operation lists pending invitations. */
    FString QueryPendingInvitesUrl = "/api/public/invites/`id";

    /** Per user id text, the lists read. */
    TMap<FString, TArray<FOnlineFriendsListZor>> FriendsCache;
};
