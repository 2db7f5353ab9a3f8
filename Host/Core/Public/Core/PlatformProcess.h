#pragma once

class FPlatformProcess
{
public:
    /** Blocks the calling thread; zero or less just yields. */
    static void Sleep(float Seconds);
};
