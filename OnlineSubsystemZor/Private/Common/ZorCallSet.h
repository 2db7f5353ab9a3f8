#pragma once

#include "Common/ZorCall.h"
#include "Common/ZorError.h"
#include "Common/ZorReply.h"
#include <atomic>

#include "Core/CriticalSection.h"
#include "CoreMinimal.h"
#include "Http.h"

class FBaseServiceZor;
class FOnlineSubsystemZor;
class FUniqueNetId;

/** Runs on the game thread with the reply of one call. */
using FZorReplyHandler = TFunction<void(FZorReply&)>;

/**
 * The calls one service has in flight. Builds each request from its FZorCall, writes its start line with the
 * secrets masked, hands it on (at once or on a road) and runs its handler once: with the reply, or with "No
 * response" when the service shuts down or the login the call was made for has ended before its reply (the
 * one place that login is asked: no handler reads a reply of an ended login). Late completions, and
 * completions after the service is gone, are skipped.
 *
 * A Send returns whether the request went out. When it did not and OutError is set (a road refused it), the
 * caller reports OutError; otherwise the handler reports, now (after Shutdown) or later (a refused start).
 */
class FZorCallSet : public TSharedFromThis<FZorCallSet>
{
public:
    FZorCallSet(FBaseServiceZor& InService, FOnlineSubsystemZor* InSubsystem);

    /** Sends at once with the call's own headers. */
    bool Send(const FZorCall& Call, FZorReplyHandler OnReply);
    /** Queues on the user road, which signs it with the user's token; the call is for the login the user
     * holds now. */
    bool SendAsUser(const FZorCall& Call, const FUniqueNetId& UserId, FZorReplyHandler OnReply,
                    FZorError& OutError);
    /** Queues on the client road under ClientId. */
    bool SendAsClient(const FZorCall& Call, const FString& ClientId, FZorReplyHandler OnReply,
                      FZorError& OutError);
    /** Sends at once signed with the user's purchase token, for the login the user holds now. */
    bool SendAsPurchase(const FZorCall& Call, const FUniqueNetId& UserId, FZorReplyHandler OnReply,
                        FZorError& OutError);

    /** Whether a call with this owner key is in flight for a login that holds; keys are compared ignoring
     * case unless told. */
    bool IsPending(const FString& PendingKey, ESearchCase::Type SearchCase = ESearchCase::IgnoreCase) const;
    /** Whether a call of this operation with this owner key is in flight. */
    bool IsOperationPending(const FString& PendingKey, const FString& Operation) const;
    int32 Num() const;

    /**
     * Cancels every call in flight and runs each handler once with "No response"; from then on every Send
     * runs its handler the same way at once.
     */
    void Shutdown();
    bool IsShutDown() const { return bShutDown; }
    /**
     * After Shutdown, which keeps every later Send from the roads: the subsystem may be gone. A call accepted
     * off the game thread before Shutdown, whose handler Shutdown has run, then finds no road.
     */
    void DetachSubsystem() { Subsystem = nullptr; }

private:
    struct FInFlight
    {
        FZorCall Call;
        FZorReplyHandler OnReply;
    };

    /** Hands a started request to the subsystem's roads, which sign it; false with Error when one refused it.
     */
    using FRoad = TFunction<bool(FOnlineSubsystemZor& Roads, const FHttpRequestRef& Request, FString& Error)>;

    /** The login UserId holds now; a call that names its own keeps that one. */
    FZorLoginStamp LoginOf(const FUniqueNetId& UserId) const;
    /** Whether the call's login, if it names one, still holds. Game thread only. */
    bool IsLoginCurrent(const FZorCall& Call) const;
    /** The one send on a road: the reply masks whatever credential the road signed the request with. */
    bool SendOnRoad(const FZorCall& Call, const FZorLoginStamp& Login, const FRoad& Road,
                    FZorReplyHandler& OnReply, FZorError& OutError);
    /** The request, tracked; none after Shutdown (the handler has run). */
    FHttpRequestPtr Begin(const FZorCall& Call, FZorReplyHandler& OnReply,
                          const FZorLoginStamp& Login = FZorLoginStamp());
    /** Forgets a request the road refused. */
    void Drop(const FHttpRequestPtr& Request);
    /** The subsystem whose roads take the request; none once detached, the request then forgotten. */
    FOnlineSubsystemZor* RoadsFor(const FHttpRequestPtr& Request);
    void Complete(const FHttpRequestPtr& Request, const FHttpResponsePtr& Response, bool bSucceeded);
    static void RunWithoutResponse(const FInFlight& Entry, const FHttpRequestPtr& Request);
    /** An empty Operation matches every call with the key. */
    bool HasPending(const FString& PendingKey, ESearchCase::Type SearchCase, const FString& Operation) const;

    FBaseServiceZor& Service;
    /** Written on the game thread by DetachSubsystem, read by Sends from any thread. */
    std::atomic<FOnlineSubsystemZor*> Subsystem;
    std::atomic<bool> bShutDown{false};
    mutable FCriticalSection Lock;
    TMap<FHttpRequestPtr, FInFlight> InFlight;
};
