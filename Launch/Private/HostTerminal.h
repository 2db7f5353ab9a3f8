#pragma once

#include <mutex>

#include "Core/Log.h"
#include "CoreMinimal.h"

/**
 * What the host writes: log entries on standard error, the prompt on standard output. An entry that arrives
 * while the prompt waits is written in its place, and the prompt drawn again below it; entries come from any
 * thread.
 */
class FHostTerminal
{
public:
    /** Standard input is a terminal: the host prompts for lines. */
    void EnablePrompt();
    /** Writes a log entry; line breaks of its own (pretty JSON, reply bodies) start indented lines. */
    void WriteEntry(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message);
    /** Shows the prompt unless it shows already. */
    void ShowPrompt();
    /** A line was taken: what follows starts a line of its own. */
    void LineTaken();

private:
    std::mutex Lock;
    bool bPrompts = false;
    bool bPromptShown = false;
    /** Standard output is a terminal, so the prompt's line can be cleared. */
    bool bClearsLine = false;
};
