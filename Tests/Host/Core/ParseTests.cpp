#include <gtest/gtest.h>

#include "Core/CommandLine.h"
#include "Core/Parse.h"

TEST(ParseValue, ReadsStructFormFieldByField)
{
    const char* Line = "(Name=Client,Id=abc,Key=xyz)";
    FString Name, Id, Key;
    ASSERT_TRUE(FParse::Value(Line, "Name=", Name));
    ASSERT_TRUE(FParse::Value(Line, "Id=", Id));
    ASSERT_TRUE(FParse::Value(Line, "Key=", Key));
    EXPECT_TRUE(Name.Equals("Client"));
    EXPECT_TRUE(Id.Equals("abc"));
    EXPECT_TRUE(Key.Equals("xyz"));
}

TEST(ParseValue, StopsAtBlankCommaOrParenthesisOnlyWhenAsked)
{
    FString Value;
    ASSERT_TRUE(FParse::Value("ZORCONFIG=GameDev -NOZOR", "ZORCONFIG=", Value));
    EXPECT_TRUE(Value.Equals("GameDev"));
    ASSERT_TRUE(FParse::Value("A=one,two) rest", "A=", Value));
    EXPECT_TRUE(Value.Equals("one"));
    ASSERT_TRUE(FParse::Value("A=one,two) rest", "A=", Value, false));
    EXPECT_TRUE(Value.Equals("one,two)"));
    ASSERT_TRUE(FParse::Value("A=\ttab", "A=", Value));
    EXPECT_TRUE(Value.IsEmpty());
}

TEST(ParseValue, QuotedValueIsReadWholeWithoutQuotes)
{
    FString Value;
    ASSERT_TRUE(FParse::Value("PASSWORD=\"a b,c)d\" TYPE=tavo", "PASSWORD=", Value));
    EXPECT_TRUE(Value.Equals("a b,c)d"));
    ASSERT_TRUE(FParse::Value("PASSWORD=\"unterminated value", "PASSWORD=", Value));
    EXPECT_TRUE(Value.Equals("unterminated value"));
}

TEST(ParseValue, MatchesWholeNamesIgnoringCase)
{
    FString Value = "unchanged";
    EXPECT_FALSE(FParse::Value("OAUTH=x", "AUTH=", Value));
    EXPECT_FALSE(FParse::Value("AUTH_JSON={} LOGIN=me", "AUTH=", Value));
    EXPECT_FALSE(FParse::Value("LOGIN=me", "PASSWORD=", Value));
    EXPECT_TRUE(Value.Equals("unchanged"));
    ASSERT_TRUE(FParse::Value("OAUTH=x auth=y", "AUTH=", Value));
    EXPECT_TRUE(Value.Equals("y"));
    ASSERT_TRUE(FParse::Value("-login=me", "LOGIN=", Value));
    EXPECT_TRUE(Value.Equals("me"));
    EXPECT_FALSE(FParse::Value(nullptr, "A=", Value));
    EXPECT_FALSE(FParse::Value("A=1", "", Value));
}

TEST(ParseValue, TypedOverloadsRefuseGarbage)
{
    int32 Number = 5;
    EXPECT_TRUE(FParse::Value("PORT=8080", "PORT=", Number));
    EXPECT_EQ(Number, 8080);
    EXPECT_FALSE(FParse::Value("PORT=80x", "PORT=", Number));
    EXPECT_FALSE(FParse::Value("PORT=", "PORT=", Number));
    EXPECT_EQ(Number, 8080);

    float Real = 0.0f;
    EXPECT_TRUE(FParse::Value("RATE=-1.5", "RATE=", Real));
    EXPECT_EQ(Real, -1.5f);

    bool bFlag = false;
    EXPECT_TRUE(FParse::Value("X=Yes", "X=", bFlag));
    EXPECT_TRUE(bFlag);
    EXPECT_FALSE(FParse::Value("X=perhaps", "X=", bFlag));
    EXPECT_TRUE(bFlag);
}

TEST(ParseParam, MatchesSwitchAsWholeWordIgnoringCase)
{
    EXPECT_TRUE(FParse::Param("-NOZOR", "NOZOR"));
    EXPECT_TRUE(FParse::Param("game -nozor LOGIN=x", "NOZOR"));
    EXPECT_TRUE(FParse::Param("/NoZor", "NOZOR"));
    EXPECT_FALSE(FParse::Param("-NOZORX", "NOZOR"));
    EXPECT_FALSE(FParse::Param("NOZOR", "NOZOR"));
    EXPECT_FALSE(FParse::Param("a-NOZOR", "NOZOR"));
    EXPECT_FALSE(FParse::Param("-NOZ", "NOZOR"));
    EXPECT_FALSE(FParse::Param("", "NOZOR"));
}

TEST(ParseCommand, AdvancesPastWholeWordAndBlanks)
{
    const char* Cmd = "  test  BuildInfo  label";
    EXPECT_FALSE(FParse::Command(&Cmd, "TESTING"));
    EXPECT_FALSE(FParse::Command(&Cmd, "TES"));
    ASSERT_TRUE(FParse::Command(&Cmd, "TEST"));
    EXPECT_STREQ(Cmd, "BuildInfo  label");
    EXPECT_FALSE(FParse::Command(&Cmd, "BUILDINFOV2"));
    ASSERT_TRUE(FParse::Command(&Cmd, "BUILDINFO"));
    EXPECT_STREQ(Cmd, "label");

    const char* Exact = "TEST";
    ASSERT_TRUE(FParse::Command(&Exact, "test"));
    EXPECT_STREQ(Exact, "");
}

TEST(ParseToken, ReadsBlankSeparatedAndQuotedTokens)
{
    const char* Stream = "  first \"two words\" x\"y z\"w  last";
    FString Token;
    ASSERT_TRUE(FParse::Token(Stream, Token, false));
    EXPECT_TRUE(Token.Equals("first"));
    ASSERT_TRUE(FParse::Token(Stream, Token, false));
    EXPECT_TRUE(Token.Equals("two words"));
    ASSERT_TRUE(FParse::Token(Stream, Token, false));
    EXPECT_TRUE(Token.Equals("xy zw"));
    ASSERT_TRUE(FParse::Token(Stream, Token, false));
    EXPECT_TRUE(Token.Equals("last"));
    EXPECT_FALSE(FParse::Token(Stream, Token, false));
}

TEST(ParseToken, EscapesInsideQuotesOnlyWhenAsked)
{
    const char* Escaped = "\"say \\\"hi\\\"\"";
    FString Token;
    ASSERT_TRUE(FParse::Token(Escaped, Token, true));
    EXPECT_TRUE(Token.Equals("say \"hi\""));

    const char* Trailing = "\"ends with \\";
    ASSERT_TRUE(FParse::Token(Trailing, Token, true));
    EXPECT_TRUE(Token.Equals("ends with \\"));
    EXPECT_FALSE(FParse::Token(Trailing, Token, true));
}

TEST(CommandLine, HoldsWhatWasSet)
{
    FCommandLine::Set("LOGIN=me -NOZOR");
    EXPECT_STREQ(FCommandLine::Get(), "LOGIN=me -NOZOR");
    EXPECT_TRUE(FParse::Param(FCommandLine::Get(), "NOZOR"));
    FCommandLine::Set("");
    EXPECT_STREQ(FCommandLine::Get(), "");
}
