#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

using FPlatformUserId = int32;
constexpr FPlatformUserId PLATFORMUSERID_NONE = -1;

/** An online user's public record. */
class FOnlineUser
{
public:
    virtual ~FOnlineUser() = default;
    virtual FUniqueNetIdRef GetUserId() const = 0;
    virtual FString GetRealName() const = 0;
    virtual FString GetDisplayName(const FString& Platform = FString()) const = 0;
    virtual bool GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const = 0;
};

/** The account of a locally logged-in user, with its credentials. */
class FUserOnlineAccount : public FOnlineUser
{
public:
    virtual FString GetAccessToken() const = 0;
    virtual bool GetAuthAttribute(const FString& AttrName, FString& OutAttrValue) const = 0;
};

namespace EUserPrivileges
{
enum Type
{
    CanPlay,
    CanPlayOnline,
    CanCommunicateOnline,
    CanUseUserGeneratedContent,
};
}

DECLARE_MULTICAST_DELEGATE_OneParam(FOnLoginChanged, int32 /*LocalUserNum*/);
using FOnLoginChangedDelegate = FOnLoginChanged::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnLoginStatusChanged, int32 /*LocalUserNum*/,
                                      ELoginStatus::Type /*OldStatus*/, ELoginStatus::Type /*NewStatus*/,
                                      const FUniqueNetId& /*NewId*/);
using FOnLoginStatusChangedDelegate = FOnLoginStatusChanged::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnLoginComplete, int32 /*LocalUserNum*/, bool /*bWasSuccessful*/,
                                      const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnLoginCompleteDelegate = FOnLoginComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnLogoutComplete, int32 /*LocalUserNum*/, bool /*bWasSuccessful*/);
using FOnLogoutCompleteDelegate = FOnLogoutComplete::FDelegate;
DECLARE_DELEGATE_ThreeParams(FOnGetUserPrivilegeCompleteDelegate, const FUniqueNetId& /*UserId*/,
                             EUserPrivileges::Type /*Privilege*/, uint32 /*PrivilegeResult*/);

/** The engine's identity contract: login, logout, ids and status of local users. */
class IOnlineIdentity
{
public:
    virtual ~IOnlineIdentity() = default;

    DEFINE_ONLINE_DELEGATE_ONE_PARAM(OnLoginChanged, int32);
    DEFINE_ONLINE_PLAYER_DELEGATE_THREE_PARAM(OnLoginStatusChanged, ELoginStatus::Type, ELoginStatus::Type,
                                              const FUniqueNetId&);

    virtual bool Login(int32 LocalUserNum, const FOnlineAccountCredentials& AccountCredentials) = 0;
    DEFINE_ONLINE_PLAYER_DELEGATE_THREE_PARAM(OnLoginComplete, bool, const FUniqueNetId&, const FString&);

    virtual bool Logout(int32 LocalUserNum) = 0;
    DEFINE_ONLINE_PLAYER_DELEGATE_ONE_PARAM(OnLogoutComplete, bool);

    virtual bool AutoLogin(int32 LocalUserNum) = 0;
    virtual TSharedPtr<FUserOnlineAccount> GetUserAccount(const FUniqueNetId& UserId) const = 0;
    virtual TArray<TSharedPtr<FUserOnlineAccount>> GetAllUserAccounts() const = 0;
    virtual FUniqueNetIdPtr GetUniquePlayerId(int32 LocalUserNum) const = 0;
    virtual FUniqueNetIdPtr GetSponsorUniquePlayerId(int32 LocalUserNum) const = 0;
    virtual FUniqueNetIdPtr CreateUniquePlayerId(const FString& Str) = 0;
    virtual FUniqueNetIdPtr CreateUniquePlayerId(uint8* Bytes, int32 Size) = 0;
    virtual ELoginStatus::Type GetLoginStatus(const FUniqueNetId& UserId) const = 0;
    virtual ELoginStatus::Type GetLoginStatus(int32 LocalUserNum) const = 0;
    virtual FString GetPlayerNickname(const FUniqueNetId& UserId) const = 0;
    virtual FString GetPlayerNickname(int32 LocalUserNum) const = 0;
    virtual FString GetAuthToken(int32 LocalUserNum) const = 0;
    virtual void GetUserPrivilege(const FUniqueNetId& UserId, EUserPrivileges::Type Privilege,
                                  const FOnGetUserPrivilegeCompleteDelegate& Delegate) = 0;
    virtual FPlatformUserId GetPlatformUserIdFromUniqueNetId(const FUniqueNetId& UniqueNetId) const = 0;
};
