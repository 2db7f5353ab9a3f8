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
    const FZorLoginStamp Login = StampLogin(UserId);
    FZorError Error;
    if (GetCalls().SendAsUser(
            Call, UserId,
            [this, UserIdText, Login](FZorReply& Reply)
            { GenerateExchangeCode_HttpRequestComplete(Reply, UserIdText, Login); },
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

void FOnlineIdentityZor::GenerateExchangeCode_HttpRequestComplete(FZorReply& Reply, const FString& UserId,
                                                                  const FZorLoginStamp& Login)
{
    if (!AcceptsReplyFor(Login, "Generate exchange code"))
    {
        return;
    }
    FAuthTokenExchangeCodeZor Code;
    if (Reply.Check())
    {
        Reply.Read(Code);
    }
    Reply.Finish();
    TriggerOnGenerateExchangeCodeCompleteDelegates(Reply.Succeeded(), FUniqueNetIdString(UserId), Code,
                                                   Reply.GetErrorText());
}

bool FOnlineIdentityZor::SendSessionRequest(const FZorCall& Call, const FAuthTokenZor& Token)
{
    // The reply only ends in a log line: the list of sessions is not kept.
    const FZorLoginStamp Login = StampLogin(FUniqueNetIdString(Token.account_id));
    const bool bForLogin = Token.bIsUserToken != 0;
    return GetCalls().Send(Call,
                           [this, Login, bForLogin, Operation = Call.Operation](FZorReply& Reply)
                           {
                               if (!bForLogin || AcceptsReplyFor(Login, Operation))
                               {
                                   Reply.Check();
                                   Reply.Finish();
                               }
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
    return SendSessionRequest(Call, Token);
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
    return SendSessionRequest(Call, Token);
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
    return SendSessionRequest(Call, Token);
}
