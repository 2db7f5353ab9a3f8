#include "HttpUrl.h"

#include <algorithm>
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

constexpr std::string_view Masked = "***";

/** What follows the scheme of an "Authorization" value, or the whole value when it names none. */
std::string_view CredentialOf(std::string_view Authorization)
{
    const size_t Blank = Authorization.find(' ');
    if (Blank == std::string_view::npos)
    {
        return Authorization;
    }
    const size_t Start = Authorization.find_first_not_of(' ', Blank);
    return Start == std::string_view::npos ? std::string_view() : Authorization.substr(Start);
}

void ReplaceAll(std::string& Text, std::string_view Secret)
{
    if (Secret.empty())
    {
        return;
    }
    for (size_t Found = Text.find(Secret); Found != std::string::npos; Found = Text.find(Secret, Found))
    {
        Text.replace(Found, Secret.size(), Masked);
        Found += Masked.size();
    }
}

/** "user:password@" in the authority becomes "***@". */
void MaskUserInfo(std::string& URL)
{
    const size_t SchemeEnd = URL.find("://");
    const size_t HostStart = SchemeEnd == std::string::npos ? 0 : SchemeEnd + 3;
    const size_t AuthorityEnd = std::min(URL.find_first_of("/?#", HostStart), URL.size());
    const size_t At = URL.rfind('@', AuthorityEnd);
    if (At == std::string::npos || At < HostStart)
    {
        return;
    }
    URL.replace(HostStart, At - HostStart, Masked);
}

/** Keeps each query key and masks its value; an item with no '=' is masked whole. */
void MaskQuery(std::string& URL)
{
    const size_t QueryStart = URL.find('?');
    if (QueryStart == std::string::npos)
    {
        return;
    }
    const std::string Query = URL.substr(QueryStart + 1);
    URL.resize(QueryStart + 1);
    size_t ItemStart = 0;
    for (;;)
    {
        const size_t ItemEnd = std::min(Query.find('&', ItemStart), Query.size());
        const std::string_view Item = std::string_view(Query).substr(ItemStart, ItemEnd - ItemStart);
        const size_t Equals = Item.find('=');
        const bool bHasValue = Equals == std::string_view::npos ? !Item.empty() : Equals + 1 < Item.size();
        URL.append(Item.substr(0, Equals == std::string_view::npos ? 0 : Equals + 1));
        URL.append(bHasValue ? Masked : std::string_view());
        if (ItemEnd == Query.size())
        {
            return;
        }
        URL.push_back('&');
        ItemStart = ItemEnd + 1;
    }
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

FString MaskForLog(const FString& URL, const TArray<TPair<FString, FString>>& Headers)
{
    std::string Shown(URL.View());
    for (const auto& Header : Headers)
    {
        if (Header.Key == "Authorization")
        {
            ReplaceAll(Shown, CredentialOf(Header.Value.View()));
        }
    }
    MaskUserInfo(Shown);
    MaskQuery(Shown);
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
