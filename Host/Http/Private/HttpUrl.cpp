#include "HttpUrl.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace
{
bool IsHexDigit(char Ch)
{
    return (Ch >= '0' && Ch <= '9') || (Ch >= 'a' && Ch <= 'f') || (Ch >= 'A' && Ch <= 'F');
}

/**
 * Bytes never legal in a URL, and two that are legal but would change a raw value's meaning: a '#' would cut
 * the rest off as a fragment that is never sent, and a '%' not starting an escape would be misread.
 */
bool NeedsEscape(std::string_view URL, size_t Index)
{
    const unsigned char Byte = static_cast<unsigned char>(URL[Index]);
    if (Byte <= 0x20 || Byte >= 0x7F || Byte == '#')
    {
        return true;
    }
    if (Byte == '%')
    {
        return !(Index + 2 < URL.size() && IsHexDigit(URL[Index + 1]) && IsHexDigit(URL[Index + 2]));
    }
    return std::strchr("\"<>\\^`{|}", Byte) != nullptr;
}

bool IsSchemeName(std::string_view Text)
{
    return !Text.empty() && std::all_of(Text.begin(), Text.end(),
                                        [](char Ch) {
                                            return std::isalnum(static_cast<unsigned char>(Ch)) ||
                                                   Ch == '+' || Ch == '-' || Ch == '.';
                                        });
}

bool IsTokenChar(unsigned char Byte)
{
    if ((Byte >= '0' && Byte <= '9') || (Byte >= 'a' && Byte <= 'z') || (Byte >= 'A' && Byte <= 'Z'))
    {
        return true;
    }
    return Byte != 0 && std::strchr("!#$%&'*+-.^_`|~", Byte) != nullptr;
}
} // namespace

namespace HttpUrl
{
bool IsValidHttpUrl(const FString& URL)
{
    int32 HostStart = 0;
    if (URL.StartsWith("http://"))
    {
        HostStart = 7;
    }
    else if (URL.StartsWith("https://"))
    {
        HostStart = 8;
    }
    else
    {
        return false;
    }
    const std::string_view Rest = URL.View().substr(HostStart);
    const size_t HostEnd = Rest.find_first_of("/?#");
    return HostEnd != 0 && !Rest.empty();
}

std::string EncodeForWire(std::string_view URL)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string Encoded;
    Encoded.reserve(URL.size());
    for (size_t Index = 0; Index < URL.size(); ++Index)
    {
        const char Ch = URL[Index];
        const unsigned char Byte = static_cast<unsigned char>(Ch);
        if (!NeedsEscape(URL, Index))
        {
            Encoded.push_back(Ch);
            continue;
        }
        Encoded.push_back('%');
        Encoded.push_back(Hex[Byte >> 4]);
        Encoded.push_back(Hex[Byte & 0x0F]);
    }
    return Encoded;
}

FString MaskForLog(const FString& URL)
{
    const std::string_view Text = URL.View();
    const size_t SchemeEnd = Text.find("://");
    if (SchemeEnd == std::string_view::npos || !IsSchemeName(Text.substr(0, SchemeEnd)))
    {
        return Text.empty() ? FString() : FString("***");
    }
    const size_t AuthorityStart = SchemeEnd + 3;
    const size_t AuthorityEnd = std::min(Text.find_first_of("/?#", AuthorityStart), Text.size());
    const size_t At = Text.substr(0, AuthorityEnd).rfind('@');
    const size_t HostStart = At == std::string_view::npos || At < AuthorityStart ? AuthorityStart : At + 1;
    std::string Shown(Text.substr(0, AuthorityStart));
    Shown.append(Text.substr(HostStart, AuthorityEnd - HostStart));
    if (AuthorityEnd < Text.size())
    {
        Shown.append("/***");
    }
    return FString(std::move(Shown));
}
} // namespace HttpUrl

namespace HttpToken
{
bool IsToken(const FString& Text)
{
    if (Text.IsEmpty())
    {
        return false;
    }
    for (const char Ch : Text)
    {
        if (!IsTokenChar(static_cast<unsigned char>(Ch)))
        {
            return false;
        }
    }
    return true;
}

bool IsSafeHeaderValue(const FString& Text)
{
    return Text.View().find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}
} // namespace HttpToken
