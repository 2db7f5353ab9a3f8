// Untrusted message payload bytes through the payload reader. Whatever reads must write out within the
// limit it came in under and read back to the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Messages/ZorMessagePayload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const TArray<uint8> Bytes(Data, static_cast<int32>(Size));
    FZorMessagePayload Payload;
    Payload.FromBytes(Bytes);

    TArray<uint8> Written;
    if (!Payload.ToBytes(Written))
    {
        return 0;
    }
    FZorMessagePayload Again;
    Again.FromBytes(Written);
    if (!(Again == Payload))
    {
        std::abort();
    }
    return 0;
}
