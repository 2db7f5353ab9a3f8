#pragma once

#include "Core/Array.h"
#include "Core/String.h"
#include "Core/Types.h"

/** Standard Base64 (RFC 4648 section 4) with '=' padding. */
class FBase64
{
public:
    /** Encodes the bytes of the UTF-8 text. */
    static FString Encode(const FString& Source);
    static FString Encode(const TArray<uint8>& Source);
    static FString Encode(const uint8* Source, uint32 Length);

    /** False, with Dest emptied, unless Source is well-formed padded Base64 (no blanks, no line breaks). */
    static bool Decode(const FString& Source, TArray<uint8>& Dest);
    /** Decodes to bytes taken as UTF-8 text. */
    static bool Decode(const FString& Source, FString& Dest);
};
