#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "JsonPrivate.h"
#include "Json/Json.h"

namespace
{
TSharedPtr<FJsonValue> ParseValue(const FString& Text)
{
    TSharedPtr<FJsonValue> Value;
    return FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Value) ? Value : nullptr;
}

bool ParsesAsObject(const FString& Text)
{
    TSharedPtr<FJsonObject> Object;
    return FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object);
}

FString Nested(int32 Depth)
{
    return FString(std::string(Depth, '[') + std::string(Depth, ']'));
}
} // namespace

TEST(JsonReader, ReadsEveryKindOfValue)
{
    TSharedPtr<FJsonObject> Object;
    ASSERT_TRUE(FJsonSerializer::Deserialize(
        TJsonReaderFactory<>::Create(
            R"( {"s":"x","n":-2.5e1,"t":true,"f":false,"z":null,"a":[1,[]],"o":{}} )"),
        Object));
    ASSERT_TRUE(Object.IsValid());
    EXPECT_STREQ(*Object->GetStringField("s"), "x");
    EXPECT_EQ(Object->GetNumberField("n"), -25.0);
    EXPECT_TRUE(Object->GetBoolField("t"));
    EXPECT_TRUE(Object->HasTypedField<EJson::Boolean>("f"));
    EXPECT_TRUE(Object->HasTypedField<EJson::Null>("z"));
    EXPECT_EQ(Object->GetArrayField("a").Num(), 2);
    EXPECT_TRUE(Object->GetObjectField("o").IsValid());

    TArray<FString> Order;
    Object->Values.GenerateKeyArray(Order);
    EXPECT_EQ(Order, (TArray<FString>{"s", "n", "t", "f", "z", "a", "o"}));
}

TEST(JsonReader, TopLevelKindDecidesWhichOverloadSucceeds)
{
    TSharedPtr<FJsonObject> Object;
    TArray<TSharedPtr<FJsonValue>> Array;
    EXPECT_FALSE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("[1,2]"), Object));
    EXPECT_FALSE(Object.IsValid());
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("[1,2]"), Array));
    EXPECT_EQ(Array.Num(), 2);
    EXPECT_FALSE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("{}"), Array));
    EXPECT_FALSE(ParsesAsObject("\"text\""));
    EXPECT_FALSE(ParsesAsObject("42"));
    ASSERT_TRUE(ParseValue("42").IsValid());
    EXPECT_EQ(ParseValue("42")->AsNumber(), 42.0);
}

namespace
{
const char* const MalformedTexts[] = {
    "",           "   ",        "{",           R"({"a":)", R"({"a":1)",    R"({"a" 1})",  R"({"a":1,})",
    "[1,]",       "[1 2]",      "{a:1}",       "{'a':1}",  R"({"a":tru})", R"(["abc)",    "01",
    "1.",         ".5",         "-",           "+1",       "0x10",         "{}}",         "{} {}",
    R"({} x)",    "[]]",        R"({"a":1}/)", "/*c*/{}",  "{}//c",        R"(["\x"])",   R"(["\u12"])",
    "[\"a\tb\"]", "[\"a\nb\"]", "NaN",         "[NaN]",    "[Infinity]",   "[-Infinity]", "[nan]",
};

using FRefusesMalformedTextTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FRefusesMalformedTextTest, RefusesMalformedText)
{
    const char* Text = MalformedTexts[GetParam()];
    EXPECT_FALSE(ParseValue(Text).IsValid()) << Text;
}

INSTANTIATE_TEST_SUITE_P(Rows, FRefusesMalformedTextTest,
                         ::testing::Range(size_t{0}, std::size(MalformedTexts)));

TEST(JsonReader, FailureLeavesOutputAndExplainsWhere)
{
    auto Reader = TJsonReaderFactory<>::Create(R"({"a":1} trailing)");
    TSharedPtr<FJsonObject> Object = MakeShared<FJsonObject>();
    Object->SetStringField("kept", "yes");
    EXPECT_FALSE(FJsonSerializer::Deserialize(Reader, Object));
    EXPECT_TRUE(Object->HasField("kept"));
    EXPECT_TRUE(Reader->GetErrorMessage().Contains("offset 8")) << *Reader->GetErrorMessage();

    auto Good = TJsonReaderFactory<>::Create("{}");
    EXPECT_TRUE(FJsonSerializer::Deserialize(Good, Object));
    EXPECT_TRUE(Good->GetErrorMessage().IsEmpty());
}

