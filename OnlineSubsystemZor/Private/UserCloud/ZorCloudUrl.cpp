#include "UserCloud/ZorCloudUrl.h"

#include <cstring>

namespace
{
bool NeedsEncoding(unsigned char Byte, bool bInQuery)
{
    if (Byte <= 0x20 || Byte == 0x7F || Byte == '%' || Byte == '#')
    {
        return true;
    }
    return bInQuery ? (Byte == '&' || Byte == '+') : (Byte == '/' || Byte == '?');
}

bool MatchesAt(std::string_view Text, size_t At, std::string_view Word, ESearchCase::Type Case)
{
    if (Text.size() - At < Word.size())
    {
        return false;
    }
    const FString Found(Text.substr(At, Word.size()));
    return Found.Equals(FString(Word), Case);
}
} // namespace

FString FZorCloudUrl::Encode(const FString& Value, bool bInQuery)
{
    static const char Hex[] = "0123456789ABCDEF";
    FString Out;
    for (const char Ch : Value)
    {
        const unsigned char Byte = static_cast<unsigned char>(Ch);
        if (!NeedsEncoding(Byte, bInQuery))
        {
            Out += Ch;
            continue;
        }
        Out += '%';
        Out += Hex[Byte >> 4];
        Out += Hex[Byte & 0x0F];
    }
    return Out;
}

FString FZorCloudUrl::Fill(const FString& Template, std::initializer_list<FValue> Values,
                           ESearchCase::Type Case)
{
    const std::string_view Text = Template.View();
    FString Out;
    bool bInQuery = false;
    for (size_t At = 0; At < Text.size(); ++At)
    {
        bInQuery = bInQuery || Text[At] == '?';
        const FValue* Match = nullptr;
        if (Text[At] == '`')
        {
            for (const FValue& Value : Values)
            {
                if (MatchesAt(Text, At + 1, Value.Name, Case))
                {
                    Match = &Value;
                    break;
                }
            }
        }
        if (!Match)
        {
            Out += Text[At];
            continue;
        }
        Out += Encode(Match->Value, bInQuery);
        At += std::strlen(Match->Name);
    }
    return Out;
}
