#pragma once

#include <atomic>
#include <functional>

#include "Core/String.h"

namespace ELogVerbosity
{
enum Type : uint8
{
    NoLogging = 0,
    Fatal,
    Error,
    Warning,
    Display,
    Log,
    Verbose,
    VeryVerbose,
    All = VeryVerbose,
};
const char* ToString(Type Verbosity);
/** Reads a verbosity name ignoring case; false when the name is unknown. */
bool FromString(const FString& Name, Type& OutVerbosity);
} // namespace ELogVerbosity

/** A named log category with the most detailed verbosity it lets through. */
class FLogCategory
{
public:
    FLogCategory(const char* InName, ELogVerbosity::Type InDefault);
    ~FLogCategory();
    FLogCategory(const FLogCategory&) = delete;
    FLogCategory& operator=(const FLogCategory&) = delete;

    const char* GetName() const { return Name; }
    bool IsSuppressed(ELogVerbosity::Type Verbosity) const { return Verbosity > GetVerbosity(); }
    ELogVerbosity::Type GetVerbosity() const { return CurrentVerbosity.load(std::memory_order_relaxed); }
    void SetVerbosity(ELogVerbosity::Type Verbosity)
    {
        CurrentVerbosity.store(Verbosity, std::memory_order_relaxed);
    }

private:
    const char* Name;
    std::atomic<ELogVerbosity::Type> CurrentVerbosity;
};

/** Where log lines go. Thread-safe: lines may come from any thread. */
class FLog
{
public:
    using FSink = std::function<void(const FLogCategory&, ELogVerbosity::Type, const FString&)>;

    static void Write(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message);
    /** Adds a sink; returns an id for RemoveSink. Standard error is the sink while none is added. */
    static int32 AddSink(FSink Sink);
    static void RemoveSink(int32 SinkId);
    /** Sets the verbosity of a category by name, ignoring case; false when no such category exists. */
    static bool SetCategoryVerbosity(const FString& CategoryName, ELogVerbosity::Type Verbosity);
    /** Applies "Category:Verbosity"; false when malformed or unknown. */
    static bool ApplyVerbositySetting(const FString& Setting);
    /** The line written to standard error: "Category: Verbosity: Message", escaped as Escape does. */
    static FString FormatLine(const FLogCategory& Category, ELogVerbosity::Type Verbosity,
                              const FString& Message);
    /**
     * Text as a terminal may be given it: every C0 control but line feed and tab, DEL, every C1 control (as
     * UTF-8) and every byte that is not part of well-formed UTF-8 is written as \xNN, one per byte. Text so
     * written comes back unchanged, so text escaped early (a bounded body) may pass again.
     */
    static FString Escape(const FString& Text);
    /**
     * Appends Text escaped so while Out stays within MaxLength bytes; false when Text was cut, which is
     * never inside a character or an escape.
     */
    static bool AppendEscaped(FString& Out, const FString& Text, int32 MaxLength);
};

#define DECLARE_LOG_CATEGORY_EXTERN(CategoryName, DefaultVerbosity, CompileTimeVerbosity)                    \
    struct FLogCategory##CategoryName : public FLogCategory                                                  \
    {                                                                                                        \
        FLogCategory##CategoryName() : FLogCategory(#CategoryName, ELogVerbosity::DefaultVerbosity) {}       \
    };                                                                                                       \
    extern FLogCategory##CategoryName CategoryName;

#define DEFINE_LOG_CATEGORY(CategoryName) FLogCategory##CategoryName CategoryName;

#define UE_LOG(CategoryName, Verbosity, Format, ...)                                                         \
    do                                                                                                       \
    {                                                                                                        \
        if (!(CategoryName).IsSuppressed(ELogVerbosity::Verbosity))                                          \
        {                                                                                                    \
            FLog::Write(CategoryName, ELogVerbosity::Verbosity, FString::Printf(Format, ##__VA_ARGS__));     \
        }                                                                                                    \
    } while (0)
