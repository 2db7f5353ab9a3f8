#include "FriendsTest.h"

FFriendsTest::FFriendsTest()
{
    CreateSubsystem();
    InstallUser("acct1");
    auto Record = [this](const char* Name)
    {
        return FOnFriendOperationComplete::FDelegate::CreateLambda(
            [this, Name](int32 UserNum, bool bOk, const FUniqueNetId& FriendId, const FString& List,
                         const FString& Error)
            {
                Events.Add(FString::Printf("%s:%d:%d:%s:%s:%s", Name, UserNum, bOk, *FriendId.ToString(),
                                           *List, *Error));
            });
    };
    auto RecordList = [this](const char* Name)
    {
        return FOnReadFriendsListComplete::FDelegate::CreateLambda(
            [this, Name](int32 UserNum, bool bOk, const FString& List, const FString& Error)
            { Events.Add(FString::Printf("%s:%d:%d:%s:%s", Name, UserNum, bOk, *List, *Error)); });
    };
    Friends().AddOnReadFriendsListCompleteDelegate(RecordList("read"));
    Friends().AddOnDeleteFriendsListCompleteDelegate(RecordList("deletelist"));
    Friends().AddOnSendInviteCompleteDelegate(Record("send"));
    Friends().AddOnAcceptInviteCompleteDelegate(Record("accept"));
    Friends().AddOnRejectInviteCompleteDelegate(Record("reject"));
    Friends().AddOnDeleteFriendCompleteDelegate(Record("delete"));
}

void FFriendsTest::ReadList(const FString& Body)
{
    ASSERT_TRUE(Friends().ReadFriendsList(0, "default"));
    Tick();
    Answer(ListUrl, 200, Body);
}

void FFriendsTest::Answered(bool (FOnlineFriendsZor::*Operation)(int32, const FUniqueNetId&, const FString&),
                            const FString& FriendId, int32 Code, const FString& Body)
{
    ASSERT_TRUE((Friends().*Operation)(0, FUniqueNetIdString(FriendId), "default"));
    Tick();
    RespondOldest(Code, Body);
    Tick();
}

std::optional<EInviteStatus::Type> FFriendsTest::StatusOf(const FString& FriendId)
{
    const TSharedPtr<FOnlineFriend> Friend = Friends().GetFriend(0, FUniqueNetIdString(FriendId), "default");
    return Friend ? std::optional(Friend->GetInviteStatus()) : std::nullopt;
}
