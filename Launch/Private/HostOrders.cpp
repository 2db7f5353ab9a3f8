#include "Core/Parse.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
const TCHAR* const OrderUsage =
    "order preview OFFER... | create OFFER... | checkout ID [BILLINGACCOUNTID] | fulfill ID";

/** The services and local user 0's id, or a warning saying what is missing. */
struct FPurchaseContext
{
    TSharedPtr<FOnlineOrderServiceZor> Orders;
    TSharedPtr<FOnlinePaymentServiceZor> Payment;
    FUniqueNetIdPtr UserId;

    static bool Get(FZorHost& Host, const TCHAR* Word, FPurchaseContext& Out)
    {
        FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
        Out.Orders = Subsystem ? Subsystem->GetZorOrderService() : nullptr;
        Out.Payment = Subsystem ? Subsystem->GetZorPaymentService() : nullptr;
        if (!Out.Orders || !Out.Payment)
        {
            UE_LOG(LogHost, Warning, "%s: there are no order and payment services", Word);
            return false;
        }
        Out.UserId = Host.GetLoggedInUser(Word);
        return Out.UserId.IsValid();
    }
};

TArray<FString> ReadTokens(const TCHAR* Args)
{
    TArray<FString> Tokens;
    FString Token;
    while (FParse::Token(Args, Token, false))
    {
        Tokens.Add(Token);
    }
    return Tokens;
}

bool BillingWord(FZorHost& Host, const TCHAR* Args)
{
    FPurchaseContext Context;
    if (!FParse::Command(&Args, "default"))
    {
        UE_LOG(LogHost, Warning, "usage: billing default");
        return false;
    }
    if (!FPurchaseContext::Get(Host, "billing", Context))
    {
        return false;
    }
    Host.AwaitOutcome("billing default");
    return Context.Payment->QueryDefaultBillingAccount(*Context.UserId);
}

bool OrdersWord(FZorHost& Host, const TCHAR* Args)
{
    FPurchaseContext Context;
    if (!FParse::Command(&Args, "list"))
    {
        UE_LOG(LogHost, Warning, "usage: orders list");
        return false;
    }
    if (!FPurchaseContext::Get(Host, "orders", Context))
    {
        return false;
    }
    Host.AwaitOutcome("orders list");
    return Context.Orders->QueryOrders(*Context.UserId);
}

/** The default billing account read by "billing default", with the id given on the line, if any. */
FOnlineBillingAccount BillingAccountFor(const FPurchaseContext& Context, const TArray<FString>& Tokens)
{
    const TSharedPtr<FOnlineBillingAccount> Default =
        Context.Payment->GetDefaultBillingAccount(*Context.UserId);
    FOnlineBillingAccount Account = Default ? *Default : FOnlineBillingAccount();
    if (Tokens.Num() > 1)
    {
        Account.AccountId = Tokens[1];
    }
    return Account;
}

bool OrderWord(FZorHost& Host, const TCHAR* Args)
{
    FString Verb;
    FParse::Token(Args, Verb, false);
    const TArray<FString> Tokens = ReadTokens(Args);
    const bool bKnown = Verb == "preview" || Verb == "create" || Verb == "checkout" || Verb == "fulfill";
    if (!bKnown || Tokens.IsEmpty())
    {
        UE_LOG(LogHost, Warning, "usage: %s", OrderUsage);
        return false;
    }
    FPurchaseContext Context;
    if (!FPurchaseContext::Get(Host, "order", Context))
    {
        return false;
    }
    FOnlineOrderServiceZor& Orders = *Context.Orders;
    const FUniqueNetId& UserId = *Context.UserId;
    Host.AwaitOutcome("order " + Verb);
    if (Verb == "preview")
    {
        return Orders.PreviewOrder(UserId, Tokens, FRegionInfo());
    }
    if (Verb == "create")
    {
        return Orders.CreateOrder(UserId, Tokens, FRegionInfo());
    }
    return Verb == "checkout" ? Orders.CheckoutOrder(UserId, Tokens[0], BillingAccountFor(Context, Tokens))
                              : Orders.FulfillOrder(UserId, Tokens[0]);
}

void LogOrder(const FOnlineOrder& Order)
{
    UE_LOG(LogHost, Display, "  %s %s status=%s total=%lld %s", Order.bIsPreview ? "preview" : "order",
           *Order.OrderId, *Order.OrderStatus, static_cast<long long>(Order.GetTotalPrice()),
           *Order.Currency);
}

