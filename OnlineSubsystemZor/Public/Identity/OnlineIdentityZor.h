#pragma once

#include "Common/ZorLoginStamp.h"
#include "Core/CriticalSection.h"
#include "Http.h"
#include "Identity/AuthTokenZor.h"
#include "Identity/UserOnlineAccountZor.h"
#include "Online/OnlineIdentityInterface.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;
struct FZorCall;

DECLARE_MULTICAST_DELEGATE_FourParams(FOnLoginPurchaseComplete, int32 /*LocalUserNum*/,
                                      bool /*bWasSuccessful*/, const FUniqueNetId& /*UserId*/,
                                      const FString& /*Error*/);
using FOnLoginPurchaseCompleteDelegate = FOnLoginPurchaseComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnGenerateExchangeCodeComplete, bool /*bWasSuccessful*/,
                                      const FUniqueNetId& /*UserId*/,
                                      const FAuthTokenExchangeCodeZor& /*Code*/, const FString& /*Error*/);
using FOnGenerateExchangeCodeCompleteDelegate = FOnGenerateExchangeCodeComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnAuthClientComplete, bool /*bWasSuccessful*/,
                                       const FString& /*ClientId*/, const FString& /*Error*/);
using FOnAuthClientCompleteDelegate = FOnAuthClientComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnVerifyAuthComplete, bool /*bWasSuccessful*/,
                                      const FAuthTokenZor& /*Token*/,
                                      const FAuthTokenVerifyZor& /*Verification*/, const FString& /*Error*/);
using FOnVerifyAuthCompleteDelegate = FOnVerifyAuthComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnRefreshAuthComplete, bool /*bWasSuccessful*/,
                                      const FAuthTokenZor& /*OldToken*/, const FAuthTokenZor& /*NewToken*/,
                                      const FString& /*Error*/);
using FOnRefreshAuthCompleteDelegate = FOnRefreshAuthComplete::FDelegate;

/**
 * The identity service: logins of users and clients over the account service, and every token of the system.
 * Game thread only; requests from other threads reach it through the subsystem's user road.
 */
class FOnlineIdentityZor : public IOnlineIdentity,
                           public FAccountServiceZor,
                           public TSharedFromThis<FOnlineIdentityZor>
{
public:
    static const FString SectionName;
    /** Seconds between verifications of a valid token; shared by every identity object. */
    static double VerifyTokenInterval;
    /** A valid token with less lifetime than this is refreshed; shared by every identity object. */
    static double RefreshTokenTheshold;

    explicit FOnlineIdentityZor(FOnlineSubsystemZor* InSubsystem);
    ~FOnlineIdentityZor() override;

    // The engine's identity contract.
    bool Login(int32 LocalUserNum, const FOnlineAccountCredentials& AccountCredentials) override;
    bool Logout(int32 LocalUserNum) override;
    bool AutoLogin(int32 LocalUserNum) override;
    TSharedPtr<FUserOnlineAccount> GetUserAccount(const FUniqueNetId& UserId) const override;
    TArray<TSharedPtr<FUserOnlineAccount>> GetAllUserAccounts() const override;
    FUniqueNetIdPtr GetUniquePlayerId(int32 LocalUserNum) const override;
    FUniqueNetIdPtr GetSponsorUniquePlayerId(int32) const override { return nullptr; }
    FUniqueNetIdPtr CreateUniquePlayerId(const FString& Str) override;
    FUniqueNetIdPtr CreateUniquePlayerId(uint8* Bytes, int32 Size) override;
    ELoginStatus::Type GetLoginStatus(const FUniqueNetId& UserId) const override;
    ELoginStatus::Type GetLoginStatus(int32 LocalUserNum) const override;
    FString GetPlayerNickname(const FUniqueNetId& UserId) const override;
    FString GetPlayerNickname(int32 LocalUserNum) const override;
    FString GetAuthToken(int32 LocalUserNum) const override;
    void GetUserPrivilege(const FUniqueNetId& UserId, EUserPrivileges::Type Privilege,
                          const FOnGetUserPrivilegeCompleteDelegate& Delegate) override;
    FPlatformUserId GetPlatformUserIdFromUniqueNetId(const FUniqueNetId& UniqueNetId) const override;

    // Per-user event with one list, for local user 0.
    virtual FDelegateHandle
    AddOnLoginPurchaseCompleteDelegate(int32 LocalUserNum, const FOnLoginPurchaseCompleteDelegate& Delegate);
    virtual void ClearOnLoginPurchaseCompleteDelegate(int32 LocalUserNum, FDelegateHandle& Handle);
    virtual void TriggerOnLoginPurchaseCompleteDelegates(int32 LocalUserNum, bool bWasSuccessful,
                                                         const FUniqueNetId& UserId, const FString& Error);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnGenerateExchangeCodeComplete, bool, const FUniqueNetId&,
                                      const FAuthTokenExchangeCodeZor&, const FString&);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnAuthClientComplete, bool, const FString&, const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnVerifyAuthComplete, bool, const FAuthTokenZor&,
                                      const FAuthTokenVerifyZor&, const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnRefreshAuthComplete, bool, const FAuthTokenZor&, const FAuthTokenZor&,
                                      const FString&);

