#include "Identity/UserOnlineAccountZor.h"

FString FUserOnlineAccountZor::GetDisplayName(const FString& /*Platform*/) const
{
    return GetAttribute("displayName");
}

bool FUserOnlineAccountZor::GetUserAttribute(const FString& AttrName, FString& OutAttrValue) const
{
    const TPair<FString, FString>* Found = Attributes.FindByPredicate(
        [&AttrName](const TPair<FString, FString>& Pair) { return Pair.Key == AttrName; });
    if (!Found)
    {
        return false;
    }
    OutAttrValue = Found->Value;
    return true;
}

FString FUserOnlineAccountZor::GetAttribute(const FString& Key) const
{
    FString Value;
    GetUserAttribute(Key, Value);
    return Value;
}

void FUserOnlineAccountZor::SetAttribute(const FString& Key, const FString& Value)
{
    TPair<FString, FString>* Found =
        Attributes.FindByPredicate([&Key](const TPair<FString, FString>& Pair) { return Pair.Key == Key; });
    if (Found)
    {
        Found->Value = Value;
        return;
    }
    Attributes.Add({Key, Value});
}

bool FUserOnlineAccountZor::GetAuthAttribute(const FString& AttrName, FString& OutAttrValue) const
{
    if (AttrName == "refresh_token")
    {
        OutAttrValue = UserToken.refresh_token;
        return true;
    }
    const FString* Value = UserToken.additionalInformation.Find(AttrName);
    if (!Value)
    {
        return false;
    }
    OutAttrValue = *Value;
    return true;
}
