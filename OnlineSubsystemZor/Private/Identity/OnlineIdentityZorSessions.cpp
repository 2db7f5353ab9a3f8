#include "Common/ZorCallSet.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

bool FOnlineIdentityZor::GenerateExchangeCode(const FUniqueNetId& UserId)
{
    FZorCall Call;
    Call.Operation = "Generate exchange code";
    Call.bServiceErrorText = true;
    Call.Url = GetBaseUrl() + ExchangeTokenUrl;
    Call.SendingLine = "Starting GenerateExchangeCode request.";
    const FString UserIdText = UserId.ToString();
    FZorError Error;
    if (GetCalls().SendAsUser(
            Call, UserId,
            [this, UserIdText](FZorReply& Reply)
            { GenerateExchangeCode_HttpRequestComplete(Reply, UserIdText); },
            Error))
    {
        return true;
    }
    if (Error)
    {
        UE_LOG_ONLINE(Warning, "GenerateExchangeCode request failed. %s", *Error.Text);
        TriggerOnGenerateExchangeCodeCompleteDelegates(false, UserId, FAuthTokenExchangeCodeZor(),
                                                       Error.Text);
    }
    return false;
}

void FOnlineIdentityZor::GenerateExchangeCode_HttpRequestComplete(FZorReply& Reply, const FString& UserId)
{
    FAuthTokenExchangeCodeZor Code;
    if (Reply.Check())
    {
        Reply.Read(Code);
    }
    Reply.Finish();
    TriggerOnGenerateExchangeCodeCompleteDelegates(Reply.Succeeded(), FUniqueNetIdString(UserId), Code,
                                                   Reply.GetErrorText());
}

bool FOnlineIdentityZor::SendSessionRequest(const FZorCall& Call)
{
    // The reply only ends in a log line, which stays true after its login ended: it is not tied to one.
    return GetCalls().Send(Call,
                           [](FZorReply& Reply)
                           {
                               Reply.Check();
                               Reply.Finish();
                           });
}

bool FOnlineIdentityZor::KillAuthSessions(const FAuthTokenZor& Token, EAuthTokenKillType KillType)
{
    if (!Token.HasValidAccessToken())
    {
        return false;
    }
    FZorCall Call =
        BearerCall("Kill auth sessions", "DELETE", GetBaseUrl() + KillSessionsUrl + "?killType=`kind", Token);
    Call.Values = {{"`kind", LexToString(KillType)}};
    Call.SendingVerbosity = ELogVerbosity::VeryVerbose;
    Call.SendingLine =
        FString::Printf("KillAuthSessions request. url=%s, id=%s", *Call.ResolveUrl(), *Token.account_id);
    return SendSessionRequest(Call);
}

bool FOnlineIdentityZor::KillAuthSessionById(const FAuthTokenZor& Token)
{
    if (!Token.HasValidAccessToken())
    {
        return false;
    }
    FZorCall Call =
        BearerCall("Kill auth sessions", "DELETE", GetBaseUrl() + KillSessionsUrl + "/`token", Token);
    Call.AddSecretValue("`token", Token.access_token);
    Call.SendingVerbosity = ELogVerbosity::VeryVerbose;
    Call.SendingLine = FString::Printf("KillAuthSessions request. url=%s, id=%s", *Call.ResolveLoggedUrl(),
                                       *Token.account_id);
    return SendSessionRequest(Call);
}

bool FOnlineIdentityZor::QueryAuthSessions(const FAuthTokenZor& Token)
{
    if (!Token.HasValidAccessToken())
    {
        return false;
    }
    FZorCall Call = BearerCall("Query auth sessions", "GET", GetBaseUrl() + QuerySessionsUrl, Token);
    Call.SendingVerbosity = ELogVerbosity::VeryVerbose;
    Call.SendingLine =
        FString::Printf("QueryAuthSessions request. url=%s, id=%s", *Call.Url, *Token.account_id);
    return SendSessionRequest(Call);
}
