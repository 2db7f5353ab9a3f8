#pragma once

#include "Common/ZorLoginStamp.h"
#include "CoreMinimal.h"

class FOnlineIdentityZor;
class FUniqueNetId;

/**
 * Whom a piece of work that fires several events, or goes on after firing one, was started for: the
 * subsystem's run (its identity service, which Shutdown ends and the next Init replaces) and, for a user's
 * work, that user's login (the login stamp that identity's replies are checked by as well). Taken
 * when the work starts and asked again after each handler it runs, so that a next event or step that no
 * longer holds is skipped. Game thread only.
 */
class FZorWorkOwner
{
public:
    /** Holds nothing: for work started with no identity service. */
    FZorWorkOwner() = default;
    /** The subsystem's run alone. */
    explicit FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity);
    /** The run and the login that UserId holds now; the run alone when the user holds none, so that the roads
     * refuse the work in their own words. */
    FZorWorkOwner(const TSharedPtr<FOnlineIdentityZor>& InIdentity, const FUniqueNetId& UserId);
    /** The same for the user that LocalUserNum holds now. */
    static FZorWorkOwner ForLocalUser(const TSharedPtr<FOnlineIdentityZor>& InIdentity, int32 LocalUserNum);

    bool StillHolds() const;

private:
    TWeakPtr<FOnlineIdentityZor> Identity;
    /** No local user: the run alone. */
    FZorLoginStamp Login;
};
