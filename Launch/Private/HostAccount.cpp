#include "AccountCreation/OnlineAccountCreationZor.h"
#include "Core/Parse.h"
#include "HostWords.h"
#include "Identity/OnlineIdentityZor.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
const char* const Usage =
    "account create EMAIL NAME PASSWORD | query EMAIL | update EMAIL PASSWORD NEWEMAIL NEWNAME NEWPASSWORD | "
    "delete EMAIL PASSWORD | validate EMAIL TOKEN | reset EMAIL | resend EMAIL";

/** An account operation typed before the application client had its token; it runs once it has one. */
struct FWaitingOperation
{
    FString Operation;
    TFunction<bool()> Run;
};

class FAccountWordState : public FHostWordState
{
public:
    TArray<FWaitingOperation> WaitingForClient;
};

TSharedPtr<FOnlineAccountCreationZor> GetAccounts(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetZorAccountCreationService() : nullptr;
}

/** The blank-separated arguments of a word. */
TArray<FString> ReadArgs(const TCHAR* Args)
{
    TArray<FString> Out;
    FString Arg;
    while (FParse::Token(Args, Arg, false))
    {
        Out.Add(Arg);
    }
    return Out;
}

bool IsClientLoginPending(const FOnlineIdentityZor& Identity, const FString& AppId)
{
    const TSharedPtr<FClientOnlineAuth> Client = Identity.GetClientAuthTokenZor(AppId);
    return Client && Client->TokenState == EAuthTokenState::ClientAuthPending;
}

/**
 * Runs the operation once the application client holds a token: every account operation but update and delete
 * signs with it, and the service itself never logs the client in.
 */
bool WithClientToken(FZorHost& Host, const FString& Name, TFunction<bool()> Operation)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    const FString AppId = Host.GetZorSubsystem()->GetAppId();
    const TSharedPtr<FClientOnlineAuth> Client = Identity ? Identity->GetClientAuthTokenZor(AppId) : nullptr;
    if (!Identity || (Client && !Client->access_token.IsEmpty()))
    {
        return Operation();
    }
    FAccountWordState& State = Host.GetWordState<FAccountWordState>();
    State.WaitingForClient.Add({Name, std::move(Operation)});
    if (!IsClientLoginPending(*Identity, AppId) && !Identity->AuthClient(AppId))
    {
        State.WaitingForClient.Empty();
        UE_LOG(LogHost, Warning, "account: the application client %s cannot log in", *AppId);
        return false;
    }
    return true;
}

bool RunAccountWord(FZorHost& Host, const FString& Verb, const TArray<FString>& A)
{
    const TSharedPtr<FOnlineAccountCreationZor> Accounts = GetAccounts(Host);
    if (!Accounts)
    {
        UE_LOG(LogHost, Warning, "account: there is no account creation service");
        return false;
    }
    const FString Operation = "account " + Verb;
    Host.AwaitOutcome(Operation);
    const auto Run = [&Host, Accounts, &Operation](TFunction<bool(FOnlineAccountCreationZor&)> Call)
    { return WithClientToken(Host, Operation, [Accounts, Call]() { return Call(*Accounts); }); };
    if (Verb == "create" && A.Num() == 3)
    {
        return Run([A](auto& S) { return S.CreateAccount(A[0], A[1], A[2]); });
    }
    if (Verb == "query" && A.Num() == 1)
    {
        return Run([A](auto& S) { return S.QueryAccountInfo(A[0]); });
    }
    if (Verb == "validate" && A.Num() == 2)
    {
        return Run([A](auto& S) { return S.ValidateAccount(A[0], A[1]); });
    }
    if (Verb == "reset" && A.Num() == 1)
    {
        return Run([A](auto& S) { return S.ResetPassword(A[0]); });
    }
    if (Verb == "resend" && A.Num() == 1)
    {
        return Run([A](auto& S) { return S.ResendValidation(A[0]); });
    }
    // Update and delete sign with the account's own e-mail and password.
    if (Verb == "update" && A.Num() == 5)
    {
        return Accounts->UpdateAccount(A[0], A[1], A[2], A[3], A[4]);
    }
    if (Verb == "delete" && A.Num() == 2)
    {
        return Accounts->DeleteAccount(A[0], A[1]);
    }
    UE_LOG(LogHost, Warning, "usage: %s", Usage);
    return false;
}

