#include "HostTerminal.h"

#include <cstdio>
#include <unistd.h>

namespace
{
constexpr const char* Prompt = "zorhost> ";
/** Back to the start of the line, and the line cleared. */
constexpr const char* ClearLine = "\r\033[K";
/** Continuation lines of an entry start so, so that none reads as an entry of its own. */
constexpr const char* ContinuationIndent = "    ";

FString FormatEntry(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
{
    // Entries carry text from services, files and the command line (names, bodies, error texts): a control
    // in it would drive the terminal (set its title, move the cursor, colour earlier lines).
    const FString Lines = FLog::Escape(Message.Replace("\r\n", "\n", ESearchCase::CaseSensitive)
                                           .Replace("\r", "\n", ESearchCase::CaseSensitive))
                              .Replace("\n", FString("\n") + ContinuationIndent, ESearchCase::CaseSensitive);
    return FLog::FormatLine(Category, Verbosity, FString()) + Lines;
}
} // namespace

void FHostTerminal::EnablePrompt()
{
    std::lock_guard Guard(Lock);
    bPrompts = true;
    bClearsLine = isatty(STDOUT_FILENO) == 1;
}

void FHostTerminal::WriteEntry(const FLogCategory& Category, ELogVerbosity::Type Verbosity,
                               const FString& Message)
{
    std::lock_guard Guard(Lock);
    if (bPromptShown)
    {
        std::fputs(bClearsLine ? ClearLine : "\n", stdout);
        std::fflush(stdout);
    }
    std::fprintf(stderr, "%s\n", *FormatEntry(Category, Verbosity, Message));
    if (bPromptShown)
    {
        std::fputs(Prompt, stdout);
        std::fflush(stdout);
    }
}

void FHostTerminal::ShowPrompt()
{
    std::lock_guard Guard(Lock);
    if (!bPrompts || bPromptShown)
    {
        return;
    }
    std::fputs(Prompt, stdout);
    std::fflush(stdout);
    bPromptShown = true;
}

void FHostTerminal::LineTaken()
{
    std::lock_guard Guard(Lock);
    bPromptShown = false;
}
