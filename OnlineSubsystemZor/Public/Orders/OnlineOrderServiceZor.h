#pragma once

#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"
#include "Orders/OnlineOrderRecords.h"
#include "Payment/OnlineBillingAccount.h"
#include "Subsystem/BaseServiceZor.h"
#include "Subsystem/ZorWorkOwner.h"

class FZorReply;

DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryOrdersComplete, bool /*bWasSuccessful*/,
                                       const FUniqueNetId& /*UserId*/, const FString& /*Error*/);
using FOnQueryOrdersCompleteDelegate = FOnQueryOrdersComplete::FDelegate;
/** The event of every order operation but the list: success, user, order id, error. */
DECLARE_MULTICAST_DELEGATE_FourParams(FOnOrderOperationComplete, bool /*bWasSuccessful*/,
                                      const FUniqueNetId& /*UserId*/, const FString& /*OrderId*/,
                                      const FString& /*Error*/);
using FOnQueryOrderByIdComplete = FOnOrderOperationComplete;
using FOnQueryOrderByIdCompleteDelegate = FOnOrderOperationComplete::FDelegate;
using FOnPreviewOrderComplete = FOnOrderOperationComplete;
using FOnPreviewOrderCompleteDelegate = FOnOrderOperationComplete::FDelegate;
using FOnCreateOrderComplete = FOnOrderOperationComplete;
using FOnCreateOrderCompleteDelegate = FOnOrderOperationComplete::FDelegate;
using FOnCheckoutOrderComplete = FOnOrderOperationComplete;
using FOnCheckoutOrderCompleteDelegate = FOnOrderOperationComplete::FDelegate;
using FOnFulfillOrderComplete = FOnOrderOperationComplete;
using FOnFulfillOrderCompleteDelegate = FOnOrderOperationComplete::FDelegate;
using FOnCancelOrderComplete = FOnOrderOperationComplete;
using FOnCancelOrderCompleteDelegate = FOnOrderOperationComplete::FDelegate;

enum class EOrderRequestKind : int32
{
    None = 0,
    QueryOrders = 1,
    QueryOrderById = 2,
    PreviewOrder = 3,
    CreateOrder = 4,
    FulfillOrder = 5,
    CheckoutOrder = 6,
};

struct FPendingOrderRequest
{
    EOrderRequestKind Kind = EOrderRequestKind::None;
    FUniqueNetIdString UserId;
    /** Empty for the list, preview and create. */
    FString OrderId;
};

/**
 * A user's orders on the purchase road: list, read, preview, create, check out and fulfil. Requests wait in
 * one queue so that exactly one order request of the whole service is in flight; an operation started from
 * an event handler waits behind the requests already queued.
 */
class FOnlineOrderServiceZor : public FBaseServiceZor
{
public:
    explicit FOnlineOrderServiceZor(FOnlineSubsystemZor* InSubsystem);
    FOnlineOrderServiceZor();

    /** Fires the in-flight and every queued request's event once (false, "No response"). */
    void Shutdown() override;

    /** The user's orders, then the user's previews; false when the user has neither. */
    virtual bool GetOrders(const FUniqueNetId& UserId, TArray<TSharedPtr<FOnlineOrder>>& OutOrders) const;
    /** A preview with that id first, then an order. */
    virtual TSharedPtr<FOnlineOrder> GetOrder(const FUniqueNetId& UserId, const FString& OrderId) const;
    virtual void SetSalesChannelId(const FString& Value) { SalesChannelId = Value; }
    virtual FString GetSalesChannelId() const { return SalesChannelId; }
    virtual void SetEntitlementSource(const FString& Value) { EntitlementSource = Value; }
    virtual FString GetEntitlementSource() const { return EntitlementSource; }
    virtual void SetMerchantGroup(const FString& Value) { MerchantGroup = Value; }
    virtual FString GetMerchantGroup() const { return MerchantGroup; }

