#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Common/ZorResponse.h"

namespace
{
/** Log lines never carry an access token: the kill-by-id URL ends in one. */
FString RedactAccessToken(const FString& Url, const FString& AccessToken)
{
    return AccessToken.IsEmpty() ? Url : Url.Replace(AccessToken, "<redacted>", ESearchCase::CaseSensitive);
}
} // namespace

bool FOnlineIdentityZor::GenerateExchangeCode(const FUniqueNetId& UserId)
{
    const FHttpRequestRef Request = CreateRequest();
    PendingExchangeCodes.Add(Request, UserId.ToString());
    Request->OnProcessRequestComplete().BindThreadSafeSP(
        this, &FOnlineIdentityZor::GenerateExchangeCode_HttpRequestComplete);
    Request->SetURL(GetBaseUrl() + ExchangeTokenUrl);
    Request->SetHeader("Content-Type", "application/json");
    Request->SetVerb("GET");
    UE_LOG_ONLINE(Verbose, "Starting GenerateExchangeCode request.");
    FString Error;
    if (Subsystem->ProcessUserRequest(*this, UserId, Request, Error))
    {
        return true;
    }
    PendingExchangeCodes.Remove(Request);
    UE_LOG_ONLINE(Warning, "GenerateExchangeCode request failed. %s", *Error);
    TriggerOnGenerateExchangeCodeCompleteDelegates(false, UserId, FAuthTokenExchangeCodeZor(), Error);
    return false;
}

void FOnlineIdentityZor::GenerateExchangeCode_HttpRequestComplete(FHttpRequestPtr Request,
                                                                  FHttpResponsePtr Response, bool bSucceeded)
{
    FString UserId;
    PendingExchangeCodes.RemoveAndCopyValue(Request, UserId);

    FAuthTokenExchangeCodeZor Code;
    FString Error = ZorResponse::Check(Request->GetURL(), Response, bSucceeded, "Generate exchange code");
    if (Error.IsEmpty() && !Code.FromJson(Response->GetContentAsString()))
    {
        Error = "Invalid response payload";
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Generate exchange code request failed. %s", *Error);
    }
    TriggerOnGenerateExchangeCodeCompleteDelegates(Error.IsEmpty(), FUniqueNetIdString(UserId), Code, Error);
}

bool FOnlineIdentityZor::SendSessionRequest(const FAuthTokenZor& Token, const FString& Url,
                                            const FString& Verb, const char* Operation, bool bIsQuery)
{
    if (!Token.HasValidAccessToken())
    {
        return false;
    }
    const FHttpRequestRef Request = CreateRequest();
    if (bIsQuery)
    {
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineIdentityZor::QueryAuthSessions_HttpRequestComplete);
    }
    else
    {
        Request->OnProcessRequestComplete().BindThreadSafeSP(
            this, &FOnlineIdentityZor::KillAuthSessions_HttpRequestComplete, Token.access_token);
    }
    Request->SetURL(Url);
    Request->SetHeader("Content-Type", "application/json");
    Request->SetHeader("User-Agent", GetUserAgent());
    Request->SetHeader("Authorization", "bearer " + Token.access_token);
    Request->SetVerb(Verb);
    UE_LOG_ONLINE(VeryVerbose, "%s request. url=%s, id=%s", Operation,
                  *RedactAccessToken(Url, Token.access_token), *Token.account_id);
    return Request->ProcessRequest();
}

bool FOnlineIdentityZor::KillAuthSessions(const FAuthTokenZor& Token, EAuthTokenKillType KillType)
{
    const FString Url = GetBaseUrl() + KillSessionsUrl + "?killType=" + LexToString(KillType);
    return SendSessionRequest(Token, Url, "DELETE", "KillAuthSessions", false);
}

bool FOnlineIdentityZor::KillAuthSessionById(const FAuthTokenZor& Token)
{
    const FString Url = GetBaseUrl() + KillSessionsUrl + "/" + Token.access_token;
    return SendSessionRequest(Token, Url, "DELETE", "KillAuthSessions", false);
}

bool FOnlineIdentityZor::QueryAuthSessions(const FAuthTokenZor& Token)
{
    return SendSessionRequest(Token, GetBaseUrl() + QuerySessionsUrl, "GET", "QueryAuthSessions", true);
}

void FOnlineIdentityZor::KillAuthSessions_HttpRequestComplete(FHttpRequestPtr Request,
                                                              FHttpResponsePtr Response, bool bSucceeded,
                                                              FString AccessToken)
{
    const FString Error = ZorResponse::Check(RedactAccessToken(Request->GetURL(), AccessToken), Response,
                                             bSucceeded, "Kill auth sessions");
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Kill auth sessions request failed. %s", *Error);
    }
}

void FOnlineIdentityZor::QueryAuthSessions_HttpRequestComplete(FHttpRequestPtr Request,
                                                               FHttpResponsePtr Response, bool bSucceeded)
{
    const FString Error = ZorResponse::Check(Request->GetURL(), Response, bSucceeded, "Query auth sessions");
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Query auth sessions request failed. %s", *Error);
    }
}
