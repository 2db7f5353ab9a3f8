#include <gtest/gtest.h>

#include "Entitlements/ZorEntitlementCache.h"
#include "ZorRows.h"
#include "Json/Json.h"

namespace
{
TArray<TSharedPtr<FJsonValue>> ParseArray(const FString& Json)
{
    TSharedPtr<FJsonObject> Object;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("{\"a\":" + Json + "}"), Object));
    return Object ? Object->GetArrayField("a") : TArray<TSharedPtr<FJsonValue>>();
}

FString AttributeList(const FOnlineEntitlementZor& Entitlement)
{
    FString List;
    for (const TPair<FString, FString>& Attribute : Entitlement.Attributes)
    {
        List += Attribute.Key + "=" + Attribute.Value + ";";
    }
    return List;
}

struct FElementCase
{
    const char* Element;
    bool bRead;
    const char* Name;
    const char* ItemId;
    const char* Attributes;
};

const FElementCase ElementCases[] = {
    {R"({"id":"e1","entitlementName":"Game","catalogItemId":"item-1"})", true, "Game", "item-1",
     "id=e1;entitlementName=Game;catalogItemId=item-1;"},
    // Only string fields become attributes, in the order the object gives them.
    {R"({"status":"ACTIVE","count":3,"id":"e1","ok":true,"nested":{"a":"b"},"list":["x"],"none":null,"z":"last"})",
     true, "", "", "status=ACTIVE;id=e1;z=last;"},
    {R"({"entitlementName":"No id"})", false, "", "", ""},
    {R"({"id":"","entitlementName":"Empty id"})", false, "", "", ""},
    {R"({"id":7})", false, "", "", ""},
    {R"("e1")", false, "", "", ""},
    {R"(["e1"])", false, "", "", ""},
    {R"(null)", false, "", "", ""},
};

namespace
{
using FReadsOneAnswerElementTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FReadsOneAnswerElementTest, ReadsOneAnswerElement)
{
    const FElementCase& Case = ElementCases[GetParam()];
    SCOPED_TRACE(Case.Element);
    const TSharedPtr<FOnlineEntitlementZor> Entitlement =
        FOnlineEntitlementZor::FromAnswerElement(ParseArray(FString("[") + Case.Element + "]")[0]);
    ASSERT_EQ(Entitlement != nullptr, Case.bRead);
    if (!Entitlement)
    {
        return;
    }
    EXPECT_EQ(Entitlement->Id, FString("e1"));
    EXPECT_EQ(Entitlement->Name, FString(Case.Name));
    EXPECT_EQ(Entitlement->ItemId, FString(Case.ItemId));
    EXPECT_TRUE(AttributeList(*Entitlement).Equals(Case.Attributes)) << *AttributeList(*Entitlement);
}

INSTANTIATE_TEST_SUITE_P(Rows, FReadsOneAnswerElementTest,
                         ::testing::Range(size_t{0}, std::size(ElementCases)));

TEST(EntitlementRecord, AttributeLookupIgnoresCaseAndMissesUnknownNames)
{
    const TSharedPtr<FOnlineEntitlementZor> Entitlement = FOnlineEntitlementZor::FromAnswerElement(
        ParseArray(R"([{"id":"e1","Status":"ACTIVE","flag":true}])")[0]);
    ASSERT_TRUE(Entitlement);
    FString Value = "untouched";
    EXPECT_TRUE(Entitlement->GetAttribute("status", Value));
    EXPECT_EQ(Value, FString("ACTIVE"));
    Value = "untouched";
    EXPECT_FALSE(Entitlement->GetAttribute("flag", Value));
    EXPECT_FALSE(Entitlement->GetAttribute("missing", Value));
    EXPECT_EQ(Value, FString("untouched"));
}

TEST(EntitlementRecord, WritesItsThreeKeysOnly)
{
    FOnlineEntitlementZor Entitlement;
    Entitlement.Id = "e1";
    Entitlement.Name = "Game";
    Entitlement.ItemId = "item-1";
    Entitlement.Attributes.Add({"status", "ACTIVE"});
    EXPECT_TRUE(
        Entitlement.ToJson(false).Equals(R"({"id":"e1","entitlementName":"Game","catalogItemId":"item-1"})"))
        << *Entitlement.ToJson(false);
}

