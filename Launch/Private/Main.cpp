#include <cstdio>

#include "Core/Log.h"
#include "Launch/LaunchOptions.h"
#include "Launch/ZorHost.h"

int main(int Argc, char** Argv)
{
    TArray<FString> Arguments;
    for (int Index = 1; Index < Argc; ++Index)
    {
        Arguments.Add(Argv[Index]);
    }
    FLaunchOptions Options;
    FString Error;
    if (!ParseLaunchArguments(Arguments, Options, Error))
    {
        // The refusal may quote an argument, which may hold controls; it passes the log's escaping too.
        std::fprintf(stderr, "zorhost: %s\n%s", *FLog::Escape(Error), *FLog::Escape(GetLaunchUsage()));
        return 2;
    }
    if (Options.bShowHelp)
    {
        std::fputs(*FLog::Escape(GetLaunchUsage()), stdout);
        return 0;
    }
    FZorHost Host(std::move(Options));
    return Host.Run();
}
