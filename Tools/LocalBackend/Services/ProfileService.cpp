#include "ProfileService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <rapidjson/document.h>

#include <charconv>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ZorBackend
{
namespace
{
constexpr size_t MaxProfileIdLength = 64;
constexpr const char* ProfileVersion = "local-1";

namespace ProfileErrors
{
constexpr const char* Forbidden = "errors.zor.profile.forbidden";
constexpr const char* AccountNotFound = "errors.zor.profile.account_not_found";
constexpr const char* OperationNotFound = "errors.zor.profile.operation_not_found";
constexpr const char* InvalidPayload = "errors.zor.profile.invalid_payload";
constexpr const char* InvalidParameter = "errors.zor.profile.invalid_parameter";
constexpr const char* ItemNotFound = "errors.zor.profile.item_not_found";
} // namespace ProfileErrors

enum class ECommandForm
{
    Client,
    DedicatedServer,
    Cheat,
};

struct FCommandRequest
{
    std::string ProfileId;
    // Missing or unreadable: the client's copy is unknown, so it gets the whole profile.
    std::optional<int64_t> ClientRevision;
    rapidjson::Document Params;
};

// What a command did: the deltas it answers with when the client's copy is current, and its notifications.
struct FCommandOutcome
{
    std::vector<std::string> Changes;
    std::vector<std::string> Notifications;
    bool bChanged = false;
    bool bFullProfile = false;
};

struct FCommandContext
{
    FBackendState& State;
    FProfile& Profile;
    const rapidjson::Value& Params;
    FCommandOutcome& Outcome;
};

// Commands check all their parameters before they change anything.
using FCommand = std::optional<FServiceError> (*)(FCommandContext&);

std::optional<ECommandForm> FindCommandForm(std::string_view Name)
{
    if (Name == "client")
    {
        return ECommandForm::Client;
    }
    if (Name == "dedicated_server")
    {
        return ECommandForm::DedicatedServer;
    }
    if (Name == "cheat")
    {
        return ECommandForm::Cheat;
    }
    return std::nullopt;
}

bool IsValidProfileId(std::string_view Id)
{
    if (Id.empty() || Id.size() > MaxProfileIdLength)
    {
        return false;
    }
    for (const char Character : Id)
    {
        const bool bAlphaNumeric = (Character >= 'a' && Character <= 'z') ||
                                   (Character >= 'A' && Character <= 'Z') ||
                                   (Character >= '0' && Character <= '9');
        if (!bAlphaNumeric && Character != '_' && Character != '-' && Character != '.')
        {
            return false;
        }
    }
    return true;
}

std::optional<int64_t> ParseRevision(const httplib::Request& Req)
{
    if (Req.get_param_value_count("rvn") != 1)
    {
        return std::nullopt;
    }
    const std::string Text = Req.get_param_value("rvn");
    int64_t Revision = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Revision);
    if (Error != std::errc() || End != Text.data() + Text.size())
    {
        return std::nullopt;
    }
    return Revision;
}

std::optional<FServiceError> ReadCommandRequest(const httplib::Request& Req, FCommandRequest& Out)
{
    if (Req.has_header("Content-Type") && MediaType(Req.get_header_value("Content-Type")) != JsonContentType)
    {
        return FServiceError{415, ErrorCodes::UnsupportedMediaType, "Expected a JSON body"};
    }
    Out.ProfileId = Req.get_param_value_count("profileId") == 1 ? Req.get_param_value("profileId") : "";
    if (!IsValidProfileId(Out.ProfileId))
    {
        return FServiceError{400, ProfileErrors::InvalidParameter,
                             "profileId must be 1 to 64 letters, digits, '_', '-' or '.'"};
    }
    Out.ClientRevision = ParseRevision(Req);
    if (!ParseJson(Req.body, Out.Params) || !Out.Params.IsObject())
    {
        return FServiceError{400, ProfileErrors::InvalidPayload,
                             "Command body must be a JSON object nested at most " +
                                 std::to_string(MaxJsonDepth) + " deep"};
    }
    return std::nullopt;
}

std::optional<FServiceError> CheckCaller(const FBackendState& State, const FToken& Token, ECommandForm Form,
                                         const std::string& AccountId)
{
    if (Form != ECommandForm::Client)
    {
        if (!IsServerToken(State, Token))
        {
            return FServiceError{403, ProfileErrors::Forbidden,
                                 "Server and cheat commands take a server client's credentials"};
        }
        return std::nullopt;
    }
    if (Token.AccountId.empty())
    {
        return FServiceError{403, ProfileErrors::Forbidden, "Client commands take the account's user token"};
    }
    if (!IsOwnToken(Token, AccountId))
    {
        return FServiceError{403, ProfileErrors::Forbidden,
                             "The token's account may not command this profile"};
    }
    return std::nullopt;
}

// Parameter names are matched ignoring case, as the module's JSON objects match keys.
const rapidjson::Value* FindParam(const rapidjson::Value& Params, std::string_view Key)
{
    for (auto Member = Params.MemberBegin(); Member != Params.MemberEnd(); ++Member)
    {
        if (EqualsIgnoreCase(std::string_view(Member->name.GetString(), Member->name.GetStringLength()), Key))
        {
            return &Member->value;
        }
    }
    return nullptr;
}

FServiceError InvalidParameter(const char* Key, const char* Expected)
{
    return {400, ProfileErrors::InvalidParameter, std::string("Parameter ") + Key + " must be " + Expected};
}

std::optional<std::string> ReadName(const rapidjson::Value& Params, const char* Key)
{
    const rapidjson::Value* Value = FindParam(Params, Key);
    if (!Value || !Value->IsString() || Value->GetStringLength() == 0)
    {
        return std::nullopt;
    }
    return std::string(Value->GetString(), Value->GetStringLength());
}

std::optional<int32_t> ReadQuantity(const rapidjson::Value& Params)
{
    const rapidjson::Value* Value = FindParam(Params, "quantity");
    if (!Value || !Value->IsInt() || Value->GetInt() < 1)
    {
        return std::nullopt;
    }
    return Value->GetInt();
}

std::string ToJsonText(const rapidjson::Value& Value)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Value.Accept(Writer);
    return std::string(Buffer.GetString(), Buffer.GetSize());
}

