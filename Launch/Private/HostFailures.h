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
     * Operation ended in failure. It is the latest line's that starts one such and was given Subject (a file,
     * session or user; any such line when Subject is empty or no line names it), else the line running now.
     */
    void OperationFailed(const FString& Operation, const FString& Subject = FString());
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
    };

    struct FUnstartedFailures
    {
        FString Operation;
        int32 Count = 0;
    };

    /** The latest line that starts Operation, one given Subject first; null when none does. */
    FRanLine* FindStarter(const FString& Operation, const FString& Subject);
    void CountUnstarted(const FString& Operation);
    int32 NumFailedLines() const;

    TArray<FRanLine> Lines;
    bool bLineRunning = false;
    bool bQuitting = false;
    TArray<FUnstartedFailures> Unstarted;
};
