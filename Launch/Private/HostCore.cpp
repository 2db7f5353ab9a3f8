#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "Core/Parse.h"
#include "HostSecrets.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"

namespace
{
bool ParseSeconds(const FString& Text, double& Out)
{
    const char* Begin = *Text;
    const char* End = Begin + Text.Len();
    double Value = 0.0;
    const auto [Stop, Error] = std::from_chars(Begin, End, Value);
    if (Error != std::errc() || Stop != End || !std::isfinite(Value) || Value < 0.0)
    {
        return false;
    }
    Out = Value;
    return true;
}

/** How long wait OPERATION holds the next line at most: a bound on a hang, not a timing. */
constexpr double OperationWaitSeconds = 30.0;

bool Wait(FZorHost& Host, const TCHAR* Args)
{
    const FString Rest = FString(Args).TrimStartAndEnd();
    double Seconds = 0.0;
    if (ParseSeconds(Rest, Seconds))
    {
        Host.WaitFor(Seconds);
        return true;
    }
    if (Rest.IsEmpty() || !IsHostOperation(Rest))
    {
        UE_LOG(LogHost, Warning, "usage: wait SECONDS|OPERATION (one of %s)", *ListHostOperations());
        return false;
    }
    Host.WaitForOperation(Rest, OperationWaitSeconds);
    return true;
}

/** Usage and summary on one line; the summary goes under a usage too long for its column. */
void LogWordLine(const char* Indent, const TCHAR* Usage, const TCHAR* Summary)
{
    constexpr int32 UsageColumn = 34;
    if (std::strlen(Usage) <= size_t(UsageColumn))
    {
        UE_LOG(LogHost, Display, "%s%-*s %s", Indent, UsageColumn, Usage, Summary);
        return;
    }
    UE_LOG(LogHost, Display, "%s%s", Indent, Usage);
    UE_LOG(LogHost, Display, "%s%-*s %s", Indent, UsageColumn, "", Summary);
}

void LogWordAndSubWords(const FHostWord& Word)
{
    LogWordLine("  ", Word.Usage, Word.Summary);
    for (const FHostWord& SubWord : Word.SubWords)
    {
        LogWordLine("    ", SubWord.Usage, SubWord.Summary);
    }
}

void HelpAll()
{
    UE_LOG(LogHost, Display, "Host words (help WORD shows one with the values it takes):");
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            LogWordAndSubWords(Word);
        }
    }
    UE_LOG(LogHost, Display, "Subsystem words:");
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostTestWord& Word : Group.TestWords)
        {
            UE_LOG(LogHost, Display, "  ONLINE SUB=ZOR TEST %-14s %s", Word.Usage, Word.Summary);
        }
    }
}

void LogUsage(const FHostWord& Word)
{
    UE_LOG(LogHost, Display, "usage: %s", Word.Usage);
    UE_LOG(LogHost, Display, "  %s", Word.Summary);
    for (const FHostWord& SubWord : Word.SubWords)
    {
        LogWordLine("  ", SubWord.Usage, SubWord.Summary);
    }
    for (const TCHAR* Note : Word.Notes)
    {
        UE_LOG(LogHost, Display, "  %s", Note);
    }
}

/** The host word and the subsystem's TEST word of that name (CATALOG is both). */
bool HelpWord(const TCHAR* Args)
{
    const TCHAR* Rest = Args;
    const FHostWord* Word = FindHostWord(Rest);
    if (Word)
    {
        LogUsage(*Word);
    }
    Rest = Args;
    FString Name;
    FParse::Token(Rest, Name, false);
    const FHostTestWord* TestWord = FindHostTestWord(Name);
    if (TestWord)
    {
        UE_LOG(LogHost, Display, "usage: ONLINE SUB=ZOR TEST %s", TestWord->Usage);
        UE_LOG(LogHost, Display, "  %s", TestWord->Summary);
    }
    if (!Word && !TestWord)
    {
        UE_LOG(LogHost, Warning, "help: no word %s; help lists them", *MaskConsoleLine(Name));
        return false;
    }
    return true;
}

bool Help(FZorHost&, const TCHAR* Args)
{
    if (FString(Args).TrimStartAndEnd().IsEmpty())
    {
        HelpAll();
        return true;
    }
    return HelpWord(Args);
}

bool Expect(FZorHost& Host, const TCHAR* Args)
{
    const FString Operation = FString(Args).TrimStartAndEnd();
    if (Operation.IsEmpty())
    {
        UE_LOG(LogHost, Warning, "usage: expect OPERATION");
        return false;
    }
    const std::optional<bool> Outcome = Host.GetLastOutcome(Operation);
    if (!Outcome && !IsHostOperation(Operation))
    {
        UE_LOG(LogHost, Error, "expect %s: no word reports an operation of that name; one of %s",
               *MaskConsoleLine(Operation), *ListHostOperations());
        return false;
    }
    if (!Outcome || !*Outcome)
    {
        UE_LOG(LogHost, Error, "expect %s: %s", *Operation, Outcome ? "it failed" : "it has not ended");
        return false;
    }
    UE_LOG(LogHost, Display, "expect %s: passed", *Operation);
    std::printf("passed: %s\n", *FLog::Escape(Operation));
    std::fflush(stdout);
    return true;
}

bool Quit(FZorHost& Host, const TCHAR*)
{
    Host.Quit();
    return true;
}

const FHostWord Words[] = {
    {"help", "help [WORD]", "lists these words, or shows one word's usage and the values it takes", &Help},
    {"wait", "wait SECONDS|OPERATION",
     "keeps ticking for SECONDS, or until no line awaits the end of an OPERATION it started, before the next "
     "line",
     &Wait},
    {"expect", "expect OPERATION",
     "fails the run unless OPERATION last succeeded (login, verify, exchange code, profile GrantItem, "
     "logout, ...)",
     &Expect},
    {"quit", "quit", "shuts the subsystem and the module down and ends", &Quit},
};
} // namespace

const FHostWordGroup& GetCoreHostWords()
{
    static const FHostWordGroup Group{Words, {}};
    return Group;
}
