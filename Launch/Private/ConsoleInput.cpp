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

/** Control characters but the tab, which separates words as a blank does. */
bool IsControl(char Character)
{
    const unsigned char Code = static_cast<unsigned char>(Character);
    return (Code < 0x20 && Code != '\t') || Code == 0x7f;
}

/** Words split at blanks only, so a typed tab becomes one. */
char AsTyped(char Character)
{
    return Character == '\t' ? ' ' : Character;
}

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

bool FConsoleInput::TryPop(FConsoleLine& OutLine)
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
    QueueLine(Pending);
    FScopeLock Lock(&QueueLock);
    bEnded = true;
}

void FConsoleInput::QueueWholeLines(std::string& Pending)
{
    size_t Start = 0;
    for (size_t End = Pending.find('\n'); End != std::string::npos; End = Pending.find('\n', Start))
    {
        QueueLine(std::string_view(Pending).substr(Start, End - Start));
        Start = End + 1;
    }
    Pending.erase(0, Start);
}

void FConsoleInput::QueueLine(const std::string_view Line)
{
    ++LinesRead;
    FString Kept;
    for (const char Character : Line)
    {
        if (!IsControl(Character))
        {
            Kept.AppendChar(AsTyped(Character));
        }
    }
    const FString Trimmed = Kept.TrimStartAndEnd();
    if (!IsCommandLine(Trimmed))
    {
        return;
    }
    FScopeLock Lock(&QueueLock);
    Lines.push_back({LinesRead, Trimmed});
}
