#include "Entitlements/OnlineEntitlementZor.h"

#include "Json/Json.h"

TSharedPtr<FOnlineEntitlementZor>
FOnlineEntitlementZor::FromAnswerElement(const TSharedPtr<FJsonValue>& Element)
{
    const TSharedPtr<FJsonObject>* Object = nullptr;
    if (!Element || !Element->TryGetObject(Object))
    {
        return nullptr;
    }
    auto Entitlement = MakeShared<FOnlineEntitlementZor>();
    if (!Entitlement->FromJson(*Object) || Entitlement->Id.IsEmpty())
    {
        return nullptr;
    }
    for (const auto& Field : (*Object)->Values)
    {
        if (Field.Value && Field.Value->Type == EJson::String)
        {
            Entitlement->Attributes.Add({Field.Key, Field.Value->AsString()});
        }
    }
    return Entitlement;
}

bool FOnlineEntitlementZor::GetAttribute(const FString& AttrName, FString& OutAttrValue) const
{
    for (const TPair<FString, FString>& Attribute : Attributes)
    {
        if (Attribute.Key.Equals(AttrName, ESearchCase::IgnoreCase))
        {
            OutAttrValue = Attribute.Value;
            return true;
        }
    }
    return false;
}
