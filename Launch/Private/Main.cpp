#include <cstdio>

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
        std::fprintf(stderr, "zorhost: %s\n%s", *Error, GetLaunchUsage());
        return 2;
    }
    if (Options.bShowHelp)
    {
        std::fputs(GetLaunchUsage(), stdout);
        return 0;
    }
    FZorHost Host(std::move(Options));
    return Host.Run();
}
