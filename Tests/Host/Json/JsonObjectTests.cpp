#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Json/Json.h"

namespace
{
TSharedPtr<FJsonObject> Parse(const FString& Text)
{
    TSharedPtr<FJsonObject> Object;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object)) << *Text;
    return Object;
}

bool Same(const FString& Lhs, const FString& Rhs)
{
    TSharedPtr<FJsonValue> Left;
    TSharedPtr<FJsonValue> Right;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Lhs), Left));
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Rhs), Right));
    return Left && Right && FJsonValue::CompareEqual(*Left, *Right);
}
} // namespace

TEST(JsonObject, FieldNamesIgnoreLetterCase)
{
    TSharedPtr<FJsonObject> Object = Parse(R"({"errorCode":"bad","Nested":{"Inner":[1]}})");
    EXPECT_TRUE(Object->HasField("ERRORCODE"));
    EXPECT_STREQ(*Object->GetStringField("errorcode"), "bad");
    EXPECT_EQ(Object->GetObjectField("nested")->GetArrayField("INNER").Num(), 1);

    Object->SetStringField("ErrorCode", "worse");
    EXPECT_EQ(Object->Values.Num(), 2);
    EXPECT_STREQ(*Object->GetStringField("errorCode"), "worse");
    Object->RemoveField("NESTED");
    EXPECT_FALSE(Object->HasField("nested"));
}

TEST(JsonObject, TypedGettersOnMissingFieldsAndWrongKinds)
{
    TSharedPtr<FJsonObject> Object = Parse(R"({"s":"12","n":12.5,"b":true,"z":null,"a":[1],"o":{"k":1}})");
    for (const char* Name : {"missing", "z", "a", "o"})
    {
        EXPECT_TRUE(Object->GetStringField(Name).IsEmpty()) << Name;
    }
    for (const char* Name : {"missing", "s", "z", "a", "o"})
    {
        EXPECT_EQ(Object->GetNumberField(Name), 0.0) << Name;
        EXPECT_EQ(Object->GetIntegerField(Name), 0) << Name;
        EXPECT_FALSE(Object->GetBoolField(Name)) << Name;
    }
    EXPECT_EQ(Object->GetNumberField("b"), 0.0);
    EXPECT_FALSE(Object->GetBoolField("n"));
    for (const char* Name : {"missing", "s", "n", "b", "z", "a"})
    {
        EXPECT_FALSE(Object->GetObjectField(Name).IsValid()) << Name;
    }
    for (const char* Name : {"missing", "s", "n", "b", "z", "o"})
    {
        EXPECT_EQ(Object->GetArrayField(Name).Num(), 0) << Name;
    }

    // Numbers and booleans read as text; text never reads as a number.
    EXPECT_STREQ(*Object->GetStringField("n"), "12.5");
    EXPECT_STREQ(*Object->GetStringField("b"), "true");
    double Number = -1.0;
    EXPECT_FALSE(Object->TryGetNumberField("s", Number));
    EXPECT_EQ(Number, -1.0);

    EXPECT_FALSE(Object->HasField("missing"));
    EXPECT_FALSE(Object->TryGetField("missing").IsValid());
    Object->SetField("empty", nullptr);
    EXPECT_FALSE(Object->HasField("empty"));
    EXPECT_TRUE(Object->GetStringField("empty").IsEmpty());

    const TSharedPtr<FJsonObject>* Nested = nullptr;
    const TArray<TSharedPtr<FJsonValue>>* Array = nullptr;
    bool Flag = false;
    EXPECT_FALSE(Object->TryGetObjectField("a", Nested));
    EXPECT_TRUE(Object->TryGetObjectField("o", Nested));
    EXPECT_FALSE(Object->TryGetArrayField("o", Array));
    EXPECT_TRUE(Object->TryGetArrayField("a", Array));
    EXPECT_FALSE(Object->TryGetBoolField("s", Flag));
    EXPECT_TRUE(Object->TryGetBoolField("b", Flag));
    EXPECT_TRUE(Flag);
}

