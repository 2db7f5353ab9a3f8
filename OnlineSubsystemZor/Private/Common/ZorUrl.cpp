#include "Common/ZorUrl.h"

#include <cctype>
#include <cstring>

namespace
{
bool IsBlankOrControl(unsigned char Ch)
{
    return Ch <= 0x20 || Ch == 0x7F;
}

FString Encode(const FString& Value, const char* Reserved)
{
    static const char Hex[] = "0123456789ABCDEF";
    FString Out;
    for (int32 Index = 0; Index < Value.Len(); ++Index)
    {
        const unsigned char Ch = static_cast<unsigned char>(Value[Index]);
        if (!IsBlankOrControl(Ch) && !std::strchr(Reserved, Ch))
        {
            Out.AppendChar(static_cast<char>(Ch));
            continue;
        }
        Out.AppendChar('%');
        Out.AppendChar(Hex[Ch >> 4]);
        Out.AppendChar(Hex[Ch & 0x0F]);
    }
    return Out;
}

bool MatchesAt(const FString& Text, int32 Position, const FString& Name, ESearchCase::Type Case)
{
    if (Name.IsEmpty() || Position + Name.Len() > Text.Len())
    {
        return false;
    }
    for (int32 Index = 0; Index < Name.Len(); ++Index)
    {
        const unsigned char A = static_cast<unsigned char>(Text[Position + Index]);
        const unsigned char B = static_cast<unsigned char>(Name[Index]);
        const bool bSame = Case == ESearchCase::CaseSensitive ? A == B : std::tolower(A) == std::tolower(B);
        if (!bSame)
        {
            return false;
        }
    }
    return true;
}

const FZorUrlValue* LongestMatch(const FString& Template, int32 Position, const TArray<FZorUrlValue>& Values,
                                 ESearchCase::Type Case)
{
    const FZorUrlValue* Best = nullptr;
    for (const FZorUrlValue& Value : Values)
    {
        if (MatchesAt(Template, Position, Value.Key, Case) && (!Best || Value.Key.Len() > Best->Key.Len()))
        {
            Best = &Value;
        }
    }
    return Best;
}
} // namespace

FString ZorUrl::EncodePathValue(const FString& Value)
{
    return Encode(Value, "/?#%");
}

FString ZorUrl::EncodeQueryValue(const FString& Value)
{
    // A "?" inside a query is legal, but the services refuse it as a malformed request.
    return Encode(Value, "&#%+?");
}

FString ZorUrl::Substitute(const FString& Template, const TArray<FZorUrlValue>& Values,
                           ESearchCase::Type Case)
{
    FString Url;
    bool bInQuery = false;
    for (int32 Position = 0; Position < Template.Len();)
    {
        if (const FZorUrlValue* Match = LongestMatch(Template, Position, Values, Case))
        {
            Url += bInQuery ? EncodeQueryValue(Match->Value) : EncodePathValue(Match->Value);
            Position += Match->Key.Len();
            continue;
        }
        bInQuery = bInQuery || Template[Position] == '?';
        Url.AppendChar(Template[Position]);
        ++Position;
    }
    return Url;
}
