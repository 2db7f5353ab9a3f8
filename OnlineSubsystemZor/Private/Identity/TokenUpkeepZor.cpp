#include "Identity/TokenUpkeepZor.h"

#include <algorithm>
#include <cmath>

double FTokenUpkeepZor::Backoff(int32 Failures, double MaxDelay)
{
    const double Doubled = FirstRetryDelay * std::ldexp(1.0, std::min(Failures, 31) - 1);
    return std::max(FirstRetryDelay, std::min(Doubled, MaxDelay));
}

void FTokenUpkeepZor::OnGranted(double ExpiresIn, double Threshold)
{
    RefreshDelay = ExpiresIn < Threshold ? std::max(MinRefreshDelay, ExpiresIn * 0.5) : 0.0;
    bLifetimeKnown = true;
}

void FTokenUpkeepZor::OnCheckFailed(double MaxDelay)
{
    CheckFailures = std::min(CheckFailures + 1, 1000);
    CheckDelay = Backoff(CheckFailures, MaxDelay);
}

void FTokenUpkeepZor::OnCheckPassed()
{
    CheckFailures = 0;
    CheckDelay = 0.0;
}

bool FTokenUpkeepZor::OnRefreshUnanswered(double MaxDelay)
{
    if (++UnansweredRefreshes >= MaxUnansweredRefreshes)
    {
        UnansweredRefreshes = 0;
        return false;
    }
    RefreshDelay = Backoff(UnansweredRefreshes, MaxDelay);
    return true;
}
