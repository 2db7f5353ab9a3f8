// Untrusted text through the decoders that read service replies and cached data: dates, Base64, URL escapes
// and SHA-1 digests.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Core/Base64.h"
#include "Core/DateTime.h"
#include "Core/PlatformHttp.h"
#include "Core/SecureHash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Bytes(reinterpret_cast<const char*>(Data), Size);
    const FString Text(Bytes);

    FDateTime Date;
    if (FDateTime::ParseIso8601(Bytes.c_str(), Date))
    {
        FDateTime Again;
        // What was read must be written back in a form that reads to the same moment, to the millisecond.
        if (!FDateTime::ParseIso8601(*Date.ToIso8601(), Again) ||
            Again.GetTicks() / FTimespan::TicksPerMillisecond !=
                Date.GetTicks() / FTimespan::TicksPerMillisecond)
        {
            std::abort();
        }
    }

    TArray<uint8> Decoded;
    if (FBase64::Decode(Text, Decoded) && FBase64::Encode(Decoded).Len() != Text.Len())
    {
        std::abort();
    }
    if (!FBase64::Decode(FBase64::Encode(Text), Decoded) || Decoded.Num() != Text.Len())
    {
        std::abort();
    }

    if (!FGenericPlatformHttp::UrlDecode(FGenericPlatformHttp::UrlEncode(Text)).Equals(Text))
    {
        std::abort();
    }
    FGenericPlatformHttp::UrlDecode(Text);

    FSHAHash Hash;
    Hash.FromString(Text);
    return 0;
}
