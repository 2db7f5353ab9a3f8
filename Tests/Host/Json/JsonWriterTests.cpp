#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Json/Json.h"

namespace
{
using FPrettyFactory = TJsonWriterFactory<TCHAR, TPrettyJsonPrintPolicy<TCHAR>>;
using FCondensedFactory = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>;

/** The same document for both policies: nesting, empty containers and every value kind. */
template <typename WriterType> void WriteSampleDocument(WriterType& Writer)
{
    Writer->WriteObjectStart();
    Writer->WriteValue("name", "zor");
    Writer->WriteValue("count", 3);
    Writer->WriteArrayStart("list");
    Writer->WriteValue(1);
    Writer->WriteObjectStart();
    Writer->WriteValue("ok", true);
    Writer->WriteNull("none");
    Writer->WriteObjectEnd();
    Writer->WriteArrayStart();
    Writer->WriteArrayEnd();
    Writer->WriteArrayEnd();
    Writer->WriteObjectStart("empty");
    Writer->WriteObjectEnd();
    Writer->WriteObjectEnd();
}

FString CondensedNumber(double Value)
{
    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    Writer->WriteValue(Value);
    EXPECT_TRUE(Writer->Close());
    return Out;
}

FString CondensedString(const FString& Value)
{
    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    Writer->WriteValue(Value);
    EXPECT_TRUE(Writer->Close());
    return Out;
}
} // namespace

TEST(JsonWriter, PrettyPolicyLayout)
{
    FString Out;
    auto Writer = FPrettyFactory::Create(&Out);
    WriteSampleDocument(Writer);
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, "{\r\n"
                       "\t\"name\": \"zor\",\r\n"
                       "\t\"count\": 3,\r\n"
                       "\t\"list\": [\r\n"
                       "\t\t1,\r\n"
                       "\t\t{\r\n"
                       "\t\t\t\"ok\": true,\r\n"
                       "\t\t\t\"none\": null\r\n"
                       "\t\t},\r\n"
                       "\t\t[]\r\n"
                       "\t],\r\n"
                       "\t\"empty\": {}\r\n"
                       "}");
}

TEST(JsonWriter, CondensedPolicyHasNoWhitespace)
{
    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    WriteSampleDocument(Writer);
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, R"({"name":"zor","count":3,"list":[1,{"ok":true,"none":null},[]],"empty":{}})");
}

TEST(JsonWriter, DefaultPolicyIsPretty)
{
    FString Out;
    auto Writer = TJsonWriterFactory<>::Create(&Out);
    Writer->WriteArrayStart();
    Writer->WriteValue("a");
    Writer->WriteArrayEnd();
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, "[\r\n\t\"a\"\r\n]");
}

TEST(JsonWriter, EscapesQuotesBackslashAndEveryControlCharacter)
{
    FString AllControls;
    for (int32 Ch = 1; Ch < 0x20; ++Ch)
    {
        AllControls += static_cast<char>(Ch);
    }
    EXPECT_STREQ(*CondensedString(AllControls),
                 "\"\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n"
                 "\\u000b\\f\\r\\u000e\\u000f\\u0010\\u0011\\u0012\\u0013\\u0014"
                 "\\u0015\\u0016\\u0017\\u0018\\u0019\\u001a\\u001b\\u001c\\u001d"
                 "\\u001e\\u001f\"");
    EXPECT_STREQ(*CondensedString(FString(std::string("a\0b", 3))), "\"a\\u0000b\"");
    EXPECT_STREQ(*CondensedString("say \"hi\" \\ back/slash"), R"("say \"hi\" \\ back/slash")");
    EXPECT_STREQ(*CondensedString("caf\xC3\xA9 \xF0\x9F\x98\x80 \x7F"),
                 "\"caf\xC3\xA9 \xF0\x9F\x98\x80 \x7F\"");
}

TEST(JsonWriter, KeysAreEscapedLikeValues)
{
    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    Writer->WriteObjectStart();
    Writer->WriteValue("a\"b\n", 1);
    Writer->WriteObjectEnd();
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, R"({"a\"b\n":1})");
}

