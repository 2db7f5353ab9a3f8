#pragma once

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "CoreMinimal.h"
#include "Tests/ZorDriverSteps.h"

class FOnlineSubsystemZor;

/**
 * Exercise of the account-creation service on one e-mail: create, update, query, resend the validation mail,
 * reset the password. Created with new; it deletes itself when the chain ends. No console word starts it.
 */
class FTestAccountCreationZor
{
public:
    explicit FTestAccountCreationZor(FOnlineSubsystemZor& InSubsystem);
    FTestAccountCreationZor(const FTestAccountCreationZor&) = delete;
    FTestAccountCreationZor& operator=(const FTestAccountCreationZor&) = delete;

    void Test(const FString& InEmail, const FString& InDisplayName, const FString& InPassword);

private:
    ~FTestAccountCreationZor() = default;

    void StartNextTest();
    /** Starts the first step still to run; false when none is left. */
    bool StartStep();
    void FinishTest();
    void OnCreateAccountComplete(bool bWasSuccessful, const FString& Email, const FString& Error);
    void OnUpdateAccountComplete(bool bWasSuccessful, const FString& Email, const FString& Error);
    void OnQueryAccountInfoComplete(bool bWasSuccessful, const FString& Email, const FString& Error);
    void OnResetPasswordComplete(bool bWasSuccessful, const FString& Email, const FString& Error);
    void OnResendValidationComplete(bool bWasSuccessful, const FString& Email, const FString& Error);

    /** Read by Test only, which runs right after construction. */
    FOnlineSubsystemZor& Subsystem;
    TSharedPtr<FOnlineAccountCreationZor> AccountCreation;
    FOnCreateAccountCompleteDelegate OnCreateAccountCompleteDelegate;
    FOnUpdateAccountCompleteDelegate OnUpdateAccountCompleteDelegate;
    FOnQueryAccountInfoCompleteDelegate OnQueryAccountInfoCompleteDelegate;
    FOnResetPasswordCompleteDelegate OnResetPasswordCompleteDelegate;
    FOnResendValidationCompleteDelegate OnResendValidationCompleteDelegate;
    FDelegateHandle OnCreateAccountCompleteHandle;
    FDelegateHandle OnUpdateAccountCompleteHandle;
    FDelegateHandle OnQueryAccountInfoCompleteHandle;
    FDelegateHandle OnResetPasswordCompleteHandle;
    FDelegateHandle OnResendValidationCompleteHandle;
    bool bCreateAccount = true;
    bool bUpdateAccount = true;
    bool bQueryAccountInfo = true;
    bool bResendValidation = true;
    bool bResetPassword = true;
    FString Email;
    FString DisplayName;
    FString Password;
    FZorDriverSteps Steps;
};
