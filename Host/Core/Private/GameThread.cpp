#include "Core/GameThread.h"

#include <atomic>

#include "Core/PlatformTLS.h"

namespace
{
// Thread ids are never 0, so 0 means that no loop has claimed the game thread yet.
std::atomic<uint32> GameThreadId{0};
} // namespace

void FGameThread::SetCurrent()
{
    GameThreadId = FPlatformTLS::GetCurrentThreadId();
}

void FGameThread::Reset()
{
    GameThreadId = 0;
}

bool FGameThread::IsSet()
{
    return GameThreadId != 0;
}

bool FGameThread::IsCurrent()
{
    const uint32 Id = GameThreadId;
    return Id != 0 && Id == FPlatformTLS::GetCurrentThreadId();
}
