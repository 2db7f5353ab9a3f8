#include "MatchmakingService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "ProfileService.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

namespace ZorBackend
{
namespace
{
constexpr const char* InvalidPayload = "errors.zor.matchmaking.invalid_payload";
constexpr const char* SessionNotFound = "errors.zor.matchmaking.session_not_found";
constexpr const char* Forbidden = "errors.zor.matchmaking.forbidden";
constexpr size_t MaxBodySize = 64 * 1024;
constexpr int64_t MaxResultsCap = 200;

const std::string SessionPath = std::string(GameServicePath) + "/api/matchmaking/session";

// Each field the module reads back; the host's own values for the rest are kept as sent.
const char* const KeptFields[] = {"ownerId",
                                  "ownerName",
                                  "serverName",
                                  "maxPublicPlayers",
                                  "maxPrivatePlayers",
                                  "allowJoinInProgress",
                                  "isDedicated",
                                  "usesStats",
                                  "allowInvites",
                                  "usesPresence",
                                  "allowJoinViaPresence",
                                  "allowJoinViaPresenceFriendsOnly",
                                  "buildUniqueId",
                                  "attributes",
                                  "serverPort"};

bool ParseBody(const httplib::Request& Req, rapidjson::Document& Out)
{
    return Req.body.size() <= MaxBodySize && ParseJson(Req.body, Out);
}

// A session body: an object whose attributes are an object of plain values.
bool IsSessionBody(const rapidjson::Document& Body)
{
    if (!Body.IsObject())
    {
        return false;
    }
    const auto Attributes = Body.FindMember("attributes");
    if (Attributes == Body.MemberEnd())
    {
        return true;
    }
    if (!Attributes->value.IsObject())
    {
        return false;
    }
    return std::all_of(Attributes->value.MemberBegin(), Attributes->value.MemberEnd(),
                       [](const auto& Member)
                       { return !Member.value.IsObject() && !Member.value.IsArray(); });
}

void KeepFields(FMatchSession& Session, const rapidjson::Document& Body)
{
    if (!Session.Body.IsObject())
    {
        Session.Body.SetObject();
    }
    auto& Allocator = Session.Body.GetAllocator();
    for (const char* Field : KeptFields)
    {
        const auto Found = Body.FindMember(Field);
        if (Found == Body.MemberEnd())
        {
            continue;
        }
        Session.Body.RemoveMember(Field);
        Session.Body.AddMember(rapidjson::Value(Field, Allocator), rapidjson::Value(Found->value, Allocator),
                               Allocator);
    }
}

int64_t NumberOf(const rapidjson::Value& Object, const char* Field)
{
    const auto Found = Object.FindMember(Field);
    return (Found != Object.MemberEnd() && Found->value.IsInt64()) ? Found->value.GetInt64() : 0;
}

std::string TextOf(const rapidjson::Value& Object, const char* Field)
{
    const auto Found = Object.FindMember(Field);
    return (Found != Object.MemberEnd() && Found->value.IsString()) ? Found->value.GetString()
                                                                    : std::string();
}

bool FlagOf(const rapidjson::Value& Object, const char* Field)
{
    const auto Found = Object.FindMember(Field);
    return Found != Object.MemberEnd() && Found->value.IsBool() && Found->value.GetBool();
}

int64_t OpenPublic(const FMatchSession& Session)
{
    return std::max<int64_t>(0, NumberOf(Session.Body, "maxPublicPlayers") -
                                    int64_t(Session.PublicPlayers.size()));
}

int64_t OpenPrivate(const FMatchSession& Session)
{
    return std::max<int64_t>(0, NumberOf(Session.Body, "maxPrivatePlayers") -
                                    int64_t(Session.PrivatePlayers.size()));
}

void WritePlayers(FJsonWriter& Writer, const char* Key, const std::vector<std::string>& Players)
{
    Writer.Key(Key);
    Writer.StartArray();
    for (const std::string& Player : Players)
    {
        Writer.String(Player.c_str(), static_cast<rapidjson::SizeType>(Player.size()));
    }
    Writer.EndArray();
}

void WriteSession(FJsonWriter& Writer, const FMatchSession& Session)
{
    Writer.StartObject();
    WriteString(Writer, "id", Session.Id);
    for (const auto& Member : Session.Body.GetObject())
    {
        Writer.Key(Member.name.GetString(), Member.name.GetStringLength());
        Member.value.Accept(Writer);
    }
    WriteString(Writer, "serverAddress", Session.ServerAddress);
    WriteString(Writer, "lastUpdated", Session.LastUpdated);
    WriteInt(Writer, "openPublicPlayers", OpenPublic(Session));
    WriteInt(Writer, "openPrivatePlayers", OpenPrivate(Session));
    WritePlayers(Writer, "publicPlayers", Session.PublicPlayers);
    WritePlayers(Writer, "privatePlayers", Session.PrivatePlayers);
    Writer.EndObject();
}

void SendSession(httplib::Response& Res, const FMatchSession& Session)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    WriteSession(Writer, Session);
    SendJson(Res, 200, Buffer);
}

void SendSessions(httplib::Response& Res, const std::vector<const FMatchSession*>& Found)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartArray();
    for (const FMatchSession* Session : Found)
    {
        WriteSession(Writer, *Session);
    }
    Writer.EndArray();
    SendJson(Res, 200, Buffer);
}

