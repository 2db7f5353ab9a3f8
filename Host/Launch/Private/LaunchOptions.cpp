#include "Launch/LaunchOptions.h"

#include <charconv>

namespace
{
constexpr int32 MaxFramesPerSecond = 1000;

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

bool ParseFramesPerSecond(const FString& Text, int32& Out)
{
    const char* Begin = *Text;
    const char* End = Begin + Text.Len();
    int32 Value = 0;
    const auto [Stop, Error] = std::from_chars(Begin, End, Value);
    if (Error != std::errc() || Stop != End || Value < 1 || Value > MaxFramesPerSecond)
    {
        return false;
    }
    Out = Value;
    return true;
}

bool ApplyArgument(const FString& Argument, FLaunchOptions& Out, FString& OutError)
{
    FString Value;
    if (ReadOption(Argument, "-exec=", Value))
    {
        Out.ExecPath = Value;
        if (Value.IsEmpty())
        {
            OutError = "-exec= needs a file";
            return false;
        }
        return true;
    }
    if (ReadOption(Argument, "-fps=", Value))
    {
        if (!ParseFramesPerSecond(Value, Out.FramesPerSecond))
        {
            OutError =
                FString::Printf("-fps= needs a whole number from 1 to %d: %s", MaxFramesPerSecond, *Argument);
            return false;
        }
        return true;
    }
    if (ReadOption(Argument, "-log=", Value))
    {
        Out.LogSettings.Add(Value);
        return true;
    }
    if (Argument == "-server")
    {
        Out.bDedicatedServer = true;
    }
    return true;
}
} // namespace

bool ParseLaunchArguments(const TArray<FString>& Arguments, FLaunchOptions& Out, FString& OutError)
{
    TArray<FString> EngineArguments;
    for (const FString& Argument : Arguments)
    {
        FString IniPath;
        if (ReadOption(Argument, "-ini=", IniPath))
        {
            if (IniPath.IsEmpty())
            {
                OutError = "-ini= needs a file";
                return false;
            }
            Out.IniPath = IniPath;
            continue;
        }
        if (!ApplyArgument(Argument, Out, OutError))
        {
            return false;
        }
        EngineArguments.Add(Argument);
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
    return "usage: zorhost [-ini=PATH] [-exec=PATH] [-fps=N] [-log=Category:Verbosity]... [-server]\n"
           "               [engine arguments such as LOGIN= PASSWORD= TYPE= AUTH= ZORCONFIG= -NOZOR]\n"
           "Console lines come from PATH or standard input; host words: wait SECONDS, login, logout, quit.\n";
}
