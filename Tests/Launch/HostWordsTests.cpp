#include <gtest/gtest.h>

#include <set>
#include <string>

#include "HostWords.h"

namespace
{
TEST(HostWordsTest, EveryWordIsNamedOnceAndDescribed)
{
    std::set<std::string> Names;
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            EXPECT_TRUE(Names.insert(*FString(Word.Name).ToLower()).second) << Word.Name << " appears twice";
            EXPECT_TRUE(FString(Word.Usage).StartsWith(FString(Word.Name) + " ") ||
                        FString(Word.Usage) == Word.Name)
                << Word.Usage;
            EXPECT_FALSE(FString(Word.Summary).IsEmpty()) << Word.Name;
            EXPECT_NE(Word.Run, nullptr) << Word.Name;
        }
        for (const FHostTestWord& Word : Group.TestWords)
        {
            EXPECT_FALSE(FString(Word.Summary).IsEmpty()) << Word.Usage;
        }
    }
    for (const char* Expected : {"help", "wait", "quit", "login", "logout", "profile"})
    {
        EXPECT_TRUE(Names.contains(Expected)) << Expected;
    }
}

TEST(HostWordsTest, FindsWholeWordsIgnoringCaseAndLeavesTheArguments)
{
    struct FCase
    {
        const char* Line;
        const char* Word; // null: no host word
        const char* Rest;
    };
    const FCase Cases[] = {
        {"wait 2", "wait", "2"},
        {"WAIT 0.5", "wait", "0.5"},
        {"profile command SetStat {}", "profile", "command SetStat {}"},
        {"logout", "logout", ""},
        {"waiting 2", nullptr, "waiting 2"},
        {"log", nullptr, "log"},
        {"ONLINE SUB=ZOR TEST AUTHTEST", nullptr, "ONLINE SUB=ZOR TEST AUTHTEST"},
    };
    for (const FCase& Case : Cases)
    {
        const TCHAR* Line = Case.Line;
        const FHostWord* Word = FindHostWord(Line);
        if (!Case.Word)
        {
            EXPECT_EQ(Word, nullptr) << Case.Line;
        }
        else
        {
            ASSERT_NE(Word, nullptr) << Case.Line;
            EXPECT_STREQ(Word->Name, Case.Word);
        }
        EXPECT_STREQ(*FString(Line).TrimStartAndEnd(), Case.Rest) << Case.Line;
    }
}
} // namespace
