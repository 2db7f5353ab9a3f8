#pragma once

#include "Identity/AuthTokenZor.h"
#include "Subsystem/BaseServiceZor.h"
#include "Http.h"
#include "Online/OnlineIdentityInterface.h"
#include "Identity/UserOnlineAccountZor.h"

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
    void Tick(float DeltaTime);
    bool VerifyAuth(FAuthTokenZor& Token);
    bool RefreshAuth(FAuthTokenZor& Token);

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

    /** Cancels the requests in flight; records and events stay. */
    void Shutdown();

    /**
     * The shared reply check: empty when the code is 200 to 399; otherwise the reply's "errorMessage" when it
     * is a JSON reply carrying one, else "Invalid response. code=%d error=%s".
     */
    static FString CheckResponse(const FHttpResponsePtr& Response);

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
    };
    struct FPendingUserInfo
    {
        int32 LocalUserNum = 0;
        FString UserId;
        bool bFromLogin = false;
    };
    /**
     * A token being verified or refreshed and, for a client's, the client-map key it came from (which may be
     * empty: the application client's key is empty when no client is configured).
     */
    struct FPendingToken
    {
        FAuthTokenZor Token;
        FString ClientKey;
    };

    void ReadConfig();
    FHttpRequestRef CreateRequest() const;
    /** A token-endpoint POST with a form body, signed with the client's basic credentials. */
    FHttpRequestRef CreateGrantRequest(const FString& ClientId, const FString& Payload) const;
    /** The key under which a client token is stored, found by address, else by its client id. */
    FString FindClientKey(const FAuthTokenZor& Token) const;
    TSharedPtr<FClientOnlineAuth> FindOrAddClient(const FString& ClientId);
    TSharedRef<FUserOnlineAccountZor> FindOrAddAccount(const FString& AccountId);
    bool InstallUserAccount(int32 LocalUserNum, const FString& UserId, const FString& Token);
    bool InstallUserAccount(int32 LocalUserNum, const FString& AuthJson);
    void InstallUserToken(int32 LocalUserNum, const FAuthTokenZor& Token);
    bool IsLoginPending(int32 LocalUserNum) const;
    bool IsUserInfoPending(int32 LocalUserNum) const;
    void TickUserToken(FUserOnlineAccountZor& Account, double DeltaSeconds);
    void TickPurchaseToken(FUserOnlineAccountZor& Account, double DeltaSeconds);
    void TickClientToken(const FString& ClientId, FClientOnlineAuth& Client, double DeltaSeconds);
    bool SendSessionRequest(const FAuthTokenZor& Token, const FString& Url, const FString& Verb,
                            const char* Operation, bool bIsQuery);

    void Login_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response, bool bSucceeded);
    void QueryLoggedInUserInfo_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                   bool bSucceeded);
    void LoginPurchase_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                           bool bSucceeded);
    void ClientAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response, bool bSucceeded);
    void VerifyAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response, bool bSucceeded);
    void RefreshAuth_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response, bool bSucceeded);
    void GenerateExchangeCode_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                  bool bSucceeded);
    void KillAuthSessions_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                              bool bSucceeded, FString AccessToken);
    void QueryAuthSessions_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                               bool bSucceeded);

    FOnLoginPurchaseComplete OnLoginPurchaseCompleteDelegates;

    FString VerifyTokenUrl = "/api/oauth/verify";
    FString GrantTokenUrl = "/api/oauth/token";
    FString ExchangeTokenUrl = "/api/oauth/exchange";
    FString KillSessionsUrl = "/api/oauth/sessions/kill";
    FString QuerySessionsUrl = "/api/oauth/sessions";
    FString QueryUserInfoUrl = "/api/public/account/`id";
    bool bAllowMultiLogin = false;

    TMap<FString, TSharedPtr<FUserOnlineAccountZor>> AccountMap;
    TMap<int32, FUniqueNetIdPtr> LocalUserMap;
    TMap<FString, TSharedPtr<FClientOnlineAuth>> ClientMap;

    TArray<TSharedPtr<FUserOnlineAccountZor>> TickAccounts;
    /** Counts removals and replacements of account records, so the tick knows when to check its snapshot. */
    uint64 AccountsDropped = 0;

    TMap<FHttpRequestPtr, FPendingLogin> PendingLogins;
    TMap<FHttpRequestPtr, FString> PendingClientAuths;
    TMap<FHttpRequestPtr, FPendingUserInfo> PendingUserInfos;
    TMap<FHttpRequestPtr, FPendingToken> PendingTokens;
    TMap<FHttpRequestPtr, FPendingToken> PendingClientRefreshes;
    TMap<FHttpRequestPtr, FString> PendingExchangeCodes;
};
