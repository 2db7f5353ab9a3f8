#include "UserCloudService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "CloudFileJson.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>

namespace ZorBackend
{
namespace
{
constexpr const char* UserFilesPath = "/game/api/cloudstorage/user/";

namespace CloudErrors
{
constexpr const char* Forbidden = "errors.zor.cloudstorage.forbidden";
constexpr const char* FileNotFound = "errors.zor.cloudstorage.file_not_found";
} // namespace CloudErrors

using FFileMap = std::map<std::string, FCloudFile, FIgnoreCaseLess>;

const FServiceError Forbidden{403, CloudErrors::Forbidden, "Cannot reach the files of another account"};

// Runs Handler with the files of the path's account when the caller holds that account's own token.
void WithOwnFiles(FUserCloudService& Service, const httplib::Request& Req, httplib::Response& Res,
                  const std::function<void(FFileMap&)>& Handler)
{
    const std::string AccountId = Req.matches[1];
    WithOwnBearer(Service.State, Req, Res, AccountId, Forbidden,
                  [&](FToken&, FSteadyClock::time_point) { Handler(Service.Files[AccountId]); });
}

void SendNoContent(httplib::Response& Res)
{
    Res.status = 204;
}

void HandleList(FUserCloudService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwnFiles(Service, Req, Res,
                 [&](FFileMap& Files)
                 {
                     rapidjson::StringBuffer Body;
                     FJsonWriter Writer(Body);
                     Writer.StartArray();
                     for (const auto& [UniqueName, File] : Files)
                     {
                         WriteCloudFileEntry(Writer, UniqueName, File.FileName, File.Content);
                     }
                     Writer.EndArray();
                     SendJson(Res, 200, Body);
                 });
}

void HandleRead(FUserCloudService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwnFiles(Service, Req, Res,
                 [&](FFileMap& Files)
                 {
                     const auto Found = Files.find(std::string(Req.matches[2]));
                     if (Found == Files.end())
                     {
                         return SendError(Res, 404, CloudErrors::FileNotFound, "No such file");
                     }
                     Res.set_content(Found->second.Content, "application/octet-stream");
                 });
}

void HandleWrite(FUserCloudService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwnFiles(Service, Req, Res,
                 [&](FFileMap& Files)
                 {
                     const std::string UniqueName = Req.matches[2];
                     const std::optional<FFormFields> Query = ParseQuery(Req);
                     if (!Query)
                     {
                         return SendError(Res, 400, ErrorCodes::BadRequest, "Malformed request");
                     }
                     const auto Named = Query->find("filename");
                     const std::string Shown = Named != Query->end() ? Named->second : std::string();
                     // A name given again in other letter case replaces the file under its first spelling.
                     auto Found = Files.find(UniqueName);
                     FCloudFile& File = Found != Files.end() ? Found->second : Files[UniqueName];
                     File.FileName = Shown.empty() ? UniqueName : Shown;
                     File.Content = Req.body;
                     File.Uploaded = FormatIso8601(std::chrono::system_clock::now());
                     SendNoContent(Res);
                 });
}

void HandleDelete(FUserCloudService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwnFiles(Service, Req, Res,
                 [&](FFileMap& Files)
                 {
                     if (Files.erase(std::string(Req.matches[2])) == 0)
                     {
                         return SendError(Res, 404, CloudErrors::FileNotFound, "No such file");
                     }
                     SendNoContent(Res);
                 });
}
} // namespace

void FUserCloudService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FUserCloudService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    // The path arrives decoded, so a file name may hold "/": it is the rest of the path.
    const std::string User = std::string(UserFilesPath) + "([^/]+)";
    Server.Get(User, Bind(HandleList));
    Server.Get(User + "/(.+)", Bind(HandleRead));
    Server.Put(User + "/(.+)", Bind(HandleWrite));
    Server.Delete(User + "/(.+)", Bind(HandleDelete));
}
} // namespace ZorBackend
