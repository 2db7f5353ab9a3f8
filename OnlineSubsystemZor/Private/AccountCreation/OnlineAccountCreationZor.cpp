#include "AccountCreation/OnlineAccountCreationZor.h"

#include "AccountCreation/TavoAccountJson.h"
#include "AccountCreation/ZorAccountChecks.h"
#include "Common/ZorCallSet.h"
#include "Common/ZorRedact.h"
#include "Core/Base64.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
/** How one operation names itself in its log lines and what it sends. */
struct FOperationInfo
{
    /** Before "request failed. %s" when it cannot start. */
    const char* StartName;
    /** Before "request complete. ..." and "request failed. %s" once sent. */
    const char* Name;
    const char* Verb;
};

const FOperationInfo OperationInfos[] = {
    {"Zor Tavo account create", "Zor create Tavo account", "POST"},
    {"Tavo account update", "Zor update Tavo account", "PUT"},
    {"Tavo account delete", "Zor delete Tavo account", "DELETE"},
    {"Tavo account validation", "Zor validate Tavo account", "POST"},
    {"Tavo account query", "Zor query Tavo account info", "GET"},
    {"Tavo account reset password", "Zor reset Tavo account password", "POST"},
    {"Tavo account resend validation", "Zor resend Tavo account validation", "POST"},
};

/** Operations of one e-mail exclude each other whatever its letter case. */
FString PendingKey(const FString& LowerEmail)
{
    return "account:" + LowerEmail;
}
} // namespace

const FString FOnlineAccountCreationZor::SectionName = "OnlineSubsystemZor.OnlineAccountCreationZor";

FOnlineAccountCreationZor::FOnlineAccountCreationZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName), CreateAccountUrl("/api/tavoAccount/account"),
      UpdateAccountUrl("/api/tavoAccount/account/`email"),
      DeleteAccountUrl("/api/tavoAccount/account/`email"),
      ValidateAccountUrl("/api/tavoAccount/account/`email/validate/`token"),
      QueryAccountUrl("/api/tavoAccount/account/`email"),
      ResetPasswordUrl("/api/tavoAccount/account/`email/resetPassword"),
      ResendValidationUrl("/api/tavoAccount/account/`email/resend")
{
    ReadConfig();
}

void FOnlineAccountCreationZor::ReadConfig()
{
    const char* Section = *SectionName;
    GConfig->GetString(Section, "CreateAccountUrl", CreateAccountUrl, GEngineIni);
    GConfig->GetString(Section, "UpdateAccountUrl", UpdateAccountUrl, GEngineIni);
    GConfig->GetString(Section, "DeleteAccountUrl", DeleteAccountUrl, GEngineIni);
    GConfig->GetString(Section, "ValidateAccountUrl", ValidateAccountUrl, GEngineIni);
    GConfig->GetString(Section, "QueryAccountUrl", QueryAccountUrl, GEngineIni);
    GConfig->GetString(Section, "ResetPasswordUrl", ResetPasswordUrl, GEngineIni);
    GConfig->GetString(Section, "ResendValidationUrl", ResendValidationUrl, GEngineIni);
}

FString FOnlineAccountCreationZor::GetBasicUserAuth(const FString& Email, const FString& Password) const
{
    return "basic " + FBase64::Encode(Email + ":" + Password);
}

FString FOnlineAccountCreationZor::CheckPending(const FString& Email) const
{
    return GetCalls().IsPending(PendingKey(Email.ToLower()))
               ? FString::Printf("Already pending account operation for user=%s", *Email)
               : FString();
}

void FOnlineAccountCreationZor::CheckClientAuth(FString& Error, FString& OutAuthorization) const
{
    if (!GetAppClientAuth(OutAuthorization))
    {
        Error = "Client auth is invalid";
    }
}

