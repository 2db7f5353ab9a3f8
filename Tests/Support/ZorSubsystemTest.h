#pragma once

#include <gtest/gtest.h>

#include "ExactText.h"
#include "FStringPrinter.h"
#include "Identity/OnlineIdentityZor.h"
#include "InMemoryHttpTransport.h"
#include "LogCapture.h"
#include "Online/OnlineSubsystem.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "ZorScopedBinding.h"
#include "ZorTempFolder.h"

/** Minimal engine ini that enables the module and gives the demo clients. */
extern const char* const ZorTestIni;

/** A token reply as the account service sends it. */
FString TokenReply(const FString& AccountId, double ExpiresIn, const FString& AccessToken = "access-1",
                   const FString& ClientId = "testclient");

/**
 * The base of every service test: a subsystem driven by hand over the in-memory transport. Each test sets the
 * ini and command line, creates the subsystem, logs a user in, answers its requests and ticks. The log runs
 * at VeryVerbose so every line can be checked.
 */
class FZorSubsystemTest : public ::testing::Test
{
protected:
    FZorSubsystemTest();
    ~FZorSubsystemTest() override;
    /** Shuts the subsystem down while the derived fixture, whose members its events may reach, still lives.
     */
    void TearDown() override;

    /** Replaces the engine ini with Text. */
    static void SetIni(const FString& Text);
    static void SetCommandLine(const FString& Text);

    /** Creates and initialises a subsystem from the current ini. */
    TSharedPtr<FOnlineSubsystemZor> CreateSubsystem(const FName& InstanceName = "default");
    /** Ticks the HTTP module (completions) and then the subsystem, Count times with DeltaSeconds each. */
    void Tick(int32 Count = 1, float DeltaSeconds = 0.0f);
    /**
     * Ticks without time passing until Done holds, for work that finishes on another thread (the session
     * tasks); fails the test after a deadline that only bounds a hang.
     */
    bool PumpUntil(const TFunction<bool()>& Done);

    FInMemoryHttpTransport& Http() { return Transport.Get(); }
    /** The oldest unanswered request; fails the test when there is none. */
    FInMemoryHttpTransport::FStartedRequest Oldest();
    /** How many started requests (answered or not) have URLs containing Part, letter for letter. */
    int32 NumStarted(const FString& Part);
    /** The oldest waiting request whose URL contains Part, letter for letter; null when none. */
    FHttpRequestPtr FindPending(const FString& Part);
    /** What the transport saw of a started request. */
    FInMemoryHttpTransport::FStartedRequest Record(const FHttpRequestPtr& Request);
    /** Answers the oldest unanswered request. */
    void RespondOldest(int32 Code, const FString& Body, const FString& ContentType = "application/json");
    /** Answers the oldest waiting request whose URL contains Part and ticks once without time passing. */
    void Answer(const FString& Part, int32 Code, const FString& Body,
                const FString& ContentType = "application/json");
    /** Answers like Answer but delivers the completion without ticking the subsystem. */
    void Deliver(const FString& Part, int32 Code, const FString& Body);

    FOnlineIdentityZor& Identity() { return *Subsystem->GetZorIdentityService(); }
    /**
     * A full password login of local user 0 with a token of the given lifetime, and its purchase login with a
     * purchase token of PurchaseExpiresIn unless that is negative (the purchase grant is then left waiting).
     */
    void LoginUser(const FString& AccountId = "acct1", double ExpiresIn = 3600.0,
                   double PurchaseExpiresIn = 7200.0);
    /** Installs local user 0 with a valid token, as a command-line login does, and no request left over. */
    void InstallUser(const FString& AccountId = "acct1");
    /**
     * Installs LocalUserNum as AccountId with the given access token, and the purchase token when one is
     * given, both usable at once; the token's own first check is left waiting. Null when it could not be
     * installed.
     */
    TSharedPtr<FUserOnlineAccountZor> InstallReadyUser(int32 LocalUserNum, const FString& AccountId,
                                                       const FString& AccessToken,
                                                       const FString& PurchaseToken = FString());

    FScopedInMemoryHttpTransport Transport;
    FLogCapture Log;
    TSharedPtr<FOnlineSubsystemZor> Subsystem;

private:
    ELogVerbosity::Type PreviousOnlineVerbosity;
    ENetMode PreviousNetMode;
    /** What the module saves; tests run side by side in one working folder, so each has its own. */
    FZorTempFolder SavedFolder{"zor_saved"};
};
