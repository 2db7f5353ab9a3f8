#include "BuildInfoService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "EntitlementsService.h"
#include "ProfileService.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace ZorBackend
{
namespace
{
constexpr const char* BuildNotFound = "errors.zor.buildinfo.build_not_found";
constexpr const char* NotEntitled = "errors.zor.buildinfo.not_entitled";
constexpr const char* LauncherAppName = "TolvanEngineLauncher";
constexpr const char* Distribution = "https://download.zor.invalid/";
constexpr auto SignatureLifetime = std::chrono::hours(1);

// The demo catalog: the game in two editions of one application, an editor the demo account does not own, and
// the launcher that everyone may fetch.
const FBuild SeedBuilds[] = {
    {"ZorDemoGame", "demo-game-item", "Live", "", "Windows", "1.4.0", {"ZorDemoGame"}},
    {"ZorDemoGame", "demo-game-deluxe-item", "Live", "", "Windows", "1.4.0-deluxe", {"ZorDemoGame"}},
    {"ZorDemoGame", "demo-game-item", "Live", "", "Linux", "1.4.0", {"ZorDemoGame"}},
    {"ZorDemoGame", "demo-game-item", "Live", "Test", "Windows", "1.5.0-test", {"ZorDemoGame"}},
    {"ZorDemoEditor", "demo-editor-item", "Live", "", "Windows", "2.0.1", {}},
    {LauncherAppName, "launcher-item", "Live", "", "Windows", "3.1.0", {}},
    {LauncherAppName, "launcher-item", "Live", "", "Linux", "3.1.0", {}},
};

struct FBuildQuery
{
    std::string Platform;
    std::string Label;
    std::string SubLabel;
};

std::optional<FBuildQuery> ReadQuery(const httplib::Request& Req, const std::string& Platform)
{
    FBuildQuery Query{Platform, Req.get_param_value("label"), Req.get_param_value("subLabel")};
    if (Query.Platform.empty() || Query.Label.empty())
    {
        return std::nullopt;
    }
    return Query;
}

bool Matches(const FBuild& Build, const FBuildQuery& Query)
{
    return EqualsIgnoreCase(Build.Platform, Query.Platform) && EqualsIgnoreCase(Build.Label, Query.Label) &&
           EqualsIgnoreCase(Build.SubLabel, Query.SubLabel);
}

bool IsLauncher(const FBuild& Build)
{
    return EqualsIgnoreCase(Build.AppName, LauncherAppName);
}

const FEntitlementsService* FindEntitlements(const FBackendState& State)
{
    for (const auto& Service : State.Services)
    {
        if (const auto* Entitlements = dynamic_cast<const FEntitlementsService*>(Service.get()))
        {
            return Entitlements;
        }
    }
    return nullptr;
}

bool IsEntitled(const FBackendState& State, const FToken& Caller, const FBuild& Build)
{
    const FEntitlementsService* Entitlements = FindEntitlements(State);
    return !Caller.AccountId.empty() && Entitlements &&
           Entitlements->Owns(Caller.AccountId, Build.CatalogItemId);
}

// A stand-in for a content hash: stable for a build, different between builds.
std::string ManifestHash(const FBuild& Build)
{
    uint64_t Hash = 14695981039346656037ull;
    for (const std::string& Part : {Build.AppName, Build.CatalogItemId, Build.Platform, Build.BuildVersion})
    {
        for (const char Character : Part + '\n')
        {
            Hash = (Hash ^ static_cast<unsigned char>(Character)) * 1099511628211ull;
        }
    }
    char Text[17];
    std::snprintf(Text, sizeof(Text), "%016llx", static_cast<unsigned long long>(Hash));
    return Text;
}

std::string LabelName(const FBuild& Build)
{
    return Build.Label + "-" + Build.Platform;
}

std::string ManifestPath(const FBuild& Build)
{
    return Build.AppName + "/" + Build.Platform + "/" + Build.BuildVersion + "/" + Build.AppName +
           ".manifest";
}

void WriteManifest(FJsonWriter& Writer, const FBuild& Build)
{
    Writer.StartObject();
    WriteString(Writer, "appName", Build.AppName);
    WriteString(Writer, "labelName", LabelName(Build));
    WriteString(Writer, "buildVersion", Build.BuildVersion);
    WriteString(Writer, "baseUrlPath", std::string(Distribution) + Build.AppName + "/");
    WriteString(Writer, "manifestUrlPath", ManifestPath(Build));
    WriteString(Writer, "manifestHash", ManifestHash(Build));
    Writer.Key("compatibleApps");
    Writer.StartArray();
    for (const std::string& App : Build.CompatibleApps)
    {
        Writer.String(App.c_str(), static_cast<rapidjson::SizeType>(App.size()));
    }
    Writer.EndArray();
    Writer.EndObject();
}

void WriteAssetFields(FJsonWriter& Writer, const FBuild& Build)
{
    WriteString(Writer, "appName", Build.AppName);
    WriteString(Writer, "labelName", LabelName(Build));
    WriteString(Writer, "buildVersion", Build.BuildVersion);
    WriteString(Writer, "catalogItemId", Build.CatalogItemId);
}

void WriteSignedDownload(FBackendState& State, FJsonWriter& Writer, const FBuild& Build)
{
    Writer.StartObject();
    WriteAssetFields(Writer, Build);
    WriteString(Writer, "expires", FormatIso8601(std::chrono::system_clock::now() + SignatureLifetime));
    Writer.Key("items");
    Writer.StartObject();
    Writer.Key((Build.AppName + ".manifest").c_str());
    Writer.StartObject();
    WriteString(Writer, "signature", State.NewSecret());
    WriteString(Writer, "distribution", Distribution);
    WriteString(Writer, "path", ManifestPath(Build));
    WriteString(Writer, "hash", ManifestHash(Build));
    Writer.EndObject();
    Writer.EndObject();
    Writer.EndObject();
}

// The builds of the query the caller may see, in catalog order; the launcher is not among a user's builds.
template <typename WriteType>
void SendEntitled(const FBuildInfoService& Service, const FToken& Caller, const FBuildQuery& Query,
                  httplib::Response& Res, WriteType Write)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartArray();
    for (const FBuild& Build : Service.Builds)
    {
        if (Matches(Build, Query) && !IsLauncher(Build) && IsEntitled(Service.State, Caller, Build))
        {
            Write(Writer, Build);
        }
    }
    Writer.EndArray();
    SendJson(Res, 200, Buffer);
}

const FBuild* FindLauncher(const FBuildInfoService& Service, const FBuildQuery& Query)
{
    for (const FBuild& Build : Service.Builds)
    {
        if (IsLauncher(Build) && Matches(Build, Query))
        {
            return &Build;
        }
    }
    return nullptr;
}

void HandleManifests(FBuildInfoService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FBuildQuery> Query = ReadQuery(Req, Req.get_param_value("platform"));
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (!Query)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest, "label and platform are required");
                   }
                   SendEntitled(Service, Caller, *Query, Res, WriteManifest);
               });
}

