#include "HostFailures.h"

#include "Core/Parse.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"

namespace
{
/**
 * True when Line starts an operation with StartedBy and, when Subject is given, a later word of it is
 * Subject, letter for letter.
 */
bool LineStarts(const FString& Line, const FString& StartedBy, const FString& Subject)
{
    const TCHAR* Rest = nullptr;
    if (!LineStartsWith(Line, StartedBy, &Rest))
    {
        return false;
    }
    FString Word;
    while (!Subject.IsEmpty() && FParse::Token(Rest, Word, false))
    {
        if (Word.Equals(Subject, ESearchCase::CaseSensitive))
        {
            return true;
        }
    }
    return Subject.IsEmpty();
}

/** 19902 as "19,902". */
FString WithThousands(int32 Count)
{
    FString Digits = FString::Printf("%d", Count);
    FString Grouped;
    for (int32 Index = 0; Index < Digits.Len(); ++Index)
    {
        if (Index > 0 && (Digits.Len() - Index) % 3 == 0)
        {
            Grouped += ",";
        }
        Grouped.AppendChar((*Digits)[Index]);
    }
    return Grouped;
}
} // namespace

void FHostFailures::BeginLine(int32 Number, const FString& Text, const FString& Shown)
{
    Lines.Add({Number, Text, Shown, false, false, {}});
    bLineRunning = true;
}

void FHostFailures::EndLine(bool bSucceeded)
{
    bLineRunning = false;
    if (!bSucceeded)
    {
        Lines.Last().bFailed = true;
        Lines.Last().bRefused = true;
    }
}

void FHostFailures::OperationEnded(const FString& Operation, bool bSucceeded, const FString& Subject)
{
    if (bQuitting)
    {
        return;
    }
    FRanLine* Line = FindOwner(Operation, Subject);
    if (bSucceeded)
    {
        return;
    }
    // One that no line starts, reported while a line runs, is that line's (a TEST word's, say).
    Line = Line ? Line : (bLineRunning ? &Lines.Last() : nullptr);
    if (Line)
    {
        Line->bFailed = true;
        return;
    }
    CountUnstarted(Operation);
}

bool FHostFailures::IsAwaiting(const FString& Operation) const
{
    FString StartedBy;
    if (!FindOperationStarter(Operation, StartedBy))
    {
        return false;
    }
    for (int32 Index = Lines.Num() - 1; Index >= 0; --Index)
    {
        const FRanLine& Line = Lines[Index];
        if (!Line.bRefused && LineStartsWith(Line.Text, StartedBy))
        {
            return !Line.Answered.Contains(Operation);
        }
    }
    return false;
}

void FHostFailures::BeginQuit()
{
    bQuitting = true;
}

FHostFailures::FRanLine* FHostFailures::FindOwner(const FString& Operation, const FString& Subject)
{
    FString StartedBy;
    if (!FindOperationStarter(Operation, StartedBy))
    {
        return nullptr;
    }
    // An event fired inside the call that a line made is that line's.
    FRanLine* Line = bLineRunning && LineStarts(Lines.Last().Text, StartedBy, Subject)
                         ? &Lines.Last()
                         : FindWaiting(Operation, StartedBy, Subject);
    if (Line)
    {
        Line->Answered.Add(Operation);
        return Line;
    }
    return FindLatest(StartedBy, Subject);
}

FHostFailures::FRanLine* FHostFailures::FindWaiting(const FString& Operation, const FString& StartedBy,
                                                    const FString& Subject)
{
    for (FRanLine& Line : Lines)
    {
        if (!Line.bRefused && !Line.Answered.Contains(Operation) && LineStarts(Line.Text, StartedBy, Subject))
        {
            return &Line;
        }
    }
    return nullptr;
}

FHostFailures::FRanLine* FHostFailures::FindLatest(const FString& StartedBy, const FString& Subject)
{
    FRanLine* Latest = nullptr;
    for (int32 Index = Lines.Num() - 1; Index >= 0; --Index)
    {
        if (LineStarts(Lines[Index].Text, StartedBy, Subject))
        {
            return &Lines[Index];
        }
        if (!Latest && LineStartsWith(Lines[Index].Text, StartedBy))
        {
            Latest = &Lines[Index];
        }
    }
    return Latest;
}

void FHostFailures::CountUnstarted(const FString& Operation)
{
    for (FUnstartedFailures& Entry : Unstarted)
    {
        if (Entry.Operation == Operation)
        {
            ++Entry.Count;
            return;
        }
    }
    Unstarted.Add({Operation, 1});
}

int32 FHostFailures::NumFailedLines() const
{
    int32 Count = 0;
    for (const FRanLine& Line : Lines)
    {
        Count += Line.bFailed;
    }
    return Count;
}

int32 FHostFailures::Num() const
{
    return NumFailedLines() + Unstarted.Num();
}

void FHostFailures::LogSummary() const
{
    UE_LOG(LogHost, Error, "%d console lines or the operations they started failed:", NumFailedLines());
    for (const FRanLine& Line : Lines)
    {
        if (Line.bFailed)
        {
            UE_LOG(LogHost, Error, "  line %d: %s", Line.Number, *Line.Shown);
        }
    }
    for (const FUnstartedFailures& Entry : Unstarted)
    {
        UE_LOG(LogHost, Error, "  %s: %s failed, none started by a line", *Entry.Operation,
               *WithThousands(Entry.Count));
    }
}
