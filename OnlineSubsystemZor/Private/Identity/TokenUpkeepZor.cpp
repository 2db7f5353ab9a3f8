#include "Identity/TokenUpkeepZor.h"

#include <algorithm>
#include <cmath>

double FTokenUpkeepZor::Backoff(int32 Failures, double MaxDelay)
{
    const double Doubled = FirstRetryDelay * std::ldexp(1.0, std::min(Failures, 31) - 1);
    return std::max(FirstRetryDelay, std::min(Doubled, MaxDelay));
}

double FTokenUpkeepZor::RenewalDelay(double ExpiresIn)
{
    return std::max(MinRefreshDelay, ExpiresIn * 0.5);
}

void FTokenUpkeepZor::OnGranted(double ExpiresIn)
{
    RefreshDelay = RenewalDelay(ExpiresIn);
    bLifetimeKnown = true;
}

void FTokenUpkeepZor::OnLifetimeCut(double ExpiresIn)
{
    RefreshDelay = std::min(RefreshDelay, RenewalDelay(ExpiresIn));
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
