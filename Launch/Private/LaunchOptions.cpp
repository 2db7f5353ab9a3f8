#include "Launch/LaunchOptions.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace
{
constexpr int32 MaxFramesPerSecond = 1000;
constexpr int32 MaxPort = 65535;

/**
 * Index of the first character that would end an unquoted value for the engine's value reader (a blank, a
 * tab, a comma or a closing parenthesis), or INDEX_NONE.
 */
int32 FindBlank(const FString& Text)
{
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        if (Text[Index] == ' ' || Text[Index] == '\t' || Text[Index] == ',' || Text[Index] == ')')
        {
            return Index;
        }
    }
    return INDEX_NONE;
}

FString QuoteArgument(const FString& Argument)
{
    const int32 Blank = FindBlank(Argument);
    if (Blank == INDEX_NONE)
    {
        return Argument;
    }
    int32 Equals;
    if (Argument.FindChar('=', Equals) && Equals < Blank)
    {
        return Argument.Left(Equals + 1) + "\"" + Argument.Mid(Equals + 1) + "\"";
    }
    return "\"" + Argument + "\"";
}

enum class EHostOption
{
    Exec,
    Ini,
    Domain,
    Log,
    Fps,
    Server,
    Help,
};

/** An option of the host itself: its name without dashes, the one form it is written in and its value. */
struct FHostOption
{
    const char* Name;
    const char* Form;
    const char* Placeholder;
    EHostOption Kind;
};

const FHostOption HostOptions[] = {
    {"exec", "-exec=", "PATH", EHostOption::Exec},
    {"ini", "-ini=", "PATH", EHostOption::Ini},
    {"domain", "-domain=", "HOST:PORT", EHostOption::Domain},
    {"log", "-log=", "Category:Verbosity", EHostOption::Log},
    {"fps", "-fps=", "N", EHostOption::Fps},
    {"server", "-server", "", EHostOption::Server},
    {"help", "--help", "", EHostOption::Help},
    {"help", "-help", "", EHostOption::Help},
    {"h", "-h", "", EHostOption::Help},
};

bool TakesValue(const FHostOption& Option)
{
    return Option.Kind != EHostOption::Server && Option.Kind != EHostOption::Help;
}

/** The text after Prefix when Argument starts with it, ignoring case. */
bool ReadOption(const FString& Argument, const char* Prefix, FString& OutValue)
{
    if (!Argument.StartsWith(Prefix))
    {
        return false;
    }
    OutValue = Argument.RightChop(FString(Prefix).Len());
    return true;
}

/** A decimal whole number from Min to Max and nothing else. */
bool ParseWholeNumber(const FString& Text, int32 Min, int32 Max, int32& Out)
{
    const char* Begin = *Text;
    const char* End = Begin + Text.Len();
    int32 Value = 0;
    const auto [Stop, Error] = std::from_chars(Begin, End, Value);
    if (Error != std::errc() || Stop != End || Value < Min || Value > Max)
    {
        return false;
    }
    Out = Value;
    return true;
}

bool RequireValue(const FString& Value, const char* Form, FString& OutError)
{
    if (Value.IsEmpty())
    {
        OutError = FString::Printf("%s needs a file", Form);
        return false;
    }
    return true;
}

bool AllCharsOf(const FString& Text, const char* Others)
{
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        const char Char = Text[Index];
        if (!std::isalnum(static_cast<unsigned char>(Char)) && (Char == '\0' || !std::strchr(Others, Char)))
        {
            return false;
        }
    }
    return !Text.IsEmpty();
}

/** HOST:PORT, as the ini's Domain holds them: a host name, an IPv4 address or an IPv6 one in brackets.
 * Nothing else, for whatever else would go into every URL (user info, a path, a fragment). */
bool IsDomain(const FString& Value)
{
    int32 Colon;
    int32 Port;
    if (!Value.FindLastChar(':', Colon) || !ParseWholeNumber(Value.Mid(Colon + 1), 1, MaxPort, Port))
    {
        return false;
    }
    const FString Host = Value.Left(Colon);
    if (Host.StartsWith("[") && Host.EndsWith("]"))
    {
        const FString Address = Host.Mid(1, Host.Len() - 2);
        return Address.Contains(":") && AllCharsOf(Address, ":.");
    }
    return AllCharsOf(Host, ".-_");
}

/** The argument as a refusal may show it: its name up to '=', never its value, which may hold a password
 * (user info, a query's token) in any encoding. */