FString FOnlineAccountCreationZor::CheckAccountValues(const FString& Email, const FString& DisplayName,
                                                      const FString& Password)
{
    if (!ZorAccountChecks::IsEmailValid(Email))
    {
        return FString::Printf("Email address [%s] is invalid", *Email);
    }
    if (!ZorAccountChecks::IsDisplayNameValid(DisplayName))
    {
        return FString::Printf("Display name [%s] is invalid", *DisplayName);
    }
    if (!ZorAccountChecks::IsPasswordValid(Password))
    {
        return "Password is invalid";
    }
    return FString();
}

bool FOnlineAccountCreationZor::CreateAccount(const FString& Email, const FString& DisplayName,
                                              const FString& Password)
{
    FString Error = CheckPending(Email);
    FString Authorization;
    if (const FString Refused = CheckAccountValues(Email, DisplayName, Password); !Refused.IsEmpty())
    {
        Error = Refused;
    }
    else
    {
        CheckClientAuth(Error, Authorization);
    }
    FZorCall Call;
    Call.Headers = {{"Authorization", Authorization}};
    Call.Body = FCreateTavoAccountJson(FTavoAccountInfo(FString(), Email, DisplayName), Password).ToJson();
    Call.Secrets = {Password};
    return Start(EOperation::Create, Email, Error, Call);
}

bool FOnlineAccountCreationZor::UpdateAccount(const FString& Email, const FString& Password,
                                              const FString& NewEmail, const FString& NewDisplayName,
                                              const FString& NewPassword)
{
    FString Error = CheckPending(Email);
    if (const FString Refused = CheckAccountValues(NewEmail, NewDisplayName, NewPassword); !Refused.IsEmpty())
    {
        Error = Refused;
    }
    FZorCall Call;
    Call.Headers = {{"Authorization", GetBasicUserAuth(Email.ToLower(), Password)}};
    Call.Body =
        FUpdateTavoAccountJson(Email, FTavoAccountInfo(FString(), NewEmail, NewDisplayName), NewPassword)
            .ToJson();
    Call.Secrets = {Password, NewPassword};
    return Start(EOperation::Update, Email, Error, Call);
}

bool FOnlineAccountCreationZor::DeleteAccount(const FString& Email, const FString& Password)
{
    FZorCall Call;
    Call.Headers = {{"Authorization", GetBasicUserAuth(Email.ToLower(), Password)}};
    Call.Secrets = {Password};
    return Start(EOperation::Delete, Email, CheckPending(Email), Call);
}

bool FOnlineAccountCreationZor::StartBodiless(EOperation Operation, const FString& Email, FZorCall Call)
{
    FString Error = CheckPending(Email);
    FString Authorization;
    CheckClientAuth(Error, Authorization);
    Call.ContentType = FString();
    Call.Headers = {{"Authorization", Authorization}};
    return Start(Operation, Email, Error, Call);
}

bool FOnlineAccountCreationZor::ValidateAccount(const FString& Email, const FString& ValidationToken)
{
    FZorCall Call;
    Call.AddSecretValue("`token", ValidationToken);
    return StartBodiless(EOperation::Validate, Email, Call);
}

bool FOnlineAccountCreationZor::QueryAccountInfo(const FString& Email)
{
    return StartBodiless(EOperation::Query, Email, FZorCall());
}

bool FOnlineAccountCreationZor::ResetPassword(const FString& Email)
{
    return StartBodiless(EOperation::ResetPassword, Email, FZorCall());
}

bool FOnlineAccountCreationZor::ResendValidation(const FString& Email)
{
    return StartBodiless(EOperation::ResendValidation, Email, FZorCall());
}

bool FOnlineAccountCreationZor::GetAccountInfo(const FString& Email, FTavoAccountInfo& OutAccountInfo) const
{
    const FTavoAccountInfo* Found = AccountCache.Find(Email.ToLower());
    if (!Found)
    {
        return false;
    }
    OutAccountInfo = *Found;
    return true;
}

