#pragma once

#include "CoreMinimal.h"

/** The game world handed to console commands; this host runs none, so commands receive null. */
class UWorld;

/** Where console commands may write their answer. */
class FOutputDevice
{
public:
    virtual ~FOutputDevice() = default;
    virtual void Log(const FString& Text) = 0;
};

/** The global output device: writes to the log. */
extern FOutputDevice* GLog;

/** A console command handler that is asked by the engine's command execution while it lives. */
class FSelfRegisteringExec
{
public:
    FSelfRegisteringExec();
    virtual ~FSelfRegisteringExec();
    FSelfRegisteringExec(const FSelfRegisteringExec&) = delete;
    FSelfRegisteringExec& operator=(const FSelfRegisteringExec&) = delete;

    virtual bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar) = 0;

    /** Offers the command to every handler in registration order; true once one handled it. */
    static bool StaticExec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar);
};

/** The engine's command execution. */
class UEngine
{
public:
    bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar);
};

extern UEngine* GEngine;

DECLARE_LOG_CATEGORY_EXTERN(LogExec, Log, All)
