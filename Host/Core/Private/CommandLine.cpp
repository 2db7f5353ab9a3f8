#include "Core/CommandLine.h"

#include <mutex>
#include <string>

namespace
{
struct FCommandLineState
{
    std::mutex Mutex;
    std::string Text;
};

FCommandLineState& State()
{
    static FCommandLineState Instance;
    return Instance;
}
} // namespace

void FCommandLine::Set(const FString& NewCommandLine)
{
    FCommandLineState& Line = State();
    std::lock_guard Guard(Line.Mutex);
    Line.Text = NewCommandLine.ToStdString();
}

const char* FCommandLine::Get()
{
    FCommandLineState& Line = State();
    std::lock_guard Guard(Line.Mutex);
    return Line.Text.c_str();
}
