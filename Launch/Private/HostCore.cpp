#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "Core/Parse.h"
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

bool Wait(FZorHost& Host, const TCHAR* Args)
{
    FString Token;
    double Seconds = 0.0;
    if (!FParse::Token(Args, Token, false) || !ParseSeconds(Token, Seconds))
    {
        UE_LOG(LogHost, Warning, "usage: wait SECONDS");
        return false;
    }
    Host.WaitFor(Seconds);
    return true;
}

bool Help(FZorHost&, const TCHAR*)
{
    UE_LOG(LogHost, Display, "Host words:");
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            UE_LOG(LogHost, Display, "  %-34s %s", Word.Usage, Word.Summary);
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
    return true;
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
    FString StartedBy;
    if (!Outcome && !FindOperationStarter(Operation, StartedBy))
    {
        UE_LOG(LogHost, Error, "expect %s: no word reports an operation of that name; one of %s", *Operation,
               *ListHostOperations());
        return false;
    }
    if (!Outcome || !*Outcome)
    {
        UE_LOG(LogHost, Error, "expect %s: %s", *Operation, Outcome ? "it failed" : "it has not ended");
        return false;
    }
    UE_LOG(LogHost, Display, "expect %s: passed", *Operation);
    std::printf("passed: %s\n", *Operation);
    std::fflush(stdout);
    return true;
}

bool Quit(FZorHost& Host, const TCHAR*)
{
    Host.Quit();
    return true;
}

const FHostWord Words[] = {
    {"help", "help", "lists these words", &Help},
    {"wait", "wait SECONDS", "keeps ticking for SECONDS before the next line", &Wait},
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
