#include <chrono>
#include <thread>
#include <unistd.h>

#include "Core/PlatformProcess.h"
#include "Core/PlatformTLS.h"
#include "Core/PlatformTime.h"

double FPlatformTime::Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void FPlatformProcess::Sleep(float Seconds)
{
    if (Seconds > 0.0f)
    {
        std::this_thread::sleep_for(std::chrono::duration<float>(Seconds));
        return;
    }
    std::this_thread::yield();
}

uint32 FPlatformTLS::GetCurrentThreadId()
{
    thread_local const uint32 Id = static_cast<uint32>(::gettid());
    return Id;
}
