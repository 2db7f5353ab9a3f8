#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineMessagePayload.h"

/**
 * A message payload with the byte form peers exchange: a big-endian signed 32-bit entry count, then per
 * entry its key as text, a one-byte type code and the value (see ToBytes). Type codes are the numbers of
 * EOnlineKeyValuePairDataType; kinds without a value form (empty, booleans, anything from 7 up) travel as
 * the code alone and read back empty.
 */
class FZorMessagePayload : public FOnlineMessagePayload
{
public:
    /** The most bytes the encoded form may take. */
    static constexpr int32 MaxBytes = 4096;

    FZorMessagePayload() = default;
    explicit FZorMessagePayload(const FOnlineMessagePayload& Source) : FOnlineMessagePayload(Source) {}

    /** Bytes the encoded form takes, whatever the limit. */
    int64 GetByteSize() const;

    /**
     * Text is written as a signed 32-bit count of UTF-16 code units and one byte per unit: the character
     * when it is ASCII, else '?' (so a character outside the basic plane gives two). Numbers are big-endian;
     * floats and doubles as their IEEE 754 bits; a blob as a signed 32-bit length and its bytes.
     * False, with OutBytes empty, when the form would pass MaxBytes: no peer is ever sent a cut entry.
     */
    bool ToBytes(TArray<uint8>& OutBytes) const;

    /**
     * Replaces the entries with those read from Bytes. No length is trusted: the read stops at the first
     * entry that runs past the end or states a negative blob length, keeping the entries before it. A text
     * length below 1 gives empty text; a text is cut at its first zero byte and bytes above 127 read as '?'.
     */
    void FromBytes(const TArray<uint8>& Bytes);
};
