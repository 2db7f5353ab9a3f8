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

/**
 * Entries carry text from services and files (names, bodies, error texts): a control byte in it would drive
 * the terminal (set its title, move the cursor, colour earlier lines), so each shows as \xNN instead. Line
 * breaks and tabs only lay text out; C1 controls count too, written as UTF-8 (C2 80 to C2 9F).
 */
FString EscapeControls(const FString& Text)
{
    FString Shown;
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        const uint8 Byte = static_cast<uint8>(Text[Index]);
        const uint8 Next = Index + 1 < Text.Len() ? static_cast<uint8>(Text[Index + 1]) : 0;
        if (Byte == 0xC2 && Next >= 0x80 && Next <= 0x9F)
        {
            Shown += FString::Printf("\\xc2\\x%02x", Next);
            ++Index;
        }
        else if ((Byte < 0x20 && Byte != '\n' && Byte != '\t') || Byte == 0x7F)
        {
            Shown += FString::Printf("\\x%02x", Byte);
        }
        else
        {
            Shown.AppendChar(Text[Index]);
        }
    }
    return Shown;
}

FString FormatEntry(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
{
    const FString Lines = EscapeControls(Message.Replace("\r\n", "\n", ESearchCase::CaseSensitive)
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
