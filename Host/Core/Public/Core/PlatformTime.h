#pragma once

class FPlatformTime
{
public:
    /** Seconds on a monotonic clock with an arbitrary origin; for measuring intervals. */
    static double Seconds();
};
