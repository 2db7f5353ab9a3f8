#pragma once

#include "Online/LANBeacon.h"
#include "Sessions/OnlineSessionZor.h"
#include "ZorSubsystemTest.h"

/** A session answer as the matchmaking service sends it. */
FString SessionAnswer(const FString& Id, int32 BuildId = GetBuildUniqueId(),
                      const FString& Extra = FString());

/**
 * A subsystem with user 0 logged in, a fake heartbeat clock and an in-process LAN bus, recording every
 * session event. The task thread is real, so steps wait for it with PumpUntil.
 */
class FSessionTest : public FZorSubsystemTest
{
protected:
    void SetUp() override;

    FOnlineSessionZor& Sessions() { return *Subsystem->GetZorSessionService(); }
    /**
     * Waits until every task queued so far has finished: tasks run one at a time, so a marker queued now
     * comes back only after them. A task still waiting for its answer keeps it out and fails the test.
     */
    bool WaitForTasks();
    /** Sends one LAN query from a searcher of its own, lets Hosts run the other hosts, and counts the
     * answers. */
    int32 CountLANAnswers(const TFunction<void()>& Hosts);
    /** Waits for a request whose URL contains Part. */
    FHttpRequestPtr WaitForRequest(const FString& Part);
    /** Creates an online session "Game" and answers its create request with the id. */
    static FOnlineSessionSettings MakeSettings(int32 PublicSlots = 4, bool bLan = false);
    void CreateOnline(const FString& Id = "s1");

    double Now = 1000.0;
    TArray<TPair<FString, bool>> Created, Updated, Ended, Destroyed, Started;
    TArray<int32> Found;
    TArray<int32> Cancelled;
    TArray<int32> Statuses;
    TArray<EOnJoinSessionCompleteResult> Joined;
    TArray<TPair<bool, int32>> Registered;
};
