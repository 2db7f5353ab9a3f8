#pragma once

#include "CoreMinimal.h"

class FJsonObject;
#include "Users/OnlineUserInfoZor.h"

/** The public records received for each local user, oldest first; a record queried again moves last. */
class FZorUserInfoCache
{
public:
    using FUserList = TArray<TSharedRef<FOnlineUserInfoZor>>;

    /**
     * Applies a query reply, a JSON array of user objects, to the local user's list (created when absent).
     * Returns the error text, empty on success; a failed reply changes nothing.
     */
    FString ApplyQueryReply(const FString& LocalUserId, const FString& Body);
    /** The local user's list, or null when no query of it ever succeeded. */
    const FUserList* Find(const FString& LocalUserId) const;
    /** The local user's record of that user, or an empty pointer. */
    TSharedPtr<FOnlineUserInfoZor> FindUser(const FString& LocalUserId, const FUniqueNetId& UserId) const;

private:
    static TSharedPtr<FOnlineUserInfoZor> ReadUser(const FJsonObject& User);

    TMap<FString, FUserList> Users;
};
