#include "Orders/OnlineOrderServiceZor.h"

#include "Catalog/OnlineCatalogRecords.h"
#include "Common/ZorCallSet.h"
#include "Common/ZorUrl.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Json/JsonSerializer.h"
#include "Json/JsonWriter.h"

namespace
{
const FString SectionName("OnlineSubsystemZor.OnlineOrderServiceZor");

using FCondensedWriterFactory = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>;

void WriteLineOffers(FJsonWriterBase& Writer, const TArray<FString>& OfferIds)
{
    Writer.WriteArrayStart("lineOffers");
    for (const FString& OfferId : OfferIds)
    {
        Writer.WriteObjectStart();
        Writer.WriteValue("offerId", OfferId);
        Writer.WriteValue("quantity", 1);
        Writer.WriteValue("namespace", "qx");
        Writer.WriteObjectEnd();
    }
    Writer.WriteArrayEnd();
}
} // namespace

FOnlineOrderServiceZor::FOnlineOrderServiceZor() = default;

FOnlineOrderServiceZor::FOnlineOrderServiceZor(FOnlineSubsystemZor* InSubsystem)
    : FBaseServiceZor(InSubsystem, SectionName), QueryOrdersUrl("/api/shared/accounts/`id/orders"),
      QueryOrdersByIdUrl("/api/shared/accounts/`id/orders/`orderId"),
      PreviewOrderUrl("/api/shared/accounts/`id/orders/preview"),
      CreateOrderUrl("/api/shared/accounts/`id/orders"),
      CheckoutOrderUrl("/api/shared/accounts/`id/orders/`orderId/checkout"),
      FulfillOrderUrl("/api/shared/accounts/`id/orders/`orderId/fulfill"),
      SalesChannelId("Default-purchase-client"), MerchantGroup("Default-merchant")
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "QueryOrdersUrl", QueryOrdersUrl, GEngineIni);
    GConfig->GetString(Section, "QueryOrdersByIdUrl", QueryOrdersByIdUrl, GEngineIni);
    GConfig->GetString(Section, "PreviewOrderUrl", PreviewOrderUrl, GEngineIni);
    GConfig->GetString(Section, "CreateOrderUrl", CreateOrderUrl, GEngineIni);
    GConfig->GetString(Section, "CheckoutOrderUrl", CheckoutOrderUrl, GEngineIni);
    GConfig->GetString(Section, "FulfillOrderUrl", FulfillOrderUrl, GEngineIni);
    GConfig->GetString(Section, "SalesChannelId", SalesChannelId, GEngineIni);
    GConfig->GetString(Section, "MerchantGroup", MerchantGroup, GEngineIni);
    EntitlementSource = SalesChannelId;
    GConfig->GetString(Section, "EntitlementSource", EntitlementSource, GEngineIni);
}

const FString& FOnlineOrderServiceZor::OperationName(EOrderRequestKind Kind)
{
    static const FString Names[] = {
        "", "QueryOrders", "QueryOrderById", "PreviewOrder", "CreateOrder", "FulfillOrder", "CheckoutOrder"};
    return Names[static_cast<int32>(Kind)];
}

bool FOnlineOrderServiceZor::Refuse(EOrderRequestKind Kind, const FUniqueNetId& UserId,
                                    const FString& OrderId, const FString& Error)
{
    UE_LOG_ONLINE(Warning, "%s request failed. %s", *OperationName(Kind), *Error);
    FireEvent(Kind, false, UserId, OrderId, Error);
    return false;
}

bool FOnlineOrderServiceZor::CheckUser(EOrderRequestKind Kind, const FUniqueNetId& UserId,
                                       const FString& OrderId)
{
    if (IsShutDown())
    {
        return Refuse(Kind, UserId, OrderId, "No response");
    }
    return UserId.IsValid() || Refuse(Kind, UserId, OrderId, "Invalid userid");
}

