#include "OrdersService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"
#include "CatalogService.h"
#include "EntitlementsService.h"
#include "PaymentService.h"

#include <rapidjson/document.h>

#include <chrono>
#include <optional>
#include <thread>

namespace ZorBackend
{
namespace
{
// Each order request is held this long, so that a second one sent before the first was answered overlaps it.
constexpr std::chrono::milliseconds HoldTime(15);
constexpr int32_t MaxQuantity = 99;
constexpr size_t MaxLines = 32;

namespace OrderErrors
{
constexpr const char* Concurrent = "errors.zor.orders.concurrent_request";
constexpr const char* NotFound = "errors.zor.orders.order_not_found";
constexpr const char* OfferNotFound = "errors.zor.orders.offer_not_found";
constexpr const char* InvalidPayload = "errors.zor.orders.invalid_payload";
constexpr const char* WrongStatus = "errors.zor.orders.wrong_status";
constexpr const char* AmountMismatch = "errors.zor.orders.amount_mismatch";
constexpr const char* BillingAccountNotFound = "errors.zor.orders.billing_account_not_found";
} // namespace OrderErrors

// Counts the order requests being handled; the first of two at once marks the overlap.
class FInFlightGuard
{
public:
    explicit FInFlightGuard(FOrdersService& InService) : Service(InService)
    {
        bOverlap = Service.InFlight.fetch_add(1) > 0;
        if (bOverlap)
        {
            ++Service.Overlaps;
        }
        std::this_thread::sleep_for(HoldTime);
    }
    ~FInFlightGuard() { --Service.InFlight; }
    FInFlightGuard(const FInFlightGuard&) = delete;
    FInFlightGuard& operator=(const FInFlightGuard&) = delete;

