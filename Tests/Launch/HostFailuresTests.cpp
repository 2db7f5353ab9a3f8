#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaseNamePrinter.h"
#include "HostFailures.h"
#include "LogCapture.h"

namespace
{
/** An operation a line starts as it runs. */
struct FAwait
{
    const char* Operation;
    const char* Subject = "";
    EHostAwait Kind = EHostAwait::Once;
};

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
        EndRunningLineFailed,
        Failure,
        Success,
        Quit,
        EndQuit,
    };
    EKind Kind;
    /** The line's text, or the ended operation's name. */
    const char* Text = "";
    /** What the ended operation was given. */
    const char* Subject = "";
    int32 Times = 1;
    /** What the line starts. */
    std::vector<FAwait> Awaits = {};
};

FStep Line(const char* Text, std::vector<FAwait> Awaits = {})
{
    return {FStep::PassedLine, Text, "", 1, std::move(Awaits)};
}

FStep Running(const char* Text, std::vector<FAwait> Awaits = {})
{
    return {FStep::RunningLine, Text, "", 1, std::move(Awaits)};
}

FStep Fails(const char* Operation, const char* Subject = "", int32 Times = 1)
{
    return {FStep::Failure, Operation, Subject, Times};
}

FStep Succeeds(const char* Operation, const char* Subject = "")
{
    return {FStep::Success, Operation, Subject};
}

/** A login line and what it starts, as the word names them. */
FStep Login()
{
    return Line("login",
                {{"login"}, {"purchase login", "", EHostAwait::Upkeep}, {"verify", "", EHostAwait::Upkeep}});
}

struct FCase
{
    const char* Name;
    std::vector<FStep> Steps;
    /** The whole summary; none when nothing failed. */
    std::vector<std::string> Summary;
};

using ZorTestCases::PrintTo;

void Apply(FHostFailures& Failures, const FStep& Step, int32& LineNumber)
{
    switch (Step.Kind)
    {
    case FStep::PassedLine:
    case FStep::FailedLine:
    case FStep::RunningLine:
        Failures.BeginLine(++LineNumber, Step.Text);
        for (const FAwait& Await : Step.Awaits)
        {
            Failures.Await(Await.Operation, Await.Subject, Await.Kind);
        }
        if (Step.Kind != FStep::RunningLine)
        {
            Failures.EndLine(Step.Kind == FStep::PassedLine);
        }
        return;
    case FStep::EndRunningLine:
    case FStep::EndRunningLineFailed:
        Failures.EndLine(Step.Kind == FStep::EndRunningLine);
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
    case FStep::EndQuit:
        Failures.EndQuit();
        return;
    }
}

/** The summary's lines, or none when it logs nothing. */
std::vector<std::string> Summarize(const FHostFailures& Failures)
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
    return Lines;
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
    EXPECT_EQ(Summarize(Failures), Case.Summary);
}

const char* const OneLine = "1 console lines or the operations they started failed:";
const char* const TwoLines = "2 console lines or the operations they started failed:";

