#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "CoreMinimal.h"

namespace
{
// Lengths on both sides of the inline buffer's end, where text moves to the heap.
const size_t Lengths[] = {0, 1, 15, 16, 30, 31, 32, 33, 63, 64, 200};

std::string Pattern(size_t Length, char First = 'a')
{
    std::string Text;
    for (size_t Index = 0; Index < Length; ++Index)
    {
        Text += static_cast<char>(First + Index % 26);
    }
    return Text;
}

/** The bytes, the length and the NUL that follows them, all agreeing. */
void ExpectHolds(const FString& Text, const std::string& Expected)
{
    ASSERT_EQ(Text.Len(), static_cast<int32>(Expected.size()));
    EXPECT_EQ(Text.View(), Expected);
    EXPECT_EQ(Text.ToStdString(), Expected);
    EXPECT_EQ((*Text)[Expected.size()], '\0');
    EXPECT_EQ(std::string(Text.begin(), Text.end()), Expected);
}
} // namespace

namespace
{
using FStringCopyLength = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FStringCopyLength, CopiesAndMovesKeepTheTextAtEveryLength)
{
    const size_t& Length = Lengths[GetParam()];
    const std::string Expected = Pattern(Length);
    const FString Source(Expected);
    ExpectHolds(Source, Expected);

    FString Copy = Source;
    ExpectHolds(Copy, Expected);
    FString Moved = std::move(Copy);
    ExpectHolds(Moved, Expected);
    ExpectHolds(Copy, "");

    FString Assigned("something else entirely, longer than the inline buffer");
    Assigned = Source;
    ExpectHolds(Assigned, Expected);
    Assigned = std::move(Moved);
    ExpectHolds(Assigned, Expected);
    const FString& Itself = Assigned;
    Assigned = Itself;
    ExpectHolds(Assigned, Expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, FStringCopyLength, ::testing::Range(size_t{0}, std::size(Lengths)));

namespace
{
using FStringAppendLength = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FStringAppendLength, AppendingCrossesIntoTheHeapAndMayReadFromItself)
{
    const size_t& Start = Lengths[GetParam()];
    for (const size_t Added : Lengths)
    {
        FString Text(Pattern(Start));
        Text.AppendChars(Pattern(Added, 'A').data(), static_cast<int32>(Added));
        ExpectHolds(Text, Pattern(Start) + Pattern(Added, 'A'));
    }
    FString Doubled(Pattern(Start));
    Doubled += Doubled;
    ExpectHolds(Doubled, Pattern(Start) + Pattern(Start));
    FString Tail(Pattern(Start));
    Tail.AppendChars(*Tail + Start / 2, static_cast<int32>(Start - Start / 2));
    ExpectHolds(Tail, Pattern(Start) + Pattern(Start).substr(Start / 2));
}

INSTANTIATE_TEST_SUITE_P(Rows, FStringAppendLength, ::testing::Range(size_t{0}, std::size(Lengths)));

namespace
{
using FStringReserveLength = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FStringReserveLength, EmptyAndReserveKeepItUsable)
{
    const size_t& Length = Lengths[GetParam()];
    FString Text(Pattern(Length));
    Text.Empty();
    ExpectHolds(Text, "");
    Text.Reserve(static_cast<int32>(Length * 2));
    ExpectHolds(Text, "");
    Text += "x";
    Text.Reserve(1);
    ExpectHolds(Text, "x");
}

INSTANTIATE_TEST_SUITE_P(Rows, FStringReserveLength, ::testing::Range(size_t{0}, std::size(Lengths)));

TEST(FString, OperationsAgreeAcrossTheInlineBoundary)
{
    const FString Long(Pattern(40));
    const FString Short(Pattern(10));
    ExpectHolds(Long + Short, Pattern(40) + Pattern(10));
    ExpectHolds("<" + Short + ">", "<" + Pattern(10) + ">");
    ExpectHolds(Long.Left(31), Pattern(31));
    ExpectHolds(Long.Mid(5, 30), Pattern(40).substr(5, 30));
    ExpectHolds(Long.ToUpper().ToLower(), Pattern(40));
    EXPECT_TRUE(Long.ToUpper() == Long);
    EXPECT_FALSE(Long.ToUpper().Equals(Long, ESearchCase::CaseSensitive));
    EXPECT_EQ(GetTypeHash(Long.ToUpper()), GetTypeHash(Long));

    FString Replaced(Pattern(30));
    EXPECT_EQ(Replaced.ReplaceInline("abc", "<three>"), 2);
    ExpectHolds(Replaced, "<three>defghijklmnopqrstuvwxyz<three>d");
    ExpectHolds(FString::SanitizeFloat(2.5), "2.5");
    ExpectHolds(FString::Printf("%s|%d", *Long, 7), Pattern(40) + "|7");
    ExpectHolds(FString(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// Map keys hash eight bytes at a time; every letter case of a key must land on the same hash, and only ASCII
// letters fold.
namespace
{
struct FHashCase
{
    const char* A;
    const char* B;
    bool bSameText;
};

const FHashCase HashCases[] = {
    {"AbcdefghIJKLMNOPqrstuvwxyz@[`{", "aBCDEFGHijklmnopQRSTUVWXYZ@[`{", true},
    {"@", "`", false},
    {"[", "{", false},
    {"Z", "z", true},
    {"\xC3\x89", "\xC3\xA9", false},
    {"key_12345678", "KEY_12345678", true},
    {"", "", true},
};

using FStringHash = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FStringHash, HashIgnoresAsciiCaseOnly)
{
    const FHashCase& Case = HashCases[GetParam()];
    EXPECT_EQ(FString(Case.A) == FString(Case.B), Case.bSameText) << Case.A;
    if (Case.bSameText)
    {
        EXPECT_EQ(GetTypeHash(Case.A), GetTypeHash(Case.B)) << Case.A;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FStringHash, ::testing::Range(size_t{0}, std::size(HashCases)));

TEST(FString, HashTakesInTheWholeText)
{
    EXPECT_NE(GetTypeHash("a"), GetTypeHash(FString(std::string("a\0", 2))));
}

namespace
{
const std::string SearchedLong = Pattern(40);

struct FSearchCase
{
    std::string Text;
    const char* Sub;
    ESearchCase::Type Case;
    int32 First;
    int32 Last;
    std::string Replaced;
};

const FSearchCase SearchCases[] = {
    {"abc", "c", ESearchCase::CaseSensitive, 2, 2, "ab<>"},
    {"abc", "a", ESearchCase::CaseSensitive, 0, 0, "<>bc"},
    {"abc", "abc", ESearchCase::CaseSensitive, 0, 0, "<>"},
    {"abcabc", "bc", ESearchCase::CaseSensitive, 1, 4, "a<>a<>"},
    {"aaa", "aa", ESearchCase::CaseSensitive, 0, 1, "<>a"},
    {"key=Value", "VALUE", ESearchCase::IgnoreCase, 4, 4, "key=<>"},
    {"key=Value", "VALUE", ESearchCase::CaseSensitive, INDEX_NONE, INDEX_NONE, "key=Value"},
    {"ab", "abc", ESearchCase::CaseSensitive, INDEX_NONE, INDEX_NONE, "ab"},
    {SearchedLong + "End", "END", ESearchCase::IgnoreCase, 40, 40, SearchedLong + "<>"},
};

using FStringSearch = ::testing::TestWithParam<size_t>;
} // namespace

// Matches at either end of the text, the whole text and overlapping matches, for every search built on the
// same scan.
TEST_P(FStringSearch, SearchesFindMatchesAtBothEnds)
{
    const FSearchCase& Case = SearchCases[GetParam()];
    const FString Text(Case.Text);
    const FString Sub(Case.Sub);
    const int32 SubLen = Sub.Len();
    SCOPED_TRACE(Case.Text + " / " + Case.Sub);
    EXPECT_EQ(Text.Find(Sub, Case.Case), Case.First);
    EXPECT_EQ(Text.Find(Sub, Case.Case, ESearchDir::FromEnd), Case.Last);
    EXPECT_EQ(Text.Contains(Sub, Case.Case), Case.First != INDEX_NONE);
    EXPECT_EQ(Text.StartsWith(Sub, Case.Case), Case.First == 0);
    EXPECT_EQ(Text.EndsWith(Sub, Case.Case), Case.Last != INDEX_NONE && Case.Last + SubLen == Text.Len());
    EXPECT_EQ(Text.Replace(Sub, "<>", Case.Case).ToStdString(), Case.Replaced);
    FString Left;
    FString Right;
    ASSERT_EQ(Text.Split(Sub, &Left, &Right, Case.Case, ESearchDir::FromEnd), Case.Last != INDEX_NONE);
    if (Case.Last != INDEX_NONE)
    {
        EXPECT_EQ(Left.ToStdString(), Case.Text.substr(0, Case.Last));
        EXPECT_EQ(Right.ToStdString(), Case.Text.substr(Case.Last + SubLen));
    }
}

INSTANTIATE_TEST_SUITE_P(Searches, FStringSearch, ::testing::Range(size_t{0}, std::size(SearchCases)));