std::string Now()
{
    return FormatIso8601(std::chrono::system_clock::now());
}

// The module reads an IPv6 loopback peer as its IPv4 form; other peers go out as their dotted text.
std::string PeerAddress(const httplib::Request& Req)
{
    return Req.remote_addr == "::1" ? "0:0:0:0:0:0:0:1" : Req.remote_addr;
}

int CompareValues(const rapidjson::Value& Held, const rapidjson::Value& Wanted, bool& bComparable)
{
    bComparable = true;
    if (Held.IsNumber() && Wanted.IsNumber())
    {
        const double A = Held.GetDouble();
        const double B = Wanted.GetDouble();
        return A < B ? -1 : (A > B ? 1 : 0);
    }
    if (Held.IsString() && Wanted.IsString())
    {
        const int Order = std::string(Held.GetString()).compare(Wanted.GetString());
        return Order < 0 ? -1 : (Order > 0 ? 1 : 0);
    }
    if (Held.IsBool() && Wanted.IsBool())
    {
        return int(Held.GetBool()) - int(Wanted.GetBool());
    }
    bComparable = false;
    return 0;
}

bool MatchesCriterion(const FMatchSession& Session, const rapidjson::Value& Criterion)
{
    if (!Criterion.IsObject())
    {
        return false;
    }
    const std::string Type = TextOf(Criterion, "type");
    const std::string Key = TextOf(Criterion, "key");
    const auto Wanted = Criterion.FindMember("value");
    const auto Attributes = Session.Body.FindMember("attributes");
    if (Wanted == Criterion.MemberEnd() || Attributes == Session.Body.MemberEnd() ||
        !Attributes->value.IsObject())
    {
        return false;
    }
    const auto Held = Attributes->value.FindMember(Key.c_str());
    if (Held == Attributes->value.MemberEnd())
    {
        return false;
    }
    bool bComparable = false;
    const int Order = CompareValues(Held->value, Wanted->value, bComparable);
    if (!bComparable)
    {
        return false;
    }
    if (Type == "NOT_EQUAL")
    {
        return Order != 0;
    }
    if (Type == "GREATER_THAN")
    {
        return Order > 0;
    }
    if (Type == "GREATER_THAN_OR_EQUAL")
    {
        return Order >= 0;
    }
    if (Type == "LESS_THAN")
    {
        return Order < 0;
    }
    if (Type == "LESS_THAN_OR_EQUAL")
    {
        return Order <= 0;
    }
    return Order == 0;
}

bool Matches(const FMatchSession& Session, const rapidjson::Document& Query)
{
    const std::string BuildId = TextOf(Query, "buildUniqueId");
    if (TextOf(Session.Body, "buildUniqueId") != BuildId)
    {
        return false;
    }
    if (FlagOf(Query, "requireDedicated") && !FlagOf(Session.Body, "isDedicated"))
    {
        return false;
    }
    const int64_t Current = int64_t(Session.PublicPlayers.size() + Session.PrivatePlayers.size());
    if (Query.HasMember("maxCurrentPlayers") && Current > NumberOf(Query, "maxCurrentPlayers"))
    {
        return false;
    }
    if (Query.HasMember("minCurrentPlayers") && Current < NumberOf(Query, "minCurrentPlayers"))
    {
        return false;
    }
    if (OpenPublic(Session) + OpenPrivate(Session) < NumberOf(Query, "openPlayersRequired"))
    {
        return false;
    }
    const auto Criteria = Query.FindMember("criteria");
    if (Criteria == Query.MemberEnd() || !Criteria->value.IsArray())
    {
        return true;
    }
    return std::all_of(Criteria->value.Begin(), Criteria->value.End(),
                       [&Session](const rapidjson::Value& Criterion)
                       { return MatchesCriterion(Session, Criterion); });
}