public:
    // Logins and accounts.
    void AddUserAccount(int32 LocalUserNum, const FString& UserId, const FString& Token);
    void AddUserAccount(int32 LocalUserNum, const FString& AuthJson);
    void OnAuthClientCompleteForAutoLogin(bool bWasSuccessful, const FString& ClientId, const FString& Error,
                                          int32 LocalUserNum);
    bool QueryLoggedInUserInfo(int32 LocalUserNum, const FUniqueNetId& UserId, bool bFromLogin);
    FString GetUserTokenGrantPayload(const FOnlineAccountCredentials& Credentials) const;
    bool LoginPurchase(int32 LocalUserNum, const FOnlineAccountCredentials& Credentials);
    bool AuthClient(const FString& ClientId);

    // Tokens kept alive.
    void Tick(float DeltaTime) override;
    bool VerifyAuth(FAuthTokenZor& Token);
    bool RefreshAuth(FAuthTokenZor& Token);
    /** Refreshes the account's token unless a refresh is in flight or its back-off still holds. */
    bool RefreshWhenDue(FUserOnlineAccountZor& Account);

    // Exchange codes and auth sessions.
    bool GenerateExchangeCode(const FUniqueNetId& UserId);
    bool KillAuthSessions(const FAuthTokenZor& Token, EAuthTokenKillType KillType);
    bool KillAuthSessionById(const FAuthTokenZor& Token);
    bool QueryAuthSessions(const FAuthTokenZor& Token);

    // Lookups.
    TSharedPtr<FClientOnlineAuth> GetClientAuthTokenZor(const FString& ClientId) const;
    FString GetClientAuthTokenStr(const FString& ClientId) const;
    /** The account record itself, for the services that need its tokens. */
    TSharedPtr<FUserOnlineAccountZor> GetUserAccountZor(const FUniqueNetId& UserId) const;
    bool GetLocalUserIdx(const FUniqueNetId& UserId, int32& OutLocalUserNum) const;

    // The login a request is for: a reply acts only while that login holds.
    FZorLoginStamp StampLogin(int32 LocalUserNum) const;
    /** The login of the local user that holds the account now; none when no local user holds it. */
    FZorLoginStamp StampLogin(const FUniqueNetId& UserId) const;
    bool IsLoginCurrent(const FZorLoginStamp& Stamp) const;
    /** Whether the user has an account record; the one lookup that is safe from any thread. */
    bool HasUserAccountOnAnyThread(const FUniqueNetId& UserId) const;

    const FString& GetVerifyTokenUrl() const { return VerifyTokenUrl; }
    const FString& GetGrantTokenUrl() const { return GrantTokenUrl; }
    const FString& GetExchangeTokenUrl() const { return ExchangeTokenUrl; }
    const FString& GetKillSessionsUrl() const { return KillSessionsUrl; }
    const FString& GetQuerySessionsUrl() const { return QuerySessionsUrl; }
    const FString& GetQueryUserInfoUrl() const { return QueryUserInfoUrl; }
    bool AllowsMultiLogin() const { return bAllowMultiLogin; }

