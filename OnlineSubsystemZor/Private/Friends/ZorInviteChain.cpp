#include "Friends/ZorInviteChain.h"

#include "Friends/OnlineFriendsZor.h"

namespace
{
const FString ListName = "default";
constexpr int32 LocalUserNum = 0;
} // namespace

FZorInviteChain::FZorInviteChain(const TSharedPtr<FOnlineFriendsZor>& InFriends,
                                 const TArray<FString>& InFriendIds)
    : Friends(InFriends), FriendIds(InFriendIds)
{
}

void FZorInviteChain::Start(const TSharedPtr<FOnlineFriendsZor>& Friends, const TArray<FString>& FriendIds)
{
    if (!Friends || FriendIds.IsEmpty())
    {
        return;
    }
    const TSharedRef<FZorInviteChain> Chain = MakeShared<FZorInviteChain>(Friends, FriendIds);
    // The binding holds the chain: it lives until it unbinds itself or the service goes.
    Chain->Handle = Friends->AddOnSendInviteCompleteDelegate(FOnSendInviteCompleteDelegate::CreateLambda(
        [Chain](int32 UserNum, bool, const FUniqueNetId& FriendId, const FString& List, const FString&)
        { Chain->OnInviteComplete(UserNum, FriendId, List); }));
    Chain->SendNext();
}

void FZorInviteChain::SendNext()
{
    const TSharedRef<FZorInviteChain> Self = AsShared();
    while (Next < FriendIds.Num())
    {
        const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin();
        if (!Service || Service->IsShutDown())
        {
            break;
        }
        bSending = true;
        const bool bSent = Service->SendInvite(LocalUserNum, FUniqueNetIdString(FriendIds[Next++]), ListName);
        bSending = false;
        if (bSent)
        {
            return;
        }
    }
    Finish();
}

void FZorInviteChain::OnInviteComplete(int32 UserNum, const FUniqueNetId& FriendId, const FString& List)
{
    // Only the completion of the invitation in flight moves the chain on; another caller's refusal for the
    // same list comes while that invitation is still pending.
    const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin();
    if (bSending || UserNum != LocalUserNum || List != ListName || Next == 0 ||
        !FriendId.ToString().Equals(FriendIds[Next - 1], ESearchCase::CaseSensitive) ||
        (Service && Service->IsPending(LocalUserNum, ListName)))
    {
        return;
    }
    SendNext();
}

void FZorInviteChain::Finish()
{
    if (const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin())
    {
        Service->ClearOnSendInviteCompleteDelegate(Handle);
    }
}
