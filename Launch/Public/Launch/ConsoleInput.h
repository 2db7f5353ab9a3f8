#pragma once

#include <atomic>
#include <deque>
#include <string>
#include <thread>

#include "Core/CriticalSection.h"
#include "CoreMinimal.h"

/** A console line and its number in the input, counting the lines that were dropped. */
struct FConsoleLine
{
    int32 Number = 0;
    FString Text;
};

/**
 * Console lines read from a file descriptor on a thread of their own, so that the game loop only ever looks
 * at a queue. Lines are trimmed and lose their control characters (a Ctrl-L typed at the prompt is no part of
 * a word); blank lines and lines starting with '#' are dropped.
 */
class FConsoleInput
{
public:
    /** Starts reading at once; the descriptor is closed at the end when bOwnsDescriptor. */
    FConsoleInput(int InDescriptor, bool bInOwnsDescriptor);
    /** Stops the reader (it checks for that between waits) and waits for it. */
    ~FConsoleInput();
    FConsoleInput(const FConsoleInput&) = delete;
    FConsoleInput& operator=(const FConsoleInput&) = delete;

    /** Reads standard input. */
    static TUniquePtr<FConsoleInput> FromStandardInput();
    /** Reads a script file; null with OutError when it cannot be opened. */
    static TUniquePtr<FConsoleInput> FromFile(const FString& Path, FString& OutError);

    /** The oldest unread line; false when none is waiting. */
    bool TryPop(FConsoleLine& OutLine);
    /** True once the input has ended and every line has been taken. */
    bool IsExhausted();

private:
    void ReadLoop();
    /** Queues every whole line in Pending, keeping the unfinished rest. */
    void QueueWholeLines(std::string& Pending);
    void QueueLine(const std::string_view Line);

    int Descriptor;
    bool bOwnsDescriptor;
    std::atomic<bool> bStopRequested{false};

    FCriticalSection QueueLock;
    std::deque<FConsoleLine> Lines;
    /** Lines read so far; the reader's alone. */
    int32 LinesRead = 0;
    bool bEnded = false;

    std::thread Reader;
};
