#include "HostSecrets.h"

#include <cctype>
#include <cstring>

#include "Core/Parse.h"
#include "HostWords.h"

namespace
{
constexpr const char* Mask = "***";

/**
 * The keys the engine reads its credentials by (a password, exchange code or refresh token; a token; a
 * token's JSON). Typed on a console line they do nothing, but show what they were given all the same.
 */
const char* const SecretKeys[] = {"PASSWORD=", "AUTH=", "AUTH_JSON="};

bool IsNameChar(char Char)
{
    return std::isalnum(static_cast<unsigned char>(Char)) || Char == '_';
}

/** Argument with the value of the first secret key in it masked; false when it holds none. */
bool MaskSecretKeys(FString& Argument)
{
    for (int32 At = 0; At < Argument.Len(); ++At)
    {
        if (At > 0 && IsNameChar(Argument[At - 1]))
        {
            continue;
        }
        for (const char* Key : SecretKeys)
        {
            if (Argument.Mid(At).StartsWith(Key))
            {
                Argument = Argument.Left(At + static_cast<int32>(std::strlen(Key))) + Mask;
                return true;
            }
        }
    }
    return false;
}

TArray<FString> ReadArgs(const TCHAR* Args)
{
    TArray<FString> Out;
    for (FString Arg; FParse::Token(Args, Arg, false);)
    {
        Out.Add(Arg);
    }
    return Out;
}
} // namespace

FString MaskConsoleLine(const FString& Line)
{
    const TCHAR* Rest = *Line;
    const FHostWord* Word = FindHostWord(Rest);
    const TArray<FString> Args = ReadArgs(Rest);
    TArray<FString> Shown = Args;
    bool bMasked = false;
    for (int32 Index = 0; Index < Args.Num(); ++Index)
    {
        if (Word && Word->IsSecretArg && Word->IsSecretArg(Args, Index))
        {
            Shown[Index] = Mask;
            bMasked = true;
        }
        bMasked |= MaskSecretKeys(Shown[Index]);
    }
    if (!bMasked)
    {
        return Line;
    }
    const FString Joined = FString::Join(Shown, " ");
    return Word ? FString(Word->Name) + " " + Joined : Joined;
}
