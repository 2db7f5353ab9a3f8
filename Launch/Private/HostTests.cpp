#include "HostWords.h"

namespace
{
// The exercise drivers log each step to LogOnline as they go and end by themselves.
const FHostTestWord TestWords[] = {
    {"QUERYMAPPINGS [NAME]", "lists local user 0's external accounts, then finds the user of NAME"},
    {"BUILDINFO LABEL",
     "asks for local user 0's builds and the launcher's build on Windows (no report; Live)"},
    {"BUILDINFOV2 LABEL", "asks for the launcher's build, local user 0's builds and each one's download"},
    {"CATALOG NAMESPACE", "lists the categories, currencies, and the namespace's (qx) items and offers"},
    {"PURCHASE OFFERID",
     "orders an offer of namespace qx (qx-offer-sword, ...) for local user 0 and pays it"},
};
} // namespace

const FHostWordGroup& GetTestHostWords()
{
    static const FHostWordGroup Group{{}, TestWords, nullptr};
    return Group;
}
