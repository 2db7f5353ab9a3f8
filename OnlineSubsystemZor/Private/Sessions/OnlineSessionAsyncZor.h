#pragma once

#include <atomic>
#include <mutex>

#include "Common/ZorCall.h"
#include "CoreMinimal.h"
#include "Online/OnlineAsyncTaskManager.h"
#include "Online/OnlineSessionSettings.h"
#include "Subsystem/ZorWorkOwner.h"
#include "Json/JsonObject.h"

class FOnlineSubsystemZor;
class FOnlineSessionZor;
class FZorReply;

/** What a session request's answer must be to count. */
enum class EZorSessionAnswer : uint8
{
    /** The code alone decides. */
    None,
    /** An object with "id". */
    ObjectWithId,
    Object,
    /** An object with "publicPlayers" and "privatePlayers". */
    ObjectWithPlayers,
    Array,
    /** An empty body (nothing found) or an array. */
    EmptyOrArray,
};

/**
 * One request of a session task, shared by the task, the game thread's hand-off and the HTTP handler, so a
 * late completion never reaches a task that shutdown deleted. The outcome fields are written on the game
 * thread before Finish publishes the flags, and read there after the task comes back.
 */
struct FZorSessionRequest
{
    FZorCall Call;
    int32 PlayerNum = 0;
    EZorSessionAnswer AnswerKind = EZorSessionAnswer::None;
    /** Whether failures map to a connection status (the search tasks report none). */
    bool bReportsStatus = true;
    /** Requests without a server role succeed without sending anything. */
    bool bSendNothing = false;

    TSharedPtr<FJsonObject> Object;
    TArray<TSharedPtr<FJsonValue>> Array;
    int32 ConnectionStatus = 0;
    /** Game thread: the login the request went out for; its connection status is about that login alone. */
    FZorWorkOwner Owner;

    void OnReply(FZorReply& Reply);
    void Finish(bool bSucceeded);
    bool IsDone() const { return bDone.load(std::memory_order_acquire); }
    bool Succeeded() const { return bSuccess.load(std::memory_order_acquire); }

private:
    void ReadAnswer(FZorReply& Reply);

    std::atomic<bool> bDone{false};
    std::atomic<bool> bSuccess{false};
};

/** Requests the task thread hands to the game thread, which alone may touch identity and the roads. */
class FZorSessionHandOff
{
public:
    void Post(const TSharedRef<FZorSessionRequest>& Request);
    TArray<TSharedRef<FZorSessionRequest>> TakeAll();

private:
    std::mutex Mutex;
    TArray<TSharedRef<FZorSessionRequest>> Waiting;
};

/** A session task: on its first tick it hands its request to the game thread, then waits for the outcome. */
class FOnlineAsyncTaskZorSession : public FOnlineAsyncTask
{
public:
    FOnlineAsyncTaskZorSession(FOnlineSubsystemZor* InSubsystem,
                               const TSharedRef<FZorSessionRequest>& InRequest,
                               const TSharedRef<FZorSessionHandOff>& InHandOff)
        : Subsystem(InSubsystem), Request(InRequest), HandOff(InHandOff)
    {
    }

    const FZorSessionRequest& GetRequest() const { return *Request; }
    bool IsDone() const override { return Request->IsDone(); }
    bool WasSuccessful() const override { return Request->Succeeded(); }
    void Tick() override;

protected:
    /** The session service, on the game thread; null after shutdown. */
    FOnlineSessionZor* GetService() const;
    void TriggerConnectionStatus() const;
    /** Game thread, first in Finalize: the task is no longer the service's to abandon at shutdown. */
    bool TakeOutcome() const;

    FOnlineSubsystemZor* Subsystem;
    TSharedRef<FZorSessionRequest> Request;
    TSharedRef<FZorSessionHandOff> HandOff;
    /** Game thread: the outcome after Finalize. */
    bool bSuccess = false;

private:
    bool bSent = false; // task thread only
};