class EntitlementCacheTest : public ::testing::Test
{
protected:
    FString Ids(const FString& UserId) const
    {
        TArray<TSharedRef<FOnlineEntitlement>> All;
        Cache.AppendAll(UserId, All);
        FString List;
        for (const TSharedRef<FOnlineEntitlement>& Entitlement : All)
        {
            List += Entitlement->Id + "/" + Entitlement->Name + ";";
        }
        return List;
    }

    FZorEntitlementCache Cache;
};

TEST_F(EntitlementCacheTest, EachAnswerReplacesTheUsersEntitlementsOnly)
{
    Cache.Replace("userA", ParseArray(R"([{"id":"a1","entitlementName":"One"},{"id":"a2"}])"));
    Cache.Replace("userB", ParseArray(R"([{"id":"b1"}])"));
    Cache.Replace("usera", ParseArray(R"([{"id":"a3"},{"entitlementName":"dropped"},7])"));

    EXPECT_TRUE(Ids("userA").Equals("a3/;")) << *Ids("userA");
    EXPECT_TRUE(Ids("userB").Equals("b1/;")) << *Ids("userB");
    EXPECT_FALSE(Cache.Find("userA", "a1"));

    Cache.Replace("userB", ParseArray("[]"));
    EXPECT_TRUE(Ids("userB").IsEmpty());
}

TEST_F(EntitlementCacheTest, ALaterEqualIdReplacesTheEarlierInItsPlace)
{
    Cache.Replace(
        "user",
        ParseArray(
            R"([{"id":"x","entitlementName":"first"},{"id":"y"},{"id":"X","entitlementName":"second"}])"));
    EXPECT_TRUE(Ids("user").Equals("X/second;y/;")) << *Ids("user");
    ASSERT_TRUE(Cache.Find("user", "x"));
    EXPECT_EQ(Cache.Find("user", "x")->Name, FString("second"));
}

namespace
{
struct FLooksUpByIdAndByItemRow
{
    const char* User;
    const char* Key;
    const char* ById;
    const char* ByItem;
};
const FLooksUpByIdAndByItemRow LooksUpByIdAndByItemRows[] = {
    {"user", "e2", "e2", ""},    {"user", "item-7", "", "e2"}, {"USER", "E1", "e1", ""},
    {"user", "other", "", "e1"}, {"nobody", "e1", "", ""},     {"user", "", "", ""},
};

using FLooksUpByIdAndByItemTest = TZorRows<EntitlementCacheTest>;
} // namespace

TEST_P(FLooksUpByIdAndByItemTest, LooksUpByIdAndByItem)
{
    Cache.Replace("user",
                  ParseArray(R"([{"id":"e1","catalogItemId":"other"},{"id":"e2","catalogItemId":"Item-7"},)"
                             R"({"id":"e3","catalogItemId":"item-7"}])"));
    const FLooksUpByIdAndByItemRow& Case = LooksUpByIdAndByItemRows[GetParam()];
    SCOPED_TRACE(*(FString(Case.User) + " " + Case.Key));
    const TSharedPtr<FOnlineEntitlementZor> ById = Cache.Find(Case.User, Case.Key);
    const TSharedPtr<FOnlineEntitlementZor> ByItem = Cache.FindByItem(Case.User, Case.Key);
    EXPECT_EQ(ById ? ById->Id : FString(), FString(Case.ById));
    EXPECT_EQ(ByItem ? ByItem->Id : FString(), FString(Case.ByItem));
}

INSTANTIATE_TEST_SUITE_P(Rows, FLooksUpByIdAndByItemTest,
                         ::testing::Range(size_t{0}, std::size(LooksUpByIdAndByItemRows)));

TEST_F(EntitlementCacheTest, AppendAllKeepsWhatTheCallerHeld)
{
    Cache.Replace("user", ParseArray(R"([{"id":"e1"},{"id":"e2"}])"));
    TArray<TSharedRef<FOnlineEntitlement>> All;
    Cache.AppendAll("user", All);
    Cache.AppendAll("nobody", All);
    Cache.AppendAll("user", All);
    ASSERT_EQ(All.Num(), 4);
    EXPECT_EQ(All[2]->Id, FString("e1"));
    // Look-ups hand out the cached records themselves.
    EXPECT_EQ(All[0].get(), Cache.Find("user", "e1").get());
}
} // namespace
