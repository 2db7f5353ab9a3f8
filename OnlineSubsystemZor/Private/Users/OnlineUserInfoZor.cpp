#include "Users/OnlineUserInfoZor.h"

FString FOnlineUserInfoZor::GetRealName() const
{
    FString Value;
    GetAccountData("name", Value);
    return Value;
}

FString FOnlineUserInfoZor::GetDisplayName(const FString&) const
{
    FString Value;
    GetAccountData("displayName", Value);
    return Value;
}

bool FOnlineUserInfoZor::GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const
{
    return GetAccountData(AttrName, OutAttrValue);
}

bool FOnlineUserInfoZor::GetAccountData(const FString& Key, FString& OutValue) const
{
    for (const TPair<FString, FString>& Attribute : Attributes)
    {
        if (Attribute.Key.Equals(Key, ESearchCase::IgnoreCase))
        {
            OutValue = Attribute.Value;
            return true;
        }
    }
    return false;
}