TEST(JsonObject, IntegerConversionsSaturateOrRefuse)
{
    TSharedPtr<FJsonObject> Object = Parse(
        R"({"big":1e20,"small":-1e20,"frac":-7.9,"whole":4294967295,"neg":-1,"max64":9223372036854775807})");
    EXPECT_EQ(Object->GetIntegerField("big"), std::numeric_limits<int32>::max());
    EXPECT_EQ(Object->GetIntegerField("small"), std::numeric_limits<int32>::min());
    EXPECT_EQ(Object->GetIntegerField("frac"), -7);
    Object->SetNumberField("nan", std::nan(""));
    EXPECT_EQ(Object->GetIntegerField("nan"), 0);

    int32 Int = 5;
    int64 Long = 5;
    uint32 Unsigned = 5;
    EXPECT_FALSE(Object->TryGetNumberField("frac", Int));
    EXPECT_FALSE(Object->TryGetNumberField("whole", Int));
    EXPECT_FALSE(Object->TryGetNumberField("nan", Int));
    EXPECT_EQ(Int, 5);
    EXPECT_TRUE(Object->TryGetNumberField("whole", Unsigned));
    EXPECT_EQ(Unsigned, 4294967295u);
    EXPECT_FALSE(Object->TryGetNumberField("neg", Unsigned));
    // 2^63 as a double is one past the int64 range.
    EXPECT_FALSE(Object->TryGetNumberField("max64", Long));
    EXPECT_TRUE(Object->TryGetNumberField("neg", Long));
    EXPECT_EQ(Long, -1);
}

TEST(JsonObject, CompareEqual)
{
    EXPECT_TRUE(Same(R"({"a":1,"b":[true,null,{"c":"x"}]})", R"({"b":[true,null,{"c":"x"}],"a":1.0})"));
    EXPECT_TRUE(Same(R"({"Key":1})", R"({"key":1})"));
    EXPECT_TRUE(Same("[0]", "[-0.0]"));
    EXPECT_FALSE(Same(R"({"a":"x"})", R"({"a":"X"})"));
    EXPECT_FALSE(Same("[1,2]", "[2,1]"));
    EXPECT_FALSE(Same(R"({"a":1})", R"({"a":1,"b":1})"));
    EXPECT_FALSE(Same(R"({"a":1,"b":1})", R"({"a":1})"));
    EXPECT_FALSE(Same(R"({"a":1})", R"({"b":1})"));
    EXPECT_FALSE(Same(R"({"a":"1"})", R"({"a":1})"));
    EXPECT_FALSE(Same("[null]", "[false]"));
    EXPECT_FALSE(Same("[[]]", "[{}]"));

    const TArray<TSharedPtr<FJsonValue>> WithEmptySlot{nullptr};
    const TArray<TSharedPtr<FJsonValue>> WithNull{MakeShared<FJsonValueNull>()};
    EXPECT_TRUE(FJsonValue::CompareEqual(FJsonValueArray(WithEmptySlot), FJsonValueArray(WithNull)));
}

TEST(JsonObject, DuplicateIsIndependent)
{
    TSharedPtr<FJsonObject> Source = Parse(R"({"list":[{"n":1}],"inner":{"s":"x"}})");
    TSharedPtr<FJsonObject> Copy = FJsonObject::Duplicate(Source);
    ASSERT_TRUE(Copy.IsValid());
    EXPECT_TRUE(FJsonValue::CompareEqual(FJsonValueObject(Source), FJsonValueObject(Copy)));

    Copy->GetObjectField("inner")->SetStringField("s", "changed");
    Copy->GetArrayField("list")[0]->AsObject()->SetNumberField("n", 2);
    EXPECT_STREQ(*Source->GetObjectField("inner")->GetStringField("s"), "x");
    EXPECT_EQ(Source->GetArrayField("list")[0]->AsObject()->GetNumberField("n"), 1.0);
    EXPECT_FALSE(FJsonObject::Duplicate(nullptr).IsValid());
}