FOnOrderOperationComplete::FDelegate OrderEvent(FZorHost& Host, FOnlineOrderServiceZor& Orders,
                                                const TCHAR* Event, const TCHAR* Operation)
{
    return FOnOrderOperationComplete::FDelegate::CreateLambda(
        [&Host, &Orders, Event, Operation](bool bWasSuccessful, const FUniqueNetId& UserId,
                                           const FString& OrderId, const FString& Error)
        {
            UE_LOG(LogHost, Display, "%s bWasSuccessful=%d UserId=%s OrderId=%s Error=%s", Event,
                   bWasSuccessful, *UserId.ToString(), *OrderId, *ZorLogText::Error(Error));
            if (const TSharedPtr<FOnlineOrder> Order = Orders.GetOrder(UserId, OrderId))
            {
                LogOrder(*Order);
            }
            Host.ReportOutcome(Operation, bWasSuccessful);
        });
}

void BindOrderEvents(FZorHost& Host, FOnlineOrderServiceZor& Orders)
{
    Orders.AddOnQueryOrdersCompleteDelegate(FOnQueryOrdersCompleteDelegate::CreateLambda(
        [&Host, &Orders](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryOrdersComplete bWasSuccessful=%d UserId=%s Error=%s",
                   bWasSuccessful, *UserId.ToString(), *ZorLogText::Error(Error));
            TArray<TSharedPtr<FOnlineOrder>> Cached;
            Orders.GetOrders(UserId, Cached);
            if (bWasSuccessful && Cached.IsEmpty())
            {
                UE_LOG(LogHost, Display, "  no orders");
            }
            for (const auto& Order : Cached)
            {
                LogOrder(*Order);
            }
            Host.ReportOutcome("orders list", bWasSuccessful);
        }));
    Orders.AddOnPreviewOrderCompleteDelegate(
        OrderEvent(Host, Orders, "OnPreviewOrderComplete", "order preview"));
    Orders.AddOnCreateOrderCompleteDelegate(
        OrderEvent(Host, Orders, "OnCreateOrderComplete", "order create"));
    Orders.AddOnCheckoutOrderCompleteDelegate(
        OrderEvent(Host, Orders, "OnCheckoutOrderComplete", "order checkout"));
    Orders.AddOnFulfillOrderCompleteDelegate(
        OrderEvent(Host, Orders, "OnFulfillOrderComplete", "order fulfill"));
}

void BindEvents(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineOrderServiceZor> Orders = Subsystem ? Subsystem->GetZorOrderService() : nullptr;
    const TSharedPtr<FOnlinePaymentServiceZor> Payment =
        Subsystem ? Subsystem->GetZorPaymentService() : nullptr;
    if (!Orders || !Payment)
    {
        return;
    }
    BindOrderEvents(Host, *Orders);
    FOnlinePaymentServiceZor& Service = *Payment;
    Service.AddOnQueryDefaultBillingAccountCompleteDelegate(
        FOnQueryDefaultBillingAccountCompleteDelegate::CreateLambda(
            [&Host, &Service](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& Error)
            {
                UE_LOG(LogHost, Display,
                       "OnQueryDefaultBillingAccountComplete bWasSuccessful=%d UserId=%s Error=%s",
                       bWasSuccessful, *UserId.ToString(), *ZorLogText::Error(Error));
                if (const TSharedPtr<FOnlineBillingAccount> Account =
                        Service.GetDefaultBillingAccount(UserId))
                {
                    UE_LOG(LogHost, Display, "  billing account \"%s\" country=%s",
                           *Account->billingAccountName.ToString(), *Account->country);
                }
                Host.ReportOutcome("billing default", bWasSuccessful);
            }));
}

const TCHAR* const OrderNotes[] = {DemoCatalogNote};

const FHostWord Words[] = {
    {"billing", "billing default", "reads local user 0's default billing account", &BillingWord},
    {"orders", "orders list", "lists local user 0's orders", &OrdersWord},
    {"order",
     OrderUsage,
     "previews or creates an order of offers of namespace qx, or checks out (with the default billing "
     "account, or the id given) or fulfils a cached order",
     &OrderWord,
     nullptr,
     {},
     OrderNotes},
};
const FHostOperation Operations[] = {
    {"orders list"},    {"order preview"}, {"order create"},
    {"order checkout"}, {"order fulfill"}, {"billing default"},
};
} // namespace

const FHostWordGroup& GetOrdersHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
