#include "HostProcess.h"

#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace
{
using FClock = std::chrono::steady_clock;

std::vector<std::string> ReadLines(const std::string& Path)
{
    std::vector<std::string> Lines;
    std::ifstream File(Path);
    for (std::string Line; std::getline(File, Line);)
    {
        Lines.push_back(Line);
    }
    return Lines;
}

std::string ErrorPath(const FScratchDir& Scratch)
{
    return Scratch.Path() + "/stderr.log";
}

std::string OutputPath(const FScratchDir& Scratch)
{
    return Scratch.Path() + "/stdout.log";
}

std::string ReadAll(const std::string& Path)
{
    std::ifstream File(Path, std::ios::binary);
    std::ostringstream Text;
    Text << File.rdbuf();
    return Text.str();
}
} // namespace

FScratchDir::FScratchDir()
{
    char Template[] = "/tmp/zorhost-test-XXXXXX";
    if (mkdtemp(Template))
    {
        Dir = Template;
    }
}

FScratchDir::~FScratchDir()
{
    if (!Dir.empty())
    {
        std::error_code Ignored;
        std::filesystem::remove_all(Dir, Ignored);
    }
}

std::string FScratchDir::WriteFile(const std::string& Name, const std::string& Content) const
{
    const std::string FilePath = Dir + "/" + Name;
    std::ofstream(FilePath, std::ios::binary) << Content;
    return FilePath;
}

bool FHostRun::HasLine(const std::string& Text) const
{
    return FindLine(Text) >= 0;
}

int FHostRun::FindLine(const std::string& Text, int From) const
{
    for (size_t Index = static_cast<size_t>(std::max(From, 0)); Index < ErrorLines.size(); ++Index)
    {
        if (ErrorLines[Index].find(Text) != std::string::npos)
        {
            return static_cast<int>(Index);
        }
    }
    return -1;
}

std::string FHostRun::Log() const
{
    std::ostringstream Text;
    for (const std::string& Line : ErrorLines)
    {
        Text << Line << '\n';
    }
    for (const std::string& Line : OutputLines)
    {
        Text << "stdout: " << Line << '\n';
    }
    return Text.str();
}

std::string ReadRunOutput(const FScratchDir& Scratch)
{
    return ReadAll(OutputPath(Scratch)) + ReadAll(ErrorPath(Scratch));
}

void ForgetRunOutput(const FScratchDir& Scratch)
{
    std::error_code Ignored;
    std::filesystem::remove(OutputPath(Scratch), Ignored);
    std::filesystem::remove(ErrorPath(Scratch), Ignored);
}

std::vector<FTypedLine> TypedAtOnce(const std::string& Script)
{
    std::vector<FTypedLine> Typed;
    std::istringstream Lines(Script);
    for (std::string Line; std::getline(Lines, Line);)
    {
        Typed.push_back({nullptr, Line});
    }
    return Typed;
}

std::function<bool()> Shows(const FScratchDir& Scratch, const std::string& Text)
{
    return [&Scratch, Text] { return ReadRunOutput(Scratch).find(Text) != std::string::npos; };
}