TEST(JsonReader, RefusesNulBytesAnywhere)
{
    EXPECT_FALSE(ParseValue(FString(std::string("{}\0garbage", 10))).IsValid());
    EXPECT_FALSE(ParseValue(FString(std::string("[\"a\0b\"]", 7))).IsValid());
    ASSERT_TRUE(ParseValue(R"(["a\u0000b"])").IsValid());
    EXPECT_EQ(ParseValue(R"(["a\u0000b"])")->AsArray()[0]->AsString().Len(), 3);
}

namespace
{
const std::string NotUtf8Texts[] = {
    "[\"\x80\"]",             // stray continuation byte
    "[\"\xC3\"]",             // truncated sequence
    "[\"\xC0\xAF\"]",         // overlong '/'
    "[\"\xE0\x80\xAF\"]",     // overlong, three bytes
    "[\"\xF0\x80\x80\xAF\"]", // overlong, four bytes
    "[\"\xED\xA0\x80\"]",     // surrogate encoded directly
    "{\"a\":1,\"\xEC",        // text ends inside a sequence
    "[\"\xF4\x90\x80\x80\"]", // beyond U+10FFFF
    "[\"\xFF\"]",
    "{\"\xC0\xAF\":1}", // in a key
    "\xEF\xBB\xBF{}",   // byte order mark
};

using FRefusesTextThatIsNotUtf8Test = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FRefusesTextThatIsNotUtf8Test, RefusesTextThatIsNotUtf8)
{
    EXPECT_FALSE(ParseValue(FString(NotUtf8Texts[GetParam()])).IsValid());
}

INSTANTIATE_TEST_SUITE_P(Rows, FRefusesTextThatIsNotUtf8Test,
                         ::testing::Range(size_t{0}, std::size(NotUtf8Texts)));