    /** Each returns whether its request was queued; a refusal has fired the event with false already. */
    virtual bool QueryOrders(const FUniqueNetId& UserId);
    virtual bool QueryOrderById(const FUniqueNetId& UserId, const FString& OrderId);
    virtual bool PreviewOrder(const FUniqueNetId& UserId, const TArray<FString>& OfferIds,
                              const FRegionInfo& Region);
    virtual bool CreateOrder(const FUniqueNetId& UserId, const TArray<FString>& OfferIds,
                             const FRegionInfo& Region);
    /** Pays the cached order; a billing account without an id lets the service charge the default one. */
    virtual bool CheckoutOrder(const FUniqueNetId& UserId, const FString& OrderId,
                               const FOnlineBillingAccount& BillingAccount);
    /** Needs the cached order's status to be "PAID". */
    virtual bool FulfillOrder(const FUniqueNetId& UserId, const FString& OrderId);
    /** Sends nothing; always false. */
    virtual bool CancelOrder(const FUniqueNetId& UserId, const FString& OrderId);

    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryOrdersComplete, bool, const FUniqueNetId&, const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnQueryOrderByIdComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnPreviewOrderComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnCreateOrderComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnCheckoutOrderComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnFulfillOrderComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnCancelOrderComplete, bool, const FUniqueNetId&, const FString&,
                                      const FString&);

    /** Requests waiting behind the one in flight. */
    int32 NumQueued() const { return Queue.Num(); }
    bool HasRequestInFlight() const { return InFlightSerial != 0; }

private:
    struct FQueuedOrderRequest
    {
        int64 Serial = 0;
        FPendingOrderRequest Pending;
        /** The login it was queued under: a request whose login has ended is not sent. */
        FZorWorkOwner Owner;
        FString Url;
        FString Verb;
        FString Body;
    };

    static const FString& OperationName(EOrderRequestKind Kind);
    /** The user check; logs and fires on failure. */
    bool CheckUser(EOrderRequestKind Kind, const FUniqueNetId& UserId, const FString& OrderId);
    bool Refuse(EOrderRequestKind Kind, const FUniqueNetId& UserId, const FString& OrderId,
                const FString& Error);
    /** Queues the request and sends it when nothing is in flight; false when it was refused at once. */
    bool Start(EOrderRequestKind Kind, const FUniqueNetId& UserId, const FString& OrderId,
               const FString& Path, const FString& Verb, const FString& Body,
               const FRegionInfo* Region = nullptr);
    /** Sends the oldest queued request unless one is in flight; refused ones report and the next is tried. */
    void ProcessNextRequest();
    /** A request in flight for a login that has ended stops holding up the queue. */
    void ReleaseEndedInFlight();
    void OnReply(FZorReply& Reply, int64 Serial);
    /** Reads the reply for the entry's kind; false when it does not meet the kind's condition. */
    bool ApplyReply(FZorReply& Reply, const FPendingOrderRequest& Entry, FString& InOutOrderId);
    void FireEvent(EOrderRequestKind Kind, bool bSucceeded, const FUniqueNetId& UserId,
                   const FString& OrderId, const FString& Error);
    FString LineOffersBody(const TArray<FString>& OfferIds, bool bWithEntitlementSource) const;
    FString CheckoutBody(const FOnlineOrder& Order, const FOnlineBillingAccount& BillingAccount) const;
    /** The user id and the current time; a distinct suffix when the user already has a preview of that id. */
    FString MakePreviewId(const FString& UserId) const;
    static void Store(TArray<TSharedPtr<FOnlineOrder>>& Orders, const FOnlineOrder& Order);
    static TSharedPtr<FOnlineOrder> Find(const TMap<FString, TArray<TSharedPtr<FOnlineOrder>>>& Cache,
                                         const FString& UserId, const FString& OrderId);

    FString QueryOrdersUrl;
    FString QueryOrdersByIdUrl;
    FString PreviewOrderUrl;
    FString CreateOrderUrl;
    FString CheckoutOrderUrl;
    FString FulfillOrderUrl;
    FString SalesChannelId;
    FString EntitlementSource;
    FString MerchantGroup;

    TMap<FString, TArray<TSharedPtr<FOnlineOrder>>> Orders;
    TMap<FString, TArray<TSharedPtr<FOnlineOrder>>> Previews;
    /** Oldest first; none of them handed to the road yet. */
    TArray<FQueuedOrderRequest> Queue;
    /** The one request handed to the road; serial 0 when none. */
    int64 InFlightSerial = 0;
    FPendingOrderRequest InFlight;
    FZorWorkOwner InFlightOwner;
    /** Requests in flight whose login ended: they hold up no later one, and report once when answered. */
    TMap<int64, FPendingOrderRequest> Abandoned;
    int64 NextSerial = 1;
};
