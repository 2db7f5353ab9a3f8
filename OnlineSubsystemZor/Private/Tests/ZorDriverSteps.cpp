#include "Tests/ZorDriverSteps.h"

#include "Subsystem/OnlineSubsystemZor.h"

bool FZorDriverSteps::OwnerHolds() const
{
    if (Owner.StillHolds())
    {
        return true;
    }
    UE_LOG_ONLINE(Verbose, "Test steps dropped: the login or the subsystem run they began under has ended.");
    return false;
}

bool FZorDriverSteps::Run(const TFunction<bool()>& StartStep)
{
    if (bRunning)
    {
        bAnsweredInside = true;
        return true;
    }
    bRunning = true;
    bool bStarted = true;
    do
    {
        bAnsweredInside = false;
        bStarted = OwnerHolds() && StartStep();
    } while (bStarted && bAnsweredInside);
    bRunning = false;
    return bStarted;
}
