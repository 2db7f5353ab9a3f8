#include "AccountMapping/OnlineAccountMappingZor.h"
#include "Core/Parse.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
/** The type the last "mapping query" named; empty for every type. */
class FMappingWordState : public FHostWordState
{
public:
    FString QueriedType;
};

const char* const Usage = "usage: mapping add TYPE TOKEN | remove TYPE | query [TYPE] | find DISPLAYNAME";

TSharedPtr<FOnlineAccountMappingZor> GetMapping(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetZorAccountMappingService() : nullptr;
}

bool MappingWord(FZorHost& Host, const TCHAR* Args)
{
    FString Verb;
    FString First;
    FString Second;
    FParse::Token(Args, Verb, false);
    FParse::Token(Args, First, false);
    FParse::Token(Args, Second, false);
    const bool bKnown = (Verb == "add" && !Second.IsEmpty()) || (Verb == "remove" && !First.IsEmpty()) ||
                        Verb == "query" || (Verb == "find" && !First.IsEmpty());
    const TSharedPtr<FOnlineAccountMappingZor> Mapping = GetMapping(Host);
    if (!bKnown || !Mapping)
    {
        UE_LOG(LogHost, Warning, "%s", Mapping ? Usage : "mapping: there is no account mapping service");
        return false;
    }
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("mapping");
    if (!UserId)
    {
        return false;
    }
    Host.AwaitOutcome("mapping " + Verb);
    if (Verb == "add")
    {
        return Mapping->AddExternalAccount(*UserId, FExternalOnlineAccount(First, FString(), Second));
    }
    if (Verb == "remove")
    {
        return Mapping->RemoveExternalAccount(*UserId, FExternalOnlineAccount(First, FString(), FString()));
    }
    if (Verb == "query")
    {
        Host.GetWordState<FMappingWordState>().QueriedType = First;
        return Mapping->QueryExternalAccounts(*UserId, First);
    }
    return Mapping->QueryUserIdFromDisplayName(*UserId, First);
}

/** The token that proves an external account, and whatever follows it. */
bool IsSecretMappingArg(const TArray<FString>& Args, int32 Index)
{
    return Args[0] == "add" && Index >= 2;
}

void LogExternalAccounts(const FOnlineAccountMappingZor& Mapping, const FUniqueNetId& UserId,
                         const FString& Type)
{
    TArray<FExternalOnlineAccount> Accounts;
    Mapping.GetExternalAccounts(UserId, Accounts);
    int32 Shown = 0;
    for (const FExternalOnlineAccount& Account : Accounts)
    {
        if (Type.IsEmpty() || Account.Type == Type)
        {
            UE_LOG(LogHost, Display, "ExternalAccount UserId=%s Type=%s Id=%s", *UserId.ToString(),
                   *Account.Type, *Account.Id);
            ++Shown;
        }
    }
    if (Shown == 0)
    {
        UE_LOG(LogHost, Display, "  no external accounts%s%s", Type.IsEmpty() ? "" : " of type ", *Type);
    }
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineAccountMappingZor> Mapping = GetMapping(Host);
    if (!Mapping)
    {
        return;
    }
    const TWeakPtr<FOnlineAccountMappingZor> Weak = Mapping;
    const auto Linked = [&Host](const char* Event, const char* Operation)
    {
        return FOnAddExternalAccountCompleteDelegate::CreateLambda(
            [&Host, Event, Operation](bool bWasSuccessful, const FUniqueNetId& UserId,
                                      const FExternalOnlineAccount& Account, const FString& Error)
            {
                UE_LOG(LogHost, Display, "%s bWasSuccessful=%d UserId=%s Type=%s Error=%s", Event,
                       bWasSuccessful, *UserId.ToString(), *Account.Type, *ZorLogText::Error(Error));
                Host.ReportOutcome(Operation, bWasSuccessful);
            });
    };
    Mapping->AddOnAddExternalAccountCompleteDelegate(Linked("OnAddExternalAccountComplete", "mapping add"));
    Mapping->AddOnRemoveExternalAccountCompleteDelegate(
        Linked("OnRemoveExternalAccountComplete", "mapping remove"));
    Mapping->AddOnQueryExternalAccountsCompleteDelegate(
        FOnQueryExternalAccountsCompleteDelegate::CreateLambda(
            [&Host, Weak](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
            {
                UE_LOG(LogHost, Display,
                       "OnQueryExternalAccountsComplete bWasSuccessful=%d UserId=%s Error=%s", bWasSuccessful,
                       *UserId.ToString(), *ZorLogText::Error(Error));
                if (const TSharedPtr<FOnlineAccountMappingZor> Pinned = Weak.Pin(); Pinned && bWasSuccessful)
                {
                    LogExternalAccounts(*Pinned, UserId, Host.GetWordState<FMappingWordState>().QueriedType);
                }
                Host.ReportOutcome("mapping query", bWasSuccessful);
            }));
    Mapping->AddOnQueryUserIdFromDisplayNameCompleteDelegate(
        FOnQueryUserIdFromDisplayNameCompleteDelegate::CreateLambda(
            [&Host](bool bWasSuccessful, const FUniqueNetId&, const FString& DisplayName,
                    const FUniqueNetId& Found, const FString& Error)
            {
                UE_LOG(LogHost, Display,
                       "OnQueryUserIdFromDisplayNameComplete bWasSuccessful=%d DisplayName=%s FoundUserId=%s "
                       "Error=%s",
                       bWasSuccessful, *DisplayName, *Found.ToString(), *ZorLogText::Error(Error));
                // The service answers an unknown name with success and no id.
                const bool bFound = bWasSuccessful && Found.IsValid();
                if (bWasSuccessful && !bFound)
                {
                    UE_LOG(LogHost, Warning, "mapping find: nobody has the display name %s", *DisplayName);
                }
                Host.ReportOutcome("mapping find", bFound);
            }));
}

const FHostWord Words[] = {
    {"mapping", "mapping add TYPE TOKEN | remove TYPE | query [TYPE] | find DISPLAYNAME",
     "links and lists local user 0's external accounts, or finds a user by display name", &MappingWord,
     &IsSecretMappingArg},
};
const FHostOperation Operations[] = {
    {"mapping add"},
    {"mapping remove"},
    {"mapping query"},
    {"mapping find"},
};
} // namespace

const FHostWordGroup& GetMappingHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