TEST(JsonReader, ReadsTextThatIsUtf8)
{
    TSharedPtr<FJsonValue> Valid = ParseValue("[\"caf\xC3\xA9 \xF0\x9F\x98\x80\"]");
    ASSERT_TRUE(Valid.IsValid());
    EXPECT_STREQ(*Valid->AsArray()[0]->AsString(), "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

TEST(JsonReader, DecodesEscapesAndRefusesLoneSurrogates)
{
    TSharedPtr<FJsonValue> Value = ParseValue(R"(["\"\\\/\b\f\n\r\t", "\u00e9\u20AC", "\ud83d\ude00"])");
    ASSERT_TRUE(Value.IsValid());
    EXPECT_STREQ(*Value->AsArray()[0]->AsString(), "\"\\/\b\f\n\r\t");
    EXPECT_STREQ(*Value->AsArray()[1]->AsString(), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_STREQ(*Value->AsArray()[2]->AsString(), "\xF0\x9F\x98\x80");

    EXPECT_FALSE(ParseValue(R"(["\ud83d"])").IsValid());
    EXPECT_FALSE(ParseValue(R"(["\ud83dx"])").IsValid());
    EXPECT_FALSE(ParseValue(R"(["\ud83d\u0041"])").IsValid());
    EXPECT_FALSE(ParseValue(R"(["\ude00"])").IsValid());
    EXPECT_FALSE(ParseValue(R"(["a\udfffb"])").IsValid());
    EXPECT_FALSE(ParsesAsObject(R"({"\udc00":1})"));
}

TEST(JsonReader, NestingLimit)
{
    EXPECT_TRUE(ParseValue(Nested(JsonMaxDepth)).IsValid());
    EXPECT_FALSE(ParseValue(Nested(JsonMaxDepth + 1)).IsValid());

    auto Reader = TJsonReaderFactory<>::Create(FString(std::string(100000, '[')));
    TSharedPtr<FJsonValue> Value;
    EXPECT_FALSE(FJsonSerializer::Deserialize(Reader, Value));
    EXPECT_TRUE(Reader->GetErrorMessage().Contains("deeper")) << *Reader->GetErrorMessage();

    std::string Objects;
    for (int32 Level = 0; Level < 100000; ++Level)
    {
        Objects += "{\"a\":";
    }
    EXPECT_FALSE(ParsesAsObject(FString(Objects)));
}

TEST(JsonReader, NumbersAreDoubles)
{
    TSharedPtr<FJsonValue> Value = ParseValue(
        "[9007199254740993, -9223372036854775808, 18446744073709551615, 123456789012345678901234567890,"
        "0.1, 1e-400, -0, 1E2, 4294967295]");
    ASSERT_TRUE(Value.IsValid());
    const TArray<TSharedPtr<FJsonValue>>& Numbers = Value->AsArray();
    EXPECT_EQ(Numbers[0]->AsNumber(), 9007199254740992.0);
    EXPECT_EQ(Numbers[1]->AsNumber(), -9223372036854775808.0);
    EXPECT_EQ(Numbers[2]->AsNumber(), 18446744073709551616.0);
    EXPECT_EQ(Numbers[3]->AsNumber(), 1.2345678901234568e29);
    EXPECT_EQ(Numbers[4]->AsNumber(), 0.1);
    EXPECT_EQ(Numbers[5]->AsNumber(), 0.0);
    EXPECT_EQ(Numbers[6]->AsNumber(), 0.0);
    EXPECT_EQ(Numbers[7]->AsNumber(), 100.0);
    uint32 Unsigned = 0;
    EXPECT_TRUE(Numbers[8]->TryGetNumber(Unsigned));
    EXPECT_EQ(Unsigned, 4294967295u);

    TSharedPtr<FJsonValue> Edges =
        ParseValue("[0e300, -2e-324, 0.00012e-320, 1.7976931348623157e308, 5e-324]");
    ASSERT_TRUE(Edges.IsValid());
    EXPECT_EQ(Edges->AsArray()[0]->AsNumber(), 0.0);
    EXPECT_EQ(Edges->AsArray()[1]->AsNumber(), 0.0);
    EXPECT_TRUE(std::signbit(Edges->AsArray()[1]->AsNumber()));
    EXPECT_EQ(Edges->AsArray()[2]->AsNumber(), 0.0);
    EXPECT_EQ(Edges->AsArray()[3]->AsNumber(), std::numeric_limits<double>::max());
    EXPECT_EQ(Edges->AsArray()[4]->AsNumber(), std::numeric_limits<double>::denorm_min());
}

namespace
{
constexpr double LargestNumber = std::numeric_limits<double>::max();

struct FOutOfRangeNumber
{
    const char* Text;
    double Expected;
};

const FOutOfRangeNumber OutOfRangeNumbers[] = {
    {"1e400", LargestNumber},
    {"-1e400", -LargestNumber},
    {"1.8e308", LargestNumber},
    {"-0.5e99999999999", -LargestNumber},
    {"0e400", 0.0},
    {"123e999999999", LargestNumber},
    {"5e-99999999999", 0.0},
    {"-1e-400", -0.0},
    {"100000000000000000000000000000000000000000000000000e300", LargestNumber},
};

using FOutOfRangeNumbersSaturateTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FOutOfRangeNumbersSaturateTest, NumbersOutOfRangeSaturate)
{
    const FOutOfRangeNumber& Case = OutOfRangeNumbers[GetParam()];
    const TSharedPtr<FJsonValue> Saturated = ParseValue(FString::Printf("[%s]", Case.Text));
    ASSERT_TRUE(Saturated.IsValid()) << Case.Text;
    const double Number = Saturated->AsArray()[0]->AsNumber();
    EXPECT_EQ(Number, Case.Expected) << Case.Text;
    EXPECT_EQ(std::signbit(Number), std::signbit(Case.Expected)) << Case.Text;
    ASSERT_TRUE(ParseValue(Case.Text).IsValid()) << Case.Text;
    EXPECT_EQ(ParseValue(Case.Text)->AsNumber(), Case.Expected) << Case.Text;
}

INSTANTIATE_TEST_SUITE_P(Rows, FOutOfRangeNumbersSaturateTest,
                         ::testing::Range(size_t{0}, std::size(OutOfRangeNumbers)));

// More than 19 significant digits take the slow road of number conversion; both readers must round right.
namespace
{
const char* const LongNumbers[] = {"0.1333333333333085285933", "0.133333333333308528593316666666616666644",
                                   "1.00000000000000011102230246251565404236316680908203125",
                                   "2.225073858507201136057409796709131975934819546351645648e-308",
                                   "-98765432109876543210.98765432109876543210e-5"};

using FLongNumbersAreCorrectlyRoundedTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FLongNumbersAreCorrectlyRoundedTest, LongNumbersAreCorrectlyRoundedOnBothReadingPaths)
{
    const char* Number = LongNumbers[GetParam()];
    for (const char* Marker : {"plain", "a-0"})
    {
        const TSharedPtr<FJsonValue> Value = ParseValue(FString::Printf("[%s,\"%s\"]", Number, Marker));
        ASSERT_TRUE(Value.IsValid()) << Number;
        EXPECT_EQ(Value->AsArray()[0]->AsNumber(), std::strtod(Number, nullptr)) << Number << " " << Marker;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FLongNumbersAreCorrectlyRoundedTest,
                         ::testing::Range(size_t{0}, std::size(LongNumbers)));

namespace
{
struct FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRow
{
    const char* Text;
    EJson Type;
    const char* AsString;
};
const FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRow
    TopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRows[] = {{"null ", EJson::Null, ""},
                                                                 {"false  ", EJson::Boolean, "false"},
                                                                 {"true \t\r\n", EJson::Boolean, "true"},
                                                                 {"\"s\" ", EJson::String, "s"},
                                                                 {"12  ", EJson::Number, "12"},
                                                                 {" -0.5\n", EJson::Number, "-0.5"},
                                                                 {"1e+2", EJson::Number, "100"}};

using FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsTest = ::testing::TestWithParam<size_t>;
} // namespace

// Blanks after a top-level scalar are allowed and carry nothing, on either reading road.
TEST_P(FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsTest,
       TopLevelScalarsTakeTrailingBlanksOnBothReadingPaths)
{
    const FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRow& Case =
        TopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRows[GetParam()];
    for (const bool bStepwise : {false, true})
    {
        TSharedPtr<FJsonValue> Value;
        FString Error;
        const bool bRead = bStepwise ? JsonPrivate::ParseJsonStepwise(Case.Text, Value, Error)
                                     : JsonPrivate::ParseJson(Case.Text, Value, Error);
        ASSERT_TRUE(bRead) << Case.Text << " " << *Error;
        EXPECT_EQ(Value->Type, Case.Type) << Case.Text;
        EXPECT_STREQ(*Value->AsString(), Case.AsString) << Case.Text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FTopLevelScalarsTakeTrailingBlanksOnBothReadingPathsTest,
    ::testing::Range(size_t{0}, std::size(TopLevelScalarsTakeTrailingBlanksOnBothReadingPathsRows)));

// A container's strings and numbers share room, in several blocks when there are many: each must read back
// whole, next to containers and shared values, and must outlive the tree when kept (the sanitizer build
// checks the room's bounds).
TEST(JsonReader, StringsAndNumbersKeptOutliveTheirTree)
{
    constexpr int32 Longest = 120;
    std::vector<FString> Texts;
    FString Elements;
    for (int32 Length = 0; Length <= Longest; ++Length)
    {
        const size_t Size = Length == Longest ? 5000 : static_cast<size_t>(Length);
        Texts.push_back(FString(std::string(Size, static_cast<char>('a' + Length % 26))));
        Elements += FString::Printf("\"%s\",%d.5,7,{\"n\":null},", *Texts.back(), Length);
    }
    const FString Text = FString::Printf("{\"list\":[%strue],\"one\":\"alone\",\"two\":-1.25}", *Elements);
    for (const bool bStepwise : {false, true})
    {
        std::vector<TSharedPtr<FJsonValue>> Kept;
        {
            TSharedPtr<FJsonValue> Tree;
            FString Error;
            ASSERT_TRUE(bStepwise ? JsonPrivate::ParseJsonStepwise(Text, Tree, Error)
                                  : JsonPrivate::ParseJson(Text, Tree, Error));
            const TArray<TSharedPtr<FJsonValue>>& List = Tree->AsObject()->GetArrayField("list");
            ASSERT_EQ(List.Num(), (Longest + 1) * 4 + 1);
            for (int32 Index = 0; Index + 1 < List.Num(); Index += 4)
            {
                Kept.push_back(List[Index]);
                Kept.push_back(List[Index + 1]);
            }
            Kept.push_back(Tree->AsObject()->TryGetField("one"));
            Kept.push_back(Tree->AsObject()->TryGetField("two"));
        }
        for (size_t Length = 0; Length < Texts.size(); ++Length)
        {
            EXPECT_STREQ(*Kept[Length * 2]->AsString(), *Texts[Length]) << bStepwise;
            EXPECT_EQ(Kept[Length * 2 + 1]->AsNumber(), static_cast<double>(Length) + 0.5) << bStepwise;
        }
        EXPECT_STREQ(*Kept[Kept.size() - 2]->AsString(), "alone");
        EXPECT_EQ(Kept.back()->AsNumber(), -1.25);
    }
}

namespace
{
const char* const NegativeZeroTexts[] = {"-0",   "-0 ",  "[-0]",      "{\"a\":-0}",
                                         "-0.0", "-0e0", "[1,-0E+1]", "[[{\"b\":[-0]}]]"};

using FNegativeZeroKeepsItsSignTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FNegativeZeroKeepsItsSignTest, NegativeZeroKeepsItsSignWhereverItStands)
{
    const char* Text = NegativeZeroTexts[GetParam()];
    TSharedPtr<FJsonValue> Value = ParseValue(Text);
    ASSERT_TRUE(Value.IsValid()) << Text;
    while (Value->Type != EJson::Number)
    {
        const TArray<TSharedPtr<FJsonValue>>& Items = Value->AsArray();
        Value =
            Value->Type == EJson::Array ? Items[Items.Num() - 1] : Value->AsObject()->Values.begin()->Value;
    }
    EXPECT_EQ(Value->AsNumber(), 0.0) << Text;
    EXPECT_TRUE(std::signbit(Value->AsNumber())) << Text;
}

INSTANTIATE_TEST_SUITE_P(Rows, FNegativeZeroKeepsItsSignTest,
                         ::testing::Range(size_t{0}, std::size(NegativeZeroTexts)));

namespace
{
const FString BothReadingPathsBuildTheSameTreeRows[] = {
    "9007199254740993",
    "-9223372036854775808",
    "9223372036854775807",
    "9223372036854775808",
    "18446744073709551615",
    "0.1",
    "1.7976931348623157e308",
    "5e-324",
    "2.2250738585072014e-308",
    "255",
    "256",
    "-1",
    "1E2",
    "true",
    "null",
    "\"\"",
    R"("tab\t quote\" slash\/ \u00e9 \ud83d\ude00 nul\u0000 end")",
    "\"\xE2\x98\x85 thirty-two bytes of text, no less\"",
    "[]",
    "{}",
    R"({"id":1,"x":[{"y":null}],"ID":{"z":"w"},"Id":3})",
    R"([[1,[2,[3,{}]]],{"a":{"b":{"c":[]}}}])",
    Nested(JsonMaxDepth - 1),
};

using FBothReadingPathsBuildTheSameTreeTest = ::testing::TestWithParam<size_t>;
} // namespace

// A text holding "-0" anywhere, even inside a string, takes the step-by-step reader; any other text the
// whole-document one. Both must build the same tree, to the exact written bytes.
TEST_P(FBothReadingPathsBuildTheSameTreeTest, BothReadingPathsBuildTheSameTree)
{
    const FString& Case = BothReadingPathsBuildTheSameTreeRows[GetParam()];
    const TSharedPtr<FJsonValue> Whole = ParseValue(FString::Printf("[%s,\"plain\"]", *Case));
    const TSharedPtr<FJsonValue> Stepped = ParseValue(FString::Printf("[%s,\"a-0\"]", *Case));
    ASSERT_TRUE(Whole.IsValid()) << *Case;
    ASSERT_TRUE(Stepped.IsValid()) << *Case;
    const TSharedPtr<FJsonValue>& Left = Whole->AsArray()[0];
    const TSharedPtr<FJsonValue>& Right = Stepped->AsArray()[0];
    EXPECT_TRUE(FJsonValue::CompareEqual(*Left, *Right)) << *Case;
    FString LeftText;
    FString RightText;
    auto LeftWriter = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&LeftText);
    auto RightWriter = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&RightText);
    ASSERT_TRUE(FJsonSerializer::Serialize(Whole->AsArray(), LeftWriter)) << *Case;
    ASSERT_TRUE(FJsonSerializer::Serialize(Stepped->AsArray(), RightWriter)) << *Case;
    EXPECT_EQ(LeftText.Left(LeftText.Len() - 9), RightText.Left(RightText.Len() - 7)) << *Case;
}

INSTANTIATE_TEST_SUITE_P(Rows, FBothReadingPathsBuildTheSameTreeTest,
                         ::testing::Range(size_t{0}, std::size(BothReadingPathsBuildTheSameTreeRows)));

TEST(JsonReader, DuplicateKeysLastValueWinsInFirstPlace)
{
    TSharedPtr<FJsonObject> Object;
    ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(R"({"id":1,"x":0,"ID":2,"id":3})"),
                                             Object));
    ASSERT_EQ(Object->Values.Num(), 2);
    EXPECT_EQ(Object->GetNumberField("Id"), 3.0);
    EXPECT_STREQ(*Object->Values.begin()->Key, "id");
}