const FCase Cases[] = {
    {"TheReadGivenTheMissingFileFailsNotTheLaterOne",
     {Login(), Line("cloud read missing.sav", {{"cloud read", "missing.sav"}}),
      Line("cloud read present.sav", {{"cloud read", "present.sav"}}), Fails("cloud read", "missing.sav"),
      Succeeds("cloud read", "present.sav")},
     {OneLine, "  line 2: cloud read missing.sav"}},
    {"TheLaterOfTwoSessionsFailsNotTheFirst",
     {Line("session create Lobby lan", {{"session create", "Lobby"}}),
      Line("session create Arena public=2", {{"session create", "Arena"}}),
      Line("session start Lobby", {{"session start", "Lobby"}}), Fails("session create", "Arena"),
      Succeeds("session create", "Lobby"), Succeeds("session start", "Lobby")},
     {OneLine, "  line 2: session create Arena public=2"}},
    {"AFriendIsMatchedLetterForLetter",
     {Line("friends accept abc", {{"friends accept", "abc"}}),
      Line("friends accept ABC", {{"friends accept", "ABC"}}), Fails("friends accept", "ABC")},
     {OneLine, "  line 2: friends accept ABC"}},
    {"AFriendIsMatchedLetterForLetterTheOtherWayRound",
     {Line("friends accept ABC", {{"friends accept", "ABC"}}),
      Line("friends accept abc", {{"friends accept", "abc"}}), Fails("friends accept", "abc"),
      Succeeds("friends accept", "ABC")},
     {OneLine, "  line 2: friends accept abc"}},
    {"AFileIsMatchedLetterForLetter",
     {Line("cloud write save.sav a", {{"cloud write", "save.sav"}}),
      Line("cloud write SAVE.sav b", {{"cloud write", "SAVE.sav"}}), Fails("cloud write", "SAVE.sav"),
      Succeeds("cloud write", "save.sav")},
     {OneLine, "  line 2: cloud write SAVE.sav b"}},
    {"ASessionIsMatchedLetterForLetter",
     {Line("session create Game", {{"session create", "Game"}}),
      Line("session create game", {{"session create", "game"}}), Fails("session create", "game"),
      Succeeds("session create", "Game")},
     {OneLine, "  line 2: session create game"}},
    {"LinesOfOneWordTakeTheirOutcomesInTurnAndAnUnnamedSubjectFallsToTheOldest",
     {Line("friends read", {{"friends read"}}), Line("friends read", {{"friends read"}}),
      Line("session create Game", {{"session create", "Game"}}), Fails("friends read"),
      Succeeds("friends read"), Fails("session create", "GameSession")},
     {TwoLines, "  line 1: friends read", "  line 3: session create Game"}},
    {"ASessionLetGoWhileCreatingFailsItsOwnLineNotTheLaterOneOfItsName",
     {Line("session create q1", {{"session create", "q1"}}),
      Running("session destroy q1", {{"session destroy", "q1"}}),
      Fails("session destroy", "q1"),
      {FStep::EndRunningLine},
      Line("session create q1", {{"session create", "q1"}}),
      Fails("session create", "q1"),
      Succeeds("session create", "q1")},
     {TwoLines, "  line 1: session create q1", "  line 2: session destroy q1"}},
    {"ALineCountsOnceForAllItsFailures",
     {Running("cloud read a.sav", {{"cloud read", "a.sav"}}),
      Fails("cloud read", "a.sav", 3),
      {FStep::EndRunningLineFailed},
      Login(),
      Fails("verify", "", 2),
      Fails("purchase login")},
     {TwoLines, "  line 1: cloud read a.sav", "  line 2: login"}},
    {"ARefusedLineIsAnsweredLastSoALaterLinesOutcomeIsItsOwn",
     {{FStep::FailedLine, "cloud read a.sav", "", 1, {{"cloud read", "a.sav"}}},
      Line("cloud read a.sav", {{"cloud read", "a.sav"}}),
      Succeeds("cloud read", "a.sav"),
      {FStep::EndQuit}},
     {OneLine, "  line 1: cloud read a.sav"}},
    {"AnEventInsideARunningLinesCallIsThatLines",
     {Line("builds Live Windows", {{"builds"}}),
      Running("ONLINE SUB=ZOR TEST BUILDINFO Live", {{"builds"}}),
      Fails("builds"),
      {FStep::EndRunningLine},
      Succeeds("builds")},
     {OneLine, "  line 2: ONLINE SUB=ZOR TEST BUILDINFO Live"}},
    {"ATestLineThatWarnedStillTakesWhatItStarted",
     {Line("selfpatch Live Windows", {{"selfpatch"}}),
      Running("ONLINE SUB=ZOR TEST BUILDINFO Live", {{"selfpatch"}}),
      {FStep::EndRunningLineFailed},
      Fails("selfpatch", "", 2)},
     {TwoLines, "  line 1: selfpatch Live Windows", "  line 2: ONLINE SUB=ZOR TEST BUILDINFO Live"}},
    {"EveryWordThatStartsAnOperationTakesItsFailure",
     {Running("profile command QueryProfile {}", {{"profile QueryProfile"}}),
      {FStep::EndRunningLine},
      Running("ONLINE SUB=ZOR TEST QUERYMAPPINGS", {{"mapping query"}}),
      {FStep::EndRunningLine},
      Fails("profile QueryProfile"),
      Fails("mapping query")},
     {TwoLines, "  line 1: profile command QueryProfile {}", "  line 2: ONLINE SUB=ZOR TEST QUERYMAPPINGS"}},
    {"ADriversStepsFailItsLineHoweverManyThereAre",
     {Login(),
      Succeeds("login"),
      Line("ONLINE SUB=ZOR TEST BUILDINFOV2 Live",
           {{"selfpatch2"}, {"builds2"}, {"download2", "", EHostAwait::Steps}}),
      Succeeds("selfpatch2"),
      Succeeds("builds2"),
      Succeeds("download2"),
      Fails("download2", "", 19902),
      {FStep::EndQuit}},
     {OneLine, "  line 2: ONLINE SUB=ZOR TEST BUILDINFOV2 Live"}},
    {"UnstartedOperationsTakeOneLineEachWithTheirCount",
     {Login(),
      Fails("refresh", "", 19902),
      Fails("friends invite", "a", 5000),
      {FStep::FailedLine, "nosuchword"},
      Fails("refresh")},
     {OneLine, "  line 2: nosuchword", "24,903 operations that no line started failed:", "  refresh: 19,903",
      "  friends invite: 5,000"}},
    {"OnlyUnstartedFailuresHaveNoCountOfLines",
     {Login(), Succeeds("login"), Fails("refresh")},
     {"1 operations that no line started failed:", "  refresh: 1"}},
    {"AnUnawaitedOperationFailingWhileALineRunsIsThatLines",
     {Running("ONLINE SUB=ZOR TEST SENDINVITES a"),
      Fails("friends invite", "a"),
      {FStep::EndRunningLine},
      Fails("selfpatch2", "", 7)},
     {OneLine, "  line 1: ONLINE SUB=ZOR TEST SENDINVITES a",
      "7 operations that no line started failed:", "  selfpatch2: 7"}},
    {"AWriteAndASessionCreateCutShortByQuitFailTheirLines",
     {Login(),
      Succeeds("login"),
      Line("cloud write quitcheck.sav hello", {{"cloud write", "quitcheck.sav"}}),
      Line("session create Game", {{"session create", "Game"}}),
      Running("quit"),
      {FStep::Quit},
      Fails("verify"),
      Fails("cloud write", "quitcheck.sav"),
      {FStep::EndQuit},
      {FStep::EndRunningLine}},
     {TwoLines, "  line 2: cloud write quitcheck.sav hello", "  line 3: session create Game"}},
    {"AVerificationCutShortByQuitFailsNoLine",
     {Login(),
      Succeeds("login"),
      Line("cloud read a.sav", {{"cloud read", "a.sav"}}),
      Succeeds("cloud read", "a.sav"),
      {FStep::Quit},
      Fails("verify"),
      Fails("purchase login"),
      Fails("refresh"),
      {FStep::EndQuit}},
     {}},
    {"ADriverCutShortByQuitFailsItsLine",
     {Login(),
      Succeeds("login"),
      Line("ONLINE SUB=ZOR TEST BUILDINFOV2 Live",
           {{"selfpatch2"}, {"builds2"}, {"download2", "", EHostAwait::Steps}}),
      Succeeds("selfpatch2"),
      Succeeds("builds2"),
      {FStep::Quit},
      Fails("download2"),
      {FStep::EndQuit}},
     {OneLine, "  line 2: ONLINE SUB=ZOR TEST BUILDINFOV2 Live"}},
};
INSTANTIATE_TEST_SUITE_P(Steps, HostFailuresTest, testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
} // namespace
