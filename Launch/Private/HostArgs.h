#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineTypes.h"

/** Reads "START COUNT", both whole numbers, into OutPage; nothing leaves it whole. False on anything else. */
bool ParsePageArgs(const TCHAR* Args, FPagedQuery& OutPage);
