#include "Core/Parse.h"

#include <cstring>
#include <string>

#include "ValueText.h"

namespace
{
bool IsBlank(char Ch)
{
    return Ch == ' ' || Ch == '\t' || Ch == '\r' || Ch == '\n';
}

bool IsNameChar(char Ch)
{
    return (Ch >= 'a' && Ch <= 'z') || (Ch >= 'A' && Ch <= 'Z') || (Ch >= '0' && Ch <= '9') || Ch == '_';
}

char Lower(char Ch)
{
    return (Ch >= 'A' && Ch <= 'Z') ? static_cast<char>(Ch - 'A' + 'a') : Ch;
}

bool StartsWithIgnoreCase(const char* Text, const char* Prefix)
{
    for (; *Prefix; ++Text, ++Prefix)
    {
        if (Lower(*Text) != Lower(*Prefix))
        {
            return false;
        }
    }
    return true;
}

/** Where Match stands as a whole name in Stream (not inside a longer one), or null. */
const char* FindName(const char* Stream, const char* Match)
{
    const size_t MatchLen = std::strlen(Match);
    if (MatchLen == 0)
    {
        return nullptr;
    }
    for (const char* At = Stream; *At; ++At)
    {
        const bool bAtBoundary = At == Stream || !IsNameChar(At[-1]);
        if (bAtBoundary && StartsWithIgnoreCase(At, Match))
        {
            return At;
        }
    }
    return nullptr;
}

} // namespace

bool FParse::Value(const char* Stream, const char* Match, FString& Out, bool bShouldStopOnSeparator)
{
    if (!Stream || !Match)
    {
        return false;
    }
    const char* Found = FindName(Stream, Match);
    if (!Found)
    {
        return false;
    }
    const char* Start = Found + std::strlen(Match);
    if (*Start == '"')
    {
        ++Start;
        const char* Close = std::strchr(Start, '"');
        Out = Close ? FString(Start, static_cast<int32>(Close - Start)) : FString(Start);
        return true;
    }
    const char* End = Start;
    while (*End && !IsBlank(*End) && !(bShouldStopOnSeparator && (*End == ',' || *End == ')')))
    {
        ++End;
    }
    Out = FString(Start, static_cast<int32>(End - Start));
    return true;
}

bool FParse::Value(const char* Stream, const char* Match, int32& Out)
{
    FString Text;
    return Value(Stream, Match, Text) && ValueText::ParseNumber(Text.View(), Out);
}

bool FParse::Value(const char* Stream, const char* Match, float& Out)
{
    FString Text;
    return Value(Stream, Match, Text) && ValueText::ParseNumber(Text.View(), Out);
}

bool FParse::Value(const char* Stream, const char* Match, bool& Out)
{
    FString Text;
    return Value(Stream, Match, Text) && ValueText::ParseBool(Text, Out);
}

bool FParse::Param(const char* Stream, const char* Param)
{
    if (!Stream || !Param || !*Param)
    {
        return false;
    }
    const size_t ParamLen = std::strlen(Param);
    for (const char* At = Stream; *At; ++At)
    {
        const bool bSwitch = (*At == '-' || *At == '/') && (At == Stream || IsBlank(At[-1]));
        if (bSwitch && StartsWithIgnoreCase(At + 1, Param) && !IsNameChar(At[1 + ParamLen]))
        {
            return true;
        }
    }
    return false;
}

bool FParse::Command(const char** Stream, const char* Match)
{
    if (!Stream || !*Stream || !Match || !*Match)
    {
        return false;
    }
    const char* At = *Stream;
    while (IsBlank(*At))
    {
        ++At;
    }
    const size_t MatchLen = std::strlen(Match);
    if (!StartsWithIgnoreCase(At, Match) || IsNameChar(At[MatchLen]))
    {
        return false;
    }
    At += MatchLen;
    while (IsBlank(*At))
    {
        ++At;
    }
    *Stream = At;
    return true;
}

bool FParse::Token(const char*& Stream, FString& Arg, bool bUseEscape)
{
    if (!Stream)
    {
        return false;
    }
    while (IsBlank(*Stream))
    {
        ++Stream;
    }
    if (!*Stream)
    {
        return false;
    }
    std::string Result;
    bool bInQuotes = false;
    for (; *Stream && (bInQuotes || !IsBlank(*Stream)); ++Stream)
    {
        if (*Stream == '"')
        {
            bInQuotes = !bInQuotes;
        }
        else if (bInQuotes && bUseEscape && *Stream == '\\' && Stream[1])
        {
            Result.push_back(*++Stream);
        }
        else
        {
            Result.push_back(*Stream);
        }
    }
    Arg = FString(std::move(Result));
    return true;
}
