#include "Friends/ZorInviteChain.h"

#include "Friends/OnlineFriendsZor.h"

namespace
{
const FString ListName = "default";
constexpr int32 LocalUserNum = 0;
} // namespace

FZorInviteChain::FZorInviteChain(const TSharedPtr<FOnlineFriendsZor>& InFriends,
                                 const TArray<FString>& InFriendIds, const FZorWorkOwner& InOwner)
    : Friends(InFriends), FriendIds(InFriendIds), Owner(InOwner)
{
}

void FZorInviteChain::Start(const TSharedPtr<FOnlineFriendsZor>& Friends, const TArray<FString>& FriendIds,
                            const FZorWorkOwner& Owner)
{
    if (!Friends || FriendIds.IsEmpty())
    {
        return;
    }
    const TSharedRef<FZorInviteChain> Chain = MakeShared<FZorInviteChain>(Friends, FriendIds, Owner);
    Chain->Bind(*Friends);
    Chain->SendNext();
}

void FZorInviteChain::Bind(FOnlineFriendsZor& Service)
{
    // The bindings hold the chain: it lives until it unbinds itself or the service goes.
    const TSharedRef<FZorInviteChain> Self = AsShared();
    const FOnFriendOperationComplete::FDelegate OnFriendEvent =
        FOnFriendOperationComplete::FDelegate::CreateLambda(
            [Self](int32 UserNum, bool, const FUniqueNetId&, const FString& List, const FString&)
            { Self->OnListEvent(UserNum, List); });
    const FOnReadFriendsListCompleteDelegate OnListEvent = FOnReadFriendsListCompleteDelegate::CreateLambda(
        [Self](int32 UserNum, bool, const FString& List, const FString&)
        { Self->OnListEvent(UserNum, List); });
    SendInviteHandle = Service.AddOnSendInviteCompleteDelegate(OnFriendEvent);
    AcceptInviteHandle = Service.AddOnAcceptInviteCompleteDelegate(OnFriendEvent);
    RejectInviteHandle = Service.AddOnRejectInviteCompleteDelegate(OnFriendEvent);
    DeleteFriendHandle = Service.AddOnDeleteFriendCompleteDelegate(OnFriendEvent);
    ReadListHandle = Service.AddOnReadFriendsListCompleteDelegate(OnListEvent);
    DeleteListHandle = Service.AddOnDeleteFriendsListCompleteDelegate(OnListEvent);
}

void FZorInviteChain::SendNext()
{
    const TSharedRef<FZorInviteChain> Self = AsShared();
    while (Next < FriendIds.Num())
    {
        const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin();
        if (!Service || Service->IsShutDown() || !Owner.StillHolds())
        {
            break;
        }
        if (Service->IsPending(LocalUserNum, ListName))
        {
            // Another caller's request holds the list: the event that ends it brings the chain back.
            return;
        }
        bSending = true;
        const bool bSent = Service->SendInvite(LocalUserNum, FUniqueNetIdString(FriendIds[Next++]), ListName);
        bSending = false;
        if (bSent)
        {
            bAwaiting = true;
            return;
        }
    }
    Finish();
}

void FZorInviteChain::OnListEvent(int32 UserNum, const FString& List)
{
    if (bSending || UserNum != LocalUserNum || List != ListName)
    {
        return;
    }
    const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin();
    // This chain's invitation is the only one the list can have in flight, so it has ended once none is: not
    // the list's slot, which another caller may take from its own handler first. Another caller's refusal on
    // the list comes while the invitation is still in flight.
    if (bAwaiting && Service && Service->IsInvitePending(LocalUserNum, ListName))
    {
        return;
    }
    bAwaiting = false;
    SendNext();
}

void FZorInviteChain::Finish()
{
    const TSharedPtr<FOnlineFriendsZor> Service = Friends.Pin();
    if (!Service)
    {
        return;
    }
    Service->ClearOnSendInviteCompleteDelegate(SendInviteHandle);
    Service->ClearOnAcceptInviteCompleteDelegate(AcceptInviteHandle);
    Service->ClearOnRejectInviteCompleteDelegate(RejectInviteHandle);
    Service->ClearOnDeleteFriendCompleteDelegate(DeleteFriendHandle);
    Service->ClearOnReadFriendsListCompleteDelegate(ReadListHandle);
    Service->ClearOnDeleteFriendsListCompleteDelegate(DeleteListHandle);
}
