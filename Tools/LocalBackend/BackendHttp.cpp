#include "BackendHttp.h"

#include "Core/TerminalText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace ZorBackend
{
namespace
{
constexpr size_t MaxFormFields = 32;

bool IsNestingWithin(std::string_view Json, int MaxDepth)
{
    int Depth = 0;
    bool bInString = false;
    bool bEscaped = false;
    for (const char Character : Json)
    {
        if (bInString)
        {
            if (bEscaped)
            {
                bEscaped = false;
            }
            else if (Character == '\\')
            {
                bEscaped = true;
            }
            else if (Character == '"')
            {
                bInString = false;
            }
            continue;
        }
        if (Character == '"')
        {
            bInString = true;
        }
        else if ((Character == '{' || Character == '[') && ++Depth > MaxDepth)
        {
            return false;
        }
        else if (Character == '}' || Character == ']')
        {
            --Depth;
        }
    }
    return true;
}

int HexValue(char Character)
{
    if (Character >= '0' && Character <= '9')
    {
        return Character - '0';
    }
    const char Lower = static_cast<char>(std::tolower(static_cast<unsigned char>(Character)));
    if (Lower >= 'a' && Lower <= 'f')
    {
        return Lower - 'a' + 10;
    }
    return -1;
}

int Base64Value(char Character)
{
    if (Character >= 'A' && Character <= 'Z')
    {
        return Character - 'A';
    }
    if (Character >= 'a' && Character <= 'z')
    {
        return Character - 'a' + 26;
    }
    if (Character >= '0' && Character <= '9')
    {
        return Character - '0' + 52;
    }
    if (Character == '+')
    {
        return 62;
    }
    if (Character == '/')
    {
        return 63;
    }
    return -1;
}

std::string_view Trim(std::string_view Text)
{
    const auto IsSpace = [](char Character) { return Character == ' ' || Character == '\t'; };
    while (!Text.empty() && IsSpace(Text.front()))
    {
        Text.remove_prefix(1);
    }
    while (!Text.empty() && IsSpace(Text.back()))
    {
        Text.remove_suffix(1);
    }
    return Text;
}

// The credentials after "<Scheme> ", or nothing when the header uses another scheme.
std::optional<std::string_view> SchemeCredentials(std::string_view Header, std::string_view Scheme)
{
    Header = Trim(Header);
    if (Header.size() <= Scheme.size() || !EqualsIgnoreCase(Header.substr(0, Scheme.size()), Scheme))
    {
        return std::nullopt;
    }
    if (Header[Scheme.size()] != ' ')
    {
        return std::nullopt;
    }
    const std::string_view Credentials = Trim(Header.substr(Scheme.size()));
    if (Credentials.empty())
    {
        return std::nullopt;
    }
    return Credentials;
}

std::string DefaultErrorCode(int Status)
{
    switch (Status)
    {
    case 400:
        return ErrorCodes::BadRequest;
    case 404:
        return ErrorCodes::NotFound;
    case 413:
        return ErrorCodes::PayloadTooLarge;
    case 415:
        return ErrorCodes::UnsupportedMediaType;
    default:
        return Status >= 500 ? ErrorCodes::ServerError : ErrorCodes::HttpError;
    }
}

std::string DefaultErrorMessage(int Status)
{
    switch (Status)
    {
    case 404:
        return "No such resource";
    case 413:
        return "Request body too large";
    case 414:
        return "Request URI too long";
    default:
        return Status >= 500 ? "Internal server error" : "Malformed request";
    }
}
} // namespace

void WriteString(FJsonWriter& Writer, const char* Key, const std::string& Value)
{
    Writer.Key(Key);
    Writer.String(Value.c_str(), static_cast<rapidjson::SizeType>(Value.size()));
}

void WriteInt(FJsonWriter& Writer, const char* Key, int64_t Value)
{
    Writer.Key(Key);
    Writer.Int64(Value);
}

void SendJson(httplib::Response& Res, int Status, const rapidjson::StringBuffer& Body)
{
    Res.status = Status;
    Res.set_content(std::string(Body.GetString(), Body.GetSize()), JsonContentType);
}

void SendError(httplib::Response& Res, const FServiceError& Error)
{
    SendError(Res, Error.Status, Error.Code, Error.Message);
}

void SendError(httplib::Response& Res, int Status, const std::string& Code, const std::string& Message)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    WriteString(Writer, "errorCode", Code);
    WriteString(Writer, "errorMessage", Message);
    Writer.EndObject();
    SendJson(Res, Status, Buffer);
}

bool FillDefaultError(httplib::Response& Res)
{
    if (!Res.body.empty())
    {
        return false;
    }
    SendError(Res, Res.status, DefaultErrorCode(Res.status), DefaultErrorMessage(Res.status));
    return true;
}

std::optional<std::string> PercentDecode(std::string_view Text)
{
    std::string Decoded;
    Decoded.reserve(Text.size());
    for (size_t Index = 0; Index < Text.size(); ++Index)
    {
        const char Character = Text[Index];
        if (Character == '+')
        {
            Decoded.push_back(' ');
            continue;
        }
        if (Character != '%')
        {
            Decoded.push_back(Character);
            continue;
        }
        if (Index + 2 >= Text.size())
        {
            return std::nullopt;
        }
        const int High = HexValue(Text[Index + 1]);
        const int Low = HexValue(Text[Index + 2]);
        if (High < 0 || Low < 0)
        {
            return std::nullopt;
        }
        Decoded.push_back(static_cast<char>(High * 16 + Low));
        Index += 2;
    }
    return Decoded;
}

