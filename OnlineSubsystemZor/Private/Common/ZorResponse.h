#pragma once

#include "Identity/AuthTokenZor.h"
#include "Http.h"

/** The checks every identity completion makes of its reply. */
namespace ZorResponse
{
/**
 * "No response" without a usable response; otherwise logs "<Operation> request complete. url=%s code=%d
 * response=%s" and gives the reply check's text (empty for a code from 200 to 399).
 */
FString Check(const FString& Url, const FHttpResponsePtr& Response, bool bSucceeded, const char* Operation);

/** Reads a token reply: "Invalid response payload", "No user id" (when an account is required), "No auth
 * token". */
FString ReadToken(const FString& Body, bool bRequireAccount, FAuthTokenZor& OutToken);

/** Check, then ReadToken of the body when the reply passed: the whole test of a grant's reply. */
FString CheckTokenReply(const FString& Url, const FHttpResponsePtr& Response, bool bSucceeded,
                        const char* Operation, bool bRequireAccount, FAuthTokenZor& OutToken);
} // namespace ZorResponse
