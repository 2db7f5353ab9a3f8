#include "MessagesService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <httplib.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace ZorBackend
{
namespace
{
constexpr const char* InboxPath = "/game/api/messaging/([^/]+)/inbox";
constexpr const char* OutboxPath = "/game/api/messaging/([^/]+)/outbox";
// The module's limit on a payload's bytes; a body that decodes to more was never made by it.
constexpr size_t MaxPayloadBytes = 4096;
constexpr size_t MaxRecipients = 100;
constexpr size_t MaxInboxMessages = 500;

namespace MessagesErrors
{
constexpr const char* Forbidden = "errors.zor.messaging.forbidden";
constexpr const char* AccountNotFound = "errors.zor.messaging.account_not_found";
constexpr const char* MessageNotFound = "errors.zor.messaging.message_not_found";
constexpr const char* InvalidPayload = "errors.zor.messaging.invalid_payload";
constexpr const char* InboxFull = "errors.zor.messaging.inbox_full";
} // namespace MessagesErrors

std::optional<FServiceError> CheckCaller(FMessagesService& Service, const FToken& Caller,
                                         const std::string& Self)
{
    if (!IsOwnToken(Caller, Self))
    {
        return FServiceError{403, MessagesErrors::Forbidden, "The token does not belong to account " + Self};
    }
    if (!Service.State.Accounts.contains(Self))
    {
        return FServiceError{404, MessagesErrors::AccountNotFound, "No such account"};
    }
    return std::nullopt;
}

template <typename HandlerType>
void WithOwner(FMessagesService& Service, const httplib::Request& Req, httplib::Response& Res,
               HandlerType Handler)
{
    const std::string Self = Req.matches[1].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (auto Error = CheckCaller(Service, Caller, Self))
                   {
                       return SendError(Res, *Error);
                   }
                   Handler(Service.Inboxes[Self]);
               });
}

std::vector<FInboxMessage>::iterator FindMessage(std::vector<FInboxMessage>& Inbox,
                                                 const std::string& MessageId)
{
    return std::find_if(Inbox.begin(), Inbox.end(),
                        [&MessageId](const FInboxMessage& Message)
                        { return EqualsIgnoreCase(Message.MessageId, MessageId); });
}

struct FOutgoing
{
    std::string Type;
    std::string Body;
    std::vector<std::string> Recipients;
};

std::optional<FServiceError> ReadOutgoing(const httplib::Request& Req, FOutgoing& Out)
{
    const FServiceError Invalid{
        400, MessagesErrors::InvalidPayload,
        "Expected {\"type\",\"toTavoIds\":[...],\"body\":BASE64} with a payload of at "
        "most 4096 bytes"};
    rapidjson::Document Json;
    if (!ParseJson(Req.body, Json) || !Json.IsObject() || !Json.HasMember("toTavoIds") ||
        !Json["toTavoIds"].IsArray() || !Json.HasMember("body") || !Json["body"].IsString())
    {
        return Invalid;
    }
    Out.Body = Json["body"].GetString();
    const std::optional<std::string> Bytes = Base64Decode(Out.Body);
    if (!Bytes || Bytes->size() > MaxPayloadBytes || Json["toTavoIds"].Size() > MaxRecipients)
    {
        return Invalid;
    }
    for (const rapidjson::Value& Recipient : Json["toTavoIds"].GetArray())
    {
        if (!Recipient.IsString())
        {
            return Invalid;
        }
        Out.Recipients.emplace_back(Recipient.GetString());
    }
    if (Json.HasMember("type") && Json["type"].IsString())
    {
        Out.Type = Json["type"].GetString();
    }
    return std::nullopt;
}

void HandleList(FMessagesService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwner(Service, Req, Res,
              [&](std::vector<FInboxMessage>& Inbox)
              {
                  rapidjson::StringBuffer Buffer;
                  FJsonWriter Writer(Buffer);
                  Writer.StartArray();
                  for (const FInboxMessage& Message : Inbox)
                  {
                      Writer.StartObject();
                      WriteString(Writer, "fromTavoId", Message.FromAccountId);
                      WriteString(Writer, "fromName", Message.FromName);
                      WriteString(Writer, "messageId", Message.MessageId);
                      WriteString(Writer, "messageType", Message.Type);
                      WriteString(Writer, "timestamp", Message.Timestamp);
                      Writer.EndObject();
                  }
                  Writer.EndArray();
                  SendJson(Res, 200, Buffer);
              });
}

void HandleRead(FMessagesService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwner(Service, Req, Res,
              [&](std::vector<FInboxMessage>& Inbox)
              {
                  const auto Found = FindMessage(Inbox, Req.matches[2].str());
                  if (Found == Inbox.end())
                  {
                      return SendError(Res, 404, MessagesErrors::MessageNotFound, "No such message");
                  }
                  rapidjson::StringBuffer Buffer;
                  FJsonWriter Writer(Buffer);
                  Writer.StartObject();
                  WriteString(Writer, "messageId", Found->MessageId);
                  WriteString(Writer, "body", Found->Body);
                  Writer.EndObject();
                  SendJson(Res, 200, Buffer);
              });
}

void HandleDelete(FMessagesService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    WithOwner(Service, Req, Res,
              [&](std::vector<FInboxMessage>& Inbox)
              {
                  const auto Found = FindMessage(Inbox, Req.matches[2].str());
                  if (Found == Inbox.end())
                  {
                      return SendError(Res, 404, MessagesErrors::MessageNotFound, "No such message");
                  }
                  Inbox.erase(Found);
                  Res.status = 204;
              });
}

void HandleSend(FMessagesService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    FOutgoing Outgoing;
    const std::optional<FServiceError> RequestError = ReadOutgoing(Req, Outgoing);
    const std::string Self = Req.matches[1].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (auto Error = CheckCaller(Service, Caller, Self))
                   {
                       return SendError(Res, *Error);
                   }
                   if (RequestError)
                   {
                       return SendError(Res, *RequestError);
                   }
                   // All recipients are checked first: a message lands in every inbox or in none.
                   for (const std::string& Recipient : Outgoing.Recipients)
                   {
                       if (!Service.State.Accounts.contains(Recipient))
                       {
                           return SendError(Res, 404, MessagesErrors::AccountNotFound,
                                            "No such account " + Recipient);
                       }
                       if (Service.Inboxes[Recipient].size() >= MaxInboxMessages)
                       {
                           return SendError(Res, 409, MessagesErrors::InboxFull,
                                            "The inbox of " + Recipient + " is full");
                       }
                   }
                   const std::string Now = FormatIso8601(std::chrono::system_clock::now());
                   const FAccount& Sender = Service.State.Accounts.at(Self);
                   for (const std::string& Recipient : Outgoing.Recipients)
                   {
                       Service.Inboxes[Recipient].push_back(
                           FInboxMessage{"msg-" + std::to_string(Service.NextMessage++), Sender.Id,
                                         Sender.DisplayName, Outgoing.Type, Now, Outgoing.Body});
                   }
                   Res.status = 204;
               });
}
} // namespace

void FMessagesService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FMessagesService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    Server.Get(InboxPath, Bind(HandleList));
    Server.Get(std::string(InboxPath) + "/([^/]+)", Bind(HandleRead));
    Server.Delete(std::string(InboxPath) + "/([^/]+)", Bind(HandleDelete));
    Server.Post(OutboxPath, Bind(HandleSend));
}
} // namespace ZorBackend
