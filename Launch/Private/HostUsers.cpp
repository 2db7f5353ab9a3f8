#include "Core/Parse.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Online/OnlineUserInterface.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
IOnlineUserPtr GetUsers(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetUserInterface() : nullptr;
}

bool UsersWord(FZorHost& Host, const TCHAR* Args)
{
    TArray<FUniqueNetIdRef> UserIds;
    FString Id;
    const bool bQuery = FParse::Command(&Args, "query");
    while (FParse::Token(Args, Id, false))
    {
        UserIds.Add(MakeShared<FUniqueNetIdString>(Id));
    }
    const IOnlineUserPtr Users = GetUsers(Host);
    if (!bQuery || UserIds.IsEmpty() || !Users)
    {
        UE_LOG(LogHost, Warning, "%s",
               Users ? "usage: users query ID..." : "users: there is no user-info service");
        return false;
    }
    if (!Host.GetLoggedInUser("users"))
    {
        return false;
    }
    Host.AwaitOutcome("users query");
    return Users->QueryUserInfo(FZorHost::LocalUser, UserIds);
}

/** Logs the users the answer held and the ids it did not; the ids asked for are not all users found. */
void LogAnswer(IOnlineUser* Users, int32 LocalUserNum, bool bWasSuccessful,
               const TArray<FUniqueNetIdRef>& UserIds, const FString& Error)
{
    TArray<TSharedPtr<FOnlineUser>> Found;
    TArray<FString> Missing;
    for (const FUniqueNetIdRef& UserId : UserIds)
    {
        const TSharedPtr<FOnlineUser> User =
            Users && bWasSuccessful ? Users->GetUserInfo(LocalUserNum, *UserId) : nullptr;
        if (User)
        {
            Found.Add(User);
        }
        else
        {
            Missing.Add(UserId->ToString());
        }
    }
    UE_LOG(LogHost, Display, "OnQueryUserInfoComplete LocalUserNum=%d bWasSuccessful=%d Users=%d Error=%s",
           LocalUserNum, bWasSuccessful, Found.Num(), *ZorLogText::Error(Error));
    for (const TSharedPtr<FOnlineUser>& User : Found)
    {
        UE_LOG(LogHost, Display, "User Id=%s DisplayName=%s RealName=%s", *User->GetUserId()->ToString(),
               *User->GetDisplayName(), *User->GetRealName());
    }
    if (bWasSuccessful && !Missing.IsEmpty())
    {
        UE_LOG(LogHost, Display, "  no user has the id %s", *FString::Join(Missing, ", "));
    }
}

void BindEvents(FZorHost& Host)
{
    const IOnlineUserPtr Users = GetUsers(Host);
    if (!Users)
    {
        return;
    }
    const TWeakPtr<IOnlineUser> Weak = Users;
    Users->AddOnQueryUserInfoCompleteDelegate(
        FZorHost::LocalUser, FOnQueryUserInfoCompleteDelegate::CreateLambda(
                                 [&Host, Weak](int32 LocalUserNum, bool bWasSuccessful,
                                               const TArray<FUniqueNetIdRef>& UserIds, const FString& Error)
                                 {
                                     LogAnswer(Weak.Pin().Get(), LocalUserNum, bWasSuccessful, UserIds,
                                               Error);
                                     Host.ReportOutcome("users query", bWasSuccessful);
                                 }));
}

const TCHAR* const Notes[] = {SecondUserNote, DemoUserNote};

const FHostWord Words[] = {
    {"users",
     "users query ID...",
     "asks for the public information of the users, for local user 0",
     &UsersWord,
     nullptr,
     {},
     Notes},
};
const FHostOperation Operations[] = {
    {"users query"},
};
} // namespace

const FHostWordGroup& GetUsersHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