bool FOnlineOrderServiceZor::QueryOrders(const FUniqueNetId& UserId)
{
    return CheckUser(EOrderRequestKind::QueryOrders, UserId, FString()) &&
           Start(EOrderRequestKind::QueryOrders, UserId, FString(), QueryOrdersUrl, "GET", FString());
}

bool FOnlineOrderServiceZor::QueryOrderById(const FUniqueNetId& UserId, const FString& OrderId)
{
    return CheckUser(EOrderRequestKind::QueryOrderById, UserId, OrderId) &&
           Start(EOrderRequestKind::QueryOrderById, UserId, OrderId, QueryOrdersByIdUrl, "GET", FString());
}

bool FOnlineOrderServiceZor::PreviewOrder(const FUniqueNetId& UserId, const TArray<FString>& OfferIds,
                                          const FRegionInfo& Region)
{
    return CheckUser(EOrderRequestKind::PreviewOrder, UserId, FString()) &&
           Start(EOrderRequestKind::PreviewOrder, UserId, FString(), PreviewOrderUrl, "POST",
                 LineOffersBody(OfferIds, false), &Region);
}

bool FOnlineOrderServiceZor::CreateOrder(const FUniqueNetId& UserId, const TArray<FString>& OfferIds,
                                         const FRegionInfo& Region)
{
    return CheckUser(EOrderRequestKind::CreateOrder, UserId, FString()) &&
           Start(EOrderRequestKind::CreateOrder, UserId, FString(), CreateOrderUrl, "POST",
                 LineOffersBody(OfferIds, true), &Region);
}

bool FOnlineOrderServiceZor::CheckoutOrder(const FUniqueNetId& UserId, const FString& OrderId,
                                           const FOnlineBillingAccount& BillingAccount)
{
    constexpr EOrderRequestKind Kind = EOrderRequestKind::CheckoutOrder;
    if (!CheckUser(Kind, UserId, OrderId))
    {
        return false;
    }
    const TSharedPtr<FOnlineOrder> Order = GetOrder(UserId, OrderId);
    if (!Order)
    {
        return Refuse(
            Kind, UserId, OrderId,
            FString::Printf("No order found for UserId=%s OrderId=%s", *UserId.ToString(), *OrderId));
    }
    return Start(Kind, UserId, OrderId, CheckoutOrderUrl, "POST", CheckoutBody(*Order, BillingAccount));
}

bool FOnlineOrderServiceZor::FulfillOrder(const FUniqueNetId& UserId, const FString& OrderId)
{
    constexpr EOrderRequestKind Kind = EOrderRequestKind::FulfillOrder;
    if (!CheckUser(Kind, UserId, OrderId))
    {
        return false;
    }
    const TSharedPtr<FOnlineOrder> Order = GetOrder(UserId, OrderId);
    if (!Order)
    {
        return Refuse(
            Kind, UserId, OrderId,
            FString::Printf("No order found for UserId=%s OrderId=%s", *UserId.ToString(), *OrderId));
    }
    if (!Order->OrderStatus.Equals("PAID", ESearchCase::CaseSensitive))
    {
        return Refuse(Kind, UserId, OrderId,
                      FString::Printf("Order status [%s] != 'PAID' UserId=%s OrderId=%s", *Order->OrderStatus,
                                      *UserId.ToString(), *OrderId));
    }
    return Start(Kind, UserId, OrderId, FulfillOrderUrl, "POST", FString());
}

bool FOnlineOrderServiceZor::CancelOrder(const FUniqueNetId& UserId, const FString& OrderId)
{
    TriggerOnCancelOrderCompleteDelegates(false, UserId, OrderId, "not implemented!");
    return false;
}

FString FOnlineOrderServiceZor::LineOffersBody(const TArray<FString>& OfferIds,
                                               bool bWithEntitlementSource) const
{
    FString Body;
    const auto Writer = FCondensedWriterFactory::Create(&Body);
    Writer->WriteObjectStart();
    Writer->WriteValue("salesChannel", SalesChannelId);
    if (bWithEntitlementSource)
    {
        Writer->WriteValue("entitlementSource", EntitlementSource);
    }
    WriteLineOffers(*Writer, OfferIds);
    Writer->WriteObjectEnd();
    Writer->Close();
    return Body;
}

