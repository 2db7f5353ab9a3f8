#include "Users/ZorUserInfoCache.h"

#include "Json/Json.h"

FString FZorUserInfoCache::ApplyQueryReply(const FString& LocalUserId, const FString& Body)
{
    TArray<TSharedPtr<FJsonValue>> Replies;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), Replies))
    {
        return FString::Printf("Invalid response payload=%s", *Body);
    }
    FUserList& List = Users.FindOrAdd(LocalUserId);
    for (const TSharedPtr<FJsonValue>& Value : Replies)
    {
        const TSharedPtr<FOnlineUserInfoZor> User =
            Value && Value->AsObject() ? ReadUser(*Value->AsObject()) : nullptr;
        if (!User)
        {
            continue;
        }
        List.RemoveAll([&User](const TSharedRef<FOnlineUserInfoZor>& Held)
                       { return *Held->GetUserId() == *User->GetUserId(); });
        List.Add(User.ToSharedRef());
    }
    return FString();
}

TSharedPtr<FOnlineUserInfoZor> FZorUserInfoCache::ReadUser(const FJsonObject& User)
{
    FString UserId;
    if (!User.TryGetStringField("id", UserId) || UserId.IsEmpty())
    {
        return nullptr;
    }
    const TSharedRef<FOnlineUserInfoZor> Record = MakeShared<FOnlineUserInfoZor>(UserId);
    for (const auto& Field : User.Values)
    {
        if (Field.Value && Field.Value->Type == EJson::String)
        {
            Record->Attributes.Add({Field.Key, Field.Value->AsString()});
        }
    }
    return Record.ToSharedPtr();
}

const FZorUserInfoCache::FUserList* FZorUserInfoCache::Find(const FString& LocalUserId) const
{
    return Users.Find(LocalUserId);
}

TSharedPtr<FOnlineUserInfoZor> FZorUserInfoCache::FindUser(const FString& LocalUserId,
                                                           const FUniqueNetId& UserId) const
{
    const FUserList* List = Users.Find(LocalUserId);
    if (!List)
    {
        return nullptr;
    }
    const TSharedRef<FOnlineUserInfoZor>* Found = List->FindByPredicate(
        [&UserId](const TSharedRef<FOnlineUserInfoZor>& Held) { return *Held->GetUserId() == UserId; });
    return Found ? Found->ToSharedPtr() : nullptr;
}