void WriteKey(FJsonWriter& Writer, const std::string& Key)
{
    Writer.Key(Key.c_str(), static_cast<rapidjson::SizeType>(Key.size()));
}

void WriteRaw(FJsonWriter& Writer, const char* Key, const std::string& Json)
{
    Writer.Key(Key);
    Writer.RawValue(Json.c_str(), Json.size(), rapidjson::kObjectType);
}

void WriteFields(FJsonWriter& Writer, const FJsonFields& Fields)
{
    Writer.StartObject();
    for (const auto& [Name, Json] : Fields)
    {
        WriteKey(Writer, Name);
        Writer.RawValue(Json.c_str(), Json.size(), rapidjson::kObjectType);
    }
    Writer.EndObject();
}

void WriteItem(FJsonWriter& Writer, const FProfileItem& Item)
{
    Writer.StartObject();
    WriteString(Writer, "templateId", Item.TemplateId);
    WriteInt(Writer, "quantity", Item.Quantity);
    Writer.Key("attributes");
    WriteFields(Writer, Item.Attributes);
    Writer.EndObject();
}

template <typename FillType> std::string WriteObject(const FillType& Fill)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    Fill(Writer);
    Writer.EndObject();
    return std::string(Buffer.GetString(), Buffer.GetSize());
}

std::string FullProfileChange(const FProfile& Profile)
{
    return WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "fullProfileUpdate");
            Writer.Key("profile");
            Writer.StartObject();
            WriteString(Writer, "version", ProfileVersion);
            Writer.Key("stats");
            Writer.StartObject();
            Writer.Key("attributes");
            WriteFields(Writer, Profile.Stats);
            Writer.EndObject();
            Writer.Key("items");
            Writer.StartObject();
            for (const auto& [ItemId, Item] : Profile.Items)
            {
                WriteKey(Writer, ItemId);
                WriteItem(Writer, Item);
            }
            Writer.EndObject();
            Writer.EndObject();
        });
}

std::optional<FServiceError> QueryProfile(FCommandContext& Context)
{
    Context.Outcome.bFullProfile = true;
    return std::nullopt;
}

std::optional<FServiceError> DeleteProfile(FCommandContext& Context)
{
    Context.Profile.Stats.clear();
    Context.Profile.Items.clear();
    Context.Outcome.bChanged = true;
    Context.Outcome.bFullProfile = true;
    return std::nullopt;
}

std::string NewItemId(FBackendState& State, const FProfile& Profile)
{
    std::string ItemId;
    do
    {
        ItemId = State.NewSecret();
    } while (Profile.Items.contains(ItemId));
    return ItemId;
}

