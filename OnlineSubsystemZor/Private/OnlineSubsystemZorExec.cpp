#include "Core/Parse.h"
#include "OnlineSubsystemZor.h"

namespace
{
using FTestCommandHandler = bool (*)(FOnlineSubsystemZor& Subsystem, const TCHAR* Args);

struct FTestCommand
{
    const char* Word;
    FTestCommandHandler Handler;
};

// Tried in order; the first word that matches decides.
const TArray<FTestCommand>& TestCommands()
{
    static const TArray<FTestCommand> Commands;
    return Commands;
}
} // namespace

bool FOnlineSubsystemZor::Exec(UWorld* /*World*/, const TCHAR* Cmd, FOutputDevice& /*Ar*/)
{
    if (!FParse::Command(&Cmd, "TEST"))
    {
        return false;
    }
    for (const FTestCommand& Command : TestCommands())
    {
        if (FParse::Command(&Cmd, Command.Word))
        {
            return Command.Handler(*this, Cmd);
        }
    }
    return false;
}
