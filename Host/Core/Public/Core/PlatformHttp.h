#pragma once

#include "Core/String.h"

class FGenericPlatformHttp
{
public:
    /** Keeps RFC 3986 unreserved characters (letters, digits, "-._~"); every other byte becomes %XX. */
    static FString UrlEncode(const FString& Text);
    /** Turns %XX into its byte and '+' into a blank; a '%' not followed by two hex digits stays as it is. */
    static FString UrlDecode(const FString& Text);
};

using FPlatformHttp = FGenericPlatformHttp;