FString FOnlineOrderServiceZor::CheckoutBody(const FOnlineOrder& Order,
                                             const FOnlineBillingAccount& BillingAccount) const
{
    FString Body;
    const auto Writer = FCondensedWriterFactory::Create(&Body);
    Writer->WriteObjectStart();
    Writer->WriteValue("merchantGroup", MerchantGroup);
    if (!BillingAccount.AccountId.IsEmpty())
    {
        Writer->WriteArrayStart("paymentItems");
        Writer->WriteObjectStart();
        Writer->WriteValue("billingAccountId", BillingAccount.AccountId);
        Writer->WriteRawJSONValue("amount",
                                  FString::Printf("%.17g", static_cast<double>(Order.GetTotalPrice())));
        Writer->WriteValue("taxAmount", 0);
        Writer->WriteObjectEnd();
        Writer->WriteArrayEnd();
    }
    Writer->WriteObjectEnd();
    Writer->Close();
    return Body;
}

bool FOnlineOrderServiceZor::Start(EOrderRequestKind Kind, const FUniqueNetId& UserId, const FString& OrderId,
                                   const FString& Path, const FString& Verb, const FString& Body,
                                   const FRegionInfo* Region)
{
    FQueuedOrderRequest Request;
    Request.Serial = NextSerial++;
    Request.Pending = {Kind, FUniqueNetIdString(UserId), OrderId};
    Request.Owner = FZorWorkOwner(GetSubsystemIdentity(), UserId);
    Request.Verb = Verb;
    Request.Body = Body;
    // Resolved before the region joins, so nothing in it is read as a placeholder.
    Request.Url =
        ZorUrl::Substitute(GetBaseUrl() + Path, {{"`id", UserId.ToString()}, {"`orderId", OrderId}});
    if (Region)
    {
        Request.Url = AppendRegionUrl(Request.Url, *Region);
    }
    UE_LOG_ONLINE(Verbose, "Starting %s request.", *OperationName(Kind));
    const int64 Serial = Request.Serial;
    Queue.Add(std::move(Request));
    ProcessNextRequest();
    if (InFlightSerial == Serial)
    {
        return true;
    }
    for (const FQueuedOrderRequest& Queued : Queue)
    {
        if (Queued.Serial == Serial)
        {
            return true;
        }
    }
    return false;
}

void FOnlineOrderServiceZor::ReleaseEndedInFlight()
{
    if (InFlightSerial != 0 && !InFlightOwner.StillHolds())
    {
        Abandoned.Add(InFlightSerial, InFlight);
        InFlightSerial = 0;
        InFlight = FPendingOrderRequest();
    }
}

void FOnlineOrderServiceZor::ProcessNextRequest()
{
    ReleaseEndedInFlight();
    while (InFlightSerial == 0 && !Queue.IsEmpty())
    {
        const FQueuedOrderRequest Next = Queue[0];
        Queue.RemoveAt(0);
        if (!Next.Owner.StillHolds())
        {
            // A handler of the previous request's event logged out, logged in again or shut down: the login
            // this one was queued under has ended, as a shutdown ends it.
            Refuse(Next.Pending.Kind, Next.Pending.UserId, Next.Pending.OrderId, "No response");
            continue;
        }
        InFlightSerial = Next.Serial;
        InFlight = Next.Pending;
        InFlightOwner = Next.Owner;
        FZorCall Call;
        Call.Operation = OperationName(Next.Pending.Kind);
        Call.Url = Next.Url;
        Call.Verb = Next.Verb;
        Call.Body = Next.Body;
        // "Starting" was logged when the request was queued.
        Call.SendingLine = FString::Printf("Sending %s request.", *Call.Operation);
        Call.SendingVerbosity = ELogVerbosity::VeryVerbose;
        FZorError Error;
        const int64 Serial = Next.Serial;
        if (GetCalls().SendAsPurchase(
                Call, Next.Pending.UserId, [this, Serial](FZorReply& Reply) { OnReply(Reply, Serial); },
                Error) ||
            !Error)
        {
            // Sent, or its handler reports (a refused start completes later without a response).
            continue;
        }
        InFlightSerial = 0;
        FireEvent(Next.Pending.Kind, false, Next.Pending.UserId, Next.Pending.OrderId, Error.Text);
    }
}

