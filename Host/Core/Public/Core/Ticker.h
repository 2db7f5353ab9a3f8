#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "Core/Delegate.h"

DECLARE_DELEGATE_RetVal_OneParam(bool, FTickerDelegate, float);

/**
 * Calls delegates from Tick, each at most once per Tick and no sooner than its delay after its previous call.
 * A delegate returning false is removed. Tickers may be added and removed from any thread, and from inside a
 * ticker (itself included): one added during Tick is first called by the next Tick, one removed is not called
 * again.
 */
class FTSTicker
{
public:
    /** The ticker the host loop ticks every frame on the game thread. */
    static FTSTicker& GetCoreTicker();

    FTSTicker() = default;
    FTSTicker(const FTSTicker&) = delete;
    FTSTicker& operator=(const FTSTicker&) = delete;

    /** Delay in seconds between calls (0: every Tick). An unbound delegate is not added (invalid handle). */
    FDelegateHandle AddTicker(const FTickerDelegate& Delegate, float Delay = 0.0f);
    void RemoveTicker(FDelegateHandle Handle);
    /** Each delegate receives the seconds since it was last called (or added). */
    void Tick(float DeltaTime);

private:
    struct FEntry
    {
        FTickerDelegate Delegate;
        FDelegateHandle Handle;
        double Delay = 0.0;
        double LastFireTime = 0.0;
        bool bRemoved = false;
    };

    std::vector<std::shared_ptr<FEntry>> CollectDue(double& OutNow, float DeltaTime);
    void RemoveEntry(const std::shared_ptr<FEntry>& Entry);

    std::mutex Mutex;
    std::vector<std::shared_ptr<FEntry>> Entries;
    double CurrentTime = 0.0;
};

/** An object ticked by a ticker from its construction until its destruction. */
class FTickerObjectBase
{
public:
    explicit FTickerObjectBase(float InDelay = 0.0f, FTSTicker& InTicker = FTSTicker::GetCoreTicker());
    virtual ~FTickerObjectBase();
    FTickerObjectBase(const FTickerObjectBase&) = delete;
    FTickerObjectBase& operator=(const FTickerObjectBase&) = delete;

    /** Returning false stops the ticking. */
    virtual bool Tick(float DeltaTime) = 0;

private:
    bool CallTick(float DeltaTime) { return Tick(DeltaTime); }

    FTSTicker& Ticker;
    FDelegateHandle TickHandle;
};
