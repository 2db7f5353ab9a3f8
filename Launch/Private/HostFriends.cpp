#include "Core/Parse.h"
#include "Friends/OnlineFriendsZor.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
const FString DefaultList = "default";

TSharedPtr<FOnlineFriendsZor> GetFriends(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineFriendsZor> Friends = Subsystem ? Subsystem->GetZorFriendsService() : nullptr;
    if (!Friends)
    {
        UE_LOG(LogHost, Warning, "friends: there is no friends service");
    }
    return Friends;
}

/** The friends service when local user 0 is logged in; null with the reason logged otherwise. */
TSharedPtr<FOnlineFriendsZor> GetFriendsOfUser(FZorHost& Host)
{
    const TSharedPtr<FOnlineFriendsZor> Friends = GetFriends(Host);
    return Friends && Host.GetLoggedInUser("friends") ? Friends : nullptr;
}

/** The next token, or Default when the line has none. */
FString TokenOr(const TCHAR*& Args, const FString& Default)
{
    FString Token;
    return FParse::Token(Args, Token, false) ? Token : Default;
}

bool LogList(FOnlineFriendsZor& Friends, const FString& ListName)
{
    TArray<TSharedRef<FOnlineFriend>> Entries;
    if (!Friends.GetFriendsList(FZorHost::LocalUser, ListName, Entries))
    {
        UE_LOG(LogHost, Warning, "friends list: list %s was not read", *ListName);
        return false;
    }
    UE_LOG(LogHost, Display, "Friends list %s: %d entries", *ListName, Entries.Num());
    for (const TSharedRef<FOnlineFriend>& Entry : Entries)
    {
        UE_LOG(LogHost, Display, "  %s %s", *Entry->GetUserId()->ToString(),
               EInviteStatus::ToString(Entry->GetInviteStatus()));
    }
    return true;
}

using FFriendCall = bool (FOnlineFriendsZor::*)(int32, const FUniqueNetId&, const FString&);

bool CallWithFriend(FZorHost& Host, const TCHAR* Args, FFriendCall Call, const char* Operation,
                    bool bListArgument, const char* Usage)
{
    FString FriendId;
    if (!FParse::Token(Args, FriendId, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    const FString ListName = bListArgument ? TokenOr(Args, DefaultList) : DefaultList;
    const TSharedPtr<FOnlineFriendsZor> Friends = GetFriendsOfUser(Host);
    Host.AwaitOutcome(Operation, FriendId);
    return Friends && ((*Friends).*Call)(FZorHost::LocalUser, FUniqueNetIdString(FriendId), ListName);
}

bool FriendsWord(FZorHost& Host, const TCHAR* Args)
{
    if (FParse::Command(&Args, "read"))
    {
        const TSharedPtr<FOnlineFriendsZor> Friends = GetFriendsOfUser(Host);
        Host.AwaitOutcome("friends read");
        return Friends && Friends->ReadFriendsList(FZorHost::LocalUser, TokenOr(Args, DefaultList));
    }
    if (FParse::Command(&Args, "list"))
    {
        const TSharedPtr<FOnlineFriendsZor> Friends = GetFriendsOfUser(Host);
        return Friends && LogList(*Friends, TokenOr(Args, DefaultList));
    }
    if (FParse::Command(&Args, "invite"))
    {
        return CallWithFriend(Host, Args, &FOnlineFriendsZor::SendInvite, "friends invite", true,
                              "friends invite ID [LIST]");
    }
    if (FParse::Command(&Args, "accept"))
    {
        return CallWithFriend(Host, Args, &FOnlineFriendsZor::AcceptInvite, "friends accept", false,
                              "friends accept ID");
    }
    if (FParse::Command(&Args, "reject"))
    {
        return CallWithFriend(Host, Args, &FOnlineFriendsZor::RejectInvite, "friends reject", false,
                              "friends reject ID");
    }
    if (FParse::Command(&Args, "remove"))
    {
        return CallWithFriend(Host, Args, &FOnlineFriendsZor::DeleteFriend, "friends remove", false,
                              "friends remove ID");
    }
    UE_LOG(LogHost, Warning,
           "usage: friends read [LIST] | list [LIST] | invite ID [LIST] | accept ID | reject ID | "
           "remove ID");
    return false;
}

/** Logs an event about one friend and records its outcome under the word that started it. */
FOnFriendOperationComplete::FDelegate LogFriendOutcome(FZorHost& Host, const char* Operation,
                                                       const char* Word)
{
    return FOnFriendOperationComplete::FDelegate::CreateLambda(
        [&Host, Operation, Word](int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& FriendId,
                                 const FString& ListName, const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "On%sComplete LocalUserNum=%d bWasSuccessful=%d FriendId=%s ListName=%s Error=%s",
                   Operation, LocalUserNum, bWasSuccessful, *FriendId.ToString(), *ListName,
                   *ZorLogText::Error(Error));
            Host.ReportOutcome(Word, bWasSuccessful, FriendId.ToString());
        });
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineFriendsZor> Friends = GetFriends(Host);
    if (!Friends)
    {
        return;
    }
    FOnlineFriendsZor* Service = Friends.Get();
    Friends->AddOnReadFriendsListCompleteDelegate(FOnReadFriendsListCompleteDelegate::CreateLambda(
        [&Host, Service](int32 LocalUserNum, bool bWasSuccessful, const FString& ListName,
                         const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnReadFriendsListComplete LocalUserNum=%d bWasSuccessful=%d ListName=%s Error=%s",
                   LocalUserNum, bWasSuccessful, *ListName, *ZorLogText::Error(Error));
            if (bWasSuccessful)
            {
                LogList(*Service, ListName);
            }
            Host.ReportOutcome("friends read", bWasSuccessful);
        }));
    Friends->AddOnSendInviteCompleteDelegate(LogFriendOutcome(Host, "SendInvite", "friends invite"));
    Friends->AddOnAcceptInviteCompleteDelegate(LogFriendOutcome(Host, "AcceptInvite", "friends accept"));
    Friends->AddOnRejectInviteCompleteDelegate(LogFriendOutcome(Host, "RejectInvite", "friends reject"));
    Friends->AddOnDeleteFriendCompleteDelegate(LogFriendOutcome(Host, "DeleteFriend", "friends remove"));
}

const TCHAR* const Notes[] = {
    "accept, reject and remove act on the list as last read: friends read first, else \"No cached friend\"",
    SecondUserNote, DemoUserNote};

const FHostWord Words[] = {
    {"friends",
     "friends read [LIST] | list [LIST] | invite ID [LIST] | accept ID | reject ID | remove ID",
     "reads, shows and changes local user 0's friends list (\"default\" unless named)",
     &FriendsWord,
     nullptr,
     {},
     Notes},
};

const FHostTestWord TestWords[] = {
    {"SENDINVITES ID...", "invites each friend to local user 0's \"default\" list, one after another",
     [](FZorHost& Host, const TCHAR* Args)
     {
         for (FString FriendId; FParse::Token(Args, FriendId, false);)
         {
             Host.AwaitOutcome("friends invite", FriendId);
         }
     }},
};
const FHostOperation Operations[] = {
    {"friends read"}, {"friends invite"}, {"friends accept"}, {"friends reject"}, {"friends remove"},
};
} // namespace

const FHostWordGroup& GetFriendsHostWords()
{
    static const FHostWordGroup Group{Words, TestWords, &BindEvents, Operations};
    return Group;
}