bool AccountWord(FZorHost& Host, const TCHAR* Args)
{
    FString Verb;
    if (!FParse::Token(Args, Verb, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    return RunAccountWord(Host, Verb, ReadArgs(Args));
}

/** The passwords and the validation token of each form. */
bool IsSecretAccountArg(const TArray<FString>& Args, int32 Index)
{
    const FString& Verb = Args[0];
    return (Verb == "create" && Index == 3) || (Verb == "update" && (Index == 2 || Index == 5)) ||
           (Verb == "delete" && Index == 2) || (Verb == "validate" && Index == 2);
}

/** Runs the operations that waited for the application client, or fails them when its login failed. */
void OnClientLogin(FZorHost& Host, bool bWasSuccessful, const FString& ClientId, const FString& Error)
{
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    const FString AppId = Host.GetZorSubsystem() ? Host.GetZorSubsystem()->GetAppId() : FString();
    // A refused second start of the same login says nothing of the one still running.
    if (!Identity || !ClientId.Equals(AppId) || (!bWasSuccessful && IsClientLoginPending(*Identity, AppId)))
    {
        return;
    }
    FAccountWordState& State = Host.GetWordState<FAccountWordState>();
    TArray<FWaitingOperation> Waiting = std::move(State.WaitingForClient);
    State.WaitingForClient.Empty();
    for (const FWaitingOperation& Operation : Waiting)
    {
        if (!bWasSuccessful)
        {
            UE_LOG(LogHost, Warning, "%s: the application client did not log in: %s", *Operation.Operation,
                   *ZorLogText::Error(Error));
            Host.ReportOutcome(Operation.Operation, false);
            continue;
        }
        Operation.Run(); // its event reports the outcome, also when it cannot start
    }
}

void LogAccount(const FOnlineAccountCreationZor& Accounts, const FString& Email)
{
    FTavoAccountInfo Info;
    if (Accounts.GetAccountInfo(Email, Info))
    {
        UE_LOG(LogHost, Display, "Account Id=%s Email=%s DisplayName=%s PendingAuth=%d", *Info.id,
               *Info.email, *Info.displayName, Info.pendingAuth);
    }
}

void BindEvents(FZorHost& Host)
{
    const TSharedPtr<FOnlineAccountCreationZor> Accounts = GetAccounts(Host);
    const TSharedPtr<FOnlineIdentityZor> Identity = Host.GetIdentity();
    if (!Accounts || !Identity)
    {
        return;
    }
    Identity->AddOnAuthClientCompleteDelegate(FOnAuthClientCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FString& ClientId, const FString& Error)
        { OnClientLogin(Host, bWasSuccessful, ClientId, Error); }));
    using FAdd = FDelegateHandle (FOnlineAccountCreationZor::*)(const FOnTavoAccountCompleteDelegate&);
    const struct
    {
        FAdd Add;
        const char* Event;
        const char* Operation;
    } Events[] = {
        {&FOnlineAccountCreationZor::AddOnCreateAccountCompleteDelegate, "OnCreateAccountComplete",
         "account create"},
        {&FOnlineAccountCreationZor::AddOnUpdateAccountCompleteDelegate, "OnUpdateAccountComplete",
         "account update"},
        {&FOnlineAccountCreationZor::AddOnDeleteAccountCompleteDelegate, "OnDeleteAccountComplete",
         "account delete"},
        {&FOnlineAccountCreationZor::AddOnValidateAccountCompleteDelegate, "OnValidateAccountComplete",
         "account validate"},
        {&FOnlineAccountCreationZor::AddOnQueryAccountInfoCompleteDelegate, "OnQueryAccountInfoComplete",
         "account query"},
        {&FOnlineAccountCreationZor::AddOnResetPasswordCompleteDelegate, "OnResetPasswordComplete",
         "account reset"},
        {&FOnlineAccountCreationZor::AddOnResendValidationCompleteDelegate, "OnResendValidationComplete",
         "account resend"},
    };
    TWeakPtr<FOnlineAccountCreationZor> Weak = Accounts;
    for (const auto& Event : Events)
    {
        ((*Accounts).*Event.Add)(FOnTavoAccountCompleteDelegate::CreateLambda(
            [&Host, Weak, Name = Event.Event,
             Operation = Event.Operation](bool bWasSuccessful, const FString& Email, const FString& Error)
            {
                UE_LOG(LogHost, Display, "%s bWasSuccessful=%d Email=%s Error=%s", Name, bWasSuccessful,
                       *Email, *ZorLogText::Error(Error));
                if (const TSharedPtr<FOnlineAccountCreationZor> Pinned = Weak.Pin(); Pinned && bWasSuccessful)
                {
                    LogAccount(*Pinned, Email);
                }
                Host.ReportOutcome(Operation, bWasSuccessful);
            }));
    }
}

const FHostWord Words[] = {
    {"account", Usage,
     "manages service accounts by e-mail; the application client logs in first where it must", &AccountWord,
     &IsSecretAccountArg},
};
const FHostOperation Operations[] = {
    {"account create"},   {"account query"}, {"account update"}, {"account delete"},
    {"account validate"}, {"account reset"}, {"account resend"},
};
} // namespace

const FHostWordGroup& GetAccountHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
