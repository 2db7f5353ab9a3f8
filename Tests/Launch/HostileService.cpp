#include "HostileService.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <strings.h>

#include "Core/Base64.h"

namespace
{
/** Headers the pass-on sets itself, and those the server adds that no client sent. */
bool IsOwnHeader(const std::string& Name)
{
    for (const char* Own : {"Host", "Content-Length", "Connection", "Transfer-Encoding", "REMOTE_ADDR",
                            "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"})
    {
        if (strcasecmp(Name.c_str(), Own) == 0)
        {
            return true;
        }
    }
    return false;
}

void ReplaceAll(std::string& Text, const std::string& From, const std::string& To)
{
    for (size_t At = Text.find(From); !From.empty() && At != std::string::npos;
         At = Text.find(From, At + To.size()))
    {
        Text.replace(At, From.size(), To);
    }
}

std::string JsonString(const std::string& Text)
{
    std::string Quoted = "\"";
    for (const char Char : Text)
    {
        if (Char == '"' || Char == '\\')
        {
            Quoted += std::string("\\") + Char;
        }
        else if (Char == '\n' || Char == '\r' || Char == '\t')
        {
            Quoted += Char == '\n' ? "\\n" : Char == '\r' ? "\\r" : "\\t";
        }
        else if (static_cast<unsigned char>(Char) < 0x20)
        {
            char Escape[8];
            std::snprintf(Escape, sizeof(Escape), "\\u%04x", static_cast<unsigned>(Char));
            Quoted += Escape;
        }
        else
        {
            Quoted += Char;
        }
    }
    return Quoted + "\"";
}

/**
 * Each value of a form body, decoded, as a service that quotes it back writes it its own way: with only its
 * blanks encoded, and with each letter after a backslash escaped as JSON may. A value that reads the same
 * either way is not repeated.
 */
std::string QuotedValues(const std::string& Body)
{
    std::string Quoted;
    for (size_t Start = 0; Start < Body.size();)
    {
        const size_t End = std::min(Body.find('&', Start), Body.size());
        const size_t Equals = Body.find('=', Start);
        const std::string Value =
            Equals < End ? httplib::detail::decode_url(Body.substr(Equals + 1, End - Equals - 1), true) : "";
        std::string BlankEncoded;
        std::string LetterEscaped;
        for (size_t Index = 0; Index < Value.size(); ++Index)
        {
            BlankEncoded += Value[Index] == ' ' ? std::string("%20") : std::string(1, Value[Index]);
            char Escape[8];
            std::snprintf(Escape, sizeof(Escape), "\\u%04x", static_cast<unsigned>(Value[Index]));
            const bool bAfterBackslash = Index > 0 && Value[Index - 1] == '\\';
            LetterEscaped += bAfterBackslash && std::isalpha(static_cast<unsigned char>(Value[Index]))
                                 ? std::string(Escape)
                                 : std::string(1, Value[Index]);
        }
        for (const std::string& Form : {BlankEncoded, LetterEscaped})
        {
            Quoted += Form != Value ? "\n" + Form : "";
        }
        Start = End + 1;
    }
    return Quoted;
}

/**
 * The request in every form a service may echo a secret of it: the whole request raw, then its path and body
 * percent-decoded with '+' as a blank and with '+' kept, then the Basic credentials decoded, each form once;
 * the body's values quoted back follow the request line. Short, so that a log line cut at its end still holds
 * every form.
 */
std::string EchoOf(const httplib::Request& Req)
{
    const std::string Target = Req.target.empty() ? Req.path : Req.target;
    // The quoted values first: after the body, a value would be masked as part of the one its key names.
    std::string Echo = Req.method + " " + Target + QuotedValues(Req.body) + "\n";
    for (const auto& [Name, Value] : Req.headers)
    {
        if (!IsOwnHeader(Name))
        {
            Echo += Name + ": " + Value + "\n";
        }
    }
    Echo += Req.body;
    const std::string Encoded = Target + "\n" + Req.body;
    for (const bool bPlusIsBlank : {true, false})
    {
        const std::string Decoded = httplib::detail::decode_url(Encoded, bPlusIsBlank);
        if (Decoded != Encoded && Echo.find(Decoded) == std::string::npos)
        {
            Echo += "\n" + Decoded;
        }
    }
    const std::string Authorization = Req.get_header_value("Authorization");
    FString Credentials;
    if (strncasecmp(Authorization.c_str(), "Basic ", 6) == 0 &&
        FBase64::Decode(FString(Authorization.substr(6)), Credentials))
    {
        Echo += "\n" + std::string(*Credentials);
    }
    return Echo;
}
} // namespace

