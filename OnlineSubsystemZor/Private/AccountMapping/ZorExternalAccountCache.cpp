#include "AccountMapping/ZorExternalAccountCache.h"

#include "Json/Json.h"

void FZorExternalAccountCache::Add(const FString& AccountId, const FExternalOnlineAccount& Account)
{
    TArray<FExternalOnlineAccount>& List = Accounts.FindOrAdd(AccountId);
    if (!List.Contains(Account))
    {
        List.Add(Account);
    }
}

void FZorExternalAccountCache::RemoveType(const FString& AccountId, const FString& Type)
{
    if (TArray<FExternalOnlineAccount>* List = Accounts.Find(AccountId))
    {
        List->RemoveAll([&Type](const FExternalOnlineAccount& Account)
                        { return Account.Type.Equals(Type, ESearchCase::IgnoreCase); });
    }
}

FString FZorExternalAccountCache::ApplyQueryReply(const FString& Body, const FString& Type)
{
    TArray<TSharedPtr<FJsonValue>> AccountInfos;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), AccountInfos))
    {
        return FString::Printf("Invalid response payload=%s", *Body);
    }
    for (const TSharedPtr<FJsonValue>& Value : AccountInfos)
    {
        if (Value && Value->AsObject())
        {
            ApplyAccountInfo(*Value->AsObject(), Type);
        }
    }
    return FString();
}

void FZorExternalAccountCache::ApplyAccountInfo(const FJsonObject& AccountInfo, const FString& Type)
{
    FString AccountId;
    if (!AccountInfo.TryGetStringField("tavoId", AccountId) || AccountId.IsEmpty())
    {
        return;
    }
    TArray<FExternalOnlineAccount>& List = Accounts.FindOrAdd(AccountId);
    if (Type.IsEmpty())
    {
        List.Empty();
    }
    else
    {
        RemoveType(AccountId, Type);
    }
    for (const TSharedPtr<FJsonValue>& Value : AccountInfo.GetArrayField("externalAccounts"))
    {
        const TSharedPtr<FJsonObject> External = Value ? Value->AsObject() : nullptr;
        if (!External)
        {
            continue;
        }
        const FExternalOnlineAccount Account(External->GetStringField("type"),
                                             External->GetStringField("externalId"), FString());
        // A typed reply should name only that type; one that names more must not list the others twice.
        if (!Account.Type.IsEmpty() && !Account.Id.IsEmpty() && (Type.IsEmpty() || !List.Contains(Account)))
        {
            List.Add(Account);
        }
    }
}

const TArray<FExternalOnlineAccount>* FZorExternalAccountCache::Find(const FString& AccountId) const
{
    return Accounts.Find(AccountId);
}
