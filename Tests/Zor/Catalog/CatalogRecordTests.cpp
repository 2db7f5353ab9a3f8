#include <gtest/gtest.h>

#include <limits>

#include "Catalog/OnlineCatalogRecords.h"
#include "FStringPrinter.h"
#include "Orders/OnlineOrderRecords.h"

namespace
{
FString Describe(const FOnlineCatalogCategory& Category)
{
    return Category.Name.ToString() + "," + Category.Path;
}

FString Describe(const FOnlineCatalogKeyImage& Image)
{
    return FString::Printf("%s,%s,%d,%d,%d,%d", *Image.Type, *Image.Url, Image.Width, Image.Height,
                           Image.Size, Image.UploadedDate.GetYear());
}

FString Describe(const FOnlineAppReleaseInfo& Release)
{
    return FString::Printf("%s,%s,%s,%d", *Release.AppId, *FString::Join(Release.CompatibleApps, "+"),
                           *FString::Join(Release.Platform, "+"), Release.DateAdded.GetYear());
}

FString Describe(const FOnlineCatalogDescription& Text)
{
    return FString::Join(TArray<FString>({Text.Title.ToString(), Text.Description.ToString(),
                                          Text.LongDescription.ToString(), Text.TechnicalDetails.ToString()}),
                         ",");
}

template <typename TRecord> FString Describe(const TArray<TRecord>& Records)
{
    TArray<FString> Parts;
    for (const TRecord& Record : Records)
    {
        Parts.Add(Describe(Record));
    }
    return "[" + FString::Join(Parts, ";") + "]";
}

FString Describe(const FOnlineCatalogItem& Item)
{
    return FString::Printf("%s,%s,%s,%s,%d,%s,%s,%s", *Item.Id, *Item.EntitlementName,
                           *Describe(Item.Description), *Item.Developer.ToString(),
                           Item.LastModifiedDate.GetYear(), *Describe(Item.KeyImages),
                           *Describe(Item.Categories), *Describe(Item.ReleaseInfo));
}

FString Describe(const FOnlineCatalogOffer& Offer)
{
    return FString::Printf(
        "%s,%s,%s,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s,%s", *Offer.Id, *Describe(Offer.Description),
        *Offer.CurrencyCode, Offer.Price, Offer.RecurringPrice, Offer.DiscountedPrice, Offer.FreeDays,
        Offer.MaxBillingCycles, Offer.bVatIncluded ? 1 : 0, Offer.LastModifiedDate.GetYear(),
        Offer.ViewableDate.GetYear(), Offer.EffectiveDate.GetYear(), Offer.ExpirationDate.GetYear(),
        *Describe(Offer.KeyImages), *Describe(Offer.Categories));
}

FString Describe(const FOnlineCurrency& Currency)
{
    return FString::Printf("%s,%s,%s,%d", *Currency.Type, *Currency.Code, *Currency.Description.ToString(),
                           Currency.Decimals);
}

FString Describe(const FOnlinePagingInfo& Paging)
{
    return FString::Printf("%d,%d,%d", Paging.start, Paging.count, Paging.total);
}

template <typename TRecord> FString ReadAndDescribe(const FString& Json)
{
    TRecord Record;
    return Record.FromJson(Json) ? Describe(Record) : FString("<unread>");
}

struct FRecordCase
{
    FString (*Read)(const FString&);
    FString Json;
    const char* Expected;
};

const FString RecordTextBlock =
    R"("title":"T","description":"D","longDescription":"L","technicalDetails":"X")";
const FString RecordImage =
    R"({"type":"thumb","url":"u","width":1,"height":2,"size":3,"uploadedDate":"2001-06-01"})";
const FString RecordCategory = R"({"name":"Weapons","path":"w/s"})";
const FRecordCase RecordCases[] = {
    {&ReadAndDescribe<FOnlinePagingInfo>, R"({"start":4,"count":5,"total":6})", "4,5,6"},
    {&ReadAndDescribe<FOnlineCatalogCategory>, RecordCategory, "Weapons,w/s"},
    {&ReadAndDescribe<FOnlineCatalogKeyImage>, RecordImage, "thumb,u,1,2,3,2001"},
    {&ReadAndDescribe<FOnlineAppReleaseInfo>,
     R"({"appId":"app","compatibleApps":["c1","c2"],"platform":["win"],"dateAdded":"2002-06-01"})",
     "app,c1+c2,win,2002"},
    {&ReadAndDescribe<FOnlineCatalogItem>,
     R"({"id":"i","entitlementName":"E",)" + RecordTextBlock +
         R"(,"developer":"Dev","lastModifiedDate":"2003-06-01","keyImages":[)" + RecordImage +
         R"(],"categories":[)" + RecordCategory + R"(],"releaseInfo":[{"appId":"r"}]})",
     "i,E,T,D,L,X,Dev,2003,[thumb,u,1,2,3,2001],[Weapons,w/s],[r,,,1]"},
    {&ReadAndDescribe<FOnlineCatalogOffer>,
     R"({"id":"o",)" + RecordTextBlock +
         R"(,"currencyCode":"USD","price":11,"recurringPrice":12,"discountedPrice":13,"freeDays":14,)"
         R"("maxBillingCycles":15,"vatIncluded":false,"lastModifiedDate":"2004-06-01",)"
         R"("viewableDate":"2005-06-01","effectiveDate":"2006-06-01","expirationDate":"2007-06-01",)"
         R"("keyImages":[)" +
         RecordImage + R"(],"categories":[)" + RecordCategory + "]}",
     "o,T,D,L,X,USD,11,12,13,14,15,0,2004,2005,2006,2007,[thumb,u,1,2,3,2001],[Weapons,w/s]"},
    {&ReadAndDescribe<FOnlineCurrency>, R"({"type":"real","code":"EUR","description":"Euro","decimals":2})",
     "real,EUR,Euro,2"},
};

using FCatalogRecordKeysTest = ::testing::TestWithParam<size_t>;

TEST_P(FCatalogRecordKeysTest, EveryKeyOfEveryRecordFillsItsField)
{
    const FRecordCase& Case = RecordCases[GetParam()];
    EXPECT_EQ(Case.Read(Case.Json), FString(Case.Expected)) << *Case.Json;
}

INSTANTIATE_TEST_SUITE_P(Rows, FCatalogRecordKeysTest, ::testing::Range(size_t{0}, std::size(RecordCases)));

struct FNumberCase
{
    const char* Json;
    int32 Expected;
};

namespace
{
const FNumberCase HostileNumbersSaturateIntoTheirFieldsRows[] = {
    {"999", 999},
    {"1e20", std::numeric_limits<int32>::max()},
    {"-1e20", std::numeric_limits<int32>::min()},
    {"2147483648", std::numeric_limits<int32>::max()},
    {"12.9", 12},
    {"-12.9", -12},
    {"\"12\"", 0},
    {"null", 0},
};

using FHostileNumbersSaturateIntoTheirFieldsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FHostileNumbersSaturateIntoTheirFieldsTest, HostileNumbersSaturateIntoTheirFields)
{
    const FNumberCase& Case = HostileNumbersSaturateIntoTheirFieldsRows[GetParam()];
    FOnlineCatalogOffer Offer;
    ASSERT_TRUE(Offer.FromJson(FString::Printf(R"({"id":"o","price":%s})", Case.Json))) << Case.Json;
    EXPECT_EQ(Offer.Price, Case.Expected) << Case.Json;
}

INSTANTIATE_TEST_SUITE_P(Rows, FHostileNumbersSaturateIntoTheirFieldsTest,
                         ::testing::Range(size_t{0}, std::size(HostileNumbersSaturateIntoTheirFieldsRows)));

struct FDateCase
{
    const char* Text;
    int64 ExpectedTicks;
};

namespace
{
const FDateCase AMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsRows[] = {
    {"2024-02-29T12:30:00.000Z", FDateTime(2024, 2, 29, 12, 30).GetTicks()},
    {"2024-02-29T14:30:00+02:00", FDateTime(2024, 2, 29, 12, 30).GetTicks()},
    {"2023-02-29T00:00:00Z", 0},
    {"yesterday", 0},
    {"", 0},
};

using FAMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FAMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsTest,
       AMalformedDateLeavesItsFieldAtZeroAndTheRecordReads)
{
    const FDateCase& Case = AMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsRows[GetParam()];
    FOnlineCatalogItem Item;
    ASSERT_TRUE(
        Item.FromJson(FString::Printf(R"({"id":"i","lastModifiedDate":"%s","developer":"Dev"})", Case.Text)));
    EXPECT_EQ(Item.LastModifiedDate.GetTicks(), Case.ExpectedTicks) << Case.Text;
    EXPECT_EQ(Item.Developer.ToString(), FString("Dev")) << Case.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FAMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsTest,
    ::testing::Range(size_t{0}, std::size(AMalformedDateLeavesItsFieldAtZeroAndTheRecordReadsRows)));

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
    const int32 Entitlement = Written.Find("\"entitlementName\"", ESearchCase::CaseSensitive);
    const int32 Title = Written.Find("\"title\"", ESearchCase::CaseSensitive);
    const int32 Technical = Written.Find("\"technicalDetails\"", ESearchCase::CaseSensitive);
    const int32 Developer = Written.Find("\"developer\"", ESearchCase::CaseSensitive);
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
