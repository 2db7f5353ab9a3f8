#include "FriendsService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <httplib.h>

#include <optional>
#include <string>

namespace ZorBackend
{
namespace
{
constexpr const char* GamePath = "/game/api/public/list/";
// Bounds what one account can make the backend keep.
constexpr size_t MaxFriendsPerList = 1000;
constexpr size_t MaxListsPerAccount = 32;

namespace FriendsErrors
{
constexpr const char* Forbidden = "errors.zor.friends.forbidden";
constexpr const char* AccountNotFound = "errors.zor.friends.account_not_found";
constexpr const char* FriendNotFound = "errors.zor.friends.friend_not_found";
constexpr const char* Duplicate = "errors.zor.friends.duplicate";
constexpr const char* InvalidParameter = "errors.zor.friends.invalid_parameter";
constexpr const char* LimitReached = "errors.zor.friends.limit_reached";
} // namespace FriendsErrors

const char* StatusWord(EFriendStatus Status)
{
    switch (Status)
    {
    case EFriendStatus::Accepted:
        return "ACCEPTED";
    case EFriendStatus::PendingOutbound:
        return "PENDING_OUTBOUND";
    case EFriendStatus::PendingInbound:
        break;
    }
    return "PENDING_INBOUND";
}

// Both sides of one friendship: the account of the route's <id> slot and the other account.
struct FPair
{
    std::string Self;
    std::string ListName;
    std::string Other;
};

std::optional<FServiceError> CheckCaller(FFriendsService& Service, const FToken& Caller,
                                         const std::string& Self)
{
    if (!IsOwnToken(Caller, Self))
    {
        return FServiceError{403, FriendsErrors::Forbidden, "The token does not belong to account " + Self};
    }
    if (!Service.State.Accounts.contains(Self))
    {
        return FServiceError{404, FriendsErrors::AccountNotFound, "No such account"};
    }
    return std::nullopt;
}

std::optional<FServiceError> CheckOther(FFriendsService& Service, const FPair& Pair)
{
    if (EqualsIgnoreCase(Pair.Self, Pair.Other))
    {
        return FServiceError{400, FriendsErrors::InvalidParameter, "An account cannot befriend itself"};
    }
    if (!Service.State.Accounts.contains(Pair.Other))
    {
        return FServiceError{404, FriendsErrors::AccountNotFound, "No such account " + Pair.Other};
    }
    return std::nullopt;
}

FFriendsList* FindList(FFriendsService& Service, const std::string& Account, const std::string& ListName)
{
    const auto User = Service.Lists.find(Account);
    if (User == Service.Lists.end())
    {
        return nullptr;
    }
    const auto List = User->second.find(ListName);
    return List == User->second.end() ? nullptr : &List->second;
}

std::optional<EFriendStatus> StatusOf(FFriendsService& Service, const FPair& Pair)
{
    const FFriendsList* List = FindList(Service, Pair.Self, Pair.ListName);
    if (!List)
    {
        return std::nullopt;
    }
    const auto Found = List->find(Pair.Other);
    return Found == List->end() ? std::nullopt : std::optional(Found->second);
}

bool HasRoom(FFriendsService& Service, const std::string& Account, const std::string& ListName)
{
    auto& UserLists = Service.Lists[Account];
    const auto List = UserLists.find(ListName);
    return List == UserLists.end() ? UserLists.size() < MaxListsPerAccount
                                   : List->second.size() < MaxFriendsPerList;
}

void SetBoth(FFriendsService& Service, const FPair& Pair, EFriendStatus Mine, EFriendStatus Theirs)
{
    Service.Lists[Pair.Self][Pair.ListName][Pair.Other] = Mine;
    Service.Lists[Pair.Other][Pair.ListName][Pair.Self] = Theirs;
}

void RemoveBoth(FFriendsService& Service, const FPair& Pair)
{
    if (FFriendsList* Mine = FindList(Service, Pair.Self, Pair.ListName))
    {
        Mine->erase(Pair.Other);
    }
    if (FFriendsList* Theirs = FindList(Service, Pair.Other, Pair.ListName))
    {
        Theirs->erase(Pair.Self);
    }
}

void SendNoContent(httplib::Response& Res)
{
    Res.status = 204;
}

// Runs Handler for the route's pair once the bearer is the <id> account and the other account exists.
template <typename HandlerType>
void WithPair(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res,
              const FPair& Pair, HandlerType Handler)
{
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (auto Error = CheckCaller(Service, Caller, Pair.Self))
                   {
                       return SendError(Res, *Error);
                   }
                   if (auto Error = CheckOther(Service, Pair))
                   {
                       return SendError(Res, *Error);
                   }
                   Handler();
               });
}

