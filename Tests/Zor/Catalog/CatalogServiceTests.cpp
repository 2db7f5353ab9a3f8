#include "Catalog/OnlineCatalogServiceZor.h"
#include "ZorSubsystemTest.h"

#include "CaseNamePrinter.h"
#include "ZorRows.h"

namespace
{
const FString Base("http://127.0.0.1:8080");

FOnlineCatalogCategory Category(const FString& Path)
{
    FOnlineCatalogCategory Result;
    Result.Path = Path;
    return Result;
}

FString ListReply(const FString& Elements)
{
    return "{\"paging\":{\"start\":0,\"count\":10,\"total\":1},\"elements\":[" + Elements + "]}";
}

/** The catalog of a subsystem whose application client holds a token, with every event recorded. */
class FCatalogTest : public FZorSubsystemTest
{
protected:
    FCatalogTest()
    {
        CreateSubsystem();
        Catalog = Subsystem->GetZorCatalogService();
        Identity().AuthClient(Subsystem->GetAppId());
        Answer("/api/oauth/token", 200, TokenReply("", 3600.0, "client-token"));
        Catalog->AddOnQueryCategoriesCompleteDelegate(FOnQueryCategoriesCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Error)
            { Events.Add(FString::Printf("categories:%d:%s", bOk, *Error)); }));
        Catalog->AddOnQueryOffersCompleteDelegate(FOnQueryOffersCompleteDelegate::CreateLambda(
            [this](bool bOk, const TArray<FString>& Ids, const FString& Namespace, const FString& Error) {
                Events.Add(
                    FString::Printf("offers:%d:%s:%s:%s", bOk, *FString::Join(Ids, "+"), *Namespace, *Error));
            }));
        Catalog->AddOnQueryItemsCompleteDelegate(FOnQueryItemsCompleteDelegate::CreateLambda(
            [this](bool bOk, const TArray<FString>& Ids, const FString& Namespace, const FString& Error) {
                Events.Add(
                    FString::Printf("items:%d:%s:%s:%s", bOk, *FString::Join(Ids, "+"), *Namespace, *Error));
            }));
    }

    /** Sends what the road queued and returns the URL of the newest request. */
    FString SentUrl()
    {
        Tick();
        const TArray<FInMemoryHttpTransport::FStartedRequest> Started = Http().GetStartedRequests();
        return Started.IsEmpty() ? FString() : Started.Last().URL;
    }

    void AnswerOffers(const FString& Elements)
    {
        ASSERT_TRUE(Catalog->QueryOffersById("qx", {"o1"}, FRegionInfo()));
        Tick();
        Answer("/offers", 200, ListReply(Elements));
    }

    TSharedPtr<FOnlineCatalogServiceZor> Catalog;
    TArray<FString> Events;
};

struct FUrlCase
{
    const char* Name;
    TArray<FString> FilterTexts;
    TArray<FString> Included;
    TArray<FString> Excluded;
    FRegionInfo Region;
    FPagedQuery Page;
    FString Expected;
};

namespace
{
const FUrlCase FilterQueriesComposeTheirUrlRows[] = {
    {"nothing", {}, {}, {}, {}, {}, "/offers"},
    {"filter texts only", {"sword"}, {}, {}, {}, {0, 10}, "/offers?&start=0&count=10"},
    {"included", {}, {"a/b", "c"}, {}, {}, {}, "/offers?category=a/b|c"},
    {"excluded", {}, {}, {"a/b", "c"}, {}, {}, "/offers?category=!(a/b|c)"},
    {"both", {"t"}, {"d"}, {"a/b", "c"}, {}, {}, "/offers?category=!(a/b|c)|d"},
    {"country only", {}, {}, {}, {"DE", ""}, {}, "/offers?country=DE"},
    {"locale only", {}, {}, {}, {"", "de"}, {}, "/offers?locale=de"},
    {"region and paging",
     {},
     {"d"},
     {},
     {"DE", "de"},
     {5, 20},
     "/offers?category=d&country=DE&locale=de&start=5&count=20"},
    {"paging off", {}, {}, {}, {}, {-1, 10}, "/offers"},
    {"hostile path", {}, {"a&admin=1#x"}, {}, {}, {}, "/offers?category=a%26admin=1%23x"},
};

using FCatalogTestFilterQueriesComposeTheirUrl = TZorRows<FCatalogTest>;
} // namespace