TEST(JsonReader, WriterOutputReadsBackEqual)
{
    const FString Source =
        R"({"s":"a\"\\\u0001\u00e9","n":[0.1,-7,1e300,5e-324],"o":{"t":true,"z":null},"e":[]})";
    TSharedPtr<FJsonObject> Original;
    ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Source), Original));
    FString Pretty;
    FString Condensed;
    ASSERT_TRUE(FJsonSerializer::Serialize(Original.ToSharedRef(), TJsonWriterFactory<>::Create(&Pretty)));
    ASSERT_TRUE(FJsonSerializer::Serialize(
        Original.ToSharedRef(),
        TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&Condensed)));
    for (const FString& Text : {Pretty, Condensed})
    {
        TSharedPtr<FJsonObject> Again;
        ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Again)) << *Text;
        EXPECT_TRUE(FJsonValue::CompareEqual(FJsonValueObject(Original), FJsonValueObject(Again))) << *Text;
    }
}

namespace
{
struct FEachParseStartsCleanAfterAFailureRow
{
    const char* Bad;
    const char* Good;
    const char* Written;
};
const FEachParseStartsCleanAfterAFailureRow EachParseStartsCleanAfterAFailureRows[] = {
    {R"({"a":{"b":[1,2,{"c":)", R"({"x":[3]})", R"({"x":[3]})"},
    {R"([[[["deep", 1e400, tru]]]])", R"([{"k":"v"}])", R"([{"k":"v"}])"},
    {R"({"k":1,"k2":2} {)", R"({})", R"({})"},
};

using FEachParseStartsCleanAfterAFailureTest = ::testing::TestWithParam<size_t>;
} // namespace

