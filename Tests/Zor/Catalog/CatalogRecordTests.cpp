#include <gtest/gtest.h>

#include <limits>

#include "Catalog/OnlineCatalogRecords.h"
#include "FStringPrinter.h"
#include "Orders/OnlineOrderRecords.h"

namespace
{
struct FNumberCase
{
    const char* Json;
    int32 Expected;
};

TEST(CatalogRecords, HostileNumbersSaturateIntoTheirFields)
{
    const FNumberCase Cases[] = {
        {"999", 999},
        {"1e20", std::numeric_limits<int32>::max()},
        {"-1e20", std::numeric_limits<int32>::min()},
        {"2147483648", std::numeric_limits<int32>::max()},
        {"12.9", 12},
        {"-12.9", -12},
        {"\"12\"", 0},
        {"null", 0},
    };
    for (const FNumberCase& Case : Cases)
    {
        FOnlineCatalogOffer Offer;
        ASSERT_TRUE(Offer.FromJson(FString::Printf(R"({"id":"o","price":%s})", Case.Json))) << Case.Json;
        EXPECT_EQ(Offer.Price, Case.Expected) << Case.Json;
    }
}

struct FDateCase
{
    const char* Text;
    int64 ExpectedTicks;
};

TEST(CatalogRecords, AMalformedDateLeavesItsFieldAtZeroAndTheRecordReads)
{
    const FDateCase Cases[] = {
        {"2024-02-29T12:30:00.000Z", FDateTime(2024, 2, 29, 12, 30).GetTicks()},
        {"2024-02-29T14:30:00+02:00", FDateTime(2024, 2, 29, 12, 30).GetTicks()},
        {"2023-02-29T00:00:00Z", 0},
        {"yesterday", 0},
        {"", 0},
    };
    for (const FDateCase& Case : Cases)
    {
        FOnlineCatalogItem Item;
        ASSERT_TRUE(Item.FromJson(
            FString::Printf(R"({"id":"i","lastModifiedDate":"%s","developer":"Dev"})", Case.Text)));
        EXPECT_EQ(Item.LastModifiedDate.GetTicks(), Case.ExpectedTicks) << Case.Text;
        EXPECT_EQ(Item.Developer.ToString(), FString("Dev")) << Case.Text;
    }
}

TEST(CatalogRecords, KeysAreFoundInAnyLetterCaseAndTheTextBlockIsInlined)
{
    FOnlineCatalogItem Item;
    ASSERT_TRUE(
        Item.FromJson(R"({"ID":"i1","Title":"Sword","LONGDESCRIPTION":"Long",)"
                      R"("keyimages":[{"type":"thumb","WIDTH":64}],"description":{"title":"nested"}})"));
    EXPECT_EQ(Item.Id, FString("i1"));
    EXPECT_EQ(Item.Description.Title.ToString(), FString("Sword"));
    EXPECT_EQ(Item.Description.LongDescription.ToString(), FString("Long"));
    EXPECT_TRUE(Item.Description.Description.IsEmpty());
    ASSERT_EQ(Item.KeyImages.Num(), 1);
    EXPECT_EQ(Item.KeyImages[0].Width, 64);

    const FString Written = Item.ToJson(false);
    const int32 Entitlement = Written.Find("\"entitlementName\"");
    const int32 Title = Written.Find("\"title\"");
    const int32 Technical = Written.Find("\"technicalDetails\"");
    const int32 Developer = Written.Find("\"developer\"");
    EXPECT_TRUE(Entitlement < Title && Title < Technical && Technical < Developer) << *Written;
    EXPECT_FALSE(Written.Contains("{\"title\"")) << *Written;
}

TEST(CatalogRecords, ARecordReadsBackWhatItWrites)
{
    FOnlineCatalogOffer Offer;
    Offer.Id = "o1";
    Offer.Description.Title = FText::FromString("Sword \"of\" Ages");
    Offer.Price = -5;
    Offer.bVatIncluded = false;
    Offer.ExpirationDate = FDateTime(2030, 1, 2, 3, 4, 5, 6);
    Offer.KeyImages.AddDefaulted_GetRef().Url = "http://img/1";
    Offer.Categories.AddDefaulted_GetRef().Path = "a/b";

    FOnlineCatalogOffer Read;
    ASSERT_TRUE(Read.FromJson(Offer.ToJson()));
    EXPECT_EQ(Read.Description.Title.ToString(), Offer.Description.Title.ToString());
    EXPECT_EQ(Read.Price, -5);
    EXPECT_FALSE(Read.bVatIncluded);
    EXPECT_EQ(Read.ExpirationDate, Offer.ExpirationDate);
    ASSERT_EQ(Read.KeyImages.Num(), 1);
    EXPECT_EQ(Read.KeyImages[0].Url, FString("http://img/1"));
    ASSERT_EQ(Read.Categories.Num(), 1);
    EXPECT_EQ(Read.Categories[0].Path, FString("a/b"));

    FOnlineCatalogOffer Defaults;
    ASSERT_TRUE(Defaults.FromJson(R"({"id":"o2","vatIncluded":"no"})"));
    EXPECT_TRUE(Defaults.bVatIncluded);
}

TEST(CatalogRecords, NestedArraysAppendAndSkipWhatIsNotAnObject)
{
    FOnlineAppReleaseInfo Release;
    ASSERT_TRUE(Release.FromJson(R"({"appId":"a","platform":["win",3,"mac"],"compatibleApps":"x"})"));
    EXPECT_EQ(Release.Platform, TArray<FString>({"win", "mac"}));
    EXPECT_TRUE(Release.CompatibleApps.IsEmpty());

    FOnlineOrder Order;
    ASSERT_TRUE(Order.FromJson(R"({"orderId":"1","lineOffers":[{"offerId":"a"},"x",{"offerId":"b"}]})"));
    ASSERT_EQ(Order.LineOffers.Num(), 2);
    EXPECT_EQ(Order.LineOffers[1].OfferId, FString("b"));
}

TEST(CatalogRecords, AnOrderTotalDoesNotOverflow)
{
    FOnlineOrder Order;
    ASSERT_TRUE(Order.FromJson(R"({"lineOffers":[{"totalPrice":2147483647},{"totalPrice":1e30}]})"));
    EXPECT_EQ(Order.GetTotalPrice(), int64(4294967294));
}
} // namespace