bool ReadPlayers(const rapidjson::Value& Array, std::vector<std::string>& Out)
{
    if (!Array.IsArray())
    {
        return false;
    }
    for (const auto& Player : Array.GetArray())
    {
        if (!Player.IsString() || Player.GetStringLength() == 0)
        {
            return false;
        }
        Out.emplace_back(Player.GetString(), Player.GetStringLength());
    }
    return true;
}

void AddUnique(std::vector<std::string>& Players, const std::string& Player)
{
    if (std::find(Players.begin(), Players.end(), Player) == Players.end())
    {
        Players.push_back(Player);
    }
}

void RemovePlayer(std::vector<std::string>& Players, const std::string& Player)
{
    Players.erase(std::remove(Players.begin(), Players.end(), Player), Players.end());
}

// A user token owns through its account, whichever client it was granted to; a client token through its
// client.
bool IsOwner(const FMatchSession& Session, const FToken& Caller)
{
    if (!Session.OwnerAccountId.empty())
    {
        return IsOwnToken(Caller, Session.OwnerAccountId);
    }
    return Caller.AccountId.empty() && Caller.ClientId == Session.OwnerClientId;
}

// A player's token creates only the player's own session: an ownerId naming anything else is refused.
bool NamesAnotherOwner(const rapidjson::Document& Body, const FToken& Caller)
{
    const auto Owner = Body.FindMember("ownerId");
    if (Caller.AccountId.empty() || Owner == Body.MemberEnd())
    {
        return false;
    }
    return !Owner->value.IsString() ||
           (Owner->value.GetStringLength() != 0 && Caller.AccountId != Owner->value.GetString());
}

// The owner a player's session shows, findPlayer included, is the account that created it.
void SetOwnerAccount(FMatchSession& Session)
{
    auto& Allocator = Session.Body.GetAllocator();
    Session.Body.RemoveMember("ownerId");
    Session.Body.AddMember("ownerId", rapidjson::Value(Session.OwnerAccountId.c_str(), Allocator), Allocator);
}

using FSessionHandler = void (*)(FMatchmakingService&, FMatchSession&, const rapidjson::Document&,
                                 httplib::Response&);

// Runs Handler on the session named in the path with the parsed body; answers the errors itself.
void WithSession(FMatchmakingService& Service, const httplib::Request& Req, httplib::Response& Res,
                 bool bNeedsBody, FSessionHandler Handler)
{
    rapidjson::Document Body;
    const bool bBodyOk = !bNeedsBody || ParseBody(Req, Body);
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   const auto Found = Service.Sessions.find(Req.matches[1].str());
                   if (Found == Service.Sessions.end())
                   {
                       return SendError(Res, 404, SessionNotFound, "No such session");
                   }
                   if (!IsOwner(Found->second, Caller))
                   {
                       return SendError(Res, 403, Forbidden, "The session belongs to another caller");
                   }
                   if (!bBodyOk)
                   {
                       return SendError(Res, 400, InvalidPayload, "The body must be JSON");
                   }
                   Handler(Service, Found->second, Body, Res);
               });
}

void HandleCreate(FMatchmakingService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    rapidjson::Document Body;
    const bool bBodyOk = ParseBody(Req, Body) && IsSessionBody(Body);
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (!bBodyOk)
                   {
                       return SendError(Res, 400, InvalidPayload, "The session must be a JSON object");
                   }
                   if (NamesAnotherOwner(Body, Caller))
                   {
                       return SendError(Res, 403, Forbidden, "A player creates only a session of its own");
                   }
                   const std::string Id = "mms-" + std::to_string(Service.NextId++);
                   FMatchSession& Session = Service.Sessions[Id];
                   Session.Id = Id;
                   Session.OwnerAccountId = Caller.AccountId;
                   Session.OwnerClientId = Caller.AccountId.empty() ? Caller.ClientId : std::string();
                   Session.ServerAddress = PeerAddress(Req);
                   Session.LastUpdated = Now();
                   KeepFields(Session, Body);
                   if (!Session.OwnerAccountId.empty())
                   {
                       SetOwnerAccount(Session);
                   }
                   SendSession(Res, Session);
               });
}

void HandleUpdate(FMatchmakingService&, FMatchSession& Session, const rapidjson::Document& Body,
                  httplib::Response& Res)
{
    if (!IsSessionBody(Body))
    {
        return SendError(Res, 400, InvalidPayload, "The session must be a JSON object");
    }
    KeepFields(Session, Body);
    Session.LastUpdated = Now();
    SendSession(Res, Session);
}