bool ParseJson(std::string_view Text, rapidjson::Document& Out)
{
    if (!IsNestingWithin(Text, MaxJsonDepth))
    {
        Out.SetNull();
        return false;
    }
    Out.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(Text.data(),
                                                                                      Text.size());
    return !Out.HasParseError();
}

std::optional<FFormFields> ParseForm(std::string_view Body)
{
    FFormFields Fields;
    while (!Body.empty())
    {
        const size_t End = std::min(Body.find('&'), Body.size());
        const std::string_view Pair = Body.substr(0, End);
        Body.remove_prefix(std::min(End + 1, Body.size()));
        if (Pair.empty())
        {
            continue;
        }
        const size_t Equals = Pair.find('=');
        const std::optional<std::string> Key = PercentDecode(Pair.substr(0, Equals));
        const std::optional<std::string> Value =
            Equals == std::string_view::npos ? std::string() : PercentDecode(Pair.substr(Equals + 1));
        if (!Key || !Value || Key->empty() || Fields.contains(*Key) || Fields.size() >= MaxFormFields)
        {
            return std::nullopt;
        }
        Fields.emplace(*Key, *Value);
    }
    return Fields;
}

std::optional<FFormFields> ParseQuery(const httplib::Request& Req)
{
    const size_t Start = Req.target.find('?');
    return ParseForm(Start == std::string::npos ? std::string_view()
                                                : std::string_view(Req.target).substr(Start + 1));
}

bool HasStrayQuestionMark(const httplib::Request& Req)
{
    const size_t Start = Req.target.find('?');
    return Start != std::string::npos && Req.target.find('?', Start + 1) != std::string::npos;
}

std::optional<std::string> Base64Decode(std::string_view Text)
{
    if (Text.size() % 4 != 0)
    {
        return std::nullopt;
    }
    size_t Padding = 0;
    while (Padding < 2 && Text.size() > Padding && Text[Text.size() - 1 - Padding] == '=')
    {
        ++Padding;
    }
    std::string Decoded;
    Decoded.reserve(Text.size() / 4 * 3);
    uint32_t Bits = 0;
    int BitCount = 0;
    for (size_t Index = 0; Index < Text.size() - Padding; ++Index)
    {
        const int Value = Base64Value(Text[Index]);
        if (Value < 0)
        {
            return std::nullopt;
        }
        Bits = (Bits << 6) | static_cast<uint32_t>(Value);
        BitCount += 6;
        if (BitCount >= 8)
        {
            BitCount -= 8;
            Decoded.push_back(static_cast<char>((Bits >> BitCount) & 0xFF));
        }
    }
    // Leftover bits must be zero, or the text is not what an encoder produces.
    if ((Bits & ((1u << BitCount) - 1)) != 0)
    {
        return std::nullopt;
    }
    return Decoded;
}

std::optional<FBasicCredentials> ParseBasicAuth(std::string_view Header)
{
    const std::optional<std::string_view> Encoded = SchemeCredentials(Header, "basic");
    if (!Encoded)
    {
        return std::nullopt;
    }
    const std::optional<std::string> Decoded = Base64Decode(*Encoded);
    if (!Decoded)
    {
        return std::nullopt;
    }
    const size_t Colon = Decoded->find(':');
    if (Colon == std::string::npos || Colon == 0)
    {
        return std::nullopt;
    }
    return FBasicCredentials{Decoded->substr(0, Colon), Decoded->substr(Colon + 1)};
}

std::optional<std::string> ParseBearerAuth(std::string_view Header)
{
    const std::optional<std::string_view> Token = SchemeCredentials(Header, "bearer");
    if (!Token)
    {
        return std::nullopt;
    }
    return std::string(*Token);
}

std::string MediaType(std::string_view ContentType)
{
    std::string Type(Trim(ContentType.substr(0, ContentType.find(';'))));
    std::transform(Type.begin(), Type.end(), Type.begin(),
                   [](unsigned char Character) { return static_cast<char>(std::tolower(Character)); });
    return Type;
}

bool EqualsIgnoreCase(std::string_view A, std::string_view B)
{
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                              [](char Left, char Right)
                                              {
                                                  return std::tolower(static_cast<unsigned char>(Left)) ==
                                                         std::tolower(static_cast<unsigned char>(Right));
                                              });
}

bool ConstantTimeEquals(std::string_view A, std::string_view B)
{
    unsigned char Difference = A.size() == B.size() ? 0 : 1;
    const size_t Length = std::max(A.size(), B.size());
    for (size_t Index = 0; Index < Length; ++Index)
    {
        const unsigned char Left = Index < A.size() ? static_cast<unsigned char>(A[Index]) : 0;
        const unsigned char Right = Index < B.size() ? static_cast<unsigned char>(B[Index]) : 0;
        Difference |= static_cast<unsigned char>(Left ^ Right);
    }
    return Difference == 0;
}

std::string FormatIso8601(std::chrono::system_clock::time_point Time)
{
    const std::time_t Seconds = std::chrono::system_clock::to_time_t(Time);
    const auto Millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(Time.time_since_epoch()).count() % 1000;
    std::tm Utc{};
    gmtime_r(&Seconds, &Utc);
    char Text[32];
    const size_t Length = std::strftime(Text, sizeof(Text), "%Y-%m-%dT%H:%M:%S", &Utc);
    char Result[40];
    std::snprintf(Result, sizeof(Result), "%.*s.%03dZ", static_cast<int>(Length), Text,
                  static_cast<int>(Millis));
    return Result;
}

std::string Printable(std::string_view Text)
{
    // Line feeds too: every backend message is one line, and a request must not make up another.
    return TerminalText::Shown(Text, false);
}
} // namespace ZorBackend
