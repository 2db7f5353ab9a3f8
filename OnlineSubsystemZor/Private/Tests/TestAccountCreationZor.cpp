#include "Tests/TestAccountCreationZor.h"

#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"
#include "Tests/ZorTestDriverLog.h"

using ZorTestDriverLog::ToResult;

FTestAccountCreationZor::FTestAccountCreationZor(FOnlineSubsystemZor& InSubsystem)
    : Subsystem(InSubsystem), OnCreateAccountCompleteDelegate(FOnCreateAccountCompleteDelegate::CreateRaw(
                                  this, &FTestAccountCreationZor::OnCreateAccountComplete)),
      OnUpdateAccountCompleteDelegate(FOnUpdateAccountCompleteDelegate::CreateRaw(
          this, &FTestAccountCreationZor::OnUpdateAccountComplete)),
      OnQueryAccountInfoCompleteDelegate(FOnQueryAccountInfoCompleteDelegate::CreateRaw(
          this, &FTestAccountCreationZor::OnQueryAccountInfoComplete)),
      OnResetPasswordCompleteDelegate(FOnResetPasswordCompleteDelegate::CreateRaw(
          this, &FTestAccountCreationZor::OnResetPasswordComplete)),
      OnResendValidationCompleteDelegate(FOnResendValidationCompleteDelegate::CreateRaw(
          this, &FTestAccountCreationZor::OnResendValidationComplete))
{
}

void FTestAccountCreationZor::Test(const FString& InEmail, const FString& InDisplayName,
                                   const FString& InPassword)
{
    AccountCreation = Subsystem.GetZorAccountCreationService();
    if (!AccountCreation)
    {
        UE_LOG_ONLINE(Warning, "Failed to get account creation service Zor ");
        FinishTest();
        return;
    }
    OnCreateAccountCompleteHandle =
        AccountCreation->AddOnCreateAccountCompleteDelegate(OnCreateAccountCompleteDelegate);
    OnUpdateAccountCompleteHandle =
        AccountCreation->AddOnUpdateAccountCompleteDelegate(OnUpdateAccountCompleteDelegate);
    OnQueryAccountInfoCompleteHandle =
        AccountCreation->AddOnQueryAccountInfoCompleteDelegate(OnQueryAccountInfoCompleteDelegate);
    OnResetPasswordCompleteHandle =
        AccountCreation->AddOnResetPasswordCompleteDelegate(OnResetPasswordCompleteDelegate);
    OnResendValidationCompleteHandle =
        AccountCreation->AddOnResendValidationCompleteDelegate(OnResendValidationCompleteDelegate);
    Email = InEmail;
    DisplayName = InDisplayName;
    Password = InPassword;
    Steps.SetOwner(FZorWorkOwner(Subsystem.GetZorIdentityService()));
    StartNextTest();
}

void FTestAccountCreationZor::StartNextTest()
{
    if (!Steps.Run([this] { return StartStep(); }))
    {
        FinishTest();
    }
}

bool FTestAccountCreationZor::StartStep()
{
    if (bCreateAccount)
    {
        AccountCreation->CreateAccount(Email, DisplayName, Password);
    }
    else if (bUpdateAccount)
    {
        AccountCreation->UpdateAccount(Email, Password, Email, DisplayName + "_new", Password);
    }
    else if (bQueryAccountInfo)
    {
        AccountCreation->QueryAccountInfo(Email);
    }
    else if (bResendValidation)
    {
        AccountCreation->ResendValidation(Email);
    }
    else if (bResetPassword)
    {
        AccountCreation->ResetPassword(Email);
    }
    else
    {
        return false;
    }
    return true;
}

void FTestAccountCreationZor::FinishTest()
{
    if (AccountCreation)
    {
        AccountCreation->ClearOnCreateAccountCompleteDelegate(OnCreateAccountCompleteHandle);
        AccountCreation->ClearOnUpdateAccountCompleteDelegate(OnUpdateAccountCompleteHandle);
        AccountCreation->ClearOnQueryAccountInfoCompleteDelegate(OnQueryAccountInfoCompleteHandle);
        AccountCreation->ClearOnResetPasswordCompleteDelegate(OnResetPasswordCompleteHandle);
        AccountCreation->ClearOnResendValidationCompleteDelegate(OnResendValidationCompleteHandle);
    }
    delete this;
}

void FTestAccountCreationZor::OnCreateAccountComplete(bool bWasSuccessful, const FString& InEmail,
                                                      const FString& Error)
{
    UE_LOG_ONLINE(Log, "create tavo account. Result=%s Email=%s Error=[%s]", ToResult(bWasSuccessful),
                  *InEmail, *ZorLogText::Error(Error));
    bCreateAccount = false;
    StartNextTest();
}

void FTestAccountCreationZor::OnUpdateAccountComplete(bool bWasSuccessful, const FString& InEmail,
                                                      const FString& Error)
{
    UE_LOG_ONLINE(Log, "update tavo account. Result=%s Email=%s Error=[%s]", ToResult(bWasSuccessful),
                  *InEmail, *ZorLogText::Error(Error));
    bUpdateAccount = false;
    StartNextTest();
}

void FTestAccountCreationZor::OnQueryAccountInfoComplete(bool bWasSuccessful, const FString& InEmail,
                                                         const FString& Error)
{
    UE_LOG_ONLINE(Log, "query tavo account. Result=%s Email=%s Error=[%s]", ToResult(bWasSuccessful),
                  *InEmail, *ZorLogText::Error(Error));
    bQueryAccountInfo = false;
    StartNextTest();
}

void FTestAccountCreationZor::OnResendValidationComplete(bool bWasSuccessful, const FString& InEmail,
                                                         const FString& Error)
{
    UE_LOG_ONLINE(Log, "resend validation. Result=%s Email=%s Error=[%s]", ToResult(bWasSuccessful), *InEmail,
                  *ZorLogText::Error(Error));
    bResendValidation = false;
    StartNextTest();
}

void FTestAccountCreationZor::OnResetPasswordComplete(bool bWasSuccessful, const FString& InEmail,
                                                      const FString& Error)
{
    UE_LOG_ONLINE(Log, "reset password. Result=%s Email=%s Error=[%s]", ToResult(bWasSuccessful), *InEmail,
                  *ZorLogText::Error(Error));
    bResetPassword = false;
    StartNextTest();
}
