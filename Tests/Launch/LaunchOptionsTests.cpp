#include <gtest/gtest.h>

#include "Core/Parse.h"
#include "Launch/LaunchOptions.h"

namespace
{
TEST(LaunchOptionsTest, ReadsHostOptionsAndPassesEverythingButTheIniOn)
{
    FLaunchOptions Options;
    FString Error;
    ASSERT_TRUE(
        ParseLaunchArguments({"-ini=/tmp/a.ini", "-exec=script.zorhost", "-fps=30", "-log=LogOnline:Verbose",
                              "-LOG=LogHttp:Warning", "-server", "LOGIN=demo", "-NOZOR"},
                             Options, Error))
        << *Error;
    EXPECT_EQ(Options.IniPath, "/tmp/a.ini");
    EXPECT_EQ(Options.ExecPath, "script.zorhost");
    EXPECT_EQ(Options.FramesPerSecond, 30);
    ASSERT_EQ(Options.LogSettings.Num(), 2);
    EXPECT_EQ(Options.LogSettings[1], "LogHttp:Warning");
    EXPECT_TRUE(Options.bDedicatedServer);
    EXPECT_STREQ(
        *Options.EngineCommandLine,
        "-exec=script.zorhost -fps=30 -log=LogOnline:Verbose -LOG=LogHttp:Warning -server LOGIN=demo -NOZOR");
    EXPECT_TRUE(FParse::Param(*Options.EngineCommandLine, "NOZOR"));
    EXPECT_FALSE(FParse::Param(*Options.EngineCommandLine, "ini"));
}

TEST(LaunchOptionsTest, DefaultsWithoutArguments)
{
    FLaunchOptions Options;
    FString Error;
    ASSERT_TRUE(ParseLaunchArguments({}, Options, Error));
    EXPECT_TRUE(Options.IniPath.IsEmpty());
    EXPECT_TRUE(Options.ExecPath.IsEmpty());
    EXPECT_EQ(Options.FramesPerSecond, 60);
    EXPECT_FALSE(Options.bDedicatedServer);
    EXPECT_TRUE(Options.EngineCommandLine.IsEmpty());
}

TEST(LaunchOptionsTest, RefusesMalformedHostOptions)
{
    for (const char* Argument : {"-fps=0", "-fps=1001", "-fps=12x", "-fps=", "-fps=-5", "-ini=", "-exec="})
    {
        FLaunchOptions Options;
        FString Error;
        EXPECT_FALSE(ParseLaunchArguments({"LOGIN=demo", Argument}, Options, Error)) << Argument;
        EXPECT_FALSE(Error.IsEmpty()) << Argument;
    }
}

TEST(LaunchOptionsTest, QuotesArgumentsWithBlanksSoTheEngineReadsThemWhole)
{
    const FString Line = JoinCommandLine({"LOGIN=demo user@example.com", "PASSWORD=two\twords", "TYPE=tavo",
                                          "free text", "-exec=/tmp/my dir/x"});
    EXPECT_STREQ(*Line, "LOGIN=\"demo user@example.com\" PASSWORD=\"two\twords\" TYPE=tavo \"free text\" "
                        "-exec=\"/tmp/my dir/x\"");

    FString Value;
    ASSERT_TRUE(FParse::Value(*Line, "LOGIN=", Value));
    EXPECT_STREQ(*Value, "demo user@example.com");
    ASSERT_TRUE(FParse::Value(*Line, "PASSWORD=", Value));
    EXPECT_STREQ(*Value, "two\twords");
    ASSERT_TRUE(FParse::Value(*Line, "TYPE=", Value));
    EXPECT_STREQ(*Value, "tavo");
    // An equals sign after the first blank does not make a key.
    EXPECT_STREQ(*JoinCommandLine({"say a=b"}), "\"say a=b\"");

    // Commas and closing parentheses would end an unquoted value too.
    const FString Punctuated = JoinCommandLine({"PASSWORD=x,y)z", "TYPE=tavo"});
    ASSERT_TRUE(FParse::Value(*Punctuated, "PASSWORD=", Value));
    EXPECT_STREQ(*Value, "x,y)z");
}

} // namespace
