#include "Common/ZorResponse.h"

#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

FString ZorResponse::Check(const FString& Url, const FHttpResponsePtr& Response, bool bSucceeded,
                           const char* Operation)
{
    if (!bSucceeded || !Response)
    {
        return "No response";
    }
    UE_LOG_ONLINE(Verbose, "%s request complete. url=%s code=%d response=%s", Operation, *Url,
                  Response->GetResponseCode(), *Response->GetContentAsString());
    return FOnlineIdentityZor::CheckResponse(Response);
}

FString ZorResponse::ReadToken(const FString& Body, bool bRequireAccount, FAuthTokenZor& OutToken)
{
    if (!OutToken.FromReplyJson(Body))
    {
        OutToken = FAuthTokenZor();
        return "Invalid response payload";
    }
    if (bRequireAccount && OutToken.account_id.IsEmpty())
    {
        return "No user id";
    }
    if (OutToken.access_token.IsEmpty())
    {
        return "No auth token";
    }
    return FString();
}

FString ZorResponse::CheckTokenReply(const FString& Url, const FHttpResponsePtr& Response, bool bSucceeded,
                                     const char* Operation, bool bRequireAccount, FAuthTokenZor& OutToken)
{
    const FString Error = Check(Url, Response, bSucceeded, Operation);
    return Error.IsEmpty() ? ReadToken(Response->GetContentAsString(), bRequireAccount, OutToken) : Error;
}
