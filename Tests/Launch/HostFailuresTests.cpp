#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaseNamePrinter.h"
#include "HostFailures.h"
#include "LogCapture.h"

namespace
{
/** One thing the host tells the bookkeeping: a line that runs, or an operation that ends. */
struct FStep
{
    enum EKind
    {
        PassedLine,
        FailedLine,
        /** A line still running when the next step comes. */
        RunningLine,
        EndRunningLine,
        Failure,
        Success,
        Quit,
    };
    EKind Kind;
    /** The line's text, or the ended operation's name. */
    const char* Text = "";
    /** What the ended operation was given. */
    const char* Subject = "";
    int32 Times = 1;
};

struct FCase
{
    const char* Name;
    std::vector<FStep> Steps;
    /** The summary's lines after its count, which counts the failed lines; none when nothing failed. */
    int32 FailedLines;
    std::vector<std::string> Listed;
};

using ZorTestCases::PrintTo;

void Apply(FHostFailures& Failures, const FStep& Step, int32& LineNumber)
{
    switch (Step.Kind)
    {
    case FStep::PassedLine:
    case FStep::FailedLine:
        Failures.BeginLine(++LineNumber, Step.Text, Step.Text);
        Failures.EndLine(Step.Kind == FStep::PassedLine);
        return;
    case FStep::RunningLine:
        Failures.BeginLine(++LineNumber, Step.Text, Step.Text);
        return;
    case FStep::EndRunningLine:
        Failures.EndLine(true);
        return;
    case FStep::Failure:
    case FStep::Success:
        for (int32 Count = 0; Count < Step.Times; ++Count)
        {
            Failures.OperationEnded(Step.Text, Step.Kind == FStep::Success, Step.Subject);
        }
        return;
    case FStep::Quit:
        Failures.BeginQuit();
        return;
    }
}

/** The summary's lines after its count line, or none when it logs nothing. */
std::vector<std::string> Summarize(const FHostFailures& Failures, int32 FailedLines)
{
    FLogCapture Log;
    if (Failures.Num() == 0)
    {
        return {};
    }
    Failures.LogSummary();
    std::vector<std::string> Lines;
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        Lines.push_back(*Line.Message);
    }
    EXPECT_FALSE(Lines.empty());
    if (Lines.empty())
    {
        return {};
    }
    EXPECT_EQ(Lines.front(),
              std::to_string(FailedLines) + " console lines or the operations they started failed:");
    return std::vector<std::string>(Lines.begin() + 1, Lines.end());
}

class HostFailuresTest : public testing::TestWithParam<FCase>
{
};

TEST_P(HostFailuresTest, ListsTheLinesThatFailedAndCountsTheRest)
{
    const FCase& Case = GetParam();
    FHostFailures Failures;
    int32 LineNumber = 0;
    for (const FStep& Step : Case.Steps)
    {
        Apply(Failures, Step, LineNumber);
    }
    EXPECT_EQ(Summarize(Failures, Case.FailedLines), Case.Listed);
}

const FCase Cases[] = {
    {"TheReadGivenTheMissingFileFailsNotTheLaterOne",
     {{FStep::PassedLine, "login"},
      {FStep::PassedLine, "cloud read missing.sav"},
      {FStep::PassedLine, "cloud read present.sav"},
      {FStep::Failure, "cloud read", "missing.sav"}},
     1,
     {"  line 2: cloud read missing.sav"}},
    {"TheLaterOfTwoSessionsFailsNotTheFirst",
     {{FStep::PassedLine, "session create Lobby lan"},
      {FStep::PassedLine, "session create Arena public=2"},
      {FStep::PassedLine, "session start Lobby"},
      {FStep::Failure, "session create", "Arena"}},
     1,
     {"  line 2: session create Arena public=2"}},
    {"AFriendIsMatchedLetterForLetter",
     {{FStep::PassedLine, "friends accept ABC"},
      {FStep::PassedLine, "friends accept abc"},
      {FStep::Failure, "friends accept", "ABC"}},
     1,
     {"  line 1: friends accept ABC"}},
    {"LinesOfOneWordTakeTheirOutcomesInTurnAndAnUnnamedSubjectFallsToTheLatest",
     {{FStep::PassedLine, "friends read"},
      {FStep::PassedLine, "friends read"},
      {FStep::PassedLine, "session create Game"},
      {FStep::Failure, "friends read"},
      {FStep::Success, "friends read"},
      {FStep::Failure, "session create", "GameSession"}},
     2,
     {"  line 1: friends read", "  line 3: session create Game"}},
    {"ASessionLetGoWhileCreatingFailsItsOwnLineNotTheLaterOneOfItsName",
     {{FStep::PassedLine, "session create q1"},
      {FStep::RunningLine, "session destroy q1"},
      {FStep::Failure, "session destroy", "q1"},
      {FStep::EndRunningLine},
      {FStep::PassedLine, "session create q1"},
      {FStep::Failure, "session create", "q1"},
      {FStep::Success, "session create", "q1"}},
     2,
     {"  line 1: session create q1", "  line 2: session destroy q1"}},
    {"ALineCountsOnceForAllItsFailures",
     {{FStep::FailedLine, "cloud read a.sav"},
      {FStep::Failure, "cloud read", "a.sav", 3},
      {FStep::PassedLine, "login"},
      {FStep::Failure, "verify", "", 2}},
     2,
     {"  line 1: cloud read a.sav", "  line 2: login"}},
    {"UnstartedOperationsTakeOneLineEachWithTheirCount",
     {{FStep::PassedLine, "login"},
      {FStep::PassedLine, "ONLINE SUB=ZOR TEST BUILDINFOV2 Live"},
      {FStep::PassedLine, "ONLINE SUB=ZOR TEST SENDINVITES a b"},
      {FStep::Failure, "download2", "", 19902},
      {FStep::Failure, "friends invite", "a", 5000},
      {FStep::FailedLine, "nosuchword"},
      {FStep::Failure, "download2"}},
     1,
     {"  line 4: nosuchword", "  download2: 19,903 failed, none started by a line",
      "  friends invite: 5,000 failed, none started by a line"}},
    {"AnUnstartedOperationFailingWhileALineRunsIsThatLines",
     {{FStep::RunningLine, "ONLINE SUB=ZOR TEST SENDINVITES a"},
      {FStep::Failure, "friends invite", "a"},
      {FStep::EndRunningLine},
      {FStep::Failure, "selfpatch2", "", 7}},
     1,
     {"  line 1: ONLINE SUB=ZOR TEST SENDINVITES a", "  selfpatch2: 7 failed, none started by a line"}},
    {"WhatQuittingCutsShortFailsNoLine",
     {{FStep::PassedLine, "login"},
      {FStep::PassedLine, "cloud read a.sav"},
      {FStep::RunningLine, "quit"},
      {FStep::Quit},
      {FStep::Failure, "verify"},
      {FStep::Failure, "cloud read", "a.sav"},
      {FStep::Failure, "download2", "", 3}},
     0,
     {}},
};
INSTANTIATE_TEST_SUITE_P(Steps, HostFailuresTest, testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
} // namespace
