#pragma once

#include "ZorSubsystemTest.h"

/** Identity over a subsystem created from the test ini. */
class FIdentityTest : public FZorSubsystemTest
{
protected:
    FIdentityTest() { CreateSubsystem(); }
};
