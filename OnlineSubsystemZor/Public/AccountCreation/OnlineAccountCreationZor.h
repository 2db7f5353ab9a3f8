#pragma once

#include "AccountCreation/TavoAccountInfo.h"
#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;
struct FZorCall;

/** The outcome of one account operation: the e-mail it was for and the error text, empty on success. */
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnTavoAccountComplete, bool /*bWasSuccessful*/,
                                       const FString& /*Email*/, const FString& /*Error*/);
using FOnTavoAccountCompleteDelegate = FOnTavoAccountComplete::FDelegate;
using FOnCreateAccountComplete = FOnTavoAccountComplete;
using FOnCreateAccountCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnUpdateAccountComplete = FOnTavoAccountComplete;
using FOnUpdateAccountCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnDeleteAccountComplete = FOnTavoAccountComplete;
using FOnDeleteAccountCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnValidateAccountComplete = FOnTavoAccountComplete;
using FOnValidateAccountCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnQueryAccountInfoComplete = FOnTavoAccountComplete;
using FOnQueryAccountInfoCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnResetPasswordComplete = FOnTavoAccountComplete;
using FOnResetPasswordCompleteDelegate = FOnTavoAccountCompleteDelegate;
using FOnResendValidationComplete = FOnTavoAccountComplete;
using FOnResendValidationCompleteDelegate = FOnTavoAccountCompleteDelegate;

/**
 * Service accounts addressed by e-mail: creation, update, deletion, validation, queries, password resets and
 * validation mails, with the last account information received per e-mail. Requests go out at once, signed
 * with the application client's token, or with the account's own e-mail and password for update and delete.
 */
class FOnlineAccountCreationZor : public FGameServiceZor
{
public:
    static const FString SectionName;

    explicit FOnlineAccountCreationZor(FOnlineSubsystemZor* InSubsystem);
    FOnlineAccountCreationZor(const FOnlineAccountCreationZor&) = default;
    FOnlineAccountCreationZor& operator=(const FOnlineAccountCreationZor&) = default;
    ~FOnlineAccountCreationZor() override = default;

    virtual bool CreateAccount(const FString& Email, const FString& DisplayName, const FString& Password);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnCreateAccountComplete, bool, const FString&, const FString&);

    /** The new values are all checked: keeping one means passing it again. */
    virtual bool UpdateAccount(const FString& Email, const FString& Password, const FString& NewEmail,
                               const FString& NewDisplayName, const FString& NewPassword);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnUpdateAccountComplete, bool, const FString&, const FString&);

    virtual bool DeleteAccount(const FString& Email, const FString& Password);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnDeleteAccountComplete, bool, const FString&, const FString&);

    virtual bool ValidateAccount(const FString& Email, const FString& ValidationToken);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnValidateAccountComplete, bool, const FString&, const FString&);

    virtual bool QueryAccountInfo(const FString& Email);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryAccountInfoComplete, bool, const FString&, const FString&);

    /** The last account information received for the e-mail, in any letter case. */
    virtual bool GetAccountInfo(const FString& Email, FTavoAccountInfo& OutAccountInfo) const;

    virtual bool ResetPassword(const FString& Email);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnResetPasswordComplete, bool, const FString&, const FString&);

    virtual bool ResendValidation(const FString& Email);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnResendValidationComplete, bool, const FString&, const FString&);

private:
    enum class EOperation : uint8
    {
        Create,
        Update,
        Delete,
        Validate,
        Query,
        ResetPassword,
        ResendValidation,
    };

    FOnlineAccountCreationZor() = default;

    void ReadConfig();
    FString GetBasicUserAuth(const FString& Email, const FString& Password) const;
    /** "Already pending account operation for user=%s" while an operation of the e-mail is in flight. */
    FString CheckPending(const FString& Email) const;
    /** Replaces Error with "Client auth is invalid" when the application client has no token. */
    void CheckClientAuth(FString& Error, FString& OutAuthorization) const;
    /** The checks of a new account's values, in order; the first failure's text. */
    static FString CheckAccountValues(const FString& Email, const FString& DisplayName,
                                      const FString& Password);

    /** Reports Error when it is set; otherwise sends the call for the operation. */
    bool Start(EOperation Operation, const FString& Email, const FString& Error, FZorCall& Call);
    /** Starts Call with no body and no "Content-Type", signed with the application client's token. */
    bool StartBodiless(EOperation Operation, const FString& Email, FZorCall Call);
    void OnReply(EOperation Operation, const FString& LowerEmail, FZorReply& Reply);
    /** The operation's success step on an accepted reply; the error text, empty on success. */
    FString ApplyReply(EOperation Operation, const FString& LowerEmail, int32 Code, const FString& Body);
    void Trigger(EOperation Operation, bool bWasSuccessful, const FString& Email, const FString& Error);
    const FString& GetUrlTemplate(EOperation Operation) const;

    FString CreateAccountUrl;
    FString UpdateAccountUrl;
    FString DeleteAccountUrl;
    FString ValidateAccountUrl;
    FString QueryAccountUrl;
    FString ResetPasswordUrl;
    FString ResendValidationUrl;

    /** By lower-case e-mail. */
    TMap<FString, FTavoAccountInfo> AccountCache;
};
