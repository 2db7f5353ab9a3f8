#pragma once

#include "CoreMinimal.h"

/** What went wrong with a call, by kind; None is success. */
enum class EZorErrorKind : uint8
{
    None,
    /** The call never reached the service, was cancelled, or the service was shut down. */
    NoResponse,
    /** The service answered with a code the operation does not accept. */
    HttpStatus,
    /** The service answered with its own error reply ("errorMessage"). */
    ServiceError,
    /** The reply did not read as the record or object the operation expects. */
    InvalidPayload,
    /** The operation refused to start (a road without credentials, a check of its own). */
    Refused,
};

/** The one error value inside the module; events carry its Text. */
struct FZorError
{
    EZorErrorKind Kind = EZorErrorKind::None;
    int32 HttpCode = 0;
    /** The service's "errorCode", when its reply carried one. */
    FString ErrorCode;
    FString Text;

    static FZorError Make(EZorErrorKind Kind, const FString& Text, int32 HttpCode = 0)
    {
        FZorError Error;
        Error.Kind = Kind;
        Error.Text = Text;
        Error.HttpCode = HttpCode;
        return Error;
    }
    static FZorError NoResponse() { return Make(EZorErrorKind::NoResponse, "No response"); }

    bool IsError() const { return Kind != EZorErrorKind::None; }
    explicit operator bool() const { return IsError(); }
};
