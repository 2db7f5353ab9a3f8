#pragma once

#include "Core/Types.h"

/** Work that can also be ticked on the calling thread when no worker thread is available. */
class FSingleThreadRunnable
{
public:
    virtual ~FSingleThreadRunnable() = default;
    virtual void Tick() = 0;
};

/** The body of a worker thread: Init, then Run when Init succeeded, then Exit. */
class FRunnable
{
public:
    virtual ~FRunnable() = default;

    /** Runs on the new thread; returning false ends it without Run or Exit. */
    virtual bool Init() { return true; }
    virtual uint32 Run() = 0;
    /** Asks Run to return early; called from another thread. */
    virtual void Stop() {}
    /** Runs on the thread after Run returns. */
    virtual void Exit() {}
    virtual FSingleThreadRunnable* GetSingleThreadInterface() { return nullptr; }
};
