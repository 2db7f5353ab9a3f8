#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "CoreMinimal.h"
#include "InMemoryHttpTransport.h"
#include "Json/JsonObject.h"

/**
 * Letter-for-letter checks. FString == ignores letter case, as the host's text keys do, while the services
 * read paths, query keys, header names and JSON keys case-sensitively; checks of those go through here.
 */
namespace ZorExact
{
inline std::string_view ViewOf(const FString& Text)
{
    return Text.View();
}
inline std::string_view ViewOf(const std::string& Text)
{
    return Text;
}
inline std::string_view ViewOf(const char* Text)
{
    return Text ? Text : "";
}

template <typename FActual, typename FExpected>
::testing::AssertionResult TextEq(const char* ActualText, const char* ExpectedText, const FActual& Actual,
                                  const FExpected& Expected)
{
    if (ViewOf(Actual) == ViewOf(Expected))
    {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "Letter for letter, " << ActualText << "\n  is \"" << ViewOf(Actual) << "\"\n  not "
           << ExpectedText << "\n  \"" << ViewOf(Expected) << "\"";
}

/** The value of the header named exactly Name; empty when the request has no header of that spelling. */
FString Header(const FInMemoryHttpTransport::FStartedRequest& Request, const FString& Name);

/** Success when Object holds every one of Keys spelt exactly so. */
::testing::AssertionResult HasKeys(const TSharedPtr<FJsonObject>& Object,
                                   std::initializer_list<const char*> Keys);
} // namespace ZorExact

#define EXPECT_EXACT_EQ(Actual, Expected) EXPECT_PRED_FORMAT2(::ZorExact::TextEq, Actual, Expected)
#define ASSERT_EXACT_EQ(Actual, Expected) ASSERT_PRED_FORMAT2(::ZorExact::TextEq, Actual, Expected)
