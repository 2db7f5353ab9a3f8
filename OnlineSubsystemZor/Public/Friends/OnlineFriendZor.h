#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineFriendsInterface.h"

/** One cached entry of a friends list: the friend's id and where the invitation stands. */
class FOnlineFriendZor : public FOnlineFriend
{
public:
    FOnlineFriendZor(const FString& UserIdText, const FString& StatusText);

    /** The service's status words, matched exactly, letter case included; any other word is Unknown. */
    static EInviteStatus::Type ToInviteStatus(const FString& StatusText);

    FUniqueNetIdRef GetUserId() const override { return UserId; }
    FString GetRealName() const override;
    FString GetDisplayName(const FString& Platform = FString()) const override;
    bool GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const override;
    EInviteStatus::Type GetInviteStatus() const override { return InviteStatus; }
    const FOnlineUserPresence& GetPresence() const override { return Presence; }

    void SetInviteStatus(EInviteStatus::Type Status) { InviteStatus = Status; }

private:
    FString AttributeOrEmpty(const FString& AttrName) const;

    FUniqueNetIdRef UserId;
    EInviteStatus::Type InviteStatus;
    TMap<FString, FString> Attributes;
    FOnlineUserPresence Presence;
};
