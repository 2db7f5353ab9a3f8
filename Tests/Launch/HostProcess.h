#pragma once

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
 * Runs zorhost with the arguments, standard input read from StdinPath ("/dev/null" for none); one that
 * outlives the time limit is killed and fails the test, named.
 */
FHostRun RunHost(const std::vector<std::string>& Arguments, const std::string& StdinPath,
                 const FScratchDir& Scratch, double TimeLimitSeconds = 60.0);

/** What the run under way in Scratch has written so far: standard output, then standard error. */
std::string ReadRunOutput(const FScratchDir& Scratch);
/** Removes what an earlier run in Scratch wrote, so that ReadRunOutput tells only of the next run. */
void ForgetRunOutput(const FScratchDir& Scratch);

/** RunHost for another program, such as a copy of zorhost. */
FHostRun RunProgram(const std::string& Program, const std::vector<std::string>& Arguments,
                    const std::string& StdinPath, const FScratchDir& Scratch, double TimeLimitSeconds = 60.0);
