#pragma once

#include "CoreMinimal.h"

/**
 * The pace of one token's upkeep, so that a service that grants short tokens, fails checks or drops
 * connections is asked at a bounded rate, never once per frame.
 */
class FTokenUpkeepZor
{
public:
    /** The shortest wait between a token's grant and its renewal, whatever lifetime it came with. */
    static constexpr double MinRefreshDelay = 5.0;
    /** The wait after the first failure in a row; each further one doubles it. */
    static constexpr double FirstRetryDelay = 1.0;
    /** Refreshes in a row that may go unanswered before the user is given up. */
    static constexpr int32 MaxUnansweredRefreshes = 5;

    /**
     * A token with ExpiresIn seconds left was installed. It is renewed once below the refresh threshold, but
     * only after half its life and never sooner than MinRefreshDelay, so that no lifetime a grant, a refresh
     * or a check gives can start a loop.
     */
    void OnGranted(double ExpiresIn);
    /** A check said the token has only ExpiresIn seconds left: its renewal may come sooner, by the same rule.
     */
    void OnLifetimeCut(double ExpiresIn);
    /** The token came without a lifetime: it is neither refreshed nor judged by it until a check gives one.
     */
    void OnInstalledWithoutLifetime() { bLifetimeKnown = false; }
    bool IsLifetimeKnown() const { return bLifetimeKnown; }
    void Tick(double DeltaSeconds) { RefreshDelay -= DeltaSeconds; }
    bool IsRefreshDue() const { return RefreshDelay <= 0.0; }

    /** A verification failed or granted no time: the next token waits longer before its first check. */
    void OnCheckFailed(double MaxDelay);
    void OnCheckPassed();
    /** Seconds before a newly installed token is first verified: none unless checks keep failing. */
    double GetCheckDelay() const { return CheckDelay; }

    /**
     * A refresh got no answer: the retry waits the next back-off, up to MaxDelay. False once too many went
     * unanswered in a row; nothing is retried then.
     */
    bool OnRefreshUnanswered(double MaxDelay);
    void OnRefreshAnswered() { UnansweredRefreshes = 0; }
    bool IsRetryingRefresh() const { return UnansweredRefreshes > 0; }

private:
    static double Backoff(int32 Failures, double MaxDelay);
    static double RenewalDelay(double ExpiresIn);

    double RefreshDelay = 0.0;
    double CheckDelay = 0.0;
    int32 CheckFailures = 0;
    int32 UnansweredRefreshes = 0;
    bool bLifetimeKnown = true;
};