TEST(JsonWriter, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    // A stray continuation byte, an overlong slash, an encoded surrogate and a truncated sequence.
    EXPECT_STREQ(*CondensedString("a\x80z"), "\"a\xEF\xBF\xBDz\"");
    EXPECT_STREQ(*CondensedString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_STREQ(*CondensedString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_STREQ(*CondensedString("x\xE2\x82"), "\"x\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonWriter, NumberForms)
{
    EXPECT_STREQ(*CondensedNumber(5.0), "5");
    EXPECT_STREQ(*CondensedNumber(-0.0), "0");
    EXPECT_STREQ(*CondensedNumber(-12.0), "-12");
    EXPECT_STREQ(*CondensedNumber(0.1), "0.1");
    EXPECT_STREQ(*CondensedNumber(1.0 / 3.0), "0.3333333333333333");
    EXPECT_STREQ(*CondensedNumber(9007199254740992.0), "9007199254740992");
    EXPECT_STREQ(*CondensedNumber(1e300), "1e+300");
    EXPECT_STREQ(*CondensedNumber(std::nan("")), "null");
    EXPECT_STREQ(*CondensedNumber(std::numeric_limits<double>::infinity()), "null");

    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    Writer->WriteArrayStart();
    Writer->WriteValue(0.1f);
    Writer->WriteValue(50.0f);
    Writer->WriteValue(std::numeric_limits<int32>::min());
    Writer->WriteValue(std::numeric_limits<int64>::max());
    Writer->WriteValue(std::numeric_limits<uint32>::max());
    Writer->WriteArrayEnd();
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, "[0.1,50,-2147483648,9223372036854775807,4294967295]");
}

TEST(JsonWriter, IdentifierPrefixNamesTheNextValue)
{
    FString Out;
    auto Writer = FPrettyFactory::Create(&Out);
    Writer->WriteObjectStart();
    Writer->WriteIdentifierPrefix("inner");
    Writer->WriteArrayStart();
    Writer->WriteArrayEnd();
    Writer->WriteObjectEnd();
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, "{\r\n\t\"inner\": []\r\n}");
}

TEST(JsonWriter, RawJsonValueIsCopiedWhenItParses)
{
    FString Out;
    auto Writer = FCondensedFactory::Create(&Out);
    Writer->WriteObjectStart();
    Writer->WriteRawJSONValue("amount", "12.50");
    Writer->WriteObjectEnd();
    ASSERT_TRUE(Writer->Close());
    EXPECT_STREQ(*Out, R"({"amount":12.50})");

    FString Injected;
    auto Refusing = FCondensedFactory::Create(&Injected);
    Refusing->WriteObjectStart();
    Refusing->WriteRawJSONValue("amount", "1,\"admin\":true");
    Refusing->WriteObjectEnd();
    EXPECT_FALSE(Refusing->Close());
    EXPECT_EQ(Injected.Find("admin"), INDEX_NONE);
}

TEST(JsonWriter, MisuseMakesCloseFail)
{
    const auto Attempt = [](auto&& Body)
    {
        FString Out;
        auto Writer = FCondensedFactory::Create(&Out);
        Body(*Writer);
        return Writer->Close();
    };
    EXPECT_FALSE(Attempt([](FJsonWriterBase&) {}));
    EXPECT_FALSE(Attempt([](FJsonWriterBase& W) { W.WriteObjectStart(); }));
    EXPECT_FALSE(Attempt(
        [](FJsonWriterBase& W)
        {
            W.WriteObjectStart();
            W.WriteValue(1);
            W.WriteObjectEnd();
        }));
    EXPECT_FALSE(Attempt(
        [](FJsonWriterBase& W)
        {
            W.WriteArrayStart();
            W.WriteValue("key", 1);
            W.WriteArrayEnd();
        }));
    EXPECT_FALSE(Attempt(
        [](FJsonWriterBase& W)
        {
            W.WriteArrayStart();
            W.WriteObjectEnd();
        }));
    EXPECT_FALSE(Attempt(
        [](FJsonWriterBase& W)
        {
            W.WriteValue(1);
            W.WriteValue(2);
        }));
    EXPECT_FALSE(Attempt([](FJsonWriterBase& W) { W.WriteValue("top", 1); }));
    EXPECT_FALSE(Attempt(
        [](FJsonWriterBase& W)
        {
            W.WriteObjectStart();
            W.WriteIdentifierPrefix("dangling");
            W.WriteObjectEnd();
        }));
    EXPECT_TRUE(Attempt([](FJsonWriterBase& W) { W.WriteValue("just a string"); }));

    auto Orphan = FCondensedFactory::Create(nullptr);
    Orphan->WriteValue(1);
    EXPECT_FALSE(Orphan->Close());
}

TEST(JsonWriter, SerializerWritesTreesAndRefusesTooDeepOnes)
{
    TSharedPtr<FJsonObject> Object;
    ASSERT_TRUE(FJsonSerializer::Deserialize(
        TJsonReaderFactory<>::Create(R"({"b":[1,"x",null,{"c":false}],"a":{}})"), Object));
    FString Out;
    ASSERT_TRUE(FJsonSerializer::Serialize(Object.ToSharedRef(), FCondensedFactory::Create(&Out)));
    EXPECT_STREQ(*Out, R"({"b":[1,"x",null,{"c":false}],"a":{}})");

    // A tree at the nesting limit fits at the top level but not inside a container the writer holds open.
    TSharedPtr<FJsonValue> Deep = MakeShared<FJsonValueNull>();
    for (int32 Level = 0; Level < JsonMaxDepth; ++Level)
    {
        Deep = MakeShared<FJsonValueArray>(TArray<TSharedPtr<FJsonValue>>{Deep});
    }
    FString DeepOut;
    EXPECT_TRUE(FJsonSerializer::Serialize(Deep, FString(), FCondensedFactory::Create(&DeepOut)));
    FString NestedOut;
    auto Writer = FCondensedFactory::Create(&NestedOut);
    Writer->WriteArrayStart();
    EXPECT_FALSE(FJsonSerializer::Serialize(Deep, FString(), Writer, false));
    Writer->WriteArrayEnd();
    EXPECT_FALSE(Writer->Close());
}

namespace
{
const std::string LongRun(300, 'x');

struct FRunCase
{
    std::string Text;
    std::string Written;
};

const FRunCase RunCases[] = {
    {"", "\"\""},
    {"\"", R"("\"")"},
    {"\"ab", R"("\"ab")"},
    {"ab\\", R"("ab\\")"},
    {LongRun + "\n" + LongRun, "\"" + LongRun + "\\n" + LongRun + "\""},
    {"\xC3\xA9\x01\xC3\xA9", "\"\xC3\xA9\\u0001\xC3\xA9\""},
    {"a\xFF" + LongRun, "\"a\xEF\xBF\xBD" + LongRun + "\""},
    {"\xE2\x82\xAC\xE2\x82", "\"\xE2\x82\xAC\xEF\xBF\xBD\xEF\xBF\xBD\""},
};

using FJsonWriterRunTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FJsonWriterRunTest, PlainRunsAroundEscapesAndBadBytesKeepEveryByte)
{
    const FRunCase& Case = RunCases[GetParam()];
    EXPECT_EQ(CondensedString(FString(Case.Text)).ToStdString(), Case.Written) << Case.Text;
}

INSTANTIATE_TEST_SUITE_P(Runs, FJsonWriterRunTest, ::testing::Range(size_t{0}, std::size(RunCases)));

TEST(JsonWriter, TreeStringsAreWrittenFromTheirValues)
{
    TSharedPtr<FJsonObject> Object = MakeShared<FJsonObject>();
    Object->SetStringField("s", "tab\there");
    Object->SetArrayField("a", {MakeShared<FJsonValueString>("\"q\""), MakeShared<FJsonValueNumber>(2.5)});
    FString Condensed;
    FString Pretty;
    ASSERT_TRUE(FJsonSerializer::Serialize(Object.ToSharedRef(), FCondensedFactory::Create(&Condensed)));
    ASSERT_TRUE(FJsonSerializer::Serialize(Object.ToSharedRef(), FPrettyFactory::Create(&Pretty)));
    EXPECT_STREQ(*Condensed, R"({"s":"tab\there","a":["\"q\"",2.5]})");
    EXPECT_STREQ(*Pretty,
                 "{\r\n\t\"s\": \"tab\\there\",\r\n\t\"a\": [\r\n\t\t\"\\\"q\\\"\",\r\n\t\t2.5\r\n\t]\r\n}");
}