bool FOnlineAccountCreationZor::Start(EOperation Operation, const FString& Email, const FString& Error,
                                      FZorCall& Call)
{
    const FOperationInfo& Info = OperationInfos[static_cast<int32>(Operation)];
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", Info.StartName, *Error);
        Trigger(Operation, false, Email, Error);
        return false;
    }
    const FString LowerEmail = Email.ToLower();
    Call.Operation = Info.Name;
    Call.Verb = Info.Verb;
    Call.Url = GetBaseUrl() + GetUrlTemplate(Operation);
    Call.Values.Add({"`email", LowerEmail});
    Call.Headers.Insert({"User-Agent", GetUserAgent()}, 0);
    Call.PendingKey = PendingKey(LowerEmail);
    // A refused start completes later with no response, which this operation reports then.
    return GetCalls().Send(Call, [this, Operation, LowerEmail](FZorReply& Reply)
                           { OnReply(Operation, LowerEmail, Reply); });
}

void FOnlineAccountCreationZor::OnReply(EOperation Operation, const FString& LowerEmail, FZorReply& Reply)
{
    const FOperationInfo& Info = OperationInfos[static_cast<int32>(Operation)];
    FString Error;
    if (LowerEmail.IsEmpty())
    {
        Error = "No pending Http request found.";
    }
    else if (!Reply.HasResponse())
    {
        Error = "No response";
    }
    else
    {
        const FString Body = Reply.GetBody();
        const int32 Code = Reply.GetResponse()->GetResponseCode();
        UE_LOG_ONLINE(Verbose, "%s request complete. url=%s code=%d response=%s", Info.Name,
                      *Reply.GetLoggedUrl(), Code, *Reply.LoggedBody());
        Error = !FZorReply::Accepts(EZorCodeRule::Success, Code)
                    ? Reply.RefusalText()
                    : Reply.MaskSecrets(ApplyReply(Operation, LowerEmail, Code, Body));
    }
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", Info.Name, *ZorRedact::Body(Error));
    }
    Trigger(Operation, Error.IsEmpty(), LowerEmail, Error);
}

FString FOnlineAccountCreationZor::ApplyReply(EOperation Operation, const FString& LowerEmail, int32 Code,
                                              const FString& Body)
{
    switch (Operation)
    {
    case EOperation::Create:
    case EOperation::Update:
    case EOperation::Query:
    {
        FTavoAccountInfoJson Read;
        if (!Read.FromJson(Body) || !ZorAccountChecks::IsEmailValid(Read.AccountInfo.email))
        {
            return FString::Printf("Invalid Json response. code=%d error=%s", Code, *Body);
        }
        // After an e-mail change the entry stays under the e-mail the update was made for.
        AccountCache.Add(LowerEmail, Read.AccountInfo);
        return FString();
    }
    case EOperation::Delete:
        AccountCache.Remove(LowerEmail);
        return FString();
    case EOperation::Validate:
    case EOperation::ResendValidation:
        if (FTavoAccountInfo* Cached = AccountCache.Find(LowerEmail))
        {
            Cached->pendingAuth = Operation == EOperation::ResendValidation;
        }
        return FString();
    case EOperation::ResetPassword:
        return FString();
    }
    return FString();
}

void FOnlineAccountCreationZor::Trigger(EOperation Operation, bool bWasSuccessful, const FString& Email,
                                        const FString& Error)
{
    switch (Operation)
    {
    case EOperation::Create:
        return TriggerOnCreateAccountCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::Update:
        return TriggerOnUpdateAccountCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::Delete:
        return TriggerOnDeleteAccountCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::Validate:
        return TriggerOnValidateAccountCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::Query:
        return TriggerOnQueryAccountInfoCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::ResetPassword:
        return TriggerOnResetPasswordCompleteDelegates(bWasSuccessful, Email, Error);
    case EOperation::ResendValidation:
        return TriggerOnResendValidationCompleteDelegates(bWasSuccessful, Email, Error);
    }
}

const FString& FOnlineAccountCreationZor::GetUrlTemplate(EOperation Operation) const
{
    const FString* Templates[] = {&CreateAccountUrl,   &UpdateAccountUrl, &DeleteAccountUrl,
                                  &ValidateAccountUrl, &QueryAccountUrl,  &ResetPasswordUrl,
                                  &ResendValidationUrl};
    return *Templates[static_cast<int32>(Operation)];
}