    bool bOverlap = false;

private:
    FOrdersService& Service;
};

std::string Now()
{
    return FormatIso8601(std::chrono::system_clock::now());
}

int64_t Total(const FOrder& Order)
{
    int64_t Sum = 0;
    for (const FOrderLine& Line : Order.Lines)
    {
        Sum += Line.UnitPrice * Line.Quantity;
    }
    return Sum;
}

void WriteOrder(FJsonWriter& Writer, const FOrder& Order)
{
    Writer.StartObject();
    if (!Order.Id.empty())
    {
        WriteString(Writer, "orderId", Order.Id);
    }
    WriteString(Writer, "orderType", "PURCHASE");
    WriteString(Writer, "orderStatus", Order.Status);
    WriteString(Writer, "currency", "USD");
    Writer.Key("vatIncluded");
    Writer.Bool(true);
    WriteString(Writer, "creationDate", Order.CreatedAt);
    WriteString(Writer, "lastModifiedDate", Order.ModifiedAt);
    Writer.Key("lineOffers");
    Writer.StartArray();
    for (const FOrderLine& Line : Order.Lines)
    {
        Writer.StartObject();
        WriteString(Writer, "offerId", Line.OfferId);
        WriteInt(Writer, "quantity", Line.Quantity);
        WriteInt(Writer, "totalPrice", Line.UnitPrice * Line.Quantity);
        WriteInt(Writer, "unitPrice", Line.UnitPrice);
        WriteInt(Writer, "discountedPrice", Line.UnitPrice);
        Writer.EndObject();
    }
    Writer.EndArray();
    Writer.EndObject();
}

void SendOrder(httplib::Response& Res, const FOrder& Order)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    WriteOrder(Writer, Order);
    SendJson(Res, 200, Buffer);
}

std::optional<rapidjson::Document> ParseObject(const std::string& Body)
{
    rapidjson::Document Document;
    if (!ParseJson(Body, Document) || !Document.IsObject())
    {
        return std::nullopt;
    }
    return Document;
}

// The order's lines from a preview or create body, or why they are refused.
std::optional<FServiceError> ReadLines(const std::string& Body, FOrder& Order)
{
    const std::optional<rapidjson::Document> Document = ParseObject(Body);
    if (!Document || !Document->HasMember("lineOffers") || !(*Document)["lineOffers"].IsArray())
    {
        return FServiceError{400, OrderErrors::InvalidPayload, "The body needs a lineOffers array"};
    }
    const auto& Lines = (*Document)["lineOffers"].GetArray();
    if (Lines.Empty() || Lines.Size() > MaxLines)
    {
        return FServiceError{400, OrderErrors::InvalidPayload, "An order has 1 to 32 line offers"};
    }
    for (const auto& Line : Lines)
    {
        if (!Line.IsObject() || !Line.HasMember("offerId") || !Line["offerId"].IsString())
        {
            return FServiceError{400, OrderErrors::InvalidPayload, "Each line offer needs an offerId"};
        }
        const std::string Namespace =
            Line.HasMember("namespace") && Line["namespace"].IsString() ? Line["namespace"].GetString() : "";
        const FDemoOffer* Offer = FindDemoOffer(Namespace, Line["offerId"].GetString());
        if (!Offer)
        {
            return FServiceError{404, OrderErrors::OfferNotFound,
                                 std::string("No offer ") + Line["offerId"].GetString()};
        }
        int32_t Quantity = 1;
        if (Line.HasMember("quantity"))
        {
            if (!Line["quantity"].IsInt() || Line["quantity"].GetInt() < 1 ||
                Line["quantity"].GetInt() > MaxQuantity)
            {
                return FServiceError{400, OrderErrors::InvalidPayload, "A quantity is 1 to 99"};
            }
            Quantity = Line["quantity"].GetInt();
        }
        Order.Lines.push_back({Offer->Id, Quantity, Offer->Price});
    }
    return std::nullopt;
}

// The paying billing account: the body's payment item, whose amount must be the order's total, or else the
// account's default.
std::optional<FServiceError> CheckPayment(const std::string& Body, const FOrder& Order)
{
    const std::optional<rapidjson::Document> Document = ParseObject(Body);
    if (!Document)
    {
        return FServiceError{400, OrderErrors::InvalidPayload, "The body is not a JSON object"};
    }
    if (!Document->HasMember("paymentItems"))
    {
        return std::nullopt;
    }
    const auto& Items = (*Document)["paymentItems"];
    if (!Items.IsArray() || Items.Size() != 1 || !Items[0].IsObject() ||
        !Items[0].HasMember("billingAccountId") || !Items[0]["billingAccountId"].IsString() ||
        !Items[0].HasMember("amount") || !Items[0]["amount"].IsNumber())
    {
        return FServiceError{400, OrderErrors::InvalidPayload,
                             "paymentItems holds one item with an id and amount"};
    }
    if (!FindBillingAccount(Items[0]["billingAccountId"].GetString()))
    {
        return FServiceError{404, OrderErrors::BillingAccountNotFound, "No such billing account"};
    }
    if (Items[0]["amount"].GetDouble() != static_cast<double>(Total(Order)))
    {
        return FServiceError{400, OrderErrors::AmountMismatch,
                             "The amount is not the order's total " + std::to_string(Total(Order))};
    }
    return std::nullopt;
}

using FOrderHandler = void (*)(FOrdersService&, const httplib::Request&, httplib::Response&, FToken&);

void HandleList(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    Writer.Key("elements");
    Writer.StartArray();
    int64_t Count = 0;
    for (const auto& [Id, Order] : Service.Orders)
    {
        if (Order.AccountId == Req.matches[1].str())
        {
            WriteOrder(Writer, Order);
            ++Count;
        }
    }
    Writer.EndArray();
    Writer.Key("paging");
    Writer.StartObject();
    WriteInt(Writer, "start", 0);
    WriteInt(Writer, "count", Count);
    WriteInt(Writer, "total", Count);
    Writer.EndObject();
    Writer.EndObject();
    SendJson(Res, 200, Buffer);
}

FOrder* FindOrder(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res)
{
    const auto Found = Service.Orders.find(Req.matches[2].str());
    if (Found == Service.Orders.end() || Found->second.AccountId != Req.matches[1].str())
    {
        SendError(Res, 404, OrderErrors::NotFound, "No order " + Req.matches[2].str());
        return nullptr;
    }
    return &Found->second;
}

void HandleRead(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    if (const FOrder* Order = FindOrder(Service, Req, Res))
    {
        SendOrder(Res, *Order);
    }
}

void HandlePreview(FOrdersService&, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    FOrder Order;
    Order.Status = "PREVIEW";
    Order.CreatedAt = Order.ModifiedAt = Now();
    if (const auto Error = ReadLines(Req.body, Order))
    {
        return SendError(Res, *Error);
    }
    SendOrder(Res, Order);
}

void HandleCreate(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    FOrder Order;
    Order.AccountId = Req.matches[1].str();
    Order.Status = "CREATED";
    Order.CreatedAt = Order.ModifiedAt = Now();
    if (const auto Error = ReadLines(Req.body, Order))
    {
        return SendError(Res, *Error);
    }
    Order.Id = "order-" + std::to_string(Service.NextOrder++);
    SendOrder(Res, Service.Orders[Order.Id] = Order);
}

void HandleCheckout(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    FOrder* Order = FindOrder(Service, Req, Res);
    if (!Order)
    {
        return;
    }
    if (Order->Status != "CREATED")
    {
        return SendError(Res, 409, OrderErrors::WrongStatus, "The order is " + Order->Status);
    }
    if (const auto Error = CheckPayment(Req.body, *Order))
    {
        return SendError(Res, *Error);
    }
    Order->Status = "PAID";
    Order->ModifiedAt = Now();
    SendOrder(Res, *Order);
}

FEntitlementsService* FindEntitlements(FBackendState& State)
{
    for (const std::unique_ptr<FBackendService>& Service : State.Services)
    {
        if (auto* Entitlements = dynamic_cast<FEntitlementsService*>(Service.get()))
        {
            return Entitlements;
        }
    }
    return nullptr;
}

void HandleFulfill(FOrdersService& Service, const httplib::Request& Req, httplib::Response& Res, FToken&)
{
    FOrder* Order = FindOrder(Service, Req, Res);
    if (!Order)
    {
        return;
    }
    if (Order->Status != "PAID")
    {
        return SendError(Res, 409, OrderErrors::WrongStatus, "The order is " + Order->Status);
    }
    FEntitlementsService* Entitlements = FindEntitlements(Service.State);
    for (const FOrderLine& Line : Order->Lines)
    {
        for (const std::string& ItemId : FindDemoOffer(DemoNamespace, Line.OfferId)->ItemIds)
        {
            const FDemoItem* Item = FindDemoItem(ItemId);
            if (Entitlements)
            {
                Entitlements->Grant(Order->AccountId, Item->EntitlementName, Item->Id);
            }
        }
    }
    Order->Status = "FULFILLED";
    Order->ModifiedAt = Now();
    SendOrder(Res, *Order);
}
} // namespace

void FOrdersService::Register(httplib::Server& Server)
{
    const auto Bind = [this](FOrderHandler Handler)
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        {
            const FInFlightGuard Guard(*this);
            if (Guard.bOverlap)
            {
                return SendError(Res, 409, OrderErrors::Concurrent, "Another order request is in flight");
            }
            WithBearer(State, Req, Res,
                       [&](FToken& Caller, FSteadyClock::time_point)
                       {
                           if (const auto Error = CheckAccountCaller(Caller, Req.matches[1].str()))
                           {
                               return SendError(Res, *Error);
                           }
                           Handler(*this, Req, Res, Caller);
                       });
        };
    };
    const std::string Orders = std::string(CommercePath) + "/api/shared/accounts/([^/]+)/orders";
    Server.Get(Orders, Bind(HandleList));
    Server.Post(Orders, Bind(HandleCreate));
    Server.Post(Orders + "/preview", Bind(HandlePreview));
    Server.Get(Orders + "/([^/]+)", Bind(HandleRead));
    Server.Post(Orders + "/([^/]+)/checkout", Bind(HandleCheckout));
    Server.Post(Orders + "/([^/]+)/fulfill", Bind(HandleFulfill));
}
} // namespace ZorBackend
