#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Online/OnlineTimeInterface.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
IOnlineTimePtr GetTime(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetTimeInterface() : nullptr;
}

bool TimeWord(FZorHost& Host, const TCHAR*)
{
    const IOnlineTimePtr Time = GetTime(Host);
    if (!Time)
    {
        UE_LOG(LogHost, Warning, "time: there is no time service");
        return false;
    }
    Host.AwaitOutcome("time");
    return Time->QueryServerUtcTime();
}

void BindEvents(FZorHost& Host)
{
    const IOnlineTimePtr Time = GetTime(Host);
    if (!Time)
    {
        return;
    }
    Time->AddOnQueryServerUtcTimeCompleteDelegate(FOnQueryServerUtcTimeCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FString& DateTime, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryServerUtcTimeComplete bWasSuccessful=%d DateTime=%s Error=%s",
                   bWasSuccessful, *ZorLogText::Error(DateTime), *ZorLogText::Error(Error));
            Host.ReportOutcome("time", bWasSuccessful);
        }));
}

const FHostWord Words[] = {
    {"time", "time", "asks the game service for its UTC time", &TimeWord},
};
const FHostOperation Operations[] = {
    {"time"},
};
} // namespace

const FHostWordGroup& GetTimeHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
