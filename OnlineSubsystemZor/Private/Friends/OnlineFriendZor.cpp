#include "Friends/OnlineFriendZor.h"

FOnlineFriendZor::FOnlineFriendZor(const FString& UserIdText, const FString& StatusText)
    : UserId(MakeShared<FUniqueNetIdString>(UserIdText)), InviteStatus(ToInviteStatus(StatusText))
{
}

EInviteStatus::Type FOnlineFriendZor::ToInviteStatus(const FString& StatusText)
{
    // FString's == ignores case; the service's words do not.
    if (StatusText.Equals("ACCEPTED", ESearchCase::CaseSensitive))
    {
        return EInviteStatus::Accepted;
    }
    if (StatusText.Equals("PENDING_OUTBOUND", ESearchCase::CaseSensitive))
    {
        return EInviteStatus::PendingOutbound;
    }
    if (StatusText.Equals("PENDING_INBOUND", ESearchCase::CaseSensitive))
    {
        return EInviteStatus::PendingInbound;
    }
    return EInviteStatus::Unknown;
}

FString FOnlineFriendZor::AttributeOrEmpty(const FString& AttrName) const
{
    FString Value;
    GetUserAttribute(AttrName, Value);
    return Value;
}

FString FOnlineFriendZor::GetRealName() const
{
    return AttributeOrEmpty("realName");
}

FString FOnlineFriendZor::GetDisplayName(const FString& /*Platform*/) const
{
    return AttributeOrEmpty("displayName");
}

bool FOnlineFriendZor::GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const
{
    const FString* Value = Attributes.Find(AttrName);
    if (!Value)
    {
        return false;
    }
    OutAttrValue = *Value;
    return true;
}
