#include "Subsystem/ZorWorkOwner.h"

#include "Identity/OnlineIdentityZor.h"

FZorWorkOwner::FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity) : Identity(InIdentity) {}

FZorWorkOwner::FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity, const FUniqueNetId& InUserId)
    : Identity(InIdentity)
{
    const TSharedPtr<FUserOnlineAccountZor> Held =
        InIdentity ? InIdentity->GetUserAccountZor(InUserId) : nullptr;
    if (Held)
    {
        UserId = MakeShared<FUniqueNetIdString>(InUserId.ToString());
        Account = Held;
    }
}

FZorWorkOwner FZorWorkOwner::ForLocalUser(const TSharedPtr<FOnlineIdentityZor>& InIdentity,
                                          int32 LocalUserNum)
{
    const FUniqueNetIdPtr UserId = InIdentity ? InIdentity->GetUniquePlayerId(LocalUserNum) : nullptr;
    return UserId ? FZorWorkOwner(InIdentity, *UserId) : FZorWorkOwner(InIdentity);
}

bool FZorWorkOwner::StillHolds() const
{
    const TSharedPtr<FOnlineIdentityZor> Current = Identity.Pin();
    if (!Current || Current->IsSubsystemShutDown())
    {
        return false;
    }
    if (!UserId)
    {
        return true;
    }
    // The same record: a logout dropped the old one, and a login of the same account made a new one.
    const TSharedPtr<FUserOnlineAccountZor> Held = Account.Pin();
    return Held && Current->GetUserAccountZor(*UserId) == Held;
}
