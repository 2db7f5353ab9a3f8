#include "EntitlementsService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <charconv>
#include <chrono>
#include <optional>

namespace ZorBackend
{
namespace
{
constexpr const char* Forbidden = "errors.zor.commerce.forbidden";
constexpr const char* DemoAccountId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";

struct FSeedEntitlement
{
    const char* Name;
    const char* CatalogItemId;
};

// The demo account owns the game in both editions and its soundtrack, not the editor.
constexpr FSeedEntitlement DemoEntitlements[] = {
    {"ZorDemoGame", "demo-game-item"},
    {"ZorDemoGame Deluxe", "demo-game-deluxe-item"},
    {"ZorDemoSoundtrack", "demo-soundtrack-item"},
};

struct FPage
{
    size_t Start = 0;
    size_t Count = SIZE_MAX;
};

// Reads one paging parameter: absent keeps the default, anything but a whole number from 0 is refused.
bool ReadPageValue(const httplib::Request& Req, const char* Key, size_t& Out)
{
    if (!Req.has_param(Key))
    {
        return true;
    }
    const std::string Text = Req.get_param_value(Key);
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Out);
    return Error == std::errc() && End == Text.data() + Text.size() && !Text.empty();
}

std::optional<FPage> ReadPage(const httplib::Request& Req)
{
    FPage Page;
    if (!ReadPageValue(Req, "start", Page.Start) || !ReadPageValue(Req, "count", Page.Count))
    {
        return std::nullopt;
    }
    return Page;
}

void WriteEntitlement(FJsonWriter& Writer, const FEntitlement& Entitlement)
{
    Writer.StartObject();
    WriteString(Writer, "id", Entitlement.Id);
    WriteString(Writer, "entitlementName", Entitlement.Name);
    WriteString(Writer, "catalogItemId", Entitlement.CatalogItemId);
    WriteString(Writer, "status", "ACTIVE");
    WriteString(Writer, "grantDate", Entitlement.GrantDate);
    Writer.Key("consumable");
    Writer.Bool(false);
    Writer.EndObject();
}

void HandleQueryEntitlements(FEntitlementsService& Service, const httplib::Request& Req,
                             httplib::Response& Res)
{
    const std::string AccountId = Req.matches[1].str();
    const std::optional<FPage> Page = ReadPage(Req);
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (!IsOwnToken(Caller, AccountId))
                   {
                       return SendError(Res, 403, Forbidden, "Entitlements of another account");
                   }
                   if (!Page)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest,
                                        "start and count must be whole numbers");
                   }
                   const auto Found = Service.Entitlements.find(AccountId);
                   const std::vector<FEntitlement> None;
                   const std::vector<FEntitlement>& Owned =
                       Found == Service.Entitlements.end() ? None : Found->second;
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartArray();
                   for (size_t Index = Page->Start; Index < Owned.size() && Index - Page->Start < Page->Count;
                        ++Index)
                   {
                       WriteEntitlement(Writer, Owned[Index]);
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Buffer);
               });
}
} // namespace

FEntitlementsService::FEntitlementsService(FBackendState& InState) : State(InState)
{
    if (!State.Accounts.contains(DemoAccountId))
    {
        return;
    }
    for (const FSeedEntitlement& Seed : DemoEntitlements)
    {
        Grant(DemoAccountId, Seed.Name, Seed.CatalogItemId);
    }
}

const FEntitlement& FEntitlementsService::Grant(const std::string& AccountId, const std::string& Name,
                                                const std::string& CatalogItemId)
{
    std::vector<FEntitlement>& Owned = Entitlements[AccountId];
    for (const FEntitlement& Entitlement : Owned)
    {
        if (EqualsIgnoreCase(Entitlement.CatalogItemId, CatalogItemId))
        {
            return Entitlement;
        }
    }
    return Owned.emplace_back(FEntitlement{State.NewSecret(), Name, CatalogItemId,
                                           FormatIso8601(std::chrono::system_clock::now())});
}

bool FEntitlementsService::Owns(const std::string& AccountId, const std::string& CatalogItemId) const
{
    const auto Found = Entitlements.find(AccountId);
    if (Found == Entitlements.end())
    {
        return false;
    }
    for (const FEntitlement& Entitlement : Found->second)
    {
        if (EqualsIgnoreCase(Entitlement.CatalogItemId, CatalogItemId))
        {
            return true;
        }
    }
    return false;
}

void FEntitlementsService::Register(httplib::Server& Server)
{
    Server.Get(std::string(CommerceServicePath) + "/api/account/([^/]+)/entitlements",
               [this](const httplib::Request& Req, httplib::Response& Res)
               { HandleQueryEntitlements(*this, Req, Res); });
}
} // namespace ZorBackend
