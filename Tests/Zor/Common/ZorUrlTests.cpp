#include <gtest/gtest.h>

#include "CaseNamePrinter.h"
#include "Common/ZorUrl.h"
#include "ExactText.h"
#include "FStringPrinter.h"

namespace
{
using ZorTestCases::PrintTo;

struct FSubstituteCase
{
    const char* Name;
    const char* Template;
    const char* Value;
    const char* Expected;
};

// A hostile value can neither leave its path segment nor add a query parameter; ordinary values go out as
// they are, also a category path inside a query.
const FSubstituteCase SubstituteCases[] = {
    {"OrdinaryIdInPath", "/account/`id/info", "a1b2-C3_d.e~f", "/account/a1b2-C3_d.e~f/info"},
    {"SlashInPath", "/account/`id/info", "../admin", "/account/..%2Fadmin/info"},
    {"QueryInPath", "/account/`id", "x?admin=1", "/account/x%3Fadmin=1"},
    {"FragmentInPath", "/account/`id", "x#y", "/account/x%23y"},
    {"PercentInPath", "/account/`id", "50%2F", "/account/50%252F"},
    {"BlankAndControlInPath", "/account/`id", "a b\r\nc\x7f", "/account/a%20b%0D%0Ac%7F"},
    {"AmpersandInQuery", "/find?name=`name", "a&admin=1", "/find?name=a%26admin=1"},
    {"PlusInQuery", "/find?name=`name", "a+b", "/find?name=a%2Bb"},
    {"FragmentInQuery", "/find?name=`name", "a#b", "/find?name=a%23b"},
    {"CategoryPathInQuery", "/find?path=`name", "a/b", "/find?path=a/b"},
    {"QuestionMarkInQuery", "/put/`id?filename=`name", "a?b.txt", "/put/a%3Fb.txt?filename=a%3Fb.txt"},
    {"BlankInQuery", "/find?name=`name", "Player One", "/find?name=Player%20One"},
    {"Utf8GoesOutAsIs", "/find?name=`name", "J\xC3\xBCrgen", "/find?name=J\xC3\xBCrgen"},
    {"ValueIsNeverReadAsPlaceholder", "/a/`id/`name", "`name", "/a/`name/`name"},
};

using FZorUrlSubstituteTest = ::testing::TestWithParam<FSubstituteCase>;
} // namespace

TEST_P(FZorUrlSubstituteTest, EncodesOnlyWhatWouldChangeTheRequest)
{
    const FSubstituteCase& Case = GetParam();
    const FString Value(Case.Value);
    const FString Url = ZorUrl::Substitute(Case.Template, {{"`id", Value}, {"`name", Value}});
    EXPECT_EXACT_EQ(Url, Case.Expected);
}

INSTANTIATE_TEST_SUITE_P(Values, FZorUrlSubstituteTest, ::testing::ValuesIn(SubstituteCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZorUrlTest, PlaceholderCaseAndLongestName)
{
    const TArray<FZorUrlValue> Values = {{"`id", "1"}, {"`idx", "2"}};
    EXPECT_EXACT_EQ(ZorUrl::Substitute("/`ID/`idx", Values), FString("/1/2"));
    EXPECT_EXACT_EQ(ZorUrl::Substitute("/`ID/`idx", Values, ESearchCase::CaseSensitive), FString("/`ID/2"));
    EXPECT_EXACT_EQ(ZorUrl::Substitute("/`other", Values), FString("/`other"));
}

TEST(ZorUrlTest, EncodersKeepTheirOwnReservedSets)
{
    EXPECT_EXACT_EQ(ZorUrl::EncodePathValue("a&b+c=d"), FString("a&b+c=d"));
    EXPECT_EXACT_EQ(ZorUrl::EncodeQueryValue("a/b?c=d"), FString("a/b%3Fc=d"));
    EXPECT_EXACT_EQ(ZorUrl::EncodePathValue(FString("\t")), FString("%09"));
    EXPECT_EXACT_EQ(ZorUrl::EncodeQueryValue(FString()), FString());
}
