#include "Core/Log.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "Core/Array.h"

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

uint8 ByteAt(std::string_view Text, size_t Position)
{
    return Position < Text.size() ? static_cast<uint8>(Text[Position]) : 0;
}

/** The length of the well-formed UTF-8 sequence at Position; 0 when the bytes there are not one. */
size_t Utf8SequenceLength(std::string_view Text, size_t Position)
{
    const uint8 Lead = ByteAt(Text, Position);
    size_t Length = 0;
    uint8 Low = 0x80;
    uint8 High = 0xBF;
    if (Lead < 0x80)
    {
        return 1;
    }
    if (Lead >= 0xC2 && Lead <= 0xDF)
    {
        Length = 2;
    }
    else if (Lead >= 0xE0 && Lead <= 0xEF)
    {
        Length = 3;
        Low = Lead == 0xE0 ? 0xA0 : 0x80;
        High = Lead == 0xED ? 0x9F : 0xBF; // no surrogates
    }
    else if (Lead >= 0xF0 && Lead <= 0xF4)
    {
        Length = 4;
        Low = Lead == 0xF0 ? 0x90 : 0x80;
        High = Lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    }
    else
    {
        return 0;
    }
    for (size_t Index = 1; Index < Length; ++Index)
    {
        const uint8 Next = ByteAt(Text, Position + Index);
        if (Next < (Index == 1 ? Low : 0x80) || Next > (Index == 1 ? High : 0xBF))
        {
            return 0;
        }
    }
    return Length;
}

/** A control a terminal acts on: C0 but line feed and tab, DEL, and C1 (U+0080 to U+009F, C2 80 to C2 9F). */
bool IsControl(std::string_view Sequence)
{
    const uint8 Lead = ByteAt(Sequence, 0);
    if (Sequence.size() == 1)
    {
        return (Lead < 0x20 && Lead != '\n' && Lead != '\t') || Lead == 0x7F;
    }
    return Sequence.size() == 2 && Lead == 0xC2 && ByteAt(Sequence, 1) <= 0x9F;
}

void AppendByteEscapes(FString& Out, std::string_view Bytes)
{
    for (const char Byte : Bytes)
    {
        Out += FString::Printf("\\x%02x", static_cast<uint8>(Byte));
    }
}
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
    const std::string_view View = Text.View();
    for (size_t Position = 0; Position < View.size();)
    {
        const size_t WellFormed = Utf8SequenceLength(View, Position);
        const std::string_view Sequence = View.substr(Position, std::max<size_t>(WellFormed, 1));
        const bool bEscaped = WellFormed == 0 || IsControl(Sequence);
        const size_t UnitLength = bEscaped ? Sequence.size() * EscapeLength : Sequence.size();
        if (static_cast<size_t>(Out.Len()) + UnitLength > static_cast<size_t>(MaxLength))
        {
            return false;
        }
        if (bEscaped)
        {
            AppendByteEscapes(Out, Sequence);
        }
        else
        {
            Out.AppendChars(Sequence.data(), static_cast<int32>(Sequence.size()));
        }
        Position += Sequence.size();
    }
    return true;
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
