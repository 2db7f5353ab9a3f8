#pragma once

#include "CoreMinimal.h"

/**
 * The console lines that ran and which of them failed: at once, or through an operation they started. A line
 * counts once however many of its operations fail, so the count is that of the lines listed.
 */
class FHostFailures
{
public:
    /** Notes a line about to run; Shown is its text with its secrets masked, as the echo shows it. */
    void BeginLine(int32 Number, const FString& Text, const FString& Shown);
    /** The line that began last has run; it failed at once unless bSucceeded. */
    void EndLine(bool bSucceeded);
    /** Operation ended in failure: the latest line that starts one such failed, else the line running now. */
    void OperationFailed(const FString& Operation);

    /** Failed lines, and failed operations that no line started. */
    int32 Num() const;
    /** Logs the count and then each failure. */
    void LogSummary() const;

private:
    struct FRanLine
    {
        int32 Number;
        FString Text;
        FString Shown;
        bool bFailed = false;
    };

    /** The latest line that starts Operation; null when none does. */
    FRanLine* FindStarter(const FString& Operation);

    TArray<FRanLine> Lines;
    bool bLineRunning = false;
    TArray<FString> OperationsWithoutLine;
};