void HandleRegister(FMatchmakingService&, FMatchSession& Session, const rapidjson::Document& Body,
                    httplib::Response& Res)
{
    std::vector<std::string> Public;
    std::vector<std::string> Private;
    if (!Body.IsObject() || !Body.HasMember("publicPlayers") || !Body.HasMember("privatePlayers") ||
        !ReadPlayers(Body["publicPlayers"], Public) || !ReadPlayers(Body["privatePlayers"], Private))
    {
        return SendError(Res, 400, InvalidPayload, "Expected publicPlayers and privatePlayers arrays of ids");
    }
    for (const std::string& Player : Public)
    {
        AddUnique(Session.PublicPlayers, Player);
    }
    for (const std::string& Player : Private)
    {
        AddUnique(Session.PrivatePlayers, Player);
    }
    Session.LastUpdated = Now();
    SendSession(Res, Session);
}

void HandleUnregister(FMatchmakingService&, FMatchSession& Session, const rapidjson::Document& Body,
                      httplib::Response& Res)
{
    std::vector<std::string> Players;
    if (!ReadPlayers(Body, Players))
    {
        return SendError(Res, 400, InvalidPayload, "Expected an array of ids");
    }
    for (const std::string& Player : Players)
    {
        RemovePlayer(Session.PublicPlayers, Player);
        RemovePlayer(Session.PrivatePlayers, Player);
    }
    Session.LastUpdated = Now();
    SendSession(Res, Session);
}

void HandleDestroy(FMatchmakingService& Service, FMatchSession& Session, const rapidjson::Document&,
                   httplib::Response& Res)
{
    const std::string Id = Session.Id; // the key outlives the erased session
    Service.Sessions.erase(Id);
    Res.status = 204;
}

void HandleFind(FMatchmakingService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    rapidjson::Document Query;
    const bool bBodyOk = ParseBody(Req, Query) && Query.IsObject();
    WithBearer(Service.State, Req, Res,
               [&](FToken&, FSteadyClock::time_point)
               {
                   if (!bBodyOk)
                   {
                       return SendError(Res, 400, InvalidPayload, "The search must be a JSON object");
                   }
                   const int64_t MaxResults =
                       std::clamp<int64_t>(NumberOf(Query, "maxResults"), 0, MaxResultsCap);
                   std::vector<const FMatchSession*> Found;
                   for (const auto& Entry : Service.Sessions)
                   {
                       if (int64_t(Found.size()) < MaxResults && Matches(Entry.second, Query))
                       {
                           Found.push_back(&Entry.second);
                       }
                   }
                   SendSessions(Res, Found);
               });
}

void HandleFindPlayer(FMatchmakingService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::string Player = Req.matches[1].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken&, FSteadyClock::time_point)
               {
                   std::vector<const FMatchSession*> Found;
                   for (const auto& Entry : Service.Sessions)
                   {
                       const FMatchSession& Session = Entry.second;
                       const auto Has = [&Player](const std::vector<std::string>& Players)
                       { return std::find(Players.begin(), Players.end(), Player) != Players.end(); };
                       if (TextOf(Session.Body, "ownerId") == Player || Has(Session.PublicPlayers) ||
                           Has(Session.PrivatePlayers))
                       {
                           Found.push_back(&Session);
                       }
                   }
                   SendSessions(Res, Found);
               });
}
} // namespace

void FMatchmakingService::Register(httplib::Server& Server)
{
    // The fixed paths first: "matchMakingRequest" and "findPlayer" are not session ids.
    Server.Post(SessionPath + "/matchMakingRequest",
                [this](const httplib::Request& Req, httplib::Response& Res) { HandleFind(*this, Req, Res); });
    Server.Get(SessionPath + "/findPlayer/([^/]+)",
               [this](const httplib::Request& Req, httplib::Response& Res)
               { HandleFindPlayer(*this, Req, Res); });
    Server.Post(SessionPath, [this](const httplib::Request& Req, httplib::Response& Res)
                { HandleCreate(*this, Req, Res); });
    Server.Put(SessionPath + "/([^/]+)", [this](const httplib::Request& Req, httplib::Response& Res)
               { WithSession(*this, Req, Res, true, HandleUpdate); });
    Server.Delete(SessionPath + "/([^/]+)", [this](const httplib::Request& Req, httplib::Response& Res)
                  { WithSession(*this, Req, Res, false, HandleDestroy); });
    Server.Post(SessionPath + "/([^/]+)/players", [this](const httplib::Request& Req, httplib::Response& Res)
                { WithSession(*this, Req, Res, true, HandleRegister); });
    Server.Delete(SessionPath + "/([^/]+)/players",
                  [this](const httplib::Request& Req, httplib::Response& Res)
                  { WithSession(*this, Req, Res, true, HandleUnregister); });
}
} // namespace ZorBackend