// A thread reuses its parser and scratch lists: what a failed parse left behind must not show in the next
// one.
TEST_P(FEachParseStartsCleanAfterAFailureTest, EachParseStartsCleanAfterAFailure)
{
    const FEachParseStartsCleanAfterAFailureRow& Case = EachParseStartsCleanAfterAFailureRows[GetParam()];
    EXPECT_FALSE(ParseValue(Case.Bad).IsValid()) << Case.Bad;
    const TSharedPtr<FJsonValue> Value = ParseValue(Case.Good);
    ASSERT_TRUE(Value.IsValid()) << Case.Good;
    FString Out;
    ASSERT_TRUE(FJsonSerializer::Serialize(
        Value, FString(), TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&Out)));
    EXPECT_STREQ(*Out, Case.Written);
}

INSTANTIATE_TEST_SUITE_P(Rows, FEachParseStartsCleanAfterAFailureTest,
                         ::testing::Range(size_t{0}, std::size(EachParseStartsCleanAfterAFailureRows)));

// Null, booleans and small whole numbers are shared between trees; values next to them keep their own.
TEST(JsonReader, SharedSmallValuesKeepTheirExactMeaning)
{
    const TSharedPtr<FJsonValue> Value =
        ParseValue("[0, -0, 255, 256, 1.5, -1, true, false, null, 7.0, 0.0]");
    ASSERT_TRUE(Value.IsValid());
    const TArray<TSharedPtr<FJsonValue>>& Items = Value->AsArray();
    const double Numbers[] = {0.0, -0.0, 255.0, 256.0, 1.5, -1.0};
    for (int32 Index = 0; Index < 6; ++Index)
    {
        EXPECT_EQ(Items[Index]->AsNumber(), Numbers[Index]) << Index;
        EXPECT_EQ(std::signbit(Items[Index]->AsNumber()), std::signbit(Numbers[Index])) << Index;
    }
    EXPECT_TRUE(Items[6]->AsBool());
    EXPECT_FALSE(Items[7]->AsBool());
    EXPECT_EQ(Items[8]->Type, EJson::Null);
    EXPECT_EQ(Items[9]->AsNumber(), 7.0);
    EXPECT_EQ(Items[10]->AsString(), "0");
}

