#pragma once

#include "CoreMinimal.h"

/** How a console line waits for the outcomes of an operation it started. */
enum class EHostAwait : uint8
{
    /** One outcome; the line fails when the run ends (quit, end of script) without it. */
    Once,
    /** Any number of outcomes, none included: the steps of a subsystem driver. */
    Steps,
    /** Any number: what the module does on its own after the line (token checks); quitting cuts it short
       harmlessly. */
    Upkeep,
};

/**
 * The console lines that ran and which of them failed: at once, or through an operation they started. A word
 * names each operation as it starts it, so an outcome finds its line without reading the line again. A line
 * counts once however many of its operations fail. Operations that no line started are counted by name, so a
 * driver's thousands of failures take one line each.
 */
class FHostFailures
{
public:
    /** Notes a line about to run; Shown is its text with its secrets masked, as the echo shows it. */
    void BeginLine(int32 Number, const FString& Shown);
    /** The line that began last has run; it failed at once unless bSucceeded, and then awaits nothing. */
    void EndLine(bool bSucceeded);
    /** The running line started Operation, given Subject (a file, session or friend) when it names one. */
    void Await(const FString& Operation, const FString& Subject, EHostAwait Kind);
    /**
     * Operation ended: it is the running line's when that line awaits it once (an event fired inside its
     * call), else the oldest line's that awaits it once given Subject (letter for letter), else given
     * anything (lines that failed at once last), else the latest line's whose steps or upkeep include it. A
     * failure with no such line is the running line's, else counted as started by none.
     */
    void OperationEnded(const FString& Operation, bool bSucceeded, const FString& Subject = FString());
    /**
     * Whether the latest line that started Operation, not failing at once, still awaits it: its one outcome,
     * or a first one of its steps or upkeep.
     */
    bool IsAwaiting(const FString& Operation) const;
    /**
     * The user's login ended: what the lines run so far still await of it ends unsuccessfully, cut short as
     * quitting cuts upkeep, and such an outcome fails no line, least of all a later one.
     */
    void LoginEnded() { ++LoginEra; }
    /** Quitting cuts short what is still running: upkeep fails nothing from now on. */
    void BeginQuit();
    /** Quitting is done: a line still awaiting an outcome once failed. */
    void EndQuit();

    /** Failed lines, and operations that no line started that failed. */
    int32 Num() const;
    /** Logs the failed lines under their count, then the operations no line started under theirs. */
    void LogSummary() const;

private:
    struct FRanLine
    {
        int32 Number;
        FString Shown;
        bool bFailed = false;
        /** Failed at once: what it awaits once may never come, so others awaiting the same go first. */
        bool bRefused = false;
    };

    struct FAwaited
    {
        FString Operation;
        FString Subject;
        EHostAwait Kind;
        /** Index into Lines. */
        int32 Line;
        /** How many logins had ended when the line started it. */
        int32 Era = 0;
        bool bAnswered = false;
    };

    struct FUnstartedFailures
    {
        FString Operation;
        int32 Count = 0;
    };

    /** The index of the entry that Operation's outcome given Subject belongs to; INDEX_NONE when none. */
    int32 FindAwaited(const FString& Operation, const FString& Subject) const;
    /** The oldest entry awaiting Operation once that Accepts takes, one given Subject first. */
    template <typename FAccepts>
    int32 FindOnce(const FString& Operation, const FString& Subject, FAccepts Accepts) const;
    /** The oldest entry awaiting Operation for a login that has ended since; INDEX_NONE when none. */
    int32 FindEndedLogin(const FString& Operation) const;
    void CountUnstarted(const FString& Operation);
    int32 NumFailedLines() const;

    TArray<FRanLine> Lines;
    /** Oldest first. */
    TArray<FAwaited> Awaited;
    bool bLineRunning = false;
    bool bQuitting = false;
    int32 LoginEra = 0;
    TArray<FUnstartedFailures> Unstarted;
};
