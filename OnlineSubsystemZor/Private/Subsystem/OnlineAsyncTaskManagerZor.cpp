#include "Subsystem/OnlineAsyncTaskManagerZor.h"

#include <cassert>

#include "Core/PlatformTLS.h"

void FOnlineAsyncTaskManagerZor::OnlineTick()
{
    assert(Subsystem);
    assert(FPlatformTLS::GetCurrentThreadId() == GetOnlineThreadId());
}