private:
    struct FPendingLogin
    {
        int32 LocalUserNum = 0;
        FOnlineAccountCredentials Credentials;
        /** A logout since it was sent wins over its reply. */
        FZorLoginStamp Login;
    };
    struct FPendingUserInfo
    {
        int32 LocalUserNum = 0;
        FString UserId;
        bool bFromLogin = false;
        FZorLoginStamp Login;
    };
    /**
     * A token being verified or refreshed and, for a client's, the client-map key it came from (which may be
     * empty: the application client's key is empty when no client is configured).
     */
    struct FPendingToken
    {
        FAuthTokenZor Token;
        FString ClientKey;
        /** The token came without a lifetime: the verification's reply gives it. */
        bool bTakeLifetime = false;
        /** A user token's login; a client token's reply always acts. */
        FZorLoginStamp Login;
    };

    void ReadConfig();
    /** A token-endpoint POST with a form body, signed with the client's basic credentials. */
    FZorCall GrantCall(const FString& Operation, const FString& ClientId, const FString& Payload) const;
    /** A GET or DELETE signed with the token itself. */
    FZorCall BearerCall(const FString& Operation, const FString& Verb, const FString& Url,
                        const FAuthTokenZor& Token) const;
    /** Checks a grant's reply and reads its token: "No user id" (when an account is required), "No auth
     * token". */
    static bool ReadToken(FZorReply& Reply, bool bRequireAccount, FAuthTokenZor& OutToken);
    /** The key under which a client token is stored, found by address, else by its client id. */
    FString FindClientKey(const FAuthTokenZor& Token) const;
    TSharedPtr<FClientOnlineAuth> FindOrAddClient(const FString& ClientId);
    TSharedRef<FUserOnlineAccountZor> FindOrAddAccount(const FString& AccountId);
    void AddAccount(const TSharedRef<FUserOnlineAccountZor>& Account);
    void RemoveAccount(const FString& AccountId);
    bool InstallUserAccount(int32 LocalUserNum, const FString& UserId, const FString& Token);
    bool InstallUserAccount(int32 LocalUserNum, const FString& AuthJson);
    void InstallUserToken(int32 LocalUserNum, const FAuthTokenZor& Token);
    bool IsLoginPending(int32 LocalUserNum) const;
    void AdvanceLogin(int32 LocalUserNum) { ++LoginGenerations.FindOrAdd(LocalUserNum); }
    /** Kills the user's sessions and drops its record and local-user entry, firing nothing. */
    void RemoveUser(int32 LocalUserNum, const FUniqueNetId& UserId);
    /** Reports a login whose user logged out before its reply, whatever the reply said. */
    void EndLoginLoggedOut(int32 LocalUserNum, const FString& AccountId, const FString& Operation);
    /** Logs out the account that LocalUserNum holds when it is not AccountId. */
    void LogoutOtherAccount(int32 LocalUserNum, const FString& AccountId);
    bool IsUserInfoPending(int32 LocalUserNum) const;
    void TickUserToken(FUserOnlineAccountZor& Account, double DeltaSeconds);
    void TickPurchaseToken(FUserOnlineAccountZor& Account, double DeltaSeconds);
    void TickClientToken(const FString& ClientId, FClientOnlineAuth& Client, double DeltaSeconds);
    bool SendSessionRequest(const FZorCall& Call);
    static bool IsVerifyDue(const FAuthTokenZor& Token);
    /** The verification request itself, whatever the token's lifetime. */
    bool SendVerification(FAuthTokenZor& Token, bool bTakeLifetime);
    /** The owner key of a token's refresh: one in flight per login of an account, or per client. */
    FString RefreshKey(const FAuthTokenZor& Token) const;
    void InstallRefreshedToken(FUserOnlineAccountZor& Account, const FAuthTokenZor& NewToken);
    /** The account record a user token's verification or refresh acts on; none once its login has ended. */
    TSharedPtr<FUserOnlineAccountZor> FindTokenRecord(const FZorReply& Reply,
                                                      const FAuthTokenZor& Copy) const;
    /**
     * Logs the user out when the service refused the refresh, or when it went unanswered too often; false
     * when a handler of the logout's events shut the service down, and the refresh's own event is skipped.
     */
    bool OnUserRefreshFailed(const FZorReply& Reply, const FAuthTokenZor& OldToken,
                             FUserOnlineAccountZor* Account);
    /** Schedules the retry of an unanswered refresh; false when the account is to be given up instead. */
    bool ScheduleRefreshRetry(FUserOnlineAccountZor& Account) const;

    void Login_HttpRequestComplete(FZorReply& Reply, const FPendingLogin& Pending);
    void QueryLoggedInUserInfo_HttpRequestComplete(FZorReply& Reply, const FPendingUserInfo& Pending);
    void LoginPurchase_HttpRequestComplete(FZorReply& Reply, const FPendingLogin& Pending);
    void ClientAuth_HttpRequestComplete(FZorReply& Reply, const FString& ClientId);
    void VerifyAuth_HttpRequestComplete(FZorReply& Reply, const FPendingToken& Pending);
    void RefreshAuth_HttpRequestComplete(FZorReply& Reply, const FPendingToken& Pending);
    void GenerateExchangeCode_HttpRequestComplete(FZorReply& Reply, const FString& UserId);

    FOnLoginPurchaseComplete OnLoginPurchaseCompleteDelegates;

    FString VerifyTokenUrl = "/api/oauth/verify";
    FString GrantTokenUrl = "/api/oauth/token";
    FString ExchangeTokenUrl = "/api/oauth/exchange";
    FString KillSessionsUrl = "/api/oauth/sessions/kill";
    FString QuerySessionsUrl = "/api/oauth/sessions";
    FString QueryUserInfoUrl = "/api/public/account/`id";
    bool bAllowMultiLogin = false;

    TMap<FString, TSharedPtr<FUserOnlineAccountZor>> AccountMap;
    /** The keys of AccountMap, for callers on other threads. */
    TSet<FString> AccountIds;
    mutable FCriticalSection AccountIdsLock;
    TMap<int32, FUniqueNetIdPtr> LocalUserMap;
    TMap<int32, uint32> LoginGenerations;
    TMap<FString, TSharedPtr<FClientOnlineAuth>> ClientMap;

    TArray<TSharedPtr<FUserOnlineAccountZor>> TickAccounts;
    /** Counts removals and replacements of account records, so the tick knows when to check its snapshot. */
    uint64 AccountsDropped = 0;
};