FHostileService::~FHostileService()
{
    Server.stop();
    if (Thread.joinable())
    {
        Thread.join();
    }
}

int FHostileService::Start(int InBackendPort)
{
    BackendPort = InBackendPort;
    const auto Handler = [this](const httplib::Request& Req, httplib::Response& Res) { Handle(Req, Res); };
    Server.Get(".*", Handler);
    Server.Post(".*", Handler);
    Server.Put(".*", Handler);
    Server.Delete(".*", Handler);
    Server.Patch(".*", Handler);
    const int Port = Server.bind_to_any_port("127.0.0.1");
    if (Port <= 0)
    {
        return -1;
    }
    Thread = std::thread(
        [this]
        {
            Server.listen_after_bind();
            bListenEnded = true;
        });
    // A stop before the accept loop runs would be lost, so Start returns only once the loop is up.
    while (!Server.is_running() && !bListenEnded)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return Port;
}

void FHostileService::Override(FOverride Answer)
{
    std::lock_guard Guard(Lock);
    Overrides.push_back(std::move(Answer));
}

void FHostileService::Echo(std::string Method, std::string PathPattern, std::string BodyHolds, int Times)
{
    FOverride Answer{std::move(Method), std::move(PathPattern), std::move(BodyHolds), 400, "", Times};
    Answer.bEcho = true;
    Override(std::move(Answer));
}

std::vector<std::string> FHostileService::PassedOnBodies()
{
    std::lock_guard Guard(Lock);
    return PassedOn;
}

void FHostileService::Rewrite(std::string From, std::string To)
{
    std::lock_guard Guard(Lock);
    Rewrites.emplace_back(std::move(From), std::move(To));
}

void FHostileService::Handle(const httplib::Request& Req, httplib::Response& Res)
{
    int LateMs = 0;
    if (!Answer(Req, Res, LateMs))
    {
        PassOn(Req, Res);
        std::this_thread::sleep_for(std::chrono::milliseconds(LateMs));
    }
}

bool FHostileService::Answer(const httplib::Request& Req, httplib::Response& Res, int& OutLateMs)
{
    std::lock_guard Guard(Lock);
    for (FOverride& Override : Overrides)
    {
        if (Override.Times == 0 || Override.Method != Req.method ||
            !std::regex_match(Req.path, std::regex(Override.PathPattern)) ||
            Req.body.find(Override.BodyHolds) == std::string::npos)
        {
            continue;
        }
        Override.Times -= Override.Times > 0 ? 1 : 0;
        if (Override.LateMs > 0)
        {
            OutLateMs = Override.LateMs;
            return false;
        }
        Res.status = Override.Status;
        const std::string Body = Override.bEcho ? R"({"errorCode":"errors.zor.echo","errorMessage":)" +
                                                      JsonString(EchoOf(Req)) + "}"
                                                : Override.Body;
        Res.set_content(Body, "application/json");
        return true;
    }
    return false;
}

void FHostileService::PassOn(const httplib::Request& Req, httplib::Response& Res)
{
    httplib::Client Client("127.0.0.1", BackendPort);
    Client.set_url_encode(false);
    Client.set_read_timeout(30);
    httplib::Request Forward;
    Forward.method = Req.method;
    Forward.path = Req.target.empty() ? Req.path : Req.target;
    Forward.body = Req.body;
    for (const auto& [Name, Value] : Req.headers)
    {
        if (!IsOwnHeader(Name))
        {
            Forward.headers.emplace(Name, Value);
        }
    }
    const httplib::Result Reply = Client.send(Forward);
    if (!Reply)
    {
        Res.status = 502;
        return;
    }
    std::string Body = Reply->body;
    {
        std::lock_guard Guard(Lock);
        PassedOn.push_back(Body);
        for (const auto& [From, To] : Rewrites)
        {
            ReplaceAll(Body, From, To);
        }
    }
    Res.status = Reply->status;
    const std::string ContentType = Reply->get_header_value("Content-Type");
    if (ContentType.empty())
    {
        Res.body = std::move(Body);
        return;
    }
    Res.set_content(Body, ContentType.c_str());
}

void FHostileHostTest::SetUp()
{
    FBackendHostTest::SetUp();
    const int HostilePort = Hostile.Start(Port);
    ASSERT_GT(HostilePort, 0);
    Ini = Scratch.WriteFile("Engine.ini", LocalBackendIni(HostilePort));
}