std::optional<FServiceError> GrantItem(FCommandContext& Context)
{
    const std::optional<std::string> TemplateId = ReadName(Context.Params, "templateId");
    const std::optional<int32_t> Quantity = ReadQuantity(Context.Params);
    if (!TemplateId)
    {
        return InvalidParameter("templateId", "a non-empty string");
    }
    if (!Quantity)
    {
        return InvalidParameter("quantity", "a whole number from 1 to 2147483647");
    }
    const std::string ItemId = NewItemId(Context.State, Context.Profile);
    const FProfileItem& Item = Context.Profile.Items[ItemId] = FProfileItem{*TemplateId, *Quantity, {}};
    Context.Outcome.bChanged = true;
    Context.Outcome.Changes.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "itemAdded");
            WriteString(Writer, "itemId", ItemId);
            Writer.Key("item");
            WriteItem(Writer, Item);
        }));
    Context.Outcome.Notifications.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "type", "itemGranted");
            Writer.Key("primary");
            Writer.Bool(true);
            Writer.Key("payload");
            Writer.StartObject();
            WriteString(Writer, "itemId", ItemId);
            WriteString(Writer, "templateId", Item.TemplateId);
            WriteInt(Writer, "quantity", Item.Quantity);
            Writer.EndObject();
        }));
    return std::nullopt;
}

// The item that the command's "itemId" names, or the error that answers its absence.
std::variant<FProfileItem*, FServiceError> FindItem(FCommandContext& Context, const std::string& ItemId)
{
    const auto Found = Context.Profile.Items.find(ItemId);
    if (Found == Context.Profile.Items.end())
    {
        return FServiceError{404, ProfileErrors::ItemNotFound, "No item " + ItemId + " in this profile"};
    }
    return &Found->second;
}

std::optional<FServiceError> SetItemQuantity(FCommandContext& Context)
{
    const std::optional<std::string> ItemId = ReadName(Context.Params, "itemId");
    const std::optional<int32_t> Quantity = ReadQuantity(Context.Params);
    if (!ItemId)
    {
        return InvalidParameter("itemId", "a non-empty string");
    }
    if (!Quantity)
    {
        return InvalidParameter("quantity", "a whole number from 1 to 2147483647");
    }
    const auto Item = FindItem(Context, *ItemId);
    if (const auto* Error = std::get_if<FServiceError>(&Item))
    {
        return *Error;
    }
    std::get<FProfileItem*>(Item)->Quantity = *Quantity;
    Context.Outcome.bChanged = true;
    Context.Outcome.Changes.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "itemQuantityChanged");
            WriteString(Writer, "itemId", *ItemId);
            WriteInt(Writer, "quantity", *Quantity);
        }));
    return std::nullopt;
}

std::optional<FServiceError> SetItemAttribute(FCommandContext& Context)
{
    const std::optional<std::string> ItemId = ReadName(Context.Params, "itemId");
    const std::optional<std::string> Name = ReadName(Context.Params, "name");
    const rapidjson::Value* Value = FindParam(Context.Params, "value");
    if (!ItemId)
    {
        return InvalidParameter("itemId", "a non-empty string");
    }
    if (!Name)
    {
        return InvalidParameter("name", "a non-empty string");
    }
    if (!Value)
    {
        return InvalidParameter("value", "present (null removes the attribute)");
    }
    const auto Item = FindItem(Context, *ItemId);
    if (const auto* Error = std::get_if<FServiceError>(&Item))
    {
        return *Error;
    }
    const std::string Json = ToJsonText(*Value);
    FJsonFields& Attributes = std::get<FProfileItem*>(Item)->Attributes;
    if (Value->IsNull())
    {
        Attributes.erase(*Name);
    }
    else
    {
        Attributes[*Name] = Json;
    }
    Context.Outcome.bChanged = true;
    Context.Outcome.Changes.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "itemAttrChanged");
            WriteString(Writer, "itemId", *ItemId);
            WriteString(Writer, "attributeName", *Name);
            WriteRaw(Writer, "attributeValue", Json);
        }));
    return std::nullopt;
}

std::optional<FServiceError> RemoveItem(FCommandContext& Context)
{
    const std::optional<std::string> ItemId = ReadName(Context.Params, "itemId");
    if (!ItemId)
    {
        return InvalidParameter("itemId", "a non-empty string");
    }
    const auto Item = FindItem(Context, *ItemId);
    if (const auto* Error = std::get_if<FServiceError>(&Item))
    {
        return *Error;
    }
    Context.Profile.Items.erase(*ItemId);
    Context.Outcome.bChanged = true;
    Context.Outcome.Changes.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "itemRemoved");
            WriteString(Writer, "itemId", *ItemId);
        }));
    return std::nullopt;
}

