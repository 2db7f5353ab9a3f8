#pragma once

#include <httplib.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Helpers every service of the local backend shares: error replies, form bodies, credentials and JSON output.
namespace ZorBackend
{
// The module compares the content type of error replies exactly, so every reply uses this one.
inline constexpr const char* JsonContentType = "application/json";

namespace ErrorCodes
{
inline constexpr const char* BadRequest = "errors.zor.common.bad_request";
inline constexpr const char* NotFound = "errors.zor.common.not_found";
inline constexpr const char* PayloadTooLarge = "errors.zor.common.payload_too_large";
inline constexpr const char* UnsupportedMediaType = "errors.zor.common.unsupported_media_type";
inline constexpr const char* ServerError = "errors.zor.common.server_error";
inline constexpr const char* HttpError = "errors.zor.common.http_error";
} // namespace ErrorCodes

struct FServiceError
{
    int Status = 400;
    std::string Code;
    std::string Message;
};

using FJsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteString(FJsonWriter& Writer, const char* Key, const std::string& Value);
void WriteInt(FJsonWriter& Writer, const char* Key, int64_t Value);

void SendJson(httplib::Response& Res, int Status, const rapidjson::StringBuffer& Body);
void SendError(httplib::Response& Res, const FServiceError& Error);
void SendError(httplib::Response& Res, int Status, const std::string& Code, const std::string& Message);

// Fills an error reply for a status that no handler answered (unknown route, oversized body, ...).
// Returns false when the reply already carries a body.
bool FillDefaultError(httplib::Response& Res);

// Every JSON text the backend reads goes through here. Values are copied and written back recursively, so
// text nested deeper than this is refused before it is parsed, and the parse itself does not recurse.
inline constexpr int MaxJsonDepth = 32;
// False when Text is not JSON in valid UTF-8 (Out then holds the parse error) or is nested too deeply.
bool ParseJson(std::string_view Text, rapidjson::Document& Out);

using FFormFields = std::map<std::string, std::string>;

// Decodes an application/x-www-form-urlencoded body. Refuses bad escapes, empty or repeated keys and
// bodies with more fields than any grant needs.
std::optional<FFormFields> ParseForm(std::string_view Body);
// The query of the request target read as a form: a value keeps every "=" after its key's first one.
std::optional<FFormFields> ParseQuery(const httplib::Request& Req);
// Whether the query holds a second "?", which the services refuse as malformed.
bool HasStrayQuestionMark(const httplib::Request& Req);
std::optional<std::string> PercentDecode(std::string_view Text);
std::optional<std::string> Base64Decode(std::string_view Text);

struct FBasicCredentials
{
    std::string Id;
    std::string Secret;
};

// "basic BASE64(id:secret)"; the scheme is matched ignoring case.
std::optional<FBasicCredentials> ParseBasicAuth(std::string_view Header);
// "bearer TOKEN"; the scheme is matched ignoring case.
std::optional<std::string> ParseBearerAuth(std::string_view Header);

// The media type of a Content-Type value, lower-cased, without parameters.
std::string MediaType(std::string_view ContentType);

bool EqualsIgnoreCase(std::string_view A, std::string_view B);
// Compares secrets without leaking the position of the first difference through timing.
bool ConstantTimeEquals(std::string_view A, std::string_view B);

std::string FormatIso8601(std::chrono::system_clock::time_point Time);

// Outside text (a request's e-mail, an argument) for one printed line: every C0 control but tab, DEL, every
// C1 control (as UTF-8) and every byte that is not part of well-formed UTF-8 written as \xNN, one per byte,
// as the host's log shows text. A line feed is escaped too, so no text forges a line of its own.
std::string Printable(std::string_view Text);
} // namespace ZorBackend