void HandleLauncherManifest(FBuildInfoService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FBuildQuery> Query = ReadQuery(Req, Req.get_param_value("platform"));
    WithBearer(Service.State, Req, Res,
               [&](FToken&, FSteadyClock::time_point)
               {
                   if (!Query)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest, "label and platform are required");
                   }
                   const FBuild* Launcher = FindLauncher(Service, *Query);
                   if (!Launcher)
                   {
                       return SendError(Res, 404, BuildNotFound,
                                        "No launcher build for this label and platform");
                   }
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   WriteManifest(Writer, *Launcher);
                   SendJson(Res, 200, Buffer);
               });
}

void HandleAssets(FBuildInfoService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FBuildQuery> Query = ReadQuery(Req, Req.matches[1].str());
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (!Query)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest, "label is required");
                   }
                   SendEntitled(Service, Caller, *Query, Res,
                                [](FJsonWriter& Writer, const FBuild& Build)
                                {
                                    Writer.StartObject();
                                    WriteAssetFields(Writer, Build);
                                    Writer.EndObject();
                                });
               });
}

// The launcher is asked for under any catalog item id; every other build under its own.
const FBuild* FindAsset(const FBuildInfoService& Service, const FBuildQuery& Query, const std::string& ItemId,
                        const std::string& AppName)
{
    for (const FBuild& Build : Service.Builds)
    {
        if (Matches(Build, Query) && EqualsIgnoreCase(Build.AppName, AppName) &&
            (IsLauncher(Build) || EqualsIgnoreCase(Build.CatalogItemId, ItemId)))
        {
            return &Build;
        }
    }
    return nullptr;
}

void HandleSignedDownload(FBuildInfoService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FBuildQuery> Query = ReadQuery(Req, Req.matches[1].str());
    const std::string ItemId = Req.matches[2].str();
    const std::string AppName = Req.matches[3].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (!Query)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest, "label is required");
                   }
                   const FBuild* Build = FindAsset(Service, *Query, ItemId, AppName);
                   if (!Build)
                   {
                       return SendError(Res, 404, BuildNotFound, "No such build");
                   }
                   if (!IsLauncher(*Build) && !IsEntitled(Service.State, Caller, *Build))
                   {
                       return SendError(Res, 403, NotEntitled, "The account does not own this build");
                   }
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   WriteSignedDownload(Service.State, Writer, *Build);
                   SendJson(Res, 200, Buffer);
               });
}
} // namespace

FBuildInfoService::FBuildInfoService(FBackendState& InState)
    : State(InState), Builds(std::begin(SeedBuilds), std::end(SeedBuilds))
{
    for (int64_t Index = 0; Index < State.ExtraBuilds; ++Index)
    {
        const std::string Number = std::to_string(Index + 1);
        Builds.push_back({"ZorDemoGame-" + Number,
                          "demo-game-item",
                          "Live",
                          "",
                          "Windows",
                          "1.4." + Number,
                          {"ZorDemoGame"}});
    }
}

void FBuildInfoService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FBuildInfoService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    const std::string Root = GameServicePath;
    Server.Get(Root + "/api/buildManifest", Bind(HandleManifests));
    Server.Get(Root + "/api/buildManifest/launcher/latest", Bind(HandleLauncherManifest));
    Server.Get(Root + "/api/public/assets/([^/]+)", Bind(HandleAssets));
    Server.Get(Root + "/api/public/assets/([^/]+)/([^/]+)/([^/]+)", Bind(HandleSignedDownload));
}
} // namespace ZorBackend
