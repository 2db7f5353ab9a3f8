#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace
{
using FClock = std::chrono::steady_clock;
} // namespace

std::string DescribeChild(const std::vector<std::string>& Argv)
{
    std::string Text;
    for (const std::string& Word : Argv)
    {
        Text += (Text.empty() ? "" : " ") + Word;
    }
    return Text;
}

int WaitForChild(pid_t Pid, const std::string& Name, double TimeLimitSeconds, bool& bOutTimedOut)
{
    const auto Deadline = FClock::now() + std::chrono::duration<double>(TimeLimitSeconds);
    int Status = 0;
    while (waitpid(Pid, &Status, WNOHANG) == 0)
    {
        if (FClock::now() > Deadline)
        {
            bOutTimedOut = true;
            kill(Pid, SIGKILL);
            waitpid(Pid, &Status, 0);
            ADD_FAILURE() << "child process did not exit by its deadline and was killed: " << Name;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

FChildOutput::~FChildOutput()
{
    if (Fd >= 0)
    {
        close(Fd);
    }
}

std::string FChildOutput::ReadLine(FClock::time_point Deadline)
{
    while (Fd >= 0)
    {
        const size_t Break = Pending.find('\n');
        if (Break != std::string::npos)
        {
            std::string Line = Pending.substr(0, Break + 1);
            Pending.erase(0, Break + 1);
            return Line;
        }
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - FClock::now());
        pollfd Poll{Fd, POLLIN, 0};
        if (Left.count() <= 0 || poll(&Poll, 1, static_cast<int>(Left.count())) <= 0)
        {
            return "";
        }
        char Buffer[512];
        const ssize_t Count = read(Fd, Buffer, sizeof(Buffer));
        if (Count <= 0)
        {
            close(Fd);
            Fd = -1;
            break;
        }
        Pending.append(Buffer, static_cast<size_t>(Count));
    }
    return std::exchange(Pending, std::string());
}
