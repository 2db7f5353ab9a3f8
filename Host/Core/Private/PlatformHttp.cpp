#include "Core/PlatformHttp.h"

#include <string>

#include "ValueText.h"

namespace
{
bool IsUnreserved(unsigned char Ch)
{
    return (Ch >= 'A' && Ch <= 'Z') || (Ch >= 'a' && Ch <= 'z') || (Ch >= '0' && Ch <= '9') || Ch == '-' ||
           Ch == '.' || Ch == '_' || Ch == '~';
}

} // namespace

FString FGenericPlatformHttp::UrlEncode(const FString& Text)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string Out;
    Out.reserve(Text.Len() * 3);
    for (char Ch : Text)
    {
        const auto Byte = static_cast<unsigned char>(Ch);
        if (IsUnreserved(Byte))
        {
            Out.push_back(Ch);
            continue;
        }
        Out.push_back('%');
        Out.push_back(Digits[Byte >> 4]);
        Out.push_back(Digits[Byte & 15]);
    }
    return FString(std::move(Out));
}

FString FGenericPlatformHttp::UrlDecode(const FString& Text)
{
    const std::string& In = Text.ToStdString();
    std::string Out;
    Out.reserve(In.size());
    for (size_t Index = 0; Index < In.size(); ++Index)
    {
        if (In[Index] == '%' && Index + 2 < In.size())
        {
            const int32 High = ValueText::HexValue(In[Index + 1]);
            const int32 Low = ValueText::HexValue(In[Index + 2]);
            if (High >= 0 && Low >= 0)
            {
                Out.push_back(static_cast<char>((High << 4) | Low));
                Index += 2;
                continue;
            }
        }
        Out.push_back(In[Index] == '+' ? ' ' : In[Index]);
    }
    return FString(std::move(Out));
}