void FOnlineOrderServiceZor::OnReply(FZorReply& Reply, int64 Serial)
{
    FPendingOrderRequest Ended;
    if (Abandoned.RemoveAndCopyValue(Serial, Ended))
    {
        Reply.Check();
        Reply.Finish();
        FireEvent(Ended.Kind, false, Ended.UserId, Ended.OrderId, Reply.GetErrorText());
        return;
    }
    if (Serial != InFlightSerial)
    {
        return;
    }
    const FPendingOrderRequest Entry = InFlight;
    InFlightSerial = 0;
    InFlight = FPendingOrderRequest();
    FString EventOrderId = Entry.OrderId;
    bool bApplied = false;
    if (Reply.Check())
    {
        bApplied = ApplyReply(Reply, Entry, EventOrderId);
    }
    Reply.Finish();
    FireEvent(Entry.Kind, Reply.Succeeded() && bApplied, Entry.UserId, EventOrderId, Reply.GetErrorText());
    ProcessNextRequest();
}

bool FOnlineOrderServiceZor::ApplyReply(FZorReply& Reply, const FPendingOrderRequest& Entry,
                                        FString& InOutOrderId)
{
    TSharedPtr<FJsonObject> Json;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Reply.GetBody()), Json) || !Json)
    {
        Reply.Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
        return false;
    }
    const FString UserText = Entry.UserId.ToString();
    FOnlineOrder Order;
    switch (Entry.Kind)
    {
    case EOrderRequestKind::QueryOrders:
    {
        const TSharedPtr<FJsonObject>* Paging = nullptr;
        const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
        if (!Json->TryGetObjectField("paging", Paging) || !Json->TryGetArrayField("elements", Elements))
        {
            Reply.Fail(EZorErrorKind::InvalidPayload, "Invalid response payload");
            return false;
        }
        FOnlinePagingInfo PagingInfo;
        if (!PagingInfo.FromJson(*Paging))
        {
            return false;
        }
        for (const TSharedPtr<FJsonValue>& Element : *Elements)
        {
            const TSharedPtr<FJsonObject>* Object = nullptr;
            FOnlineOrder Listed;
            if (Element && Element->TryGetObject(Object) && Listed.FromJson(*Object) &&
                !Listed.OrderId.IsEmpty())
            {
                Store(Orders.FindOrAdd(UserText), Listed);
            }
        }
        return true;
    }
    case EOrderRequestKind::PreviewOrder:
        Order.FromJson(Json);
        Order.bIsPreview = true;
        Order.OrderId = MakePreviewId(UserText);
        Store(Previews.FindOrAdd(UserText), Order);
        InOutOrderId = Order.OrderId;
        return true;
    default:
        Order.FromJson(Json);
        if (Entry.Kind == EOrderRequestKind::CreateOrder)
        {
            InOutOrderId = Order.OrderId;
        }
        if (Order.OrderId.IsEmpty())
        {
            return false;
        }
        Store(Orders.FindOrAdd(UserText), Order);
        return true;
    }
}

FString FOnlineOrderServiceZor::MakePreviewId(const FString& UserId) const
{
    const FString Base = UserId + FDateTime::UtcNow().ToString();
    FString Id = Base;
    for (int32 Suffix = 2; Find(Previews, UserId, Id); ++Suffix)
    {
        Id = FString::Printf("%s-%d", *Base, Suffix);
    }
    return Id;
}

