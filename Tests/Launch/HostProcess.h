#pragma once

#include <functional>
#include <string>
#include <vector>

/** A scratch directory removed with everything in it at the end. */
class FScratchDir
{
public:
    FScratchDir();
    ~FScratchDir();
    FScratchDir(const FScratchDir&) = delete;
    FScratchDir& operator=(const FScratchDir&) = delete;

    /** Writes a file in the directory; its path. */
    std::string WriteFile(const std::string& Name, const std::string& Content) const;
    const std::string& Path() const { return Dir; }

private:
    std::string Dir;
};

/** How a zorhost run ended and what it logged. */
struct FHostRun
{
    /** The exit code; -1 when it did not exit normally or was killed at the time limit. */
    int ExitCode = -1;
    bool bTimedOut = false;
    double Seconds = 0.0;
    std::vector<std::string> ErrorLines;
    std::vector<std::string> OutputLines;

    bool HasLine(const std::string& Text) const;
    /** Index of the first standard-error line from From on holding Text, or -1. */
    int FindLine(const std::string& Text, int From = 0) const;
    /** Every standard-error line, then every standard-output line, for failure messages. */
    std::string Log() const;
};

/**
 * Runs zorhost in Scratch with the arguments, standard input read from StdinPath ("/dev/null" for none); one
 * that outlives the time limit is killed and fails the test, named.
 */
FHostRun RunHost(const std::vector<std::string>& Arguments, const std::string& StdinPath,
                 const FScratchDir& Scratch, double TimeLimitSeconds = 60.0);

/** What the run under way in Scratch has written so far: standard output, then standard error. */
std::string ReadRunOutput(const FScratchDir& Scratch);
/** Removes what an earlier run in Scratch wrote, so that ReadRunOutput tells only of the next run. */
void ForgetRunOutput(const FScratchDir& Scratch);

/** A console line typed once Ready holds; at once when Ready is null. */
struct FTypedLine
{
    std::function<bool()> Ready;
    std::string Line;
};

/** Lines typed at once, one for each line of Script. */
std::vector<FTypedLine> TypedAtOnce(const std::string& Script);
/** Holds once what the run under way in Scratch has written holds Text. */
std::function<bool()> Shows(const FScratchDir& Scratch, const std::string& Text);

/**
 * RunHost with standard input read from InputPath, while each line is written to InputFd as soon as it is
 * ready, in turn. A line still not ready at half the time limit fails the test, and no later line is typed.
 */
FHostRun RunHostTyping(const std::vector<std::string>& Arguments, const std::string& InputPath, int InputFd,
                       const std::vector<FTypedLine>& Typed, const FScratchDir& Scratch,
                       double TimeLimitSeconds = 60.0);
/** RunHostTyping through a pipe of its own, closed after the last line. */
FHostRun RunHostFed(const std::vector<std::string>& Arguments, const std::vector<FTypedLine>& Typed,
                    const FScratchDir& Scratch, double TimeLimitSeconds = 60.0);

/** RunHost for another program, such as a copy of zorhost. */
FHostRun RunProgram(const std::string& Program, const std::vector<std::string>& Arguments,
                    const std::string& StdinPath, const FScratchDir& Scratch, double TimeLimitSeconds = 60.0);