void HandleReadList(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::string Self = Req.matches[1].str();
    const std::string ListName = Req.matches[2].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (auto Error = CheckCaller(Service, Caller, Self))
                   {
                       return SendError(Res, *Error);
                   }
                   rapidjson::StringBuffer Buffer;
                   FJsonWriter Writer(Buffer);
                   Writer.StartArray();
                   if (const FFriendsList* List = FindList(Service, Self, ListName))
                   {
                       for (const auto& [FriendId, Status] : *List)
                       {
                           Writer.StartObject();
                           WriteString(Writer, "tavoId", FriendId);
                           WriteString(Writer, "status", StatusWord(Status));
                           Writer.EndObject();
                       }
                   }
                   Writer.EndArray();
                   SendJson(Res, 200, Buffer);
               });
}

void HandleDeleteList(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const std::string Self = Req.matches[1].str();
    const std::string ListName = Req.matches[2].str();
    WithBearer(Service.State, Req, Res,
               [&](FToken& Caller, FSteadyClock::time_point)
               {
                   if (auto Error = CheckCaller(Service, Caller, Self))
                   {
                       return SendError(Res, *Error);
                   }
                   const FFriendsList* List = FindList(Service, Self, ListName);
                   if (!List)
                   {
                       return SendError(Res, 404, ErrorCodes::NotFound, "No list named " + ListName);
                   }
                   const FFriendsList Removed = *List;
                   for (const auto& Entry : Removed)
                   {
                       RemoveBoth(Service, FPair{Self, ListName, Entry.first});
                   }
                   Service.Lists[Self].erase(ListName);
                   SendNoContent(Res);
               });
}

void HandleInvite(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const FPair Pair{Req.matches[1].str(), Req.matches[2].str(), Req.matches[3].str()};
    WithPair(
        Service, Req, Res, Pair,
        [&]
        {
            if (StatusOf(Service, Pair))
            {
                return SendError(Res, 409, FriendsErrors::Duplicate, Pair.Other + " is already in the list");
            }
            if (!HasRoom(Service, Pair.Self, Pair.ListName) || !HasRoom(Service, Pair.Other, Pair.ListName))
            {
                return SendError(Res, 409, FriendsErrors::LimitReached, "The list is full");
            }
            SetBoth(Service, Pair, EFriendStatus::PendingOutbound, EFriendStatus::PendingInbound);
            SendNoContent(Res);
        });
}

// The invitee answers: the account slot is the third, the inviter comes first.
void HandleAnswer(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const FPair Pair{Req.matches[3].str(), Req.matches[2].str(), Req.matches[1].str()};
    const bool bAccept = Req.matches[4].str() == "accept";
    WithPair(Service, Req, Res, Pair,
             [&]
             {
                 if (StatusOf(Service, Pair) != EFriendStatus::PendingInbound)
                 {
                     return SendError(Res, 404, FriendsErrors::FriendNotFound,
                                      "No invitation from " + Pair.Other);
                 }
                 if (bAccept)
                 {
                     SetBoth(Service, Pair, EFriendStatus::Accepted, EFriendStatus::Accepted);
                 }
                 else
                 {
                     RemoveBoth(Service, Pair);
                 }
                 SendNoContent(Res);
             });
}

void HandleRemoveFriend(FFriendsService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const FPair Pair{Req.matches[1].str(), Req.matches[2].str(), Req.matches[3].str()};
    WithPair(Service, Req, Res, Pair,
             [&]
             {
                 if (!StatusOf(Service, Pair))
                 {
                     return SendError(Res, 404, FriendsErrors::FriendNotFound,
                                      Pair.Other + " is not in the list");
                 }
                 RemoveBoth(Service, Pair);
                 SendNoContent(Res);
             });
}
} // namespace

void FFriendsService::Register(httplib::Server& Server)
{
    const auto Bind = [this](void (*Handler)(FFriendsService&, const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { Handler(*this, Req, Res); };
    };
    const std::string List = std::string(GamePath) + "([^/]+)/([^/]+)";
    Server.Get(List, Bind(HandleReadList));
    Server.Delete(List, Bind(HandleDeleteList));
    Server.Post(List + "/([^/]+)", Bind(HandleInvite));
    Server.Post(List + "/([^/]+)/(accept|reject)", Bind(HandleAnswer));
    Server.Delete(List + "/([^/]+)", Bind(HandleRemoveFriend));
}
} // namespace ZorBackend