TEST(JsonReader, SubtreesOutliveTheTreeTheyCameFrom)
{
    TSharedPtr<FJsonObject> Inner;
    TSharedPtr<FJsonValue> List;
    {
        TSharedPtr<FJsonObject> Root;
        ASSERT_TRUE(FJsonSerializer::Deserialize(
            TJsonReaderFactory<>::Create(
                R"({"o":{"deep":{"s":"kept text longer than thirty-one bytes"}},"l":[[1],[2]]})"),
            Root));
        Inner = Root->GetObjectField("o");
        List = Root->GetArrayField("l")[1];
    }
    ASSERT_TRUE(Inner.IsValid());
    EXPECT_STREQ(*Inner->GetObjectField("deep")->GetStringField("s"),
                 "kept text longer than thirty-one bytes");
    ASSERT_TRUE(List.IsValid());
    EXPECT_EQ(List->AsArray()[0]->AsNumber(), 2.0);
}

// Texts beyond what a thread keeps for the next parse take buffers of their own; both kinds read the same.
TEST(JsonReader, LargeTextsReadLikeSmallOnes)
{
    for (const int32 Count : {10, 300000})
    {
        std::string Text = "[";
        for (int32 Index = 0; Index < Count; ++Index)
        {
            Text += Index ? ",\"item\"" : "\"item\"";
        }
        Text += "]";
        TArray<TSharedPtr<FJsonValue>> Items;
        ASSERT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(FString(Text)), Items))
            << Count;
        ASSERT_EQ(Items.Num(), Count);
        EXPECT_STREQ(*Items.Last()->AsString(), "item");
        Text.back() = ',';
        EXPECT_FALSE(ParseValue(FString(Text)).IsValid()) << Count;
    }
}

// Every thread parses with its own buffers while the trees share their small values across threads.
TEST(JsonReader, ThreadsParseAtTheSameTime)
{
    const FString Text = R"({"n":[0,1,2,255,3.5],"b":[true,false,null],"s":"text","o":{"k":"v"}})";
    std::atomic<int32> Failures{0};
    std::vector<std::thread> Threads;
    for (int32 Thread = 0; Thread < 4; ++Thread)
    {
        Threads.emplace_back(
            [&Text, &Failures]
            {
                for (int32 Round = 0; Round < 300; ++Round)
                {
                    TSharedPtr<FJsonObject> Object;
                    const bool bRead =
                        FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object);
                    if (!bRead || Object->GetArrayField("n")[3]->AsNumber() != 255.0 ||
                        !Object->GetArrayField("b")[0]->AsBool() ||
                        Object->GetObjectField("o")->GetStringField("k") != "v")
                    {
                        ++Failures;
                    }
                }
            });
    }
    for (std::thread& Thread : Threads)
    {
        Thread.join();
    }
    EXPECT_EQ(Failures.load(), 0);
}