void FOnlineOrderServiceZor::Store(TArray<TSharedPtr<FOnlineOrder>>& Cached, const FOnlineOrder& Order)
{
    for (const TSharedPtr<FOnlineOrder>& Existing : Cached)
    {
        if (Existing->OrderId.Equals(Order.OrderId, ESearchCase::IgnoreCase))
        {
            *Existing = Order;
            return;
        }
    }
    Cached.Add(MakeShared<FOnlineOrder>(Order));
}

TSharedPtr<FOnlineOrder>
FOnlineOrderServiceZor::Find(const TMap<FString, TArray<TSharedPtr<FOnlineOrder>>>& Cache,
                             const FString& UserId, const FString& OrderId)
{
    if (const TArray<TSharedPtr<FOnlineOrder>>* Cached = Cache.Find(UserId))
    {
        for (const TSharedPtr<FOnlineOrder>& Order : *Cached)
        {
            if (Order->OrderId.Equals(OrderId, ESearchCase::IgnoreCase))
            {
                return Order;
            }
        }
    }
    return nullptr;
}

void FOnlineOrderServiceZor::FireEvent(EOrderRequestKind Kind, bool bSucceeded, const FUniqueNetId& UserId,
                                       const FString& OrderId, const FString& Error)
{
    switch (Kind)
    {
    case EOrderRequestKind::None:
        return;
    case EOrderRequestKind::QueryOrders:
        return TriggerOnQueryOrdersCompleteDelegates(bSucceeded, UserId, Error);
    case EOrderRequestKind::QueryOrderById:
        return TriggerOnQueryOrderByIdCompleteDelegates(bSucceeded, UserId, OrderId, Error);
    case EOrderRequestKind::PreviewOrder:
        return TriggerOnPreviewOrderCompleteDelegates(bSucceeded, UserId, OrderId, Error);
    case EOrderRequestKind::CreateOrder:
        return TriggerOnCreateOrderCompleteDelegates(bSucceeded, UserId, OrderId, Error);
    case EOrderRequestKind::FulfillOrder:
        return TriggerOnFulfillOrderCompleteDelegates(bSucceeded, UserId, OrderId, Error);
    case EOrderRequestKind::CheckoutOrder:
        return TriggerOnCheckoutOrderCompleteDelegates(bSucceeded, UserId, OrderId, Error);
    }
}

bool FOnlineOrderServiceZor::GetOrders(const FUniqueNetId& UserId,
                                       TArray<TSharedPtr<FOnlineOrder>>& OutOrders) const
{
    OutOrders.Empty();
    const TArray<TSharedPtr<FOnlineOrder>>* Cached = Orders.Find(UserId.ToString());
    const TArray<TSharedPtr<FOnlineOrder>>* CachedPreviews = Previews.Find(UserId.ToString());
    for (const auto* List : {Cached, CachedPreviews})
    {
        if (List)
        {
            for (const TSharedPtr<FOnlineOrder>& Order : *List)
            {
                OutOrders.Add(Order);
            }
        }
    }
    return Cached || CachedPreviews;
}

TSharedPtr<FOnlineOrder> FOnlineOrderServiceZor::GetOrder(const FUniqueNetId& UserId,
                                                          const FString& OrderId) const
{
    if (TSharedPtr<FOnlineOrder> Preview = Find(Previews, UserId.ToString(), OrderId))
    {
        return Preview;
    }
    return Find(Orders, UserId.ToString(), OrderId);
}

void FOnlineOrderServiceZor::Shutdown()
{
    TArray<FQueuedOrderRequest> Dropped = std::move(Queue);
    Queue.Empty();
    FBaseServiceZor::Shutdown();
    for (const FQueuedOrderRequest& Request : Dropped)
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", *OperationName(Request.Pending.Kind), "No response");
        FireEvent(Request.Pending.Kind, false, Request.Pending.UserId, Request.Pending.OrderId,
                  "No response");
    }
}
