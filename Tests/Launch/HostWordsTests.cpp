#include <gtest/gtest.h>

#include <set>
#include <string>

#include "HostContent.h"
#include "HostSecrets.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "LogCapture.h"

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

namespace
{
struct FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRow
{
    const char* Line;
    const char* Word; // null: no host word
    const char* Rest;
};
const FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRow
    FindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRows[] = {
        {"wait 2", "wait", "2"},
        {"WAIT 0.5", "wait", "0.5"},
        {"profile command SetStat {}", "profile", "command SetStat {}"},
        {"logout", "logout", ""},
        {"waiting 2", nullptr, "waiting 2"},
        {"log", nullptr, "log"},
        {"ONLINE SUB=ZOR TEST AUTHTEST", nullptr, "ONLINE SUB=ZOR TEST AUTHTEST"},
};

using FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsTest,
       FindsWholeWordsIgnoringCaseAndLeavesTheArguments)
{
    const FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRow& Case =
        FindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRows[GetParam()];
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

INSTANTIATE_TEST_SUITE_P(Rows, FFindsWholeWordsIgnoringCaseAndLeavesTheArgumentsTest,
                         ::testing::Range(size_t{0},
                                          std::size(FindsWholeWordsIgnoringCaseAndLeavesTheArgumentsRows)));

namespace
{
struct FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsRow
{
    const char* Line;
    const char* Shown;
};
const FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsRow
    TheEchoMasksEachSecretAndKeepsTheOtherArgumentsRows[] = {
        {"account create a@b.io Name pass-1", "account create a@b.io Name ***"},
        {"account update a@b.io pass-1 c@d.io NewName pass-2",
         "account update a@b.io *** c@d.io NewName ***"},
        {"account delete a@b.io pass-1", "account delete a@b.io ***"},
        {"account validate a@b.io valtoken-1", "account validate a@b.io ***"},
        {"ACCOUNT Create a@b.io Name \"pass 1\"", "account Create a@b.io Name ***"},
        {"account query a@b.io", "account query a@b.io"},
        {"mapping add console ticket-1", "mapping add console ***"},
        {"mapping add console ticket-1 ticket-2", "mapping add console *** ***"},
        {"mapping remove console", "mapping remove console"},
        {"login LOGIN=demo PASSWORD=pass-1 TYPE=tavo", "login LOGIN=demo PASSWORD=*** TYPE=tavo"},
        {"login LOGIN=demo password=\"pass 1\" TYPE=exchangecode",
         "login LOGIN=demo password=*** TYPE=exchangecode"},
        {"login LOGIN=id AUTH=token-1", "login LOGIN=id AUTH=***"},
        {"login -AUTH_JSON={\"access_token\":\"token-1\"}", "login -AUTH_JSON=***"},
        {"ONLINE SUB=ZOR TEST AUTHTEST PASSWORD=pass-1", "ONLINE SUB=ZOR TEST AUTHTEST PASSWORD=***"},
        {"PASSWORD=pass-1", "PASSWORD=***"},
        {"messages send someone NOPASSWORD=1 OAUTH=2", "messages send someone NOPASSWORD=1 OAUTH=2"},
        {"  login   LOGIN=demo", "  login   LOGIN=demo"},
};

using FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsTest, TheEchoMasksEachSecretAndKeepsTheOtherArguments)
{
    const FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsRow& Case =
        TheEchoMasksEachSecretAndKeepsTheOtherArgumentsRows[GetParam()];
    EXPECT_STREQ(*MaskConsoleLine(Case.Line), Case.Shown) << Case.Line;
}

INSTANTIATE_TEST_SUITE_P(Rows, FTheEchoMasksEachSecretAndKeepsTheOtherArgumentsTest,
                         ::testing::Range(size_t{0},
                                          std::size(TheEchoMasksEachSecretAndKeepsTheOtherArgumentsRows)));

TEST(HostWordsTest, KnowsTheOperations)
{
    // wait takes what IsHostOperation knows, and refuses the rest rather than waiting for nothing.
    FZorHost Host{FLaunchOptions()};
    const auto Wait = [&Host](const char* Operation)
    {
        const FString Line = FString("wait ") + Operation;
        const TCHAR* Rest = *Line;
        const FHostWord* Word = FindHostWord(Rest);
        return Word && Word->Run(Host, Rest);
    };
    for (const char* Known : {"session create", "Exchange Code", "purchase login", "profile GrantItem"})
    {
        EXPECT_TRUE(IsHostOperation(Known)) << Known;
        EXPECT_TRUE(Wait(Known)) << Known;
    }
    for (const char* Unknown : {"profile", "session", "nonsense", "account"})
    {
        EXPECT_FALSE(IsHostOperation(Unknown)) << Unknown;
        EXPECT_FALSE(Wait(Unknown)) << Unknown;
    }
}

namespace
{
struct FTestLineCase
{
    const char* Line;
    const char* Usage; // null: no TEST word of the host
    const char* Rest;
};

const FTestLineCase TestLineCases[] = {
    {"online sub=zor test exchangecode zordemoclient", "EXCHANGECODE CLIENTID", "zordemoclient"},
    {"ONLINE SUB=ZOR TEST BUILDINFOV2 Live", "BUILDINFOV2 LABEL", "Live"},
    {"ONLINE SUB=ZOR TEST BUILDINFO Live", "BUILDINFO LABEL", "Live"},
    {"ONLINE SUB=OTHER TEST AUTHTEST", nullptr, ""},
    {"ONLINE SUB=ZOR TEST NOSUCHWORD", nullptr, ""},
    {"session create Game", nullptr, ""},
};

using HostTestLineTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(HostTestLineTest, ReadsTheTestWordOfALine)
{
    const FTestLineCase& Case = TestLineCases[GetParam()];
    const TCHAR* Rest = nullptr;
    const FHostTestWord* Word = FindHostTestLine(Case.Line, Rest);
    ASSERT_EQ(Word != nullptr, Case.Usage != nullptr) << Case.Line;
    if (Word)
    {
        EXPECT_STREQ(Word->Usage, Case.Usage);
        EXPECT_STREQ(*FString(Rest).TrimStartAndEnd(), Case.Rest) << Case.Line;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HostTestLineTest, ::testing::Range(size_t{0}, std::size(TestLineCases)));
const std::string ShownCut(200, 'a');

struct FShownCase
{
    std::string Content;
    std::string Shown;
};

const FShownCase ShownCases[] = {
    {ShownCut, "  content (200 bytes): " + ShownCut},
    {ShownCut + "b", "  content (201 bytes): " + ShownCut + " ..."},
    {ShownCut.substr(1) + "\xC3\xA9", "  content (201 bytes): " + ShownCut.substr(1) + " ..."},
    {"a\x01", "  content (2 bytes) is not text"},
};

using FShownContentTest = ::testing::TestWithParam<size_t>;

TEST_P(FShownContentTest, AReadShowsItsTextUpToTheCutWithoutSplittingACharacter)
{
    const FShownCase& Case = ShownCases[GetParam()];
    FLogCapture Log;
    LogContentStart(TArray<uint8>(std::vector<uint8>(Case.Content.begin(), Case.Content.end())));
    ASSERT_EQ(Log.Lines().size(), 1u) << Case.Shown;
    EXPECT_EQ(Log.Lines()[0].Message.ToStdString(), Case.Shown);
}

INSTANTIATE_TEST_SUITE_P(Contents, FShownContentTest, ::testing::Range(size_t{0}, std::size(ShownCases)));
} // namespace
