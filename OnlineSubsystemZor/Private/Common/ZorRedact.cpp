#include "Common/ZorRedact.h"

#include <cctype>
#include <cstring>

namespace
{
const char* const SecretKeys[] = {"access_token",  "refresh_token",       "password", "client_secret",
                                  "exchange_code", "external_auth_token", "code",     "token"};
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

/** Where a JSON string value of "Key" starts when Key begins at Position just after a quote, else -1. */
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
    return After < Text.Len() && Text[After] == '"' ? After + 1 : -1;
}

int32 FormValueEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '&')
    {
        ++Start;
    }
    return Start;
}

int32 JsonValueEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '"')
    {
        Start += Text[Start] == '\\' ? 2 : 1;
    }
    return Start < Text.Len() ? Start : Text.Len();
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
        if (const int32 Start = JsonValueStart(Text, Position, KeyLen); Start >= 0)
        {
            OutEnd = JsonValueEnd(Text, Start);
            Out += Text.Mid(Position, Start - Position) + ZorRedact::Secret(Text.Mid(Start, OutEnd - Start));
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
    return Masked.Len() > MaxLoggedBody ? Masked.Left(MaxLoggedBody) + "..." : Masked;
}
