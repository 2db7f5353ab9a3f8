// Untrusted account-service replies through the identity's record readers: token grants (with their sanity
// checks), verifications and exchange codes. A reply that reads must write out and read back to the same
// access token and lifetimes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Identity/AuthTokenZor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    FAuthTokenVerifyZor Verification;
    Verification.FromJson(Text);
    FAuthTokenExchangeCodeZor Code;
    Code.FromJson(Text);

    FAuthTokenZor Token;
    if (!Token.FromReplyJson(Text))
    {
        return 0;
    }
    FAuthTokenZor Again;
    if (!Again.FromReplyJson(Token.ToJson()) ||
        !Again.access_token.Equals(Token.access_token, ESearchCase::CaseSensitive) ||
        Again.expires_in != Token.expires_in || Again.refresh_expires != Token.refresh_expires ||
        Again.additionalInformation.Num() != Token.additionalInformation.Num())
    {
        std::abort();
    }
    return 0;
}
