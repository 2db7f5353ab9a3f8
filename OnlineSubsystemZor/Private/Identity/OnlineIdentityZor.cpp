#include "Identity/OnlineIdentityZor.h"

#include <cstring>
#include <string>

#include "Common/ZorCallSet.h"
#include "Common/ZorRedact.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"

const FString FOnlineIdentityZor::SectionName("OnlineSubsystemZor.OnlineIdentityZor");
double FOnlineIdentityZor::VerifyTokenInterval = 60.0;
double FOnlineIdentityZor::RefreshTokenTheshold = 100.0;

namespace
{
const FString InvalidNickname("InvalidZORUser");

void AppendUtf8(FString& Out, char32_t CodePoint)
{
    if (CodePoint < 0x80)
    {
        Out.AppendChar(static_cast<char>(CodePoint));
        return;
    }
    if (CodePoint < 0x800)
    {
        Out.AppendChar(static_cast<char>(0xC0 | (CodePoint >> 6)));
    }
    else if (CodePoint < 0x10000)
    {
        Out.AppendChar(static_cast<char>(0xE0 | (CodePoint >> 12)));
        Out.AppendChar(static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F)));
    }
    else
    {
        Out.AppendChar(static_cast<char>(0xF0 | (CodePoint >> 18)));
        Out.AppendChar(static_cast<char>(0x80 | ((CodePoint >> 12) & 0x3F)));
        Out.AppendChar(static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F)));
    }
    Out.AppendChar(static_cast<char>(0x80 | (CodePoint & 0x3F)));
}

/** Surrogate pairs become one code point; a lone surrogate becomes U+FFFD. */
FString Utf16ToUtf8(const std::u16string& Text)
{
    FString Utf8;
    for (size_t Index = 0; Index < Text.size(); ++Index)
    {
        const char16_t Unit = Text[Index];
        const bool bHigh = Unit >= 0xD800 && Unit <= 0xDBFF;
        const bool bLowNext =
            Index + 1 < Text.size() && Text[Index + 1] >= 0xDC00 && Text[Index + 1] <= 0xDFFF;
        if (bHigh && bLowNext)
        {
            AppendUtf8(Utf8,
                       0x10000 + ((char32_t(Unit) - 0xD800) << 10) + (char32_t(Text[++Index]) - 0xDC00));
        }
        else
        {
            AppendUtf8(Utf8, (Unit >= 0xD800 && Unit <= 0xDFFF) ? char32_t(0xFFFD) : char32_t(Unit));
        }
    }
    return Utf8;
}
} // namespace

FOnlineIdentityZor::FOnlineIdentityZor(FOnlineSubsystemZor* InSubsystem)
    : FAccountServiceZor(InSubsystem, SectionName)
{
    ReadConfig();
    auto AppClient = MakeShared<FClientOnlineAuth>();
    ClientMap.Add(Subsystem->GetAppId(), AppClient.ToSharedPtr());
}

FOnlineIdentityZor::~FOnlineIdentityZor() = default;

void FOnlineIdentityZor::ReadConfig()
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "VerifyTokenUrl", VerifyTokenUrl, GEngineIni);
    GConfig->GetString(Section, "GrantTokenUrl", GrantTokenUrl, GEngineIni);
    GConfig->GetString(Section, "ExchangeTokenUrl", ExchangeTokenUrl, GEngineIni);
    GConfig->GetString(Section, "KillSessionsUrl", KillSessionsUrl, GEngineIni);
    GConfig->GetString(Section, "QuerySessionsUrl", QuerySessionsUrl, GEngineIni);
    GConfig->GetString(Section, "QueryUserInfoUrl", QueryUserInfoUrl, GEngineIni);
    float Seconds;
    if (GConfig->GetFloat(Section, "VerifyTokenInterval", Seconds, GEngineIni))
    {
        VerifyTokenInterval = Seconds;
    }
    if (GConfig->GetFloat(Section, "RefreshTokenTheshold", Seconds, GEngineIni))
    {
        RefreshTokenTheshold = Seconds;
    }
    GConfig->GetBool(Section, "bAllowMultiLogin", bAllowMultiLogin, GEngineIni);
}

FZorCall FOnlineIdentityZor::GrantCall(const FString& Operation, const FString& ClientId,
                                       const FString& Payload) const
{
    FZorCall Call;
    Call.Operation = Operation;
    Call.bServiceErrorText = true;
    Call.Verb = "POST";
    Call.Url = GetBaseUrl() + GrantTokenUrl;
    Call.ContentType = "application/x-www-form-urlencoded";
    Call.Headers = {{"User-Agent", GetUserAgent()}, {"Authorization", GetBasicAuth(ClientId)}};
    Call.Body = Payload;
    return Call;
}

