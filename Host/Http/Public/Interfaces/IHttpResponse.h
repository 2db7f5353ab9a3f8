#pragma once

#include "Interfaces/IHttpBase.h"

/** A received HTTP response; immutable once handed out. */
class IHttpResponse : public IHttpBase
{
public:
    virtual int32 GetResponseCode() const = 0;
    /** The body's bytes as text (UTF-8 expected, passed through unchanged). */
    virtual FString GetContentAsString() const = 0;
};

using FHttpResponsePtr = TSharedPtr<IHttpResponse, ESPMode::ThreadSafe>;
