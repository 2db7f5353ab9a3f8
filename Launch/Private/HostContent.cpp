#include "HostContent.h"

#include <string_view>

#include "Launch/ZorHost.h"

namespace
{
constexpr int32 ShownBytes = 200;

/** No control characters but tabs and line breaks: nothing that would steer the terminal. */
bool IsText(std::string_view Bytes)
{
    for (const char Character : Bytes)
    {
        const unsigned char Code = static_cast<unsigned char>(Character);
        const bool bControl = (Code < 0x20 && Code != '\t' && Code != '\n' && Code != '\r') || Code == 0x7f;
        if (bControl)
        {
            return false;
        }
    }
    return true;
}

/** At most ShownBytes, ending before a UTF-8 continuation byte rather than inside a character. */
std::string_view StartOf(std::string_view Bytes)
{
    size_t Length = std::min<size_t>(Bytes.size(), ShownBytes);
    while (Length < Bytes.size() && Length > 0 && (static_cast<unsigned char>(Bytes[Length]) & 0xC0) == 0x80)
    {
        --Length;
    }
    return Bytes.substr(0, Length);
}
} // namespace

void LogContentStart(const TArray<uint8>& Content)
{
    const std::string_view Bytes(reinterpret_cast<const char*>(Content.GetData()), Content.Num());
    if (!IsText(Bytes))
    {
        UE_LOG(LogHost, Display, "  content (%d bytes) is not text", Content.Num());
        return;
    }
    const std::string_view Start = StartOf(Bytes);
    UE_LOG(LogHost, Display, "  content (%d bytes): %s%s", Content.Num(), *FString(Start),
           Start.size() < Bytes.size() ? " ..." : "");
}
