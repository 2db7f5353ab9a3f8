#pragma once

#include <gtest/gtest.h>

#include "Identity/OnlineIdentityZor.h"
#include "InMemoryHttpTransport.h"
#include "LogCapture.h"
#include "Online/OnlineSubsystem.h"
#include "Subsystem/OnlineSubsystemZor.h"

/** Minimal engine ini that enables the module and gives the demo clients. */
extern const char* const ZorTestIni;

/**
 * A subsystem driven by hand over the in-memory transport: each test sets the ini and command line, creates
 * the subsystem, answers its requests and ticks. The log runs at VeryVerbose so every line can be checked.
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

    FInMemoryHttpTransport& Http() { return Transport.Get(); }
    /** The oldest unanswered request; fails the test when there is none. */
    FInMemoryHttpTransport::FStartedRequest Oldest();
    /** The oldest waiting request whose URL contains Part; null when none. */
    FHttpRequestPtr FindPending(const FString& Part);
    /** What the transport saw of a started request. */
    FInMemoryHttpTransport::FStartedRequest Record(const FHttpRequestPtr& Request);
    /** Answers the oldest unanswered request. */
    void RespondOldest(int32 Code, const FString& Body, const FString& ContentType = "application/json");

    FScopedInMemoryHttpTransport Transport;
    FLogCapture Log;
    TSharedPtr<FOnlineSubsystemZor> Subsystem;

private:
    ELogVerbosity::Type PreviousOnlineVerbosity;
    ENetMode PreviousNetMode;
};
