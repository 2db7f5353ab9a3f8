#include "Tests/ZorDriverSteps.h"

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
        bStarted = StartStep();
    } while (bStarted && bAnsweredInside);
    bRunning = false;
    return bStarted;
}
