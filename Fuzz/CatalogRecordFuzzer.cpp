// Untrusted commerce replies through the catalog and order records. A record that reads must write out and
// read back to the same ids, prices and nested array lengths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Catalog/OnlineCatalogRecords.h"
#include "Orders/OnlineOrderRecords.h"
#include "Payment/OnlineBillingAccount.h"

namespace
{
void CheckOffer(const FString& Text)
{
    FOnlineCatalogOffer Offer;
    if (!Offer.FromJson(Text))
    {
        return;
    }
    FOnlineCatalogOffer Again;
    if (!Again.FromJson(Offer.ToJson(false)) || !Again.Id.Equals(Offer.Id, ESearchCase::CaseSensitive) ||
        Again.Price != Offer.Price || Again.bVatIncluded != Offer.bVatIncluded ||
        Again.KeyImages.Num() != Offer.KeyImages.Num() || Again.Categories.Num() != Offer.Categories.Num())
    {
        std::abort();
    }
}

void CheckOrder(const FString& Text)
{
    FOnlineOrder Order;
    if (!Order.FromJson(Text))
    {
        return;
    }
    FOnlineOrder Again;
    if (!Again.FromJson(Order.ToJson()) || !Again.OrderId.Equals(Order.OrderId, ESearchCase::CaseSensitive) ||
        Again.LineOffers.Num() != Order.LineOffers.Num() || Again.GetTotalPrice() != Order.GetTotalPrice())
    {
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    FOnlineCatalogItem Item;
    Item.FromJson(Text);
    FOnlineCurrency Currency;
    Currency.FromJson(Text);
    FOnlinePagingInfo Paging;
    Paging.FromJson(Text);
    FOnlineBillingAccount Account;
    Account.FromJson(Text);
    CheckOffer(Text);
    CheckOrder(Text);
    return 0;
}
