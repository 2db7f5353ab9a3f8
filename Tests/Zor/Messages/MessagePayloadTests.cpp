#include "Messages/ZorMessagePayload.h"

#include "CaseNamePrinter.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace
{
using FBytes = TArray<uint8>;

FBytes Encode(const FZorMessagePayload& Payload)
{
    FBytes Bytes;
    EXPECT_TRUE(Payload.ToBytes(Bytes));
    return Bytes;
}

FZorMessagePayload Decode(const FBytes& Bytes)
{
    FZorMessagePayload Payload;
    Payload.FromBytes(Bytes);
    return Payload;
}

FZorMessagePayload With(const FString& Key, const FVariantData& Value)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute(Key, Value);
    return Payload;
}

struct FEncodingCase
{
    const char* Name;
    FZorMessagePayload Payload;
    FBytes Expected;
};

namespace
{
const FEncodingCase EncodesTheByteFormsRows[] = {
    {"empty payload", FZorMessagePayload(), {0, 0, 0, 0}},
    {"int32", With("a", FVariantData(1)), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 1, 0, 0, 0, 1}},
    {"negative int32", With("a", FVariantData(-2)), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 1, 0xFF, 0xFF, 0xFF, 0xFE}},
    {"64-bit",
     With("a", FVariantData(static_cast<uint64>(0x0102030405060708ull))),
     {0, 0, 0, 1, 0, 0, 0, 1, 'a', 2, 1, 2, 3, 4, 5, 6, 7, 8}},
    {"double", With("a", FVariantData(1.0)), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 3, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
    {"float", With("a", FVariantData(1.0f)), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 5, 0x3F, 0x80, 0, 0}},
    {"text", With("a", FVariantData("hi")), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 4, 0, 0, 0, 2, 'h', 'i'}},
    {"e acute is one unit",
     With("a", FVariantData("\xC3\xA9")),
     {0, 0, 0, 1, 0, 0, 0, 1, 'a', 4, 0, 0, 0, 1, '?'}},
    {"outside the basic plane is two units",
     With("a", FVariantData("\xF0\x9F\x98\x80")),
     {0, 0, 0, 1, 0, 0, 0, 1, 'a', 4, 0, 0, 0, 2, '?', '?'}},
    {"key is text too", With("\xC3\xA9", FVariantData(true)), {0, 0, 0, 1, 0, 0, 0, 1, '?', 7}},
    {"blob", With("a", FVariantData(FBytes{9, 8})), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 6, 0, 0, 0, 2, 9, 8}},
    {"bool is the code alone", With("a", FVariantData(false)), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 7}},
    {"empty value is the code alone", With("a", FVariantData()), {0, 0, 0, 1, 0, 0, 0, 1, 'a', 0}},
};

using FEncodesTheByteFormsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FEncodesTheByteFormsTest, EncodesTheByteForms)
{
    const FEncodingCase& Case = EncodesTheByteFormsRows[GetParam()];
    EXPECT_EQ(Encode(Case.Payload).ToStdVector(), Case.Expected.ToStdVector()) << Case.Name;
    EXPECT_EQ(Case.Payload.GetByteSize(), Case.Expected.Num()) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FEncodesTheByteFormsTest,
                         ::testing::Range(size_t{0}, std::size(EncodesTheByteFormsRows)));

TEST(MessagePayloadTest, EveryKindWithAValueFormRoundTrips)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute("int", FVariantData(std::numeric_limits<int32>::min()));
    Payload.SetAttribute("signed64", FVariantData(static_cast<int64>(-5)));
    Payload.SetAttribute("unsigned64", FVariantData(std::numeric_limits<uint64>::max()));
    Payload.SetAttribute("double", FVariantData(-1234.5e200));
    Payload.SetAttribute("float", FVariantData(3.25f));
    Payload.SetAttribute("text", FVariantData("plain text"));
    Payload.SetAttribute("blob", FVariantData(FBytes{0, 255, 7}));
    Payload.SetAttribute("empty blob", FVariantData(FBytes{}));
    Payload.SetAttribute("empty text", FVariantData(""));

    EXPECT_EQ(Decode(Encode(Payload)), Payload);

    int64 Signed = 0;
    ASSERT_TRUE(Decode(Encode(Payload)).GetEntries()[1].Value.GetValue(Signed));
    EXPECT_EQ(Signed, -5) << "the 64-bit pattern survives";
}

