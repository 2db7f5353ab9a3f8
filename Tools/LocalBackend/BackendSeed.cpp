#include "BackendSeed.h"

#include "BackendHttp.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <fstream>
#include <sstream>

namespace ZorBackend
{
namespace
{
constexpr std::streamoff MaxSeedBytes = 4 * 1024 * 1024;

// Reads a string member into Out; a missing optional member leaves Out as it is.
std::optional<std::string> ReadString(const rapidjson::Value& Object, const char* Key, std::string& Out,
                                      bool bRequired)
{
    const auto Member = Object.FindMember(Key);
    if (Member == Object.MemberEnd())
    {
        return bRequired ? std::optional<std::string>(std::string("missing \"") + Key + "\"") : std::nullopt;
    }
    if (!Member->value.IsString())
    {
        return std::string("\"") + Key + "\" is not a string";
    }
    Out.assign(Member->value.GetString(), Member->value.GetStringLength());
    if (bRequired && Out.empty())
    {
        return std::string("\"") + Key + "\" is empty";
    }
    return std::nullopt;
}

// Reads an optional bool member into Out.
std::optional<std::string> ReadBool(const rapidjson::Value& Object, const char* Key, bool& Out)
{
    const auto Member = Object.FindMember(Key);
    if (Member == Object.MemberEnd())
    {
        return std::nullopt;
    }
    if (!Member->value.IsBool())
    {
        return std::string("\"") + Key + "\" is not true or false";
    }
    Out = Member->value.GetBool();
    return std::nullopt;
}

const rapidjson::Value* ReadArray(const rapidjson::Value& Object, const char* Key, std::string& OutError)
{
    const auto Member = Object.FindMember(Key);
    if (Member == Object.MemberEnd())
    {
        return nullptr;
    }
    if (!Member->value.IsArray())
    {
        OutError = std::string("\"") + Key + "\" is not an array";
        return nullptr;
    }
    return &Member->value;
}

std::optional<std::string> ReadClient(const rapidjson::Value& Value, FBackendState& State)
{
    if (!Value.IsObject())
    {
        return "a client is not an object";
    }
    FClient Client;
    Client.Service = "game";
    for (const auto& [Key, Out, bRequired] :
         {std::tuple{"name", &Client.Name, true}, std::tuple{"id", &Client.Id, true},
          std::tuple{"secret", &Client.Secret, true}, std::tuple{"service", &Client.Service, false}})
    {
        if (auto Error = ReadString(Value, Key, *Out, bRequired))
        {
            return "client: " + *Error;
        }
    }
    if (auto Error = ReadBool(Value, "server", Client.bServer))
    {
        return "client: " + *Error;
    }
    if (State.Clients.contains(Client.Id))
    {
        return "client id \"" + Client.Id + "\" appears twice";
    }
    State.Clients.emplace(Client.Id, std::move(Client));
    return std::nullopt;
}

std::optional<std::string> ReadExternalAuths(const rapidjson::Value& Value, FAccount& Account)
{
    std::string Error;
    const rapidjson::Value* Array = ReadArray(Value, "externalAuths", Error);
    if (!Array)
    {
        return Error.empty() ? std::nullopt : std::optional<std::string>(Error);
    }
    for (const rapidjson::Value& Entry : Array->GetArray())
    {
        if (!Entry.IsObject())
        {
            return "an external auth is not an object";
        }
        FExternalAuth Auth;
        for (const auto& [Key, Out] :
             {std::pair{"type", &Auth.Type}, std::pair{"id", &Auth.Id}, std::pair{"token", &Auth.Token}})
        {
            if (auto FieldError = ReadString(Entry, Key, *Out, true))
            {
                return "external auth: " + *FieldError;
            }
        }
        Account.ExternalAuths.push_back(std::move(Auth));
    }
    return std::nullopt;
}

std::optional<std::string> ReadAccount(const rapidjson::Value& Value, FBackendState& State)
{
    if (!Value.IsObject())
    {
        return "an account is not an object";
    }
    FAccount Account;
    for (const auto& [Key, Out, bRequired] :
         {std::tuple{"id", &Account.Id, true}, std::tuple{"displayName", &Account.DisplayName, true},
          std::tuple{"name", &Account.Name, false}, std::tuple{"email", &Account.Email, true},
          std::tuple{"password", &Account.Password, true}})
    {
        if (auto Error = ReadString(Value, Key, *Out, bRequired))
        {
            return "account: " + *Error;
        }
    }
    if (auto Error = ReadExternalAuths(Value, Account))
    {
        return "account \"" + Account.Id + "\": " + *Error;
    }
    if (State.Accounts.contains(Account.Id) || State.FindAccountByEmail(Account.Email))
    {
        return "account \"" + Account.Id + "\" or its e-mail appears twice";
    }
    State.Accounts.emplace(Account.Id, std::move(Account));
    return std::nullopt;
}

template <typename ReaderType>
std::optional<std::string> ReadList(const rapidjson::Value& Root, const char* Key, FBackendState& State,
                                    ReaderType Reader)
{
    std::string Error;
    const rapidjson::Value* Array = ReadArray(Root, Key, Error);
    if (!Array)
    {
        return Error.empty() ? std::nullopt : std::optional<std::string>(Error);
    }
    for (const rapidjson::Value& Entry : Array->GetArray())
    {
        if (auto EntryError = Reader(Entry, State))
        {
            return EntryError;
        }
    }
    return std::nullopt;
}
} // namespace

std::optional<std::string> LoadSeedJson(const std::string& Json, FBackendState& State)
{
    rapidjson::Document Document;
    if (!ParseJson(Json, Document))
    {
        if (!Document.HasParseError())
        {
            return "nested more than " + std::to_string(MaxJsonDepth) + " deep";
        }
        return std::string("not valid JSON at offset ") + std::to_string(Document.GetErrorOffset()) + ": " +
               rapidjson::GetParseError_En(Document.GetParseError());
    }
    if (!Document.IsObject())
    {
        return "the top level is not an object";
    }
    if (auto Error = ReadList(Document, "clients", State, ReadClient))
    {
        return Error;
    }
    return ReadList(Document, "accounts", State, ReadAccount);
}

std::optional<std::string> LoadSeedFile(const std::string& Path, FBackendState& State)
{
    std::ifstream File(Path, std::ios::binary);
    if (!File)
    {
        return "cannot open seed file " + Path;
    }
    File.seekg(0, std::ios::end);
    if (File.tellg() > MaxSeedBytes)
    {
        return "seed file " + Path + " is too large";
    }
    File.seekg(0, std::ios::beg);
    std::ostringstream Contents;
    Contents << File.rdbuf();
    if (auto Error = LoadSeedJson(Contents.str(), State))
    {
        return "seed file " + Path + ": " + *Error;
    }
    return std::nullopt;
}
} // namespace ZorBackend
