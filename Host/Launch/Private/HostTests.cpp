#include "HostWords.h"

namespace
{
// The exercise drivers log each step to LogOnline as they go and end by themselves.
const FHostTestWord TestWords[] = {
    {"QUERYMAPPINGS [NAME]", "lists local user 0's external accounts, then finds the user of NAME"},
};
} // namespace

const FHostWordGroup& GetTestHostWords()
{
    static const FHostWordGroup Group{{}, TestWords, nullptr};
    return Group;
}
