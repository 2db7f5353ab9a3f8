#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineIdentityInterface.h"

/** Another user's public record: its id and every text field the service sent for it. */
class FOnlineUserInfoZor : public FOnlineUser
{
public:
    explicit FOnlineUserInfoZor(const FString& InUserId) : UserId(MakeShared<FUniqueNetIdString>(InUserId)) {}

    FUniqueNetIdRef GetUserId() const override { return UserId; }
    FString GetRealName() const override;
    FString GetDisplayName(const FString& Platform = FString()) const override;
    bool GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const override;

    TSharedRef<FUniqueNetIdString> UserId;
    /** In the order the reply gave them, keys as the reply spelled them. */
    TArray<TPair<FString, FString>> Attributes;

private:
    bool GetAccountData(const FString& Key, FString& OutValue) const;
};
