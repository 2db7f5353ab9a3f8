#include "HostFailures.h"

#include "Launch/ZorHost.h"

namespace
{
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

void FHostFailures::BeginLine(int32 Number, const FString& Shown)
{
    Lines.Add({Number, Shown, false, false});
    bLineRunning = true;
}

void FHostFailures::EndLine(bool bSucceeded)
{
    bLineRunning = false;
    if (bSucceeded)
    {
        return;
    }
    Lines.Last().bFailed = true;
    Lines.Last().bRefused = true;
}

void FHostFailures::Await(const FString& Operation, const FString& Subject, EHostAwait Kind)
{
    if (bLineRunning)
    {
        Awaited.Add({Operation, Subject, Kind, Lines.Num() - 1, LoginEra});
    }
}

void FHostFailures::OperationEnded(const FString& Operation, bool bSucceeded, const FString& Subject)
{
    const int32 Ended = bSucceeded ? INDEX_NONE : FindEndedLogin(Operation);
    if (Ended != INDEX_NONE)
    {
        Awaited[Ended].bAnswered = true;
        if (Awaited[Ended].Kind == EHostAwait::Once)
        {
            Awaited.RemoveAt(Ended);
        }
        return;
    }
    const int32 Index = FindAwaited(Operation, Subject);
    if (Index == INDEX_NONE)
    {
        // An event fired inside the running line's own call is that line's.
        if (!bSucceeded && bLineRunning && !bQuitting)
        {
            Lines.Last().bFailed = true;
        }
        else if (!bSucceeded && !bQuitting)
        {
            CountUnstarted(Operation);
        }
        return;
    }
    Awaited[Index].bAnswered = true;
    const FAwaited Entry = Awaited[Index];
    if (Entry.Kind == EHostAwait::Once)
    {
        Awaited.RemoveAt(Index);
    }
    const bool bCutShortUpkeep = bQuitting && Entry.Kind == EHostAwait::Upkeep;
    if (!bSucceeded && !bCutShortUpkeep)
    {
        Lines[Entry.Line].bFailed = true;
    }
}

template <typename FAccepts>
int32 FHostFailures::FindOnce(const FString& Operation, const FString& Subject, FAccepts Accepts) const
{
    const auto Once = [&](const FAwaited& Entry)
    {
        return Entry.Kind == EHostAwait::Once && Entry.Operation.Equals(Operation, ESearchCase::IgnoreCase) &&
               Accepts(Entry);
    };
    const int32 Named = Awaited.IndexOfByPredicate(
        [&](const FAwaited& Entry)
        { return Once(Entry) && Entry.Subject.Equals(Subject, ESearchCase::CaseSensitive); });
    return Named != INDEX_NONE ? Named : Awaited.IndexOfByPredicate(Once);
}

int32 FHostFailures::FindEndedLogin(const FString& Operation) const
{
    return Awaited.IndexOfByPredicate(
        [this, &Operation](const FAwaited& Entry)
        { return Entry.Era < LoginEra && Entry.Operation.Equals(Operation, ESearchCase::IgnoreCase); });
}

int32 FHostFailures::FindAwaited(const FString& Operation, const FString& Subject) const
{
    const int32 Running = Lines.Num() - 1;
    int32 Index = bLineRunning ? FindOnce(Operation, Subject,
                                          [Running](const FAwaited& Entry) { return Entry.Line == Running; })
                               : INDEX_NONE;
    // A line that failed at once may have started nothing, and would take the outcome of a later line.
    for (const bool bRefused : {false, true})
    {
        Index = Index != INDEX_NONE ? Index
                                    : FindOnce(Operation, Subject,
                                               [this, bRefused](const FAwaited& Entry)
                                               { return Lines[Entry.Line].bRefused == bRefused; });
    }
    for (int32 Latest = Awaited.Num() - 1; Index == INDEX_NONE && Latest >= 0; --Latest)
    {
        if (Awaited[Latest].Operation.Equals(Operation, ESearchCase::IgnoreCase))
        {
            Index = Latest;
        }
    }
    return Index;
}

bool FHostFailures::IsAwaiting(const FString& Operation) const
{
    for (int32 Index = Awaited.Num() - 1; Index >= 0; --Index)
    {
        const FAwaited& Entry = Awaited[Index];
        if (!Lines[Entry.Line].bRefused && Entry.Operation.Equals(Operation, ESearchCase::IgnoreCase))
        {
            return Entry.Kind == EHostAwait::Once || !Entry.bAnswered;
        }
    }
    return false;
}

void FHostFailures::BeginQuit()
{
    bQuitting = true;
}

void FHostFailures::EndQuit()
{
    for (const FAwaited& Entry : Awaited)
    {
        Lines[Entry.Line].bFailed |= Entry.Kind == EHostAwait::Once;
    }
    Awaited.Empty();
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
    if (NumFailedLines() > 0)
    {
        UE_LOG(LogHost, Error, "%d console lines or the operations they started failed:", NumFailedLines());
    }
    for (const FRanLine& Line : Lines)
    {
        if (Line.bFailed)
        {
            UE_LOG(LogHost, Error, "  line %d: %s", Line.Number, *Line.Shown);
        }
    }
    int32 UnstartedCount = 0;
    for (const FUnstartedFailures& Entry : Unstarted)
    {
        UnstartedCount += Entry.Count;
    }
    if (UnstartedCount > 0)
    {
        UE_LOG(LogHost, Error, "%s operations that no line started failed:", *WithThousands(UnstartedCount));
    }
    for (const FUnstartedFailures& Entry : Unstarted)
    {
        UE_LOG(LogHost, Error, "  %s: %s", *Entry.Operation, *WithThousands(Entry.Count));
    }
}
