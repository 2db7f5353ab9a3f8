#pragma once

#include "CoreMinimal.h"

/**
 * The console lines that ran and which of them failed: at once, or through an operation they started. A line
 * counts once however many of its operations fail, so the count is that of the lines listed. Operations that
 * no line started are counted by name, so a driver's thousands of failures take one line each.
 */
class FHostFailures
{
public:
    /** Notes a line about to run; Shown is its text with its secrets masked, as the echo shows it. */
    void BeginLine(int32 Number, const FString& Text, const FString& Shown);
    /** The line that began last has run; it failed at once unless bSucceeded. */
    void EndLine(bool bSucceeded);
    /**
     * Operation ended. It belongs to the line running now when that line starts one such, else to the oldest
     * line that starts one, was given Subject and has had no outcome of it yet, so that lines of one word and
     * subject take their outcomes in turn; else to the latest line that starts one (one given Subject first).
     * A failure with no such line is the running line's, else counted as started by none.
     */
    void OperationEnded(const FString& Operation, bool bSucceeded, const FString& Subject = FString());
    /** Whether the latest line that started Operation, not failing at once, still waits for its outcome. */
    bool IsAwaiting(const FString& Operation) const;
    /** Quitting cuts short what is still running; what fails from now on fails no line. */
    void BeginQuit();

    /** Failed lines, and operations that no line started that failed. */
    int32 Num() const;
    /** Logs the count of failed lines, each of them, then each operation no line started with its count. */
    void LogSummary() const;

private:
    struct FRanLine
    {
        int32 Number;
        FString Text;
        FString Shown;
        bool bFailed = false;
        /** Failed at once, so it started nothing that can end later. */
        bool bRefused = false;
        /** The operations it started whose outcome has come. */
        TArray<FString> Answered;
    };

    struct FUnstartedFailures
    {
        FString Operation;
        int32 Count = 0;
    };

    /** The line Operation given Subject belongs to, as OperationEnded tells; null when none starts one. */
    FRanLine* FindOwner(const FString& Operation, const FString& Subject);
    /** The oldest line starting StartedBy, given Subject, still waiting for Operation's outcome. */
    FRanLine* FindWaiting(const FString& Operation, const FString& StartedBy, const FString& Subject);
    /** The latest line starting StartedBy, one given Subject first; null when none. */
    FRanLine* FindLatest(const FString& StartedBy, const FString& Subject);
    void CountUnstarted(const FString& Operation);
    int32 NumFailedLines() const;

    TArray<FRanLine> Lines;
    bool bLineRunning = false;
    bool bQuitting = false;
    TArray<FUnstartedFailures> Unstarted;
};