namespace
{
/** Types each line as soon as it is ready, in turn, until one is not ready by Deadline. */
void TypeLines(int InputFd, const std::vector<FTypedLine>& Typed, FClock::time_point Deadline)
{
    for (const FTypedLine& Entry : Typed)
    {
        while (Entry.Ready && !Entry.Ready())
        {
            if (FClock::now() > Deadline)
            {
                ADD_FAILURE() << "never ready, so never typed: " << Entry.Line;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::string Text = Entry.Line + "\n";
        EXPECT_EQ(write(InputFd, Text.data(), Text.size()), static_cast<ssize_t>(Text.size()));
    }
}

FHostRun Spawn(const std::string& Program, const std::vector<std::string>& Arguments,
               const std::string& StdinPath, int StdinFd, const FScratchDir& Scratch,
               double TimeLimitSeconds);

/** Standard input is read from InputPath, or from StdinFd when that is open. */
FHostRun RunTyping(const std::vector<std::string>& Arguments, const std::string& InputPath, int StdinFd,
                   int InputFd, bool bEndInput, const std::vector<FTypedLine>& Typed,
                   const FScratchDir& Scratch, double TimeLimitSeconds)
{
    ForgetRunOutput(Scratch);
    // Half the run's limit, so that a run whose line is never ready still ends its input and exits by itself.
    const FClock::time_point Deadline =
        FClock::now() +
        std::chrono::duration_cast<FClock::duration>(std::chrono::duration<double>(TimeLimitSeconds / 2));
    std::thread Typist(
        [InputFd, bEndInput, &Typed, Deadline]
        {
            TypeLines(InputFd, Typed, Deadline);
            if (bEndInput)
            {
                close(InputFd);
            }
        });
    FHostRun Run = Spawn(ZOR_HOST_PROGRAM, Arguments, InputPath, StdinFd, Scratch, TimeLimitSeconds);
    Typist.join();
    return Run;
}
} // namespace

FHostRun RunHostTyping(const std::vector<std::string>& Arguments, const std::string& InputPath, int InputFd,
                       const std::vector<FTypedLine>& Typed, const FScratchDir& Scratch,
                       double TimeLimitSeconds)
{
    return RunTyping(Arguments, InputPath, -1, InputFd, false, Typed, Scratch, TimeLimitSeconds);
}

FHostRun RunHostFed(const std::vector<std::string>& Arguments, const std::vector<FTypedLine>& Typed,
                    const FScratchDir& Scratch, double TimeLimitSeconds)
{
    // A pipe, not a named one: what is typed before the host starts waits in it, and the host's end is handed
    // over, not opened, so closing the typing end early never leaves the host waiting to open its input.
    int Pipe[2] = {-1, -1};
    EXPECT_EQ(pipe2(Pipe, O_CLOEXEC), 0);
    FHostRun Run = RunTyping(Arguments, "", Pipe[0], Pipe[1], true, Typed, Scratch, TimeLimitSeconds);
    close(Pipe[0]);
    return Run;
}

FHostRun RunHost(const std::vector<std::string>& Arguments, const std::string& StdinPath,
                 const FScratchDir& Scratch, double TimeLimitSeconds)
{
    return RunProgram(ZOR_HOST_PROGRAM, Arguments, StdinPath, Scratch, TimeLimitSeconds);
}

FHostRun RunProgram(const std::string& Program, const std::vector<std::string>& Arguments,
                    const std::string& StdinPath, const FScratchDir& Scratch, double TimeLimitSeconds)
{
    return Spawn(Program, Arguments, StdinPath, -1, Scratch, TimeLimitSeconds);
}

namespace
{
FHostRun Spawn(const std::string& Program, const std::vector<std::string>& Arguments,
               const std::string& StdinPath, int StdinFd, const FScratchDir& Scratch, double TimeLimitSeconds)
{
    std::vector<std::string> Argv = {Program};
    Argv.insert(Argv.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> ArgvPointers;
    for (std::string& Argument : Argv)
    {
        ArgvPointers.push_back(Argument.data());
    }
    ArgvPointers.push_back(nullptr);

    const std::string ErrorPath = ::ErrorPath(Scratch);
    const std::string OutputPath = ::OutputPath(Scratch);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    if (StdinFd >= 0)
    {
        posix_spawn_file_actions_adddup2(&Actions, StdinFd, STDIN_FILENO);
    }
    else
    {
        posix_spawn_file_actions_addopen(&Actions, STDIN_FILENO, StdinPath.c_str(), O_RDONLY, 0);
    }
    // What the program saves lands in its own scratch directory, not in the one the tests share.
    posix_spawn_file_actions_addchdir_np(&Actions, Scratch.Path().c_str());
    posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, OutputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, ErrorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    FHostRun Run;
    const auto Start = FClock::now();
    pid_t Pid = -1;
    const int SpawnError =
        posix_spawn(&Pid, ArgvPointers[0], &Actions, nullptr, ArgvPointers.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (SpawnError != 0)
    {
        Run.ErrorLines.push_back("cannot start " + Argv[0]);
        return Run;
    }
    Run.ExitCode = WaitForChild(Pid, DescribeChild(Argv), TimeLimitSeconds, Run.bTimedOut);
    Run.Seconds = std::chrono::duration<double>(FClock::now() - Start).count();
    Run.ErrorLines = ReadLines(ErrorPath);
    Run.OutputLines = ReadLines(OutputPath);
    return Run;
}
} // namespace