FZorCall FOnlineIdentityZor::BearerCall(const FString& Operation, const FString& Verb, const FString& Url,
                                        const FAuthTokenZor& Token) const
{
    FZorCall Call;
    Call.Operation = Operation;
    Call.bServiceErrorText = true;
    Call.Verb = Verb;
    Call.Url = Url;
    Call.Headers = {{"User-Agent", GetUserAgent()}, {"Authorization", "bearer " + Token.access_token}};
    Call.Secrets = {Token.access_token};
    return Call;
}

bool FOnlineIdentityZor::ReadToken(FZorReply& Reply, bool bRequireAccount, FAuthTokenZor& OutToken)
{
    if (!Reply.Check())
    {
        return false;
    }
    if (!OutToken.FromReplyJson(Reply.GetBody()))
    {
        OutToken = FAuthTokenZor();
        Reply.Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
    }
    else if (bRequireAccount && OutToken.account_id.IsEmpty())
    {
        Reply.Fail(EZorErrorKind::InvalidPayload, "No user id");
    }
    else if (OutToken.access_token.IsEmpty())
    {
        Reply.Fail(EZorErrorKind::InvalidPayload, "No auth token");
    }
    return Reply.Succeeded();
}

TSharedPtr<FUserOnlineAccount> FOnlineIdentityZor::GetUserAccount(const FUniqueNetId& UserId) const
{
    return GetUserAccountZor(UserId);
}

TSharedPtr<FUserOnlineAccountZor> FOnlineIdentityZor::GetUserAccountZor(const FUniqueNetId& UserId) const
{
    return AccountMap.FindRef(UserId.ToString());
}

bool FOnlineIdentityZor::HasUserAccountOnAnyThread(const FUniqueNetId& UserId) const
{
    FScopeLock Lock(&AccountIdsLock);
    return AccountIds.Contains(UserId.ToString());
}

TArray<TSharedPtr<FUserOnlineAccount>> FOnlineIdentityZor::GetAllUserAccounts() const
{
    TArray<TSharedPtr<FUserOnlineAccount>> Accounts;
    for (const auto& Entry : AccountMap)
    {
        Accounts.Add(Entry.Value);
    }
    return Accounts;
}

FUniqueNetIdPtr FOnlineIdentityZor::GetUniquePlayerId(int32 LocalUserNum) const
{
    return LocalUserNum == 0 ? LocalUserMap.FindRef(0) : nullptr;
}

FUniqueNetIdPtr FOnlineIdentityZor::CreateUniquePlayerId(const FString& Str)
{
    return MakeShared<FUniqueNetIdString>(Str);
}

FUniqueNetIdPtr FOnlineIdentityZor::CreateUniquePlayerId(uint8* Bytes, int32 Size)
{
    if (!Bytes || Size < 1)
    {
        return nullptr;
    }
    // The bytes hold a UTF-16 text of at most Size characters, ending at the first zero character; they
    // need not be aligned.
    std::u16string Text;
    for (int32 Index = 0; Index < Size; ++Index)
    {
        char16_t Ch;
        std::memcpy(&Ch, Bytes + Index * sizeof(char16_t), sizeof(Ch));
        if (Ch == 0)
        {
            break;
        }
        Text.push_back(Ch);
    }
    return MakeShared<FUniqueNetIdString>(Utf16ToUtf8(Text));
}

ELoginStatus::Type FOnlineIdentityZor::GetLoginStatus(const FUniqueNetId& UserId) const
{
    if (IsSubsystemDedicated())
    {
        const TSharedPtr<FClientOnlineAuth> AppClient = ClientMap.FindRef(GetSubsystemAppId());
        return AppClient && AppClient->TokenState != EAuthTokenState::Failed ? ELoginStatus::LoggedIn
                                                                             : ELoginStatus::NotLoggedIn;
    }
    const TSharedPtr<FUserOnlineAccountZor> Account = GetUserAccountZor(UserId);
    const bool bLoggedIn = Account && Account->GetUserId()->IsValid() &&
                           !Account->GetAccessToken().IsEmpty() &&
                           Account->UserToken.TokenState != EAuthTokenState::Failed;
    return bLoggedIn ? ELoginStatus::LoggedIn : ELoginStatus::NotLoggedIn;
}

ELoginStatus::Type FOnlineIdentityZor::GetLoginStatus(int32 LocalUserNum) const
{
    if (IsSubsystemDedicated())
    {
        return GetLoginStatus(FUniqueNetIdString());
    }
    const FUniqueNetIdPtr UserId = GetUniquePlayerId(LocalUserNum);
    return UserId ? GetLoginStatus(*UserId) : ELoginStatus::NotLoggedIn;
}