std::optional<FServiceError> SetStat(FCommandContext& Context)
{
    const std::optional<std::string> Name = ReadName(Context.Params, "name");
    const rapidjson::Value* Value = FindParam(Context.Params, "value");
    if (!Name)
    {
        return InvalidParameter("name", "a non-empty string");
    }
    if (!Value)
    {
        return InvalidParameter("value", "present");
    }
    const std::string Json = ToJsonText(*Value);
    Context.Profile.Stats[*Name] = Json;
    Context.Outcome.bChanged = true;
    Context.Outcome.Changes.push_back(WriteObject(
        [&](FJsonWriter& Writer)
        {
            WriteString(Writer, "changeType", "statModified");
            WriteString(Writer, "name", *Name);
            WriteRaw(Writer, "value", Json);
        }));
    return std::nullopt;
}

FCommand FindCommand(std::string_view Name)
{
    static const std::pair<const char*, FCommand> Commands[] = {
        {"QueryProfile", QueryProfile},
        {"DeleteProfile", DeleteProfile},
        {"GrantItem", GrantItem},
        {"SetItemQuantity", SetItemQuantity},
        {"SetItemAttribute", SetItemAttribute},
        {"RemoveItem", RemoveItem},
        {"SetStat", SetStat},
    };
    for (const auto& [CommandName, Command] : Commands)
    {
        if (Name == CommandName)
        {
            return Command;
        }
    }
    return nullptr;
}

void SendCommandReply(httplib::Response& Res, const FProfile& Profile, const FCommandOutcome& Outcome,
                      bool bClientCurrent)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    WriteString(Writer, "serverTime", FormatIso8601(std::chrono::system_clock::now()));
    WriteInt(Writer, "profileRevision", Profile.Revision);
    Writer.Key("profileChanges");
    Writer.StartArray();
    const bool bDeltas = bClientCurrent && !Outcome.bFullProfile;
    for (const std::string& Change : bDeltas ? Outcome.Changes : std::vector{FullProfileChange(Profile)})
    {
        Writer.RawValue(Change.c_str(), Change.size(), rapidjson::kObjectType);
    }
    Writer.EndArray();
    Writer.Key("notifications");
    Writer.StartArray();
    for (const std::string& Notification : Outcome.Notifications)
    {
        Writer.RawValue(Notification.c_str(), Notification.size(), rapidjson::kObjectType);
    }
    Writer.EndArray();
    Writer.EndObject();
    SendJson(Res, 200, Buffer);
}

void RunCommand(FProfileService& Service, httplib::Response& Res, FCommand Command,
                const std::string& AccountId, const FCommandRequest& Request)
{
    const auto [Found, bCreated] = Service.Profiles.try_emplace(FProfileKey{AccountId, Request.ProfileId});
    FProfile& Profile = Found->second;
    const bool bClientCurrent = Request.ClientRevision == Profile.Revision;
    FCommandOutcome Outcome;
    FCommandContext Context{Service.State, Profile, Request.Params, Outcome};
    if (const std::optional<FServiceError> Error = Command(Context))
    {
        if (bCreated)
        {
            Service.Profiles.erase(Found);
        }
        return SendError(Res, *Error);
    }
    if (Outcome.bChanged)
    {
        ++Profile.Revision;
    }
    SendCommandReply(Res, Profile, Outcome, bClientCurrent);
}

void HandleProfileCommand(FProfileService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    Res.set_header(ProfileBuildHeader, std::to_string(ProfileServiceBuild));
    const std::optional<ECommandForm> Form = FindCommandForm(Req.matches[2].str());
    if (!Form)
    {
        return SendError(Res, 404, ErrorCodes::NotFound, "No such profile command form");
    }
    const std::string AccountId = Req.matches[1].str();
    FCommandRequest Request;
    const std::optional<FServiceError> RequestError = ReadCommandRequest(Req, Request);
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (const auto Error = CheckCaller(Service.State, Caller, *Form, AccountId))
                   {
                       return SendError(Res, *Error);
                   }
                   if (RequestError)
                   {
                       return SendError(Res, *RequestError);
                   }
                   if (!Service.State.Accounts.contains(AccountId))
                   {
                       return SendError(Res, 404, ProfileErrors::AccountNotFound, "No such account");
                   }
                   const FCommand Command = FindCommand(Req.matches[3].str());
                   if (!Command)
                   {
                       return SendError(Res, 404, ProfileErrors::OperationNotFound,
                                        "No profile command named " + Req.matches[3].str());
                   }
                   RunCommand(Service, Res, Command, AccountId, Request);
               });
}
} // namespace

void FProfileService::Register(httplib::Server& Server)
{
    Server.Post(std::string(GameServicePath) + "/api/profile/([^/]+)/([^/]+)/([^/]+)",
                [this](const httplib::Request& Req, httplib::Response& Res)
                { HandleProfileCommand(*this, Req, Res); });
}
} // namespace ZorBackend