TEST_P(FCatalogTestFilterQueriesComposeTheirUrl, FilterQueriesComposeTheirUrl)
{
    const FUrlCase& Case = FilterQueriesComposeTheirUrlRows[GetParam()];
    FOnlineCatalogFilter Filter;
    Filter.FilterTexts = Case.FilterTexts;
    for (const FString& Path : Case.Included)
    {
        Filter.IncludedCategories.Add(Category(Path));
    }
    for (const FString& Path : Case.Excluded)
    {
        Filter.ExcludedCategories.Add(Category(Path));
    }
    ASSERT_TRUE(Catalog->QueryOffersByFilter("qx", Filter, Case.Region, Case.Page)) << Case.Name;
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/namespace/qx" + Case.Expected) << Case.Name;
    ASSERT_TRUE(Catalog->QueryItemsByFilter("qx", Filter, Case.Region, Case.Page)) << Case.Name;
    FString ItemsExpected = Case.Expected;
    ItemsExpected.ReplaceInline("/offers", "/items");
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/namespace/qx" + ItemsExpected) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FCatalogTestFilterQueriesComposeTheirUrl,
                         ::testing::Range(size_t{0}, std::size(FilterQueriesComposeTheirUrlRows)));

TEST_F(FCatalogTest, ByIdQueriesSendTheirIdsOnlyForItems)
{
    ASSERT_TRUE(Catalog->QueryItemsById("qx", {"a", "b c"}, FRegionInfo()));
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/bulk/items?Id=a&Id=b%20c");
    ASSERT_TRUE(Catalog->QueryOffersById("qx", {"o1", "o2"}, {"US", ""}));
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/namespace/qx/offers?country=US");
    ASSERT_TRUE(Catalog->QueryOffersById("q/x?y", {"o1"}, FRegionInfo()));
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/namespace/q%2Fx%3Fy/offers");
    ASSERT_TRUE(Catalog->QueryCategories(FPagedQuery(0, 5)));
    EXPECT_EXACT_EQ(SentUrl(), Base + "/api/shared/categories?start=0&count=5");

    const int32 Started = Http().NumStarted();
    EXPECT_FALSE(Catalog->QueryItemsById("qx", {}, FRegionInfo()));
    EXPECT_EQ(Events.Last(), FString("items:0::qx:No items"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "QueryItemsById request failed. No items"));
    EXPECT_EQ(Http().NumStarted(), Started);
}

struct FReplyCase
{
    const char* Name;
    int32 Code;
    FString Body;
    FString Event;
};

using ZorTestCases::PrintTo;

const FReplyCase FailedReplyCases[] = {
    {"server error", 500, "oops", "categories:0:Invalid response. code=500 error=oops"},
    {"not JSON", 200, "<html>", "categories:0:Invalid response payload"},
    {"no paging", 200, R"({"elements":[]})", "categories:0:Invalid response payload"},
    {"paging not an object", 200, R"({"paging":3,"elements":[]})", "categories:0:Invalid response payload"},
    {"elements not an array", 200, R"({"paging":{},"elements":{}})", "categories:0:Invalid response payload"},
};

/** Two categories already read. */
class FCatalogHeldListTest : public FCatalogTest
{
protected:
    void SetUp() override
    {
        FCatalogTest::SetUp();
        ASSERT_TRUE(Catalog->QueryCategories(FPagedQuery()));
        Tick();
        Answer("/categories", 200, ListReply(R"({"name":"Weapons","path":"weapons"},7,{"path":"armour"})"));
        ASSERT_EQ(Events.Last(), FString("categories:1:"));
    }
};

using FCatalogFailedReplyTest = TZorRows<FCatalogHeldListTest, FReplyCase>;

TEST_P(FCatalogFailedReplyTest, AFailedReplyLeavesTheListsAsTheyWere)
{
    const FReplyCase& Case = GetParam();
    ASSERT_TRUE(Catalog->QueryCategories(FPagedQuery()));
    Tick();
    Answer("/categories", Case.Code, Case.Body, "text/plain");
    EXPECT_EQ(Events.Last(), Case.Event) << Case.Name;
    TArray<TSharedPtr<FOnlineCatalogCategory>> Categories;
    Catalog->GetCategories(Categories);
    ASSERT_EQ(Categories.Num(), 2) << Case.Name;
    EXPECT_EQ(Categories[1]->Path, FString("armour"));
}

