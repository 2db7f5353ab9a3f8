#include "ZorHostProfile.h"

#include "Launch/ZorHost.h"

IMPLEMENT_OBJECT_CLASS(UZorHostProfile, "/Script/ZorHost", 0)

namespace
{
/** Command parameters typed on the console: the object's members are written as they are. */
class FConsoleCommandParams : public FOnlineJsonSerializable
{
public:
    explicit FConsoleCommandParams(TSharedPtr<FJsonObject> InObject) : Object(std::move(InObject)) {}

    void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override
    {
        if (!bFlatObject)
        {
            Serializer.StartObject();
        }
        for (const auto& Field : Object->Values)
        {
            SerializeField(Serializer, Field.Key, Field.Value);
        }
        if (!bFlatObject)
        {
            Serializer.EndObject();
        }
    }

private:
    static void SerializeField(FOnlineJsonSerializerBase& Serializer, const FString& Name,
                               const TSharedPtr<FJsonValue>& Value)
    {
        switch (Value->Type)
        {
        case EJson::String:
        {
            FString Text = Value->AsString();
            Serializer.Serialize(Name, Text);
            break;
        }
        case EJson::Number:
        {
            double Number = Value->AsNumber();
            Serializer.Serialize(Name, Number);
            break;
        }
        case EJson::Boolean:
        {
            bool bFlag = Value->AsBool();
            Serializer.Serialize(Name, bFlag);
            break;
        }
        case EJson::Object:
        {
            TSharedPtr<FJsonObject> Nested = Value->AsObject();
            Serializer.SerializeObject(Name, Nested);
            break;
        }
        default:
            UE_LOG(LogHost, Warning,
                   "profile command: parameter %s is left out (only strings, numbers, "
                   "booleans and objects are sent)",
                   *Name);
        }
    }

    TSharedPtr<FJsonObject> Object;
};
} // namespace

bool UZorHostProfile::Query()
{
    return ForceQueryProfile(
        FOnZorQueryComplete::CreateUObject(this, &UZorHostProfile::LogResult, FString("QueryProfile")));
}

bool UZorHostProfile::SendCommand(const FString& Name, const TSharedPtr<FJsonObject>& Params)
{
    const FClientUrlContext Context(
        FOnZorQueryComplete::CreateUObject(this, &UZorHostProfile::LogResult, Name));
    return CallRemoteFunction(Name, Context, FConsoleCommandParams(Params));
}

FString UZorHostProfile::Held(const FString& Kind, const FString& Name) const
{
    if (Kind == "stat")
    {
        const TSharedPtr<FJsonValue>* Stat = GetAllStats().Find(Name);
        return Stat ? (*Stat)->AsString() : FString("none");
    }
    int64 Quantity = 0;
    for (const auto& Item : GetAllItems())
    {
        Quantity +=
            Item.Value->TemplateId.Equals(Name, ESearchCase::CaseSensitive) ? Item.Value->Quantity : 0;
    }
    return FString::Printf("%lld", static_cast<long long>(Quantity));
}

void UZorHostProfile::LogResult(const FZorQueryResult& Result, FString Command) const
{
    UE_LOG(LogHost, Display, "Profile %s bSucceeded=%d HttpResponseCode=%d ErrorCode=%s ErrorText=%s",
           *Command, Result.bSucceeded, Result.HttpResponseCode, *Result.ErrorCode,
           *Result.ErrorText.ToString());
    UE_LOG(LogHost, Display, "Profile ProfileRevision=%lld ZorRevision=%lld", GetProfileRevision(),
           GetZorRevision());
    for (const auto& Item : GetAllItems())
    {
        UE_LOG(LogHost, Display, "Profile item %s template=%s quantity=%d", *Item.Key,
               *Item.Value->TemplateId, Item.Value->Quantity);
    }
    for (const auto& Stat : GetAllStats())
    {
        UE_LOG(LogHost, Display, "Profile stat %s=%s", *Stat.Key, *Stat.Value->AsString());
    }
    if (OnResult)
    {
        OnResult(Command, Result.bSucceeded);
    }
}
