#pragma once

#include "Http.h"
#include "Online/OnlineTimeInterface.h"
#include "Subsystem/BaseServiceZor.h"

/**
 * The server time: one unauthenticated request straight to the game service, at most one at a time; the
 * body of the last good answer is kept as text. The request bypasses the call set, whose defaults would add
 * headers: the time is asked for bare.
 */
class FOnlineTimeZor : public IOnlineTime, public FGameServiceZor, public TSharedFromThis<FOnlineTimeZor>
{
public:
    static const FString SectionName;
    static const FString DefaultTimeStampUrl;

    explicit FOnlineTimeZor(FOnlineSubsystemZor* InSubsystem);

    bool QueryServerUtcTime() override;
    FString GetLastServerTime() override { return LastServerTime; }

    /** Ends a query in flight with "No response" and refuses later ones. */
    void Shutdown() override;

    const FString& GetTimeStampUrl() const { return TimeStampUrl; }

private:
    void QueryServerUtcTime_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                bool bSucceeded);
    void Finish(bool bWasSuccessful, const FString& Body, const FString& Error);

    FString TimeStampUrl;
    /** The query in flight; a started request cannot be sent again, so each query has its own. */
    FHttpRequestPtr TimeRequest;
    FString LastServerTime;
};
