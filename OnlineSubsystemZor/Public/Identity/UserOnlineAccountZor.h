#pragma once

#include "Identity/AuthTokenZor.h"
#include "Online/OnlineIdentityInterface.h"

/** The account record of one logged-in user: its id, public attributes and tokens. */
class FUserOnlineAccountZor : public FUserOnlineAccount
{
public:
    explicit FUserOnlineAccountZor(const FString& AccountId)
        : UserId(MakeShared<FUniqueNetIdString>(AccountId))
    {
    }

    FUniqueNetIdRef GetUserId() const override { return UserId; }
    FString GetRealName() const override { return GetAttribute("name"); }
    FString GetDisplayName(const FString& Platform = FString()) const override;
    bool GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const override;
    FString GetAccessToken() const override { return UserToken.access_token; }
    bool GetAuthAttribute(const FString& AttrName, FString& OutAttrValue) const override;

    /** Sets an attribute, replacing one whose key matches ignoring case. */
    void SetAttribute(const FString& Key, const FString& Value);

    TSharedRef<FUniqueNetIdString> UserId;
    TArray<TPair<FString, FString>> Attributes;
    FAuthTokenZor UserToken;
    FAuthTokenZor PurchaseToken;
    FAuthTokenVerifyZor LastVerification;
    /** The pace of the user token's verifications and refreshes. */
    FTokenUpkeepZor Upkeep;
    FString LastLogin;
    /** The login's credentials, kept only until the account-information step has used them. */
    FOnlineAccountCredentials LoginCredentials;

private:
    FString GetAttribute(const FString& Key) const;
};
