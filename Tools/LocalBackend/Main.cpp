#include "BackendHttp.h"
#include "LocalBackend.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>

namespace
{
constexpr int DefaultPort = 8080;

struct FCommandLine
{
    int Port = DefaultPort;
    ZorBackend::FBackendOptions Options;
};

void PrintUsage(FILE* Stream)
{
    std::fprintf(
        Stream,
        "usage: zorbackend [--port N] [--seed PATH] [--token-lifetime SECONDS] [--title-files DIR]\n"
        "                  [--extra-builds N] [--help]\n"
        "  --port N              port on 127.0.0.1 (default 8080; 0 picks a free one)\n"
        "  --seed PATH           accounts and clients to serve (default %s)\n"
        "  --token-lifetime S    access token lifetime in seconds (default 7200)\n"
        "  --title-files DIR     serves the files directly in DIR as title files (default none)\n"
        "  --extra-builds N      adds N Windows builds of the demo game under label Live (default 0)\n"
        "Serves the account and game services on 127.0.0.1 until SIGINT or SIGTERM.\n",
        ZorBackend::DefaultSeedPath().c_str());
}

std::optional<long long> ParseNumber(const char* Text, long long Min, long long Max)
{
    char* End = nullptr;
    errno = 0;
    const long long Value = std::strtoll(Text, &End, 10);
    if (errno != 0 || End == Text || *End != '\0' || Value < Min || Value > Max)
    {
        return std::nullopt;
    }
    return Value;
}

bool ApplyOption(FCommandLine& Line, std::string_view Name, const char* Value)
{
    if (Name == "--seed")
    {
        Line.Options.SeedPath = Value;
        return true;
    }
    if (Name == "--port")
    {
        const auto Port = ParseNumber(Value, 0, 65535);
        Line.Port = static_cast<int>(Port.value_or(-1));
        return Port.has_value();
    }
    if (Name == "--title-files")
    {
        Line.Options.TitleFilesDir = Value;
        return true;
    }
    if (Name == "--extra-builds")
    {
        const auto Count = ParseNumber(Value, 0, 1000000);
        Line.Options.ExtraBuilds = Count.value_or(0);
        return Count.has_value();
    }
    if (Name == "--token-lifetime")
    {
        const auto Seconds = ParseNumber(Value, 1, 365LL * 24 * 3600);
        Line.Options.TokenLifetime = Seconds.value_or(0);
        return Seconds.has_value();
    }
    return false;
}

std::optional<FCommandLine> ParseCommandLine(int Argc, char** Argv)
{
    FCommandLine Line;
    for (int Index = 1; Index < Argc; Index += 2)
    {
        if (Index + 1 >= Argc || !ApplyOption(Line, Argv[Index], Argv[Index + 1]))
        {
            std::fprintf(stderr, "zorbackend: bad or incomplete option: %s\n",
                         ZorBackend::Printable(Argv[Index]).c_str());
            return std::nullopt;
        }
    }
    return Line;
}

bool AsksForHelp(int Argc, char** Argv)
{
    for (int Index = 1; Index < Argc; ++Index)
    {
        const std::string_view Argument = Argv[Index];
        if (Argument == "--help" || Argument == "-h")
        {
            return true;
        }
    }
    return false;
}
} // namespace

int main(int Argc, char** Argv)
{
    if (AsksForHelp(Argc, Argv))
    {
        PrintUsage(stdout);
        return 0;
    }
    const std::optional<FCommandLine> Line = ParseCommandLine(Argc, Argv);
    if (!Line)
    {
        PrintUsage(stderr);
        return 2;
    }
    // Block the stop signals before any thread starts, so that only sigwait below receives them.
    sigset_t StopSignals;
    sigemptyset(&StopSignals);
    sigaddset(&StopSignals, SIGINT);
    sigaddset(&StopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &StopSignals, nullptr);

    ZorBackend::FLocalBackend Backend(Line->Options);
    std::string Error;
    const int Port = Backend.Start(Line->Port, Error);
    if (Port < 0)
    {
        std::fprintf(stderr, "zorbackend: %s\n", ZorBackend::Printable(Error).c_str());
        return 1;
    }
    std::printf("zorbackend listening on 127.0.0.1:%d\n", Port);
    std::fflush(stdout);

    int Signal = 0;
    sigwait(&StopSignals, &Signal);
    std::fprintf(stderr, "zorbackend: stopping on signal %d\n", Signal);
    Backend.Stop();
    return 0;
}
