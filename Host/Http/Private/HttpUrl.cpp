#include "HttpUrl.h"

#include <cstring>

namespace
{
bool NeedsEscape(unsigned char Byte)
{
    if (Byte <= 0x20 || Byte >= 0x7F)
    {
        return true;
    }
    return std::strchr("\"<>\\^`{|}", Byte) != nullptr;
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
    for (const char Ch : URL)
    {
        const unsigned char Byte = static_cast<unsigned char>(Ch);
        if (!NeedsEscape(Byte))
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