TEST(MessagePayloadTest, NanKeepsItsBits)
{
    const double Nan = std::numeric_limits<double>::quiet_NaN();
    double Read = 0.0;
    ASSERT_TRUE(Decode(Encode(With("n", FVariantData(Nan)))).GetEntries()[0].Value.GetValue(Read));
    EXPECT_TRUE(std::isnan(Read));
}

TEST(MessagePayloadTest, KindsWithoutAValueFormReadBackEmptyAndKeepTheirPlace)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute("flag", FVariantData(true));
    Payload.SetAttribute("after", FVariantData(7));

    const FZorMessagePayload Read = Decode(Encode(Payload));

    ASSERT_EQ(Read.Num(), 2);
    EXPECT_TRUE(Read.GetEntries()[0].Value.IsEmpty());
    EXPECT_EQ(Read.GetEntries()[1].Value, FVariantData(7));
}

TEST(MessagePayloadTest, TextReadsUpToTheFirstZeroYetConsumesTheStatedBytes)
{
    const FBytes Bytes = {0, 0,   0,   2, 0, 0, 0, 1,   'a', 4, 0, 0, 0, 4,   'x',
                          0, 'y', 200, 0, 0, 0, 1, 'b', 4,   0, 0, 0, 2, 'o', 0xE9};

    const FZorMessagePayload Read = Decode(Bytes);

    ASSERT_EQ(Read.Num(), 2);
    EXPECT_EQ(Read.GetEntries()[0].Value, FVariantData("x"));
    EXPECT_EQ(Read.GetEntries()[1].Value, FVariantData("o?")) << "bytes above 127 read as '?'";
}

TEST(MessagePayloadTest, TextLengthBelowOneIsEmptyText)
{
    for (const FBytes& Length : {FBytes{0, 0, 0, 0}, FBytes{0xFF, 0xFF, 0xFF, 0xFF}})
    {
        FBytes Bytes = {0, 0, 0, 2, 0, 0, 0, 1, 'a', 4};
        Bytes.Append(Length);
        Bytes.Append(FBytes{0, 0, 0, 1, 'b', 1, 0, 0, 0, 3});

        const FZorMessagePayload Read = Decode(Bytes);

        ASSERT_EQ(Read.Num(), 2);
        EXPECT_EQ(Read.GetEntries()[0].Value, FVariantData(""));
        EXPECT_EQ(Read.GetEntries()[1].Value, FVariantData(3));
    }
}

struct FHostileCase
{
    const char* Name;
    FBytes Bytes;
    int32 EntriesKept;
};

using ZorTestCases::PrintTo;

/** A count, one whole int32 entry "a" = 1, then the tail. */
FBytes After(std::initializer_list<uint8> Count, std::initializer_list<uint8> Tail)
{
    FBytes Bytes(Count);
    Bytes.Append(FBytes{0, 0, 0, 1, 'a', 1, 0, 0, 0, 1});
    Bytes.Append(FBytes(Tail));
    return Bytes;
}

const FHostileCase HostileCases[] = {
    {"no bytes", {}, 0},
    {"cut count", {0, 0, 1}, 0},
    {"negative count", {0x80, 0, 0, 0, 0, 0, 0, 1, 'a', 1, 0, 0, 0, 1}, 0},
    {"count says two, one present", After({0, 0, 0, 2}, {}), 1},
    {"huge count", After({0x7F, 0xFF, 0xFF, 0xFF}, {}), 1},
    {"negative blob length", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 6, 0xFF, 0xFF, 0xFF, 0xF0, 1, 2}), 1},
    {"blob length past the end", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 6, 0x7F, 0xFF, 0xFF, 0xFF, 1}), 1},
    {"text length past the end", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 4, 0, 0, 0, 9, 'x'}), 1},
    {"key length past the end", After({0, 0, 0, 2}, {0x7F, 0, 0, 0, 'b'}), 1},
    {"cut inside an int32", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 1, 0, 0}), 1},
    {"cut inside a double", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 3, 0, 0, 0, 0, 0, 0, 0}), 1},
    {"cut before the type", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b'}), 1},
    {"unknown code reads empty", After({0, 0, 0, 2}, {0, 0, 0, 1, 'b', 200}), 2},
};