INSTANTIATE_TEST_SUITE_P(Rows, FCatalogFailedReplyTest, ::testing::ValuesIn(FailedReplyCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FCatalogHeldListTest, AnEmptyListEmptiesTheLists)
{
    ASSERT_TRUE(Catalog->QueryCategories(FPagedQuery()));
    Tick();
    Answer("/categories", 200, ListReply(""));
    TArray<TSharedPtr<FOnlineCatalogCategory>> Categories;
    Catalog->GetCategories(Categories);
    EXPECT_TRUE(Categories.IsEmpty());
}

TEST_F(FCatalogTest, AReReadOfferIsAssignedOverTheCachedOne)
{
    const FString Offer =
        R"({"id":"o1","title":"Sword","price":999,"keyImages":[{"type":"thumb","url":"u"}],)"
        R"("items":[{"id":"i1","title":"Blade"},{"id":""},3]})";
    AnswerOffers(Offer + R"(,{"id":"","items":[{"id":"ghost"}]},"junk")");
    EXPECT_EQ(Events.Last(), FString("offers:1:o1:qx:"));
    const TSharedPtr<FOnlineCatalogOffer> Held = Catalog->GetOffer("O1");
    ASSERT_TRUE(Held);
    EXPECT_EQ(Held->Namespace, FString("qx"));
    EXPECT_EQ(Held->ItemIds, TArray<FString>({"i1"}));
    EXPECT_FALSE(Catalog->GetItem("ghost"));
    const TSharedPtr<FOnlineCatalogItem> Item = Catalog->GetItem("i1");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->Namespace, FString("qx"));

    FString Changed = Offer;
    Changed.ReplaceInline("999", "1500");
    AnswerOffers(Changed);
    EXPECT_EQ(Catalog->GetOffer("o1"), Held);
    EXPECT_EQ(Held->Price, 1500);
    EXPECT_EQ(Held->KeyImages.Num(), 1);
    EXPECT_EQ(Held->ItemIds.Num(), 1);
    EXPECT_EQ(Catalog->GetItem("i1"), Item);

    TArray<TSharedPtr<FOnlineCatalogOffer>> Offers;
    Catalog->GetAllOffers("QX", Offers);
    Catalog->GetAllOffers("qx", Offers);
    Catalog->GetAllOffers("other", Offers);
    EXPECT_EQ(Offers.Num(), 2);

    Catalog->ClearOffers("qx");
    EXPECT_FALSE(Catalog->GetOffer("o1"));
    EXPECT_EQ(Held->Price, 1500);
    EXPECT_TRUE(Catalog->GetItem("i1"));
}

TEST_F(FCatalogTest, ItemRepliesReportTheIdsTheyStored)
{
    ASSERT_TRUE(Catalog->QueryItemsById("qx", {"i1", "i2"}, FRegionInfo()));
    Tick();
    Answer("/bulk/items", 200, ListReply(R"({"id":"i1"},{"id":"i3"},{"title":"no id"})"));
    EXPECT_EQ(Events.Last(), FString("items:1:i1+i3:qx:"));
    TArray<TSharedPtr<FOnlineCatalogItem>> Items;
    Catalog->GetAllItems("qx", Items);
    EXPECT_EQ(Items.Num(), 2);
    Catalog->ClearItems("qx");
    Items.Empty();
    Catalog->GetAllItems("qx", Items);
    EXPECT_TRUE(Items.IsEmpty());
}

TEST_F(FCatalogTest, ShutdownReportsEachPendingQueryOnceAndRefusesLaterOnes)
{
    ASSERT_TRUE(Catalog->QueryOffersById("qx", {"o1"}, FRegionInfo()));
    Tick();
    ASSERT_TRUE(Catalog->QueryItemsById("qx", {"i1"}, FRegionInfo()));
    const TSharedPtr<FOnlineCatalogServiceZor> Held = Catalog;
    Subsystem->Shutdown();
    EXPECT_EQ(FString::Join(Events, ","), FString("offers:0::qx:No response,items:0::qx:No response"));
    EXPECT_FALSE(Subsystem->GetZorCatalogService());

    EXPECT_FALSE(Held->QueryCategories(FPagedQuery()));
    EXPECT_EQ(Events.Last(), FString("categories:0:No response"));
    for (const auto& Started : Http().GetStartedRequests())
    {
        Http().Respond(Started.Request, 200, ListReply(R"({"id":"late"})"));
    }
    Tick(2);
    EXPECT_EQ(Events.Num(), 3);
    EXPECT_FALSE(Held->GetOffer("late"));
}
} // namespace
