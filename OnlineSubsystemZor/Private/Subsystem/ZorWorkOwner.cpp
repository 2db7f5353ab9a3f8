#include "Subsystem/ZorWorkOwner.h"

#include "Identity/OnlineIdentityZor.h"

FZorWorkOwner::FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity) : Identity(InIdentity) {}

FZorWorkOwner::FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity, const FUniqueNetId& InUserId)
    : Identity(InIdentity), Login(InIdentity ? InIdentity->StampLogin(InUserId) : FZorLoginStamp())
{
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
    return Login.LocalUserNum == INDEX_NONE || Current->IsLoginCurrent(Login);
}
