#include "TitleFileService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "CloudFileJson.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace ZorBackend
{
namespace
{
namespace fs = std::filesystem;

constexpr const char* SystemFilesPath = "/game/api/cloudstorage/system";
constexpr const char* FileNotFound = "errors.zor.cloudstorage.file_not_found";

std::vector<std::string> ListNames(const std::string& Dir)
{
    std::vector<std::string> Names;
    std::error_code Error;
    for (fs::directory_iterator It(Dir, Error), End; !Dir.empty() && !Error && It != End; It.increment(Error))
    {
        std::error_code TypeError;
        if (It->is_regular_file(TypeError))
        {
            Names.push_back(It->path().filename().string());
        }
    }
    std::sort(Names.begin(), Names.end());
    return Names;
}

std::optional<std::string> ReadWhole(const fs::path& Path)
{
    std::ifstream Stream(Path, std::ios::binary);
    if (!Stream)
    {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
}

// Only a plain name of a regular file directly in the folder is served.
std::optional<std::string> ReadTitleFile(const std::string& Dir, const std::string& Name)
{
    if (Dir.empty() || Name.empty() || Name == "." || Name == ".." || Name.find('/') != std::string::npos)
    {
        return std::nullopt;
    }
    const fs::path Path = fs::path(Dir) / Name;
    std::error_code Error;
    return fs::is_regular_file(Path, Error) ? ReadWhole(Path) : std::nullopt;
}

// Default when the value is missing; none when it is not a whole number from 0.
std::optional<size_t> ReadPageValue(const httplib::Request& Req, const char* Key, size_t Default)
{
    if (!Req.has_param(Key))
    {
        return Default;
    }
    const std::string Text = Req.get_param_value(Key);
    if (Text.empty() || Text.size() > 9 || !std::all_of(Text.begin(), Text.end(), ::isdigit))
    {
        return std::nullopt;
    }
    return static_cast<size_t>(std::stoul(Text));
}

void HandleList(FTitleFileService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithBearer(Service.State, Req, Res,
               [&](FToken&, FSteadyClock::time_point)
               {
                   const auto Start = ReadPageValue(Req, "start", 0);
                   const auto Count = ReadPageValue(Req, "count", SIZE_MAX);
                   if (!Start || !Count)
                   {
                       return SendError(Res, 400, ErrorCodes::BadRequest,
                                        "start and count must be whole numbers");
                   }
                   const std::vector<std::string> Names = ListNames(Service.State.TitleFilesDir);
                   rapidjson::StringBuffer Body;
                   FJsonWriter Writer(Body);
                   Writer.StartArray();
                   for (size_t Index = *Start; Index < Names.size() && Index - *Start < *Count; ++Index)
                   {
                       const auto Content = ReadTitleFile(Service.State.TitleFilesDir, Names[Index]);
                       if (Content)
                       {
                           WriteCloudFileEntry(Writer, Names[Index], Names[Index], *Content);
                       }
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Body);
               });
}

void HandleRead(FTitleFileService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithBearer(Service.State, Req, Res,
               [&](FToken&, FSteadyClock::time_point)
               {
                   const auto Content = ReadTitleFile(Service.State.TitleFilesDir, Req.matches[1]);
                   if (!Content)
                   {
                       return SendError(Res, 404, FileNotFound, "No such file");
                   }
                   Res.set_content(*Content, "application/octet-stream");
               });
}
} // namespace

void FTitleFileService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FTitleFileService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    Server.Get(SystemFilesPath, Bind(HandleList));
    Server.Get(std::string(SystemFilesPath) + "/(.+)", Bind(HandleRead));
}
} // namespace ZorBackend