FString ShownArgument(const FString& Argument)
{
    int32 Equals;
    return Argument.FindChar('=', Equals) ? Argument.Left(Equals + 1) : Argument;
}

bool ApplyValueOption(const FHostOption& Option, const FString& Value, FLaunchOptions& Out, FString& OutError)
{
    switch (Option.Kind)
    {
    case EHostOption::Exec:
        Out.ExecPath = Value;
        return RequireValue(Value, Option.Form, OutError);
    case EHostOption::Ini:
        Out.IniPath = Value;
        return RequireValue(Value, Option.Form, OutError);
    case EHostOption::Domain:
        Out.Domain = Value;
        if (!IsDomain(Value))
        {
            OutError = "-domain= needs HOST:PORT, as in -domain=127.0.0.1:8080, and nothing else (no scheme, "
                       "user info, path or query)";
            return false;
        }
        return true;
    case EHostOption::Fps:
        if (!ParseWholeNumber(Value, 1, MaxFramesPerSecond, Out.FramesPerSecond))
        {
            OutError = FString::Printf("-fps= needs a whole number from 1 to %d: -fps=%s", MaxFramesPerSecond,
                                       *Value);
            return false;
        }
        return true;
    default:
        Out.LogSettings.Add(Value);
        return true;
    }
}

/** The host's own option that Argument is written as, else the one it names in another form (dashes stripped,
 * up to '='), or null. */
const FHostOption* FindHostOption(const FString& Argument)
{
    if (!Argument.StartsWith("-"))
    {
        return nullptr;
    }
    for (const FHostOption& Option : HostOptions)
    {
        if (!TakesValue(Option) && Argument == Option.Form)
        {
            return &Option;
        }
    }
    FString Name = Argument.RightChop(Argument.StartsWith("--") ? 2 : 1);
    int32 Equals;
    if (Name.FindChar('=', Equals))
    {
        Name = Name.Left(Equals);
    }
    for (const FHostOption& Option : HostOptions)
    {
        if (Name == Option.Name)
        {
            return &Option;
        }
    }
    return nullptr;
}

/** Applies one of the host's own options, refusing any form but the one it is written in. */
bool ApplyHostOption(const FHostOption& Option, const FString& Argument, FLaunchOptions& Out,
                     FString& OutError)
{
    FString Value;
    const bool bExactForm =
        TakesValue(Option) ? ReadOption(Argument, Option.Form, Value) : Argument == Option.Form;
    if (!bExactForm)
    {
        OutError = FString::Printf("expected %s%s, not %s", Option.Form, Option.Placeholder,
                                   *ShownArgument(Argument));
        return false;
    }
    if (Option.Kind == EHostOption::Help)
    {
        Out.bShowHelp = true;
        return true;
    }
    if (Option.Kind == EHostOption::Server)
    {
        Out.bDedicatedServer = true;
        return true;
    }
    return ApplyValueOption(Option, Value, Out, OutError);
}
} // namespace

bool ParseLaunchArguments(const TArray<FString>& Arguments, FLaunchOptions& Out, FString& OutError)
{
    TArray<FString> EngineArguments;
    for (const FString& Argument : Arguments)
    {
        const FHostOption* Option = FindHostOption(Argument);
        if (Option && !ApplyHostOption(*Option, Argument, Out, OutError))
        {
            return false;
        }
        // The engine sees every argument but the ini, as it would have been given them.
        if (!Option || Option->Kind != EHostOption::Ini)
        {
            EngineArguments.Add(Argument);
        }
    }
    Out.EngineCommandLine = JoinCommandLine(EngineArguments);
    return true;
}

FString JoinCommandLine(const TArray<FString>& Arguments)
{
    TArray<FString> Quoted;
    for (const FString& Argument : Arguments)
    {
        Quoted.Add(QuoteArgument(Argument));
    }
    return FString::Join(Quoted, " ");
}

const char* GetLaunchUsage()
{
    return "usage: zorhost [-ini=PATH] [-domain=HOST:PORT] [-exec=PATH] [-fps=N] "
           "[-log=Category:Verbosity]... "
           "[-server] [--help]\n"
           "               [engine arguments such as LOGIN= PASSWORD= TYPE= AUTH= ZORCONFIG= -NOZOR]\n"
           "-domain= sends every service to HOST:PORT (a zorbackend started with --port) instead of the "
           "ini's "
           "Domain.\n"
           "Console lines come from PATH or standard input; the word help lists what they may say.\n"
           "Exits with 1 when a line or an operation it started failed, 2 on a bad option.\n";
}
