#include "Core/Log.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "Core/Array.h"
#include "Core/TerminalText.h"

namespace
{
struct FLogState
{
    std::mutex Mutex;
    std::vector<FLogCategory*> Categories;
    std::vector<std::pair<int32, FLog::FSink>> Sinks;
    int32 NextSinkId = 1;
};

FLogState& State()
{
    static FLogState* Instance =
        new FLogState(); // never destroyed: categories unregister during static teardown
    return *Instance;
}

const char* const VerbosityNames[] = {"NoLogging", "Fatal", "Error",   "Warning",
                                      "Display",   "Log",   "Verbose", "VeryVerbose"};

} // namespace

const char* ELogVerbosity::ToString(Type Verbosity)
{
    return Verbosity <= VeryVerbose ? VerbosityNames[Verbosity] : "Unknown";
}

bool ELogVerbosity::FromString(const FString& Name, Type& OutVerbosity)
{
    for (uint8 Index = 0; Index <= VeryVerbose; ++Index)
    {
        if (Name == VerbosityNames[Index])
        {
            OutVerbosity = static_cast<Type>(Index);
            return true;
        }
    }
    if (Name == "All")
    {
        OutVerbosity = All;
        return true;
    }
    return false;
}

FLogCategory::FLogCategory(const char* InName, ELogVerbosity::Type InDefault)
    : Name(InName), CurrentVerbosity(InDefault)
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    Log.Categories.push_back(this);
}

FLogCategory::~FLogCategory()
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    std::erase(Log.Categories, this);
}

FString FLog::FormatLine(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
{
    // One entry, one line: line breaks inside a message (reply bodies, pretty JSON) are shown escaped.
    const FString OneLine = Message.Replace("\r", "\\r", ESearchCase::CaseSensitive)
                                .Replace("\n", "\\n", ESearchCase::CaseSensitive);
    return FString::Printf("%s: %s: ", Category.GetName(), ELogVerbosity::ToString(Verbosity)) +
           Escape(OneLine);
}

FString FLog::Escape(const FString& Text)
{
    FString Shown;
    AppendEscaped(Shown, Text, INT32_MAX);
    return Shown;
}

bool FLog::AppendEscaped(FString& Out, const FString& Text, int32 MaxLength)
{
    constexpr size_t EscapeLength = 4; // \xNN
    return TerminalText::ForEachUnit(
        Text.View(), true,
        [&Out, MaxLength](std::string_view Sequence, bool bEscaped)
        {
            const size_t UnitLength = bEscaped ? Sequence.size() * EscapeLength : Sequence.size();
            if (static_cast<size_t>(Out.Len()) + UnitLength > static_cast<size_t>(MaxLength))
            {
                return false;
            }
            if (bEscaped)
            {
                TerminalText::AppendByteEscapes(Out, Sequence);
            }
            else
            {
                Out.AppendChars(Sequence.data(), static_cast<int32>(Sequence.size()));
            }
            return true;
        });
}

void FLog::Write(const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    if (Log.Sinks.empty())
    {
        std::fprintf(stderr, "%s\n", *FormatLine(Category, Verbosity, Message));
        return;
    }
    for (const auto& [Id, Sink] : Log.Sinks)
    {
        Sink(Category, Verbosity, Message);
    }
}

int32 FLog::AddSink(FSink Sink)
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    const int32 Id = Log.NextSinkId++;
    Log.Sinks.emplace_back(Id, std::move(Sink));
    return Id;
}

void FLog::RemoveSink(int32 SinkId)
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    std::erase_if(Log.Sinks, [SinkId](const auto& Entry) { return Entry.first == SinkId; });
}

bool FLog::SetCategoryVerbosity(const FString& CategoryName, ELogVerbosity::Type Verbosity)
{
    FLogState& Log = State();
    std::lock_guard Guard(Log.Mutex);
    bool bFound = false;
    for (FLogCategory* Category : Log.Categories)
    {
        if (CategoryName == Category->GetName())
        {
            Category->SetVerbosity(Verbosity);
            bFound = true;
        }
    }
    return bFound;
}

bool FLog::ApplyVerbositySetting(const FString& Setting)
{
    FString Name;
    FString Level;
    ELogVerbosity::Type Verbosity;
    if (!Setting.Split(":", &Name, &Level) || !ELogVerbosity::FromString(Level.TrimStartAndEnd(), Verbosity))
    {
        return false;
    }
    return SetCategoryVerbosity(Name.TrimStartAndEnd(), Verbosity);
}
