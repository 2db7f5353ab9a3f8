#pragma once

#include "CoreMinimal.h"

/** What zorhost was asked to do by its own arguments, and the engine command line it passes on. */
struct FLaunchOptions
{
    /** The engine ini; empty means the default one. */
    FString IniPath;
    /** HOST:PORT of every service, over the ini's Domain; empty keeps the ini's. */
    FString Domain;
    /** The console script; empty means standard input. */
    FString ExecPath;
    int32 FramesPerSecond = 60;
    /** "Category:Verbosity" settings, in the order given. */
    TArray<FString> LogSettings;
    bool bDedicatedServer = false;
    /** --help, -help or -h: print the usage and start nothing. */
    bool bShowHelp = false;
    /** Every argument but -ini=, joined as JoinCommandLine does. */
    FString EngineCommandLine;
};

/**
 * Reads the arguments after the program name; false with OutError when one of the host's own options (-exec,
 * -ini, -domain, -log, -fps, -server, --help, -help, -h) is given in any other form than the usage shows.
 */
bool ParseLaunchArguments(const TArray<FString>& Arguments, FLaunchOptions& Out, FString& OutError);

/**
 * Joins arguments with blanks. An argument holding a blank is quoted so that it stays one token: for
 * "KEY=VALUE" only the value is quoted, as that is the form the engine's value lookup reads whole.
 */
FString JoinCommandLine(const TArray<FString>& Arguments);

/** The usage text printed for --help and on a bad argument. */
const char* GetLaunchUsage();
