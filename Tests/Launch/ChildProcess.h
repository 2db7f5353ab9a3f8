#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

/** The child's program and arguments, as a failure names it. */
std::string DescribeChild(const std::vector<std::string>& Argv);

/**
 * The exit code of Pid, -1 when it did not exit normally. A child still running after TimeLimitSeconds is
 * killed and reported as a test failure under Name, with bOutTimedOut set: a test never waits on a child for
 * ever, and says which one overstayed.
 */
int WaitForChild(pid_t Pid, const std::string& Name, double TimeLimitSeconds, bool& bOutTimedOut);

/** A child's output read line by line, given up at a deadline rather than waited on for ever. */
class FChildOutput
{
public:
    /** Takes ownership of the reading end Fd. */
    explicit FChildOutput(int InFd) : Fd(InFd) {}
    ~FChildOutput();
    FChildOutput(const FChildOutput&) = delete;
    FChildOutput& operator=(const FChildOutput&) = delete;

    /** The next line with its line break; "" at the end of the output or once Deadline has passed. */
    std::string ReadLine(std::chrono::steady_clock::time_point Deadline);

private:
    int Fd = -1;
    std::string Pending;
};
