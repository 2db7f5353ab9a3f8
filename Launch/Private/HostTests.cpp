#include "Core/Parse.h"
#include "HostFailures.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"

namespace
{
/**
 * A step the driver always takes. A driver also takes the step again on another caller's outcome of it, so
 * any further outcomes are its too.
 */
void AwaitStep(FZorHost& Host, const TCHAR* Operation)
{
    Host.AwaitOutcome(Operation);
    Host.AwaitOutcomes(Operation, EHostAwait::Steps);
}

/** The driver of QUERYMAPPINGS finds the user only when it is given a name. */
void AwaitMappings(FZorHost& Host, const TCHAR* Args)
{
    FString Name;
    AwaitStep(Host, "mapping query");
    Host.AwaitOutcomes("mapping find", EHostAwait::Steps);
    if (FParse::Token(Args, Name, false))
    {
        Host.AwaitOutcome("mapping find");
    }
}

void AwaitBuildInfo(FZorHost& Host, const TCHAR*)
{
    Host.AwaitOutcome("builds");
    Host.AwaitOutcome("selfpatch");
}

/** One download per build the answer lists, and none when it lists none. */
void AwaitBuildInfoV2(FZorHost& Host, const TCHAR*)
{
    AwaitStep(Host, "selfpatch2");
    AwaitStep(Host, "builds2");
    Host.AwaitOutcomes("download2", EHostAwait::Steps);
}

void AwaitCatalog(FZorHost& Host, const TCHAR*)
{
    for (const TCHAR* Operation :
         {"catalog categories", "catalog currencies", "catalog items", "catalog offers"})
    {
        AwaitStep(Host, Operation);
    }
}

/** Each step after the first runs only when the one before found what it needs. */
void AwaitPurchase(FZorHost& Host, const TCHAR*)
{
    AwaitStep(Host, "catalog offers");
    for (const TCHAR* Operation : {"order create", "orders list", "billing default", "order checkout"})
    {
        Host.AwaitOutcomes(Operation, EHostAwait::Steps);
    }
}

// The exercise drivers log each step to LogOnline as they go and end by themselves.
const FHostTestWord TestWords[] = {
    {"QUERYMAPPINGS [NAME]", "lists local user 0's external accounts, then finds the user of NAME",
     &AwaitMappings},
    {"BUILDINFO LABEL",
     "asks for local user 0's builds and the launcher's build on Windows (no report; Live)", &AwaitBuildInfo},
    {"BUILDINFOV2 LABEL", "asks for the launcher's build, local user 0's builds and each one's download",
     &AwaitBuildInfoV2},
    {"CATALOG NAMESPACE", "lists the categories, currencies, and the namespace's (qx) items and offers",
     &AwaitCatalog},
    {"PURCHASE OFFERID", "orders an offer of namespace qx (qx-offer-sword, ...) for local user 0 and pays it",
     &AwaitPurchase},
};
} // namespace

const FHostWordGroup& GetTestHostWords()
{
    static const FHostWordGroup Group{{}, TestWords, nullptr};
    return Group;
}