// A parsed or duplicated object keeps its fields in room allocated with it: what is moved out of it must
// live on after it is gone, and it must take more fields than it was made for (the sanitizer build checks).
TEST(JsonObject, FieldsMovedOutOutliveTheirObject)
{
    FJsonObject Kept;
    TMap<FString, TSharedPtr<FJsonValue>> Fields;
    {
        TSharedPtr<FJsonObject> Parsed = Parse(R"({"a":"one","b":{"c":2},"d":[3]})");
        TSharedPtr<FJsonObject> Copy = FJsonObject::Duplicate(Parsed);
        Parsed->SetStringField("e", "grown");
        Copy->RemoveField("a");
        Copy->SetNumberField("f", 4);
        Kept = std::move(*Parsed);
        Fields = std::move(Copy->Values);
    }
    EXPECT_STREQ(*Kept.GetStringField("a"), "one");
    EXPECT_EQ(Kept.GetObjectField("b")->GetIntegerField("c"), 2);
    EXPECT_STREQ(*Kept.GetStringField("E"), "grown");
    TArray<FString> Keys;
    Fields.GenerateKeyArray(Keys);
    ASSERT_EQ(Keys.Num(), 3);
    EXPECT_STREQ(*Keys[0], "b");
    EXPECT_STREQ(*Keys[2], "f");
    EXPECT_EQ(Fields.FindRef("d")->AsArray()[0]->AsNumber(), 3.0);
}

TEST(JsonObject, VeryDeepTreesAreReleasedWithoutRecursion)
{
    // Far deeper than any stack could unwind recursively.
    TSharedPtr<FJsonValue> Chain = MakeShared<FJsonValueNull>();
    for (int32 Level = 0; Level < 100000; ++Level)
    {
        if (Level % 2 == 0)
        {
            Chain = MakeShared<FJsonValueArray>(TArray<TSharedPtr<FJsonValue>>{Chain});
            continue;
        }
        TSharedPtr<FJsonObject> Holder = MakeShared<FJsonObject>();
        Holder->SetField("next", Chain);
        Chain = MakeShared<FJsonValueObject>(Holder);
    }
    TSharedPtr<FJsonValue> Shared = Chain->AsObject()->GetField("next");
    Chain.Reset();
    ASSERT_TRUE(Shared.IsValid());
    EXPECT_EQ(Shared->Type, EJson::Array);
    Shared.Reset();
}

TEST(JsonArrayWrap, WrapsBareArraysUnderTheirKey)
{
    EXPECT_STREQ(*WrapJsonArrayResponse("friends", R"([{"id":"a"}])"), R"({"friends":[{"id":"a"}]})");
    EXPECT_STREQ(*WrapJsonArrayResponse("zorAccountInfos", "[]"), R"({"zorAccountInfos":[]})");
    EXPECT_STREQ(*WrapJsonArrayResponse("files", R"({"name":"a"})"), R"({"files":[{"name":"a"}]})");
    EXPECT_STREQ(*WrapJsonArrayResponse("files", "[1]"), R"({"files":[1]})");
    EXPECT_STREQ(*WrapJsonArrayResponse("messages", R"({"x":1})"), R"({"messages":{"x":1}})");

    TSharedPtr<FJsonObject> Wrapped = Parse(WrapJsonArrayResponse("files", R"({"name":"a"})"));
    ASSERT_TRUE(Wrapped.IsValid());
    EXPECT_EQ(Wrapped->GetArrayField("files").Num(), 1);

    TSharedPtr<FJsonObject> Refused;
    EXPECT_FALSE(FJsonSerializer::Deserialize(
        TJsonReaderFactory<>::Create(WrapJsonArrayResponse("users", "")), Refused));
}
