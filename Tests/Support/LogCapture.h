#pragma once

#include <mutex>
#include <vector>

#include "CoreMinimal.h"

/** Collects every log line written while it lives. Thread-safe. */
class FLogCapture
{
public:
    struct FLine
    {
        FString Category;
        ELogVerbosity::Type Verbosity;
        FString Message;
    };

    FLogCapture();
    ~FLogCapture();
    FLogCapture(const FLogCapture&) = delete;
    FLogCapture& operator=(const FLogCapture&) = delete;

    /** True when a line's message contains Text (letter case counts). */
    bool Contains(const FString& Text) const;
    int32 Count(const FString& Text) const;
    bool Contains(ELogVerbosity::Type Verbosity, const FString& Text) const;
    std::vector<FLine> Lines() const;
    void Clear();

private:
    mutable std::mutex Mutex;
    std::vector<FLine> Captured;
    int32 SinkId;
};
