#include "Common/ZorRedact.h"

#include <cctype>
#include <cstring>

#include "Subsystem/ZorLogText.h"

namespace
{
// A download's signature is a credential too: whoever holds it may fetch the file.
const char* const SecretKeys[] = {"access_token",  "refresh_token", "password",
                                  "client_secret", "exchange_code", "external_auth_token",
                                  "code",          "token",         "signature"};
constexpr int32 ShownPrefix = 4;
constexpr int32 ShortestWithPrefix = 16;

bool KeyAt(const FString& Text, int32 Position, const char* Key)
{
    int32 Index = 0;
    for (; Key[Index]; ++Index)
    {
        if (Position + Index >= Text.Len() ||
            std::tolower(static_cast<unsigned char>(Text[Position + Index])) != Key[Index])
        {
            return false;
        }
    }
    return true;
}

int32 SkipBlanks(const FString& Text, int32 Position)
{
    while (Position < Text.Len() && std::isspace(static_cast<unsigned char>(Text[Position])))
    {
        ++Position;
    }
    return Position;
}

/** Where a form value of Key starts when Key begins at Position (start or after '&'), else -1. */
int32 FormValueStart(const FString& Text, int32 Position, int32 KeyLen)
{
    const bool bKeyStart = Position == 0 || Text[Position - 1] == '&';
    const int32 After = Position + KeyLen;
    return bKeyStart && After < Text.Len() && Text[After] == '=' ? After + 1 : -1;
}

/** Where the JSON value of "Key" starts, of whatever type, when Key begins at Position just after a quote,
 * else -1. */
int32 JsonValueStart(const FString& Text, int32 Position, int32 KeyLen)
{
    int32 After = Position + KeyLen;
    if (Position == 0 || Text[Position - 1] != '"' || After >= Text.Len() || Text[After] != '"')
    {
        return -1;
    }
    After = SkipBlanks(Text, After + 1);
    if (After >= Text.Len() || Text[After] != ':')
    {
        return -1;
    }
    After = SkipBlanks(Text, After + 1);
    return After < Text.Len() ? After : -1;
}

int32 FormValueEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '&')
    {
        ++Start;
    }
    return Start;
}

/** The end of the JSON string whose text starts at Start, just after its opening quote. */
int32 JsonStringEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '"')
    {
        Start += Text[Start] == '\\' ? 2 : 1;
    }
    return Start < Text.Len() ? Start : Text.Len();
}

/** The end of the JSON array, object, number or literal at Start: where its nesting closes or, at the top,
 * the next ',', '}' or ']'. Strings inside are skipped whole, so their brackets do not count. */
int32 JsonOtherValueEnd(const FString& Text, int32 Start)
{
    int32 Depth = 0;
    for (int32 Position = Start; Position < Text.Len(); ++Position)
    {
        const char Char = Text[Position];
        if (Char == '"')
        {
            Position = JsonStringEnd(Text, Position + 1);
        }
        else if (Char == '[' || Char == '{')
        {
            ++Depth;
        }
        else if ((Char == ']' || Char == '}') && Depth > 0)
        {
            if (--Depth == 0)
            {
                return Position + 1;
            }
        }
        else if (Depth == 0 && (Char == ',' || Char == ']' || Char == '}'))
        {
            return Position;
        }
    }
    return Text.Len();
}

/** The masked value and the end of the original one when a secret key's value starts at Position. */
bool MaskValueAt(const FString& Text, int32 Position, FString& Out, int32& OutEnd)
{
    for (const char* Key : SecretKeys)
    {
        if (!KeyAt(Text, Position, Key))
        {
            continue;
        }
        const int32 KeyLen = static_cast<int32>(std::strlen(Key));
        if (const int32 Start = FormValueStart(Text, Position, KeyLen); Start >= 0)
        {
            OutEnd = FormValueEnd(Text, Start);
            Out += Text.Mid(Position, Start - Position) + ZorRedact::Secret(Text.Mid(Start, OutEnd - Start));
            return true;
        }
        const int32 Start = JsonValueStart(Text, Position, KeyLen);
        if (Start >= 0 && Text[Start] == '"')
        {
            OutEnd = JsonStringEnd(Text, Start + 1);
            Out += Text.Mid(Position, Start + 1 - Position) +
                   ZorRedact::Secret(Text.Mid(Start + 1, OutEnd - Start - 1));
            return true;
        }
        if (Start >= 0)
        {
            // An array, object or number shows no prefix: its first characters may be all of a short secret.
            OutEnd = JsonOtherValueEnd(Text, Start);
            Out += Text.Mid(Position, Start - Position) + "\"<redacted>\"";
            return true;
        }
    }
    return false;
}
} // namespace

FString ZorRedact::Secret(const FString& Value)
{
    return (Value.Len() >= ShortestWithPrefix ? Value.Left(ShownPrefix) : FString()) + "<redacted>";
}

FString ZorRedact::Text(const FString& Text, const TArray<FString>& Secrets)
{
    FString Masked = Text;
    for (const FString& Value : Secrets)
    {
        if (!Value.IsEmpty())
        {
            Masked.ReplaceInline(Value, Secret(Value), ESearchCase::CaseSensitive);
        }
    }
    return Masked;
}

FString ZorRedact::Body(const FString& Body)
{
    FString Masked;
    for (int32 Position = 0; Position < Body.Len() && Masked.Len() <= MaxLoggedBody;)
    {
        int32 End = Position;
        if (MaskValueAt(Body, Position, Masked, End))
        {
            Position = End;
            continue;
        }
        Masked.AppendChar(Body[Position]);
        ++Position;
    }
    FString Logged;
    if (FLog::AppendEscaped(Logged, Masked, MaxLoggedBody) && Masked.Len() <= MaxLoggedBody)
    {
        return Logged;
    }
    return Logged + FString::Printf("... (%d bytes)", Body.Len());
}

FString ZorLogText::Error(const FString& Text)
{
    return ZorRedact::Body(Text);
}