FString FOnlineIdentityZor::GetPlayerNickname(const FUniqueNetId& UserId) const
{
    const TSharedPtr<FUserOnlineAccountZor> Account = GetUserAccountZor(UserId);
    const FString DisplayName = Account ? Account->GetDisplayName() : FString();
    return DisplayName.IsEmpty() ? InvalidNickname : DisplayName;
}

FString FOnlineIdentityZor::GetPlayerNickname(int32 LocalUserNum) const
{
    const FUniqueNetIdPtr UserId = GetUniquePlayerId(LocalUserNum);
    return UserId ? GetPlayerNickname(*UserId) : InvalidNickname;
}

FString FOnlineIdentityZor::GetAuthToken(int32 LocalUserNum) const
{
    const FUniqueNetIdPtr UserId = GetUniquePlayerId(LocalUserNum);
    const TSharedPtr<FUserOnlineAccountZor> Account = UserId ? GetUserAccountZor(*UserId) : nullptr;
    return Account ? Account->GetAccessToken() : FString();
}

void FOnlineIdentityZor::GetUserPrivilege(const FUniqueNetId& UserId, EUserPrivileges::Type Privilege,
                                          const FOnGetUserPrivilegeCompleteDelegate& Delegate)
{
    Delegate.ExecuteIfBound(UserId, Privilege, 0u);
}

FPlatformUserId FOnlineIdentityZor::GetPlatformUserIdFromUniqueNetId(const FUniqueNetId& UniqueNetId) const
{
    const FUniqueNetIdPtr LocalUser = GetUniquePlayerId(0);
    return LocalUser && *LocalUser == UniqueNetId ? 0 : PLATFORMUSERID_NONE;
}

bool FOnlineIdentityZor::GetLocalUserIdx(const FUniqueNetId& UserId, int32& OutLocalUserNum) const
{
    for (const auto& Entry : LocalUserMap)
    {
        if (Entry.Value && *Entry.Value == UserId)
        {
            OutLocalUserNum = Entry.Key;
            return true;
        }
    }
    return false;
}

FZorLoginStamp FOnlineIdentityZor::StampLogin(int32 LocalUserNum) const
{
    return {LocalUserNum, LoginGenerations.FindRef(LocalUserNum)};
}

FZorLoginStamp FOnlineIdentityZor::StampLogin(const FUniqueNetId& UserId) const
{
    int32 LocalUserNum = INDEX_NONE;
    return GetLocalUserIdx(UserId, LocalUserNum) ? StampLogin(LocalUserNum) : FZorLoginStamp();
}

bool FOnlineIdentityZor::IsLoginCurrent(const FZorLoginStamp& Stamp) const
{
    return Stamp.LocalUserNum != INDEX_NONE &&
           LoginGenerations.FindRef(Stamp.LocalUserNum) == Stamp.Generation;
}

TSharedPtr<FClientOnlineAuth> FOnlineIdentityZor::GetClientAuthTokenZor(const FString& ClientId) const
{
    TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(ClientId);
    if (!Client)
    {
        UE_LOG_ONLINE(Warning, "No valid auth for clientId=%s", *ClientId);
    }
    return Client;
}

FString FOnlineIdentityZor::GetClientAuthTokenStr(const FString& ClientId) const
{
    const TSharedPtr<FClientOnlineAuth> Client = ClientMap.FindRef(ClientId);
    const FString Token = Client ? Client->access_token : FString();
    if (Token.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "No valid auth for clientId=%s", *ClientId);
    }
    return Token;
}

FDelegateHandle
FOnlineIdentityZor::AddOnLoginPurchaseCompleteDelegate(int32 LocalUserNum,
                                                       const FOnLoginPurchaseCompleteDelegate& Delegate)
{
    return LocalUserNum == 0 ? OnLoginPurchaseCompleteDelegates.Add(Delegate) : FDelegateHandle();
}

void FOnlineIdentityZor::ClearOnLoginPurchaseCompleteDelegate(int32 LocalUserNum, FDelegateHandle& Handle)
{
    if (LocalUserNum == 0)
    {
        OnLoginPurchaseCompleteDelegates.Remove(Handle);
        Handle.Reset();
    }
}

void FOnlineIdentityZor::TriggerOnLoginPurchaseCompleteDelegates(int32 LocalUserNum, bool bWasSuccessful,
                                                                 const FUniqueNetId& UserId,
                                                                 const FString& Error)
{
    if (LocalUserNum == 0)
    {
        OnLoginPurchaseCompleteDelegates.Broadcast(LocalUserNum, bWasSuccessful, UserId, Error);
    }
}
