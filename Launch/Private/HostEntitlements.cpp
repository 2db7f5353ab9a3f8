#include "Core/Parse.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "HostArgs.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
TSharedPtr<FOnlineEntitlementsZor> GetEntitlements(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetZorEntitlementsService() : nullptr;
}

bool QueryEntitlements(FZorHost& Host, const TCHAR* Args)
{
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = GetEntitlements(Host);
    FPagedQuery Page;
    if (!ParsePageArgs(Args, Page))
    {
        UE_LOG(LogHost, Warning, "usage: entitlements [START COUNT]");
        return false;
    }
    if (!Entitlements)
    {
        UE_LOG(LogHost, Warning, "entitlements: there is no entitlements service");
        return false;
    }
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("entitlements");
    if (!UserId)
    {
        return false;
    }
    Host.AwaitOutcome("entitlements");
    return Entitlements->QueryEntitlements(*UserId, Page);
}

void OnQueryEntitlementsComplete(FZorHost& Host, const TWeakPtr<FOnlineEntitlementsZor>& Service,
                                 bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
{
    UE_LOG(LogHost, Display, "OnQueryEntitlementsComplete bWasSuccessful=%d UserId=%s Error=%s",
           bWasSuccessful, *UserId.ToString(), *ZorLogText::Error(Error));
    Host.ReportOutcome("entitlements", bWasSuccessful);
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = Service.Pin();
    if (!Entitlements)
    {
        return;
    }
    TArray<TSharedRef<FOnlineEntitlement>> All;
    Entitlements->GetAllEntitlements(UserId, All);
    for (const TSharedRef<FOnlineEntitlement>& Entitlement : All)
    {
        UE_LOG(LogHost, Display, "  entitlement Id=%s Name=%s ItemId=%s", *Entitlement->Id,
               *Entitlement->Name, *Entitlement->ItemId);
    }
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = GetEntitlements(Host);
    if (!Entitlements)
    {
        return;
    }
    const TWeakPtr<FOnlineEntitlementsZor> Weak = Entitlements;
    Entitlements->AddOnQueryEntitlementsCompleteDelegate(FOnQueryEntitlementsCompleteDelegate::CreateLambda(
        [&Host, Weak](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
        { OnQueryEntitlementsComplete(Host, Weak, bWasSuccessful, UserId, Error); }));
}

const FHostWord Words[] = {
    {"entitlements", "entitlements [START COUNT]", "lists local user 0's entitlements, or one page of them",
     &QueryEntitlements},
};
const FHostOperation Operations[] = {
    {"entitlements"},
};
} // namespace

const FHostWordGroup& GetEntitlementsHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
