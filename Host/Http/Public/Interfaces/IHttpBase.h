#pragma once

#include "CoreMinimal.h"

/** What requests and responses share: a URL, headers and a byte body. */
class IHttpBase
{
public:
    virtual ~IHttpBase() = default;

    virtual FString GetURL() const = 0;
    /** The header's value, matched ignoring letter case; empty when absent. */
    virtual FString GetHeader(const FString& HeaderName) const = 0;
    /** Every header as "Name: Value", in the order they were set or received. */
    virtual TArray<FString> GetAllHeaders() const = 0;
    /** The "Content-Type" header as is. */
    virtual FString GetContentType() const = 0;
    virtual uint64 GetContentLength() const = 0;
    virtual const TArray<uint8>& GetContent() const = 0;
};
