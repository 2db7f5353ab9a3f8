#include "Subsystem/BaseServiceZor.h"

#include "Common/ZorCallSet.h"
#include "Common/ZorUrl.h"
#include "Core/Base64.h"
#include "Core/EngineVersion.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const FString BaseSectionName("OnlineSubsystemZor.BaseServiceZor");
const FString AccountSectionName("OnlineSubsystemZor.AccountServiceZor");
const FString GameSectionName("OnlineSubsystemZor.GameServiceZor");
} // namespace

const FString& GetZorFamilySectionName(EZorServiceFamily Family)
{
    return Family == EZorServiceFamily::Account ? AccountSectionName : GameSectionName;
}

FBaseServiceZor::FBaseServiceZor() : Calls(MakeShared<FZorCallSet>(*this, nullptr)) {}

FBaseServiceZor::FBaseServiceZor(FOnlineSubsystemZor* InSubsystem, const FString& InIniSectionName)
    : Subsystem(InSubsystem), IniSectionName(InIniSectionName),
      Calls(MakeShared<FZorCallSet>(*this, InSubsystem))
{
}

// A copy has calls of its own: what the original has in flight stays the original's.
FBaseServiceZor::FBaseServiceZor(const FBaseServiceZor& Other)
    : Subsystem(Other.Subsystem), Config(Other.Config), IniSectionName(Other.IniSectionName),
      Calls(MakeShared<FZorCallSet>(*this, Other.Subsystem))
{
}

FBaseServiceZor& FBaseServiceZor::operator=(const FBaseServiceZor& Other)
{
    Subsystem = Other.Subsystem;
    Config = Other.Config;
    IniSectionName = Other.IniSectionName;
    return *this;
}

FBaseServiceZor::~FBaseServiceZor() = default;

void FBaseServiceZor::Init()
{
    UpdateServiceConfig();
}

void FBaseServiceZor::Shutdown()
{
    Calls->Shutdown();
}

bool FBaseServiceZor::IsShutDown() const
{
    return Calls->IsShutDown();
}

bool FBaseServiceZor::IsSubsystemShutDown() const
{
    return IsShutDown() || !Subsystem || Subsystem->IsShutDown();
}

void FBaseServiceZor::DetachSubsystem()
{
    Subsystem = nullptr;
    Calls->DetachSubsystem();
}

TSharedPtr<FOnlineIdentityZor> FBaseServiceZor::GetSubsystemIdentity() const
{
    return Subsystem ? Subsystem->GetZorIdentityService() : nullptr;
}

FString FBaseServiceZor::GetSubsystemAppId() const
{
    return Subsystem ? Subsystem->GetAppId() : FString();
}

bool FBaseServiceZor::IsSubsystemServer() const
{
    return Subsystem && Subsystem->IsServer();
}

bool FBaseServiceZor::IsSubsystemDedicated() const
{
    return Subsystem && Subsystem->IsDedicated();
}

void FBaseServiceZor::UpdateServiceConfig()
{
    Config.UpdateFromIni(BaseSectionName);
    UpdateServiceConfigFromDefaultIni();
    if (!IniSectionName.IsEmpty())
    {
        Config.UpdateFromIni(IniSectionName);
    }
    Config.UpdateFromDelegate(IniSectionName);
}

FString FBaseServiceZor::GetBaseUrl() const
{
    FString Url = Config.Protocol + "://" + Config.Domain;
    if (!Config.ServiceName.IsEmpty())
    {
        Url += "/" + Config.ServiceName;
    }
    return Url;
}

FString FBaseServiceZor::AppendQuerySeparator(const FString& Url)
{
    return Url + (Url.Contains("?") ? "&" : "?");
}

FString FBaseServiceZor::AppendPageUrl(const FString& Url, const FPagedQuery& Page) const
{
    if (Page.Start < 0 || Page.Count < 0)
    {
        return Url;
    }
    return AppendQuerySeparator(Url) + FString::Printf("start=%d&count=%d", Page.Start, Page.Count);
}

FString FBaseServiceZor::AppendRegionUrl(const FString& Url, const FRegionInfo& Region) const
{
    if (Region.Country.IsEmpty() && Region.Locale.IsEmpty())
    {
        return Url;
    }
    FString Result = AppendQuerySeparator(Url);
    if (!Region.Country.IsEmpty())
    {
        Result += "country=" + ZorUrl::EncodeQueryValue(Region.Country);
    }
    if (!Region.Country.IsEmpty() && !Region.Locale.IsEmpty())
    {
        Result += "&";
    }
    if (!Region.Locale.IsEmpty())
    {
        Result += "locale=" + ZorUrl::EncodeQueryValue(Region.Locale);
    }
    return Result;
}

FString FBaseServiceZor::GetUserAgent() const
{
    return FString::Printf("game=%s, engine=%s, version=%s", *Config.GameName, *Config.EngineName,
                           *GEngineVersion.ToString(EVersionComponent::Branch));
}

FString FBaseServiceZor::GetBasicAuth(const FString& ClientId) const
{
    FString Credentials;
    if (IsSubsystemServer())
    {
        if (const FServicePermissionsZor* Server =
                Config.GetServicePermissionsByName(FServicePermissionsZor::DefaultServer))
        {
            Credentials = Server->Id + ":" + Server->Key;
        }
        else
        {
            UE_LOG_ONLINE(Warning, "Missing server permissions. id=%s", *ClientId);
        }
    }
    if (Credentials.IsEmpty())
    {
        if (const FServicePermissionsZor* Client = Config.GetServicePermissionsById(ClientId))
        {
            Credentials = Client->Id + ":" + Client->Key;
        }
        else
        {
            UE_LOG_ONLINE(Warning, "Missing client permissions. id=%s", *ClientId);
        }
    }
    return "basic " + FBase64::Encode(Credentials);
}

bool FBaseServiceZor::GetClientAuth(const FString& ClientId, FString& OutAuth) const
{
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    const FString Token = Identity ? Identity->GetClientAuthTokenStr(ClientId) : FString();
    if (Token.IsEmpty())
    {
        return false;
    }
    OutAuth = "bearer " + Token;
    return true;
}

bool FBaseServiceZor::GetAppClientAuth(FString& OutAuth) const
{
    return GetClientAuth(GetSubsystemAppId(), OutAuth);
}

bool FBaseServiceZor::GetUserAuth(const FUniqueNetId& UserId, FString& OutAuth) const
{
    if (IsSubsystemServer())
    {
        if (const FServicePermissionsZor* Server =
                Config.GetServicePermissionsByName(FServicePermissionsZor::DefaultServer))
        {
            return GetClientAuth(Server->Id, OutAuth);
        }
    }
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity ? Identity->GetUserAccountZor(UserId) : nullptr;
    if (Account && !Account->UserToken.access_token.IsEmpty())
    {
        OutAuth = "bearer " + Account->UserToken.access_token;
        return true;
    }
    OutAuth.Empty();
    return false;
}

bool FBaseServiceZor::GetUserPurchaseAuth(const FUniqueNetId& UserId, FString& OutAuth) const
{
    const TSharedPtr<FOnlineIdentityZor> Identity = GetSubsystemIdentity();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity ? Identity->GetUserAccountZor(UserId) : nullptr;
    if (Account && !Account->PurchaseToken.access_token.IsEmpty() && Account->PurchaseToken.expires_in > 0.0)
    {
        OutAuth = "bearer " + Account->PurchaseToken.access_token;
        return true;
    }
    OutAuth.Empty();
    return false;
}
