#include "LogCapture.h"

FLogCapture::FLogCapture()
{
    SinkId = FLog::AddSink(
        [this](const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
        {
            std::lock_guard Guard(Mutex);
            Captured.push_back({Category.GetName(), Verbosity, Message});
        });
}

FLogCapture::~FLogCapture()
{
    FLog::RemoveSink(SinkId);
}

bool FLogCapture::Contains(const FString& Text) const
{
    return Count(Text) > 0;
}

int32 FLogCapture::Count(const FString& Text) const
{
    std::lock_guard Guard(Mutex);
    int32 Found = 0;
    for (const FLine& Line : Captured)
    {
        Found += Line.Message.Contains(Text, ESearchCase::CaseSensitive) ? 1 : 0;
    }
    return Found;
}

bool FLogCapture::Contains(ELogVerbosity::Type Verbosity, const FString& Text) const
{
    std::lock_guard Guard(Mutex);
    for (const FLine& Line : Captured)
    {
        if (Line.Verbosity == Verbosity && Line.Message.Contains(Text, ESearchCase::CaseSensitive))
        {
            return true;
        }
    }
    return false;
}

std::vector<FLogCapture::FLine> FLogCapture::Lines() const
{
    std::lock_guard Guard(Mutex);
    return Captured;
}

void FLogCapture::Clear()
{
    std::lock_guard Guard(Mutex);
    Captured.clear();
}
