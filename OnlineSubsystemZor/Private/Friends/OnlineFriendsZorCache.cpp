#include "Friends/OnlineFriendsZor.h"

#include "Subsystem/OnlineSubsystemZor.h"

FUniqueNetIdPtr FOnlineFriendsZor::GetLocalUserId(int32 LocalUserNum) const
{
    const IOnlineIdentityPtr Identity = Subsystem ? Subsystem->GetIdentityInterface() : nullptr;
    const FUniqueNetIdPtr UserId = Identity ? Identity->GetUniquePlayerId(LocalUserNum) : nullptr;
    return UserId && UserId->IsValid() ? UserId : nullptr;
}

FOnlineFriendsListZor* FOnlineFriendsZor::FindList(const FString& UserIdText, const FString& ListName,
                                                   bool bCreate)
{
    TArray<FOnlineFriendsListZor>* Lists = FriendsCache.Find(UserIdText);
    if (!Lists)
    {
        if (!bCreate)
        {
            return nullptr;
        }
        Lists = &FriendsCache.Add(UserIdText, {});
    }
    FOnlineFriendsListZor* List = Lists->FindByPredicate([&ListName](const FOnlineFriendsListZor& Each)
                                                         { return Each.ListName == ListName; });
    if (!List && bCreate)
    {
        List = &Lists->AddDefaulted_GetRef();
        List->ListName = ListName;
    }
    return List;
}

TSharedPtr<FOnlineFriendZor> FOnlineFriendsZor::FindFriend(const FString& UserIdText,
                                                           const FString& FriendIdText,
                                                           const FString& ListName, bool bCreate)
{
    // A user or list never read gets its empty entry but no record: its contents are unknown.
    if (!FriendsCache.Contains(UserIdText))
    {
        if (bCreate)
        {
            FriendsCache.Add(UserIdText, {});
        }
        return nullptr;
    }
    FOnlineFriendsListZor* List = FindList(UserIdText, ListName, false);
    if (!List)
    {
        if (bCreate)
        {
            FindList(UserIdText, ListName, true);
        }
        return nullptr;
    }
    for (const TSharedRef<FOnlineFriendZor>& Friend : List->Friends)
    {
        if (Friend->GetUserId()->ToString() == FriendIdText)
        {
            return Friend;
        }
    }
    if (!bCreate)
    {
        return nullptr;
    }
    return List->Friends[List->Friends.Add(MakeShared<FOnlineFriendZor>(FriendIdText, FString()))];
}

void FOnlineFriendsZor::RemoveCachedFriend(const FString& UserIdText, const FString& ListName,
                                           const FString& FriendIdText)
{
    if (FOnlineFriendsListZor* List = FindList(UserIdText, ListName, false))
    {
        List->Friends.RemoveAll([&FriendIdText](const TSharedRef<FOnlineFriendZor>& Friend)
                                { return Friend->GetUserId()->ToString() == FriendIdText; });
    }
}

void FOnlineFriendsZor::RemoveCachedFriendsList(const FString& UserIdText, const FString& ListName)
{
    if (TArray<FOnlineFriendsListZor>* Lists = FriendsCache.Find(UserIdText))
    {
        const int32 Index = Lists->IndexOfByPredicate([&ListName](const FOnlineFriendsListZor& Each)
                                                      { return Each.ListName == ListName; });
        if (Index != INDEX_NONE)
        {
            Lists->RemoveAt(Index);
        }
    }
}

bool FOnlineFriendsZor::GetFriendsList(int32 LocalUserNum, const FString& ListName,
                                       TArray<TSharedRef<FOnlineFriend>>& OutFriends)
{
    OutFriends.Empty();
    if (!Subsystem || !Subsystem->GetIdentityInterface())
    {
        UE_LOG_ONLINE(Warning, "FOnlineFriendsZor::GetFriendsList - OssIdentityZor invalid");
        return false;
    }
    const FUniqueNetIdPtr UserId = GetLocalUserId(LocalUserNum);
    if (!UserId)
    {
        UE_LOG_ONLINE(Warning, "FOnlineFriendsZor::GetFriendsList - UserId invalid");
        return false;
    }
    const FString UserIdText = UserId->ToString();
    if (!FriendsCache.Contains(UserIdText))
    {
        UE_LOG_ONLINE(Verbose, "FOnlineFriendsZor::GetFriendsList - Unable to find friends lists for %s",
                      *UserIdText);
        return false;
    }
    const FOnlineFriendsListZor* List = FindList(UserIdText, ListName, false);
    if (!List)
    {
        UE_LOG_ONLINE(Verbose,
                      "FOnlineFriendsZor::GetFriendsList - FriendList %s not found in the list of lists",
                      *ListName);
        return false;
    }
    for (const TSharedRef<FOnlineFriendZor>& Friend : List->Friends)
    {
        OutFriends.Add(Friend);
    }
    return true;
}

TSharedPtr<FOnlineFriend> FOnlineFriendsZor::GetFriend(int32 LocalUserNum, const FUniqueNetId& FriendId,
                                                       const FString& ListName)
{
    const FUniqueNetIdPtr UserId = GetLocalUserId(LocalUserNum);
    return UserId ? FindFriend(UserId->ToString(), FriendId.ToString(), ListName, false) : nullptr;
}

bool FOnlineFriendsZor::IsFriend(int32 LocalUserNum, const FUniqueNetId& FriendId, const FString& ListName)
{
    const TSharedPtr<FOnlineFriend> Friend = GetFriend(LocalUserNum, FriendId, ListName);
    return Friend && Friend->GetInviteStatus() == EInviteStatus::Accepted;
}
