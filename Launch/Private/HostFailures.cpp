#include "HostFailures.h"

#include "HostWords.h"
#include "Launch/ZorHost.h"

void FHostFailures::BeginLine(int32 Number, const FString& Text, const FString& Shown)
{
    Lines.Add({Number, Text, Shown});
    bLineRunning = true;
}

void FHostFailures::EndLine(bool bSucceeded)
{
    bLineRunning = false;
    if (!bSucceeded)
    {
        Lines.Last().bFailed = true;
    }
}

void FHostFailures::OperationFailed(const FString& Operation)
{
    // One that no line starts, reported while a line runs, is that line's (a TEST word's, say); quitting ends
    // operations that earlier lines started.
    FRanLine* Line = FindStarter(Operation);
    Line = Line ? Line : (bLineRunning ? &Lines.Last() : nullptr);
    if (Line)
    {
        Line->bFailed = true;
        return;
    }
    OperationsWithoutLine.Add(Operation);
}

FHostFailures::FRanLine* FHostFailures::FindStarter(const FString& Operation)
{
    FString StartedBy;
    if (!FindOperationStarter(Operation, StartedBy))
    {
        return nullptr;
    }
    for (int32 Index = Lines.Num() - 1; Index >= 0; --Index)
    {
        if (LineStartsWith(Lines[Index].Text, StartedBy))
        {
            return &Lines[Index];
        }
    }
    return nullptr;
}

int32 FHostFailures::Num() const
{
    int32 Count = OperationsWithoutLine.Num();
    for (const FRanLine& Line : Lines)
    {
        Count += Line.bFailed;
    }
    return Count;
}

void FHostFailures::LogSummary() const
{
    UE_LOG(LogHost, Error, "%d console lines or the operations they started failed:", Num());
    for (const FRanLine& Line : Lines)
    {
        if (Line.bFailed)
        {
            UE_LOG(LogHost, Error, "  line %d: %s", Line.Number, *Line.Shown);
        }
    }
    for (const FString& Operation : OperationsWithoutLine)
    {
        UE_LOG(LogHost, Error, "  %s, which no console line started", *Operation);
    }
}
