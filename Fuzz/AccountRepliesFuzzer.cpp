// Untrusted replies of account creation, account mapping and user information through their readers. A reply
// that reads may only ever hold non-empty external accounts and users with ids; reading twice changes
// nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "AccountCreation/TavoAccountJson.h"
#include "AccountMapping/ZorExternalAccountCache.h"
#include "Users/ZorUserInfoCache.h"

namespace
{
void CheckExternalAccounts(const FString& Text, const FString& Type)
{
    FZorExternalAccountCache Cache;
    Cache.Add("acct", FExternalOnlineAccount("kept", "1", ""));
    if (!Cache.ApplyQueryReply(Text, Type).IsEmpty())
    {
        return;
    }
    for (const FString AccountId : {"acct", "other"})
    {
        const TArray<FExternalOnlineAccount>* List = Cache.Find(AccountId);
        for (int32 Index = 0; List && Index < List->Num(); ++Index)
        {
            if ((*List)[Index].Type.IsEmpty() || (*List)[Index].Id.IsEmpty())
            {
                std::abort();
            }
        }
    }
}

void CheckUsers(const FString& Text)
{
    FZorUserInfoCache Cache;
    if (!Cache.ApplyQueryReply("me", Text).IsEmpty())
    {
        return;
    }
    const int32 Count = Cache.Find("me")->Num();
    if (!Cache.ApplyQueryReply("me", Text).IsEmpty() || Cache.Find("me")->Num() != Count)
    {
        std::abort();
    }
    for (const TSharedRef<FOnlineUserInfoZor>& User : *Cache.Find("me"))
    {
        if (User->GetUserId()->ToString().IsEmpty())
        {
            std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    FTavoAccountInfoJson Account;
    Account.FromJson(Text);
    CheckExternalAccounts(Text, FString());
    CheckExternalAccounts(Text, "kept");
    CheckUsers(Text);
    return 0;
}
