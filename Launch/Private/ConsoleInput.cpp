#include "Launch/ConsoleInput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace
{
/** How long the reader waits for input before it looks at the stop request again. */
constexpr int PollMilliseconds = 100;
constexpr size_t ReadChunkBytes = 4096;

bool IsCommandLine(const FString& Line)
{
    return !Line.IsEmpty() && Line[0] != '#';
}
} // namespace

FConsoleInput::FConsoleInput(int InDescriptor, bool bInOwnsDescriptor)
    : Descriptor(InDescriptor), bOwnsDescriptor(bInOwnsDescriptor)
{
    Reader = std::thread([this] { ReadLoop(); });
}

FConsoleInput::~FConsoleInput()
{
    bStopRequested = true;
    Reader.join();
    if (bOwnsDescriptor)
    {
        close(Descriptor);
    }
}

TUniquePtr<FConsoleInput> FConsoleInput::FromStandardInput()
{
    return MakeUnique<FConsoleInput>(STDIN_FILENO, false);
}

TUniquePtr<FConsoleInput> FConsoleInput::FromFile(const FString& Path, FString& OutError)
{
    const int File = open(*Path, O_RDONLY | O_CLOEXEC);
    if (File < 0)
    {
        OutError = FString::Printf("cannot open %s: %s", *Path, std::strerror(errno));
        return nullptr;
    }
    return MakeUnique<FConsoleInput>(File, true);
}

bool FConsoleInput::TryPop(FString& OutLine)
{
    FScopeLock Lock(&QueueLock);
    if (Lines.empty())
    {
        return false;
    }
    OutLine = std::move(Lines.front());
    Lines.pop_front();
    return true;
}

bool FConsoleInput::IsExhausted()
{
    FScopeLock Lock(&QueueLock);
    return bEnded && Lines.empty();
}

void FConsoleInput::ReadLoop()
{
    std::string Pending;
    char Chunk[ReadChunkBytes];
    while (!bStopRequested)
    {
        pollfd Poll{Descriptor, POLLIN, 0};
        const int Ready = poll(&Poll, 1, PollMilliseconds);
        if (Ready < 0 && errno != EINTR)
        {
            break;
        }
        if (Ready <= 0)
        {
            continue;
        }
        const ssize_t Count = read(Descriptor, Chunk, sizeof(Chunk));
        if (Count < 0 && errno == EINTR)
        {
            continue;
        }
        if (Count <= 0)
        {
            break;
        }
        Pending.append(Chunk, static_cast<size_t>(Count));
        QueueWholeLines(Pending);
    }
    // An unfinished last line still counts once the input ends.
    QueueLine(FString(std::move(Pending)));
    FScopeLock Lock(&QueueLock);
    bEnded = true;
}

void FConsoleInput::QueueWholeLines(std::string& Pending)
{
    size_t Start = 0;
    for (size_t End = Pending.find('\n'); End != std::string::npos; End = Pending.find('\n', Start))
    {
        QueueLine(FString(std::string_view(Pending).substr(Start, End - Start)));
        Start = End + 1;
    }
    Pending.erase(0, Start);
}

void FConsoleInput::QueueLine(const FString& Line)
{
    const FString Trimmed = Line.TrimStartAndEnd();
    if (!IsCommandLine(Trimmed))
    {
        return;
    }
    FScopeLock Lock(&QueueLock);
    Lines.push_back(Trimmed);
}
