#include "Core/Ticker.h"

#include <algorithm>

FTSTicker& FTSTicker::GetCoreTicker()
{
    static FTSTicker CoreTicker;
    return CoreTicker;
}

FDelegateHandle FTSTicker::AddTicker(const FTickerDelegate& Delegate, float Delay)
{
    if (!Delegate.IsBound())
    {
        return FDelegateHandle();
    }
    auto Entry = std::make_shared<FEntry>();
    Entry->Delegate = Delegate;
    Entry->Handle = FDelegateHandle::New();
    Entry->Delay = std::max(0.0f, Delay);
    std::lock_guard Guard(Mutex);
    Entry->LastFireTime = CurrentTime;
    Entries.push_back(Entry);
    return Entry->Handle;
}

void FTSTicker::RemoveTicker(FDelegateHandle Handle)
{
    std::lock_guard Guard(Mutex);
    auto Found = std::find_if(Entries.begin(), Entries.end(),
                              [&](const auto& Entry) { return Entry->Handle == Handle; });
    if (Found != Entries.end())
    {
        (*Found)->bRemoved = true;
        Entries.erase(Found);
    }
}

void FTSTicker::Tick(float DeltaTime)
{
    double Now = 0.0;
    for (const std::shared_ptr<FEntry>& Entry : CollectDue(Now, DeltaTime))
    {
        double Elapsed = 0.0;
        {
            std::lock_guard Guard(Mutex);
            if (Entry->bRemoved)
            {
                continue;
            }
            Elapsed = Now - Entry->LastFireTime;
        }
        // Called without the lock so that the delegate may add or remove tickers.
        const bool bKeep = Entry->Delegate.Execute(static_cast<float>(Elapsed));
        if (!bKeep)
        {
            RemoveEntry(Entry);
            continue;
        }
        std::lock_guard Guard(Mutex);
        Entry->LastFireTime = Now;
    }
}

std::vector<std::shared_ptr<FTSTicker::FEntry>> FTSTicker::CollectDue(double& OutNow, float DeltaTime)
{
    std::lock_guard Guard(Mutex);
    CurrentTime += std::max(0.0f, DeltaTime);
    OutNow = CurrentTime;
    std::vector<std::shared_ptr<FEntry>> Due;
    for (const std::shared_ptr<FEntry>& Entry : Entries)
    {
        if (CurrentTime - Entry->LastFireTime >= Entry->Delay)
        {
            Due.push_back(Entry);
        }
    }
    return Due;
}

void FTSTicker::RemoveEntry(const std::shared_ptr<FEntry>& Entry)
{
    std::lock_guard Guard(Mutex);
    Entry->bRemoved = true;
    std::erase(Entries, Entry);
}

FTickerObjectBase::FTickerObjectBase(float InDelay, FTSTicker& InTicker) : Ticker(InTicker)
{
    TickHandle = Ticker.AddTicker(FTickerDelegate::CreateRaw(this, &FTickerObjectBase::CallTick), InDelay);
}

FTickerObjectBase::~FTickerObjectBase()
{
    Ticker.RemoveTicker(TickHandle);
}