using FHostileBytesTest = ::testing::TestWithParam<FHostileCase>;

TEST_P(FHostileBytesTest, HostileBytesStopTheReadAndKeepWhatCameBefore)
{
    const FHostileCase& Case = GetParam();
    const FZorMessagePayload Read = Decode(Case.Bytes);
    EXPECT_EQ(Read.Num(), Case.EntriesKept) << Case.Name;
    if (Case.EntriesKept > 0)
    {
        EXPECT_EQ(Read.GetEntries()[0].Value, FVariantData(1)) << Case.Name;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FHostileBytesTest, ::testing::ValuesIn(HostileCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST(MessagePayloadTest, ReadingReplacesWhatThePayloadHeld)
{
    FZorMessagePayload Payload = With("old", FVariantData(1));
    Payload.FromBytes(Encode(With("new", FVariantData(2))));
    ASSERT_EQ(Payload.Num(), 1);
    EXPECT_EQ(Payload.GetEntries()[0].Key, FString("new"));
}

TEST(MessagePayloadTest, KeysAreUniqueIgnoringCaseAndKeepTheirFirstPlace)
{
    FZorMessagePayload Payload;
    Payload.SetAttribute("Score", FVariantData(1));
    Payload.SetAttribute("other", FVariantData(2));
    Payload.SetAttribute("SCORE", FVariantData(3));

    ASSERT_EQ(Payload.Num(), 2);
    EXPECT_TRUE(Payload.GetEntries()[0].Key.Equals("Score", ESearchCase::CaseSensitive));
    FVariantData Value;
    ASSERT_TRUE(Payload.GetAttribute("score", Value));
    EXPECT_EQ(Value, FVariantData(3));
    EXPECT_FALSE(Payload.GetAttribute("missing", Value));

    const FBytes Repeated = {0, 0,   0, 3, 0, 0, 0, 1, 'k', 1, 0, 0,   0, 1, 0, 0, 0,
                             1, 'j', 1, 0, 0, 0, 2, 0, 0,   0, 1, 'K', 1, 0, 0, 0, 3};
    const FZorMessagePayload Read = Decode(Repeated);
    ASSERT_EQ(Read.Num(), 2);
    EXPECT_TRUE(Read.GetEntries()[0].Key.Equals("k", ESearchCase::CaseSensitive));
    EXPECT_EQ(Read.GetEntries()[0].Value, FVariantData(3))
        << "a repeated key keeps its first place, last value";
    // Decoding replaces what the payload held, keys included.
    FZorMessagePayload Reused;
    Reused.SetAttribute("j", FVariantData(7));
    Reused.SetAttribute("K", FVariantData(8));
    Reused.FromBytes(Repeated);
    EXPECT_EQ(Reused, Read);
}

TEST(MessagePayloadTest, AFormPastTheLimitIsRefusedWhole)
{
    // Count, key length, key "b", type, blob length: 14 bytes around the blob itself.
    const int32 Overhead = 14;
    const FZorMessagePayload AtLimit =
        With("b", FVariantData(FBytes(std::vector<uint8>(4096 - Overhead, 1))));
    const FZorMessagePayload PastLimit =
        With("b", FVariantData(FBytes(std::vector<uint8>(4097 - Overhead, 1))));

    FBytes Bytes;
    EXPECT_TRUE(AtLimit.ToBytes(Bytes));
    EXPECT_EQ(Bytes.Num(), 4096);
    EXPECT_FALSE(PastLimit.ToBytes(Bytes));
    EXPECT_TRUE(Bytes.IsEmpty()) << "nothing half-written reaches a peer";
    EXPECT_EQ(PastLimit.GetByteSize(), 4097);
}
} // namespace
