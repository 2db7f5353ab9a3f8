#pragma once

#include <optional>

#include "Friends/OnlineFriendsZor.h"
#include "ZorSubsystemTest.h"

/** A subsystem with local user 0 logged in as "acct1" and every friends event recorded as text. */
class FFriendsTest : public FZorSubsystemTest
{
protected:
    static constexpr const char* ListUrl = "/api/public/list/acct1/default";

    FFriendsTest();

    FOnlineFriendsZor& Friends() { return *Subsystem->GetZorFriendsService(); }
    FString EventText() const { return FString::Join(Events, ","); }
    /** Reads the "default" list of acct1 with Body as the reply. */
    void ReadList(const FString& Body);
    /** Runs a friend operation on "default" and answers it. */
    void Answered(bool (FOnlineFriendsZor::*Operation)(int32, const FUniqueNetId&, const FString&),
                  const FString& FriendId, int32 Code, const FString& Body = "{}");
    std::optional<EInviteStatus::Type> StatusOf(const FString& FriendId);

    TArray<FString> Events;
};