class FOnlineAsyncTaskZorCreateSession : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorCreateSession(FOnlineSubsystemZor* InSubsystem,
                                     const TSharedRef<FZorSessionRequest>& InRequest,
                                     const TSharedRef<FZorSessionHandOff>& InHandOff,
                                     const FName& InSessionName, uint64 InSerial)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), SessionName(InSessionName),
          Serial(InSerial)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

private:
    FName SessionName;
    uint64 Serial;
};

class FOnlineAsyncTaskZorDestroySession : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorDestroySession(FOnlineSubsystemZor* InSubsystem,
                                      const TSharedRef<FZorSessionRequest>& InRequest,
                                      const TSharedRef<FZorSessionHandOff>& InHandOff,
                                      const FName& InSessionName, bool bInIsHost)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), SessionName(InSessionName),
          bIsHost(bInIsHost)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

private:
    FName SessionName;
    bool bIsHost;
};

class FOnlineAsyncTaskZorUpdateSession : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorUpdateSession(FOnlineSubsystemZor* InSubsystem,
                                     const TSharedRef<FZorSessionRequest>& InRequest,
                                     const TSharedRef<FZorSessionHandOff>& InHandOff,
                                     const FName& InSessionName, bool bInUserUpdate)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), SessionName(InSessionName),
          bUserUpdate(bInUserUpdate)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

private:
    FName SessionName;
    bool bUserUpdate;
};

/** Registers (or, with bRegister false, unregisters) players of a session. */
class FOnlineAsyncTaskZorRegisterPlayers : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorRegisterPlayers(FOnlineSubsystemZor* InSubsystem,
                                       const TSharedRef<FZorSessionRequest>& InRequest,
                                       const TSharedRef<FZorSessionHandOff>& InHandOff,
                                       const FName& InSessionName, bool bInIsServer,
                                       const TArray<FUniqueNetIdRef>& InPlayers)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), SessionName(InSessionName),
          bIsServer(bInIsServer), Players(InPlayers)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

protected:
    virtual const char* GetName() const { return "FOnlineAsyncTaskZorRegisterPlayers"; }
    virtual void Trigger(FOnlineSessionZor& Service) const;

    FName SessionName;
    bool bIsServer;
    TArray<FUniqueNetIdRef> Players;
};

class FOnlineAsyncTaskZorUnregisterPlayers : public FOnlineAsyncTaskZorRegisterPlayers
{
public:
    using FOnlineAsyncTaskZorRegisterPlayers::FOnlineAsyncTaskZorRegisterPlayers;

protected:
    const char* GetName() const override { return "FOnlineAsyncTaskZorUnregisterPlayers"; }
    void Trigger(FOnlineSessionZor& Service) const override;
};

class FOnlineAsyncTaskZorFindSession : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorFindSession(FOnlineSubsystemZor* InSubsystem,
                                   const TSharedRef<FZorSessionRequest>& InRequest,
                                   const TSharedRef<FZorSessionHandOff>& InHandOff,
                                   const TSharedRef<FOnlineSessionSearch>& InSearch)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), Search(InSearch)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

private:
    TSharedRef<FOnlineSessionSearch> Search;
};

class FOnlineAsyncTaskZorFindFriendSession : public FOnlineAsyncTaskZorSession
{
public:
    FOnlineAsyncTaskZorFindFriendSession(FOnlineSubsystemZor* InSubsystem,
                                         const TSharedRef<FZorSessionRequest>& InRequest,
                                         const TSharedRef<FZorSessionHandOff>& InHandOff,
                                         int32 InLocalUserNum,
                                         const TSharedRef<FOnlineSessionSearch>& InSearch)
        : FOnlineAsyncTaskZorSession(InSubsystem, InRequest, InHandOff), LocalUserNum(InLocalUserNum),
          Search(InSearch)
    {
    }
    FString ToString() const override;
    void Finalize() override;
    void TriggerDelegates() override;

    /** The kept result with session info whose last-updated text is greatest; the first of equals wins. */
    static int32 FindBestSession(const FOnlineSessionSearch& Search);

private:
    int32 LocalUserNum;
    TSharedRef<FOnlineSessionSearch> Search;
    int32 BestSessionIdx = -1;
};
