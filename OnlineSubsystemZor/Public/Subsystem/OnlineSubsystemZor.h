#pragma once

#include "Common/ZorLoginStamp.h"
#include "Core/CriticalSection.h"
#include "Core/Ticker.h"
#include "CoreMinimal.h"
#include "Http.h"
#include "Online/OnlineSubsystem.h"
#include "Subsystem/BaseServiceZor.h"

#define ONLINE_LOG_PREFIX "ZOR: "

class FOnlineAsyncTask;
class FOnlineAsyncTaskManagerZor;
class FOnlineAccountCreationZor;
class FOnlineAccountMappingZor;
class FOnlineCatalogServiceZor;
class FOnlineBuildInfoServiceZor;
class FOnlineBuildInfoServiceZorV2;
class FOnlineEntitlementsZor;
class FOnlineIdentityZor;
class FOnlineFriendsZor;
class FOnlineMessageZor;
class FOnlineOrderServiceZor;
class FOnlinePaymentServiceZor;
class FOnlineTimeZor;
class FOnlineTitleFileZor;
class FOnlineUserCloudZor;
class FOnlineSessionZor;
class FRunnableThread;

/**
 * The "ZOR" online subsystem: owns every service, the task thread and the user and client request queues.
 * Always owned by a shared pointer, so objects that outlive it (profiles) can hold it weakly.
 */
class FOnlineSubsystemZor : public FOnlineSubsystemImpl,
                            public FTickerObjectBase,
                            public TSharedFromThis<FOnlineSubsystemZor>
{
public:
    static const FName ServiceName;

    explicit FOnlineSubsystemZor(const FName& InInstanceName);
    ~FOnlineSubsystemZor() override;

    /**
     * Held on the game thread by whatever runs code that may fire events (a tick, a reply's handler, a call
     * that fires several): a handler may shut the subsystem down or drop the last reference to it while that
     * code still runs. The subsystem, and what a Shutdown lets go (services, task manager), stay until the
     * outermost scope ends. Does nothing without a subsystem.
     */
    class FEventScope
    {
    public:
        explicit FEventScope(FOnlineSubsystemZor* InSubsystem);
        ~FEventScope();
        FEventScope(const FEventScope&) = delete;
        FEventScope& operator=(const FEventScope&) = delete;

    private:
        FOnlineSubsystemZor* Subsystem;
        TSharedPtr<FOnlineSubsystemZor> KeepAlive;
    };

    IOnlineSessionPtr GetSessionInterface() const override;
    IOnlineFriendsPtr GetFriendsInterface() const override;
    IOnlinePartyPtr GetPartyInterface() const override { return nullptr; }
    IOnlineSharedCloudPtr GetSharedCloudInterface() const override { return nullptr; }
    IOnlineUserCloudPtr GetUserCloudInterface() const override;
    IOnlineEntitlementsPtr GetEntitlementsInterface() const override;
    IOnlineLeaderboardsPtr GetLeaderboardsInterface() const override { return nullptr; }
    IOnlineVoicePtr GetVoiceInterface() const override;
    IOnlineExternalUIPtr GetExternalUIInterface() const override { return nullptr; }
    IOnlineTimePtr GetTimeInterface() const override;
    IOnlineIdentityPtr GetIdentityInterface() const override;
    IOnlineTitleFilePtr GetTitleFileInterface() const override;
    IOnlineStorePtr GetStoreInterface() const override { return nullptr; }
    IOnlineEventsPtr GetEventsInterface() const override { return nullptr; }
    IOnlineAchievementsPtr GetAchievementsInterface() const override { return nullptr; }
    IOnlineSharingPtr GetSharingInterface() const override { return nullptr; }
    IOnlineUserPtr GetUserInterface() const override;
    IOnlineMessagePtr GetMessageInterface() const override;
    IOnlinePresencePtr GetPresenceInterface() const override { return nullptr; }

    bool Init() override;
    bool Shutdown() override;
    /** From the start of Shutdown until the next Init. */
    bool IsShutDown() const { return bShutDown; }
    FString GetAppId() const override;
    bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar) override;
    virtual void UpdateServiceConfig();

    bool Tick(float DeltaTime) override;

    // Typed getters, defined next to the service table: empty before Init and after Shutdown.
    TSharedPtr<FGameServiceZor> GetZorGameService() const;
    TSharedPtr<FOnlineIdentityZor> GetZorIdentityService() const;
    TSharedPtr<FOnlineAccountCreationZor> GetZorAccountCreationService() const;
    TSharedPtr<FOnlineAccountMappingZor> GetZorAccountMappingService() const;
    TSharedPtr<FOnlineFriendsZor> GetZorFriendsService() const;
    TSharedPtr<FOnlineMessageZor> GetZorMessageService() const;
    TSharedPtr<FOnlineTimeZor> GetZorTimeService() const;
    TSharedPtr<FOnlineUserCloudZor> GetZorUserCloudService() const;
    TSharedPtr<FOnlineTitleFileZor> GetZorTitleFileService() const;
    TSharedPtr<FOnlineSessionZor> GetZorSessionService() const;
    TSharedPtr<FOnlineCatalogServiceZor> GetZorCatalogService() const;
    TSharedPtr<FOnlineOrderServiceZor> GetZorOrderService() const;
    TSharedPtr<FOnlinePaymentServiceZor> GetZorPaymentService() const;
    TSharedPtr<FOnlineEntitlementsZor> GetZorEntitlementsService() const;
    TSharedPtr<FOnlineBuildInfoServiceZor> GetZorBuildInfoService() const;
    TSharedPtr<FOnlineBuildInfoServiceZorV2> GetZorBuildInfoServiceV2() const;

    bool UseServerPermissions() const { return IsServer(); }
    /** Hands a task to the task thread; the task manager owns it from then on. */
    void QueueAsyncTask(FOnlineAsyncTask* Task);

    /** A request waiting on a road, and the user's login it was queued for, under which alone it may go (none
     * on the client road). */
    struct FQueuedRequest
    {
        FHttpRequestRef Request;
        FZorLoginStamp Login;
    };
    /** The user road: queues the request for the user, or for the application client on a server. */
    bool ProcessUserRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                            const FHttpRequestRef& Request, FString& OutError);
    /** The client road: queues the request for the named client, starting its login when it has no token. */
    bool ProcessClientRequest(FBaseServiceZor& Service, const FString& ClientId,
                              const FHttpRequestRef& Request, FString& OutError);
    /** The purchase road: signs with the user's purchase token and sends at once. */
    bool ProcessUserPurchaseRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                                    const FHttpRequestRef& Request, FString& OutError);

    /**
     * The login that UserId's local user holds now, taken on the game thread when a request is made for it;
     * none off the game thread or for a user no local user is (a server acting for a player).
     */
    FZorLoginStamp StampLogin(const FUniqueNetId& UserId) const;
    /** Whether a request made for Login may still act: always for no login; never once it ended or after
     * Shutdown. Game thread only. */
    bool IsLoginCurrent(const FZorLoginStamp& Login) const;

private:
    /** A created service under its type, so the typed getters find it. */
    struct FServiceSlot
    {
        const void* Type = nullptr;
        TSharedPtr<FBaseServiceZor> Service;
    };
    template <typename ServiceType> static const void* ServiceTypeTag()
    {
        static const char Tag = 0;
        return &Tag;
    }
    template <typename ServiceType> TSharedPtr<ServiceType> FindService() const
    {
        for (const FServiceSlot& Slot : ServiceSlots)
        {
            if (Slot.Type == ServiceTypeTag<ServiceType>())
            {
                return StaticCastSharedPtr<ServiceType>(Slot.Service);
            }
        }
        return nullptr;
    }
    /** Creates a service that is reachable by its getter only: not initialised, ticked or shut down. */
    template <typename ServiceType, typename... ArgTypes>
    TSharedPtr<ServiceType> CreateService(ArgTypes&&... Args)
    {
        TSharedPtr<ServiceType> Service = MakeShared<ServiceType>(this, std::forward<ArgTypes>(Args)...);
        ServiceSlots.Add({ServiceTypeTag<ServiceType>(), Service});
        return Service;
    }
    /** Creates a service, appends it to Services and initialises it before the next is created. */
    template <typename ServiceType, typename... ArgTypes> void AddService(ArgTypes&&... Args)
    {
        if (bShutDown)
        {
            // A handler of an earlier service's configuration shut the subsystem down.
            return;
        }
        const TSharedPtr<ServiceType> Service = CreateService<ServiceType>(std::forward<ArgTypes>(Args)...);
        Services.Add(Service);
        Service->Init();
    }
    /** The service table. */
    void CreateServices();
    void ReleaseServices();
    /** Sessions first, then the rest in creation order; stops once a handler has shut the subsystem down. */
    void TickServices(float DeltaTime);

    /** A user-road request handed over off the game thread, taken up by the next game-thread tick. */
    struct FDeferredUserRequest
    {
        FBaseServiceZor* Service;
        FUniqueNetIdString UserId;
        FHttpRequestRef Request;
    };

    bool IsInGameThread() const;
    static FString NoAccountError(const FUniqueNetId& UserId);
    /** The user road on the game thread. */
    bool QueueUserRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                          const FHttpRequestRef& Request, FString& OutError);
    void ProcessDeferredUserRequests();
    /** Cancels the requests whose login has ended; each then fails once through its own completion. */
    void CancelEndedLogins(TArray<FQueuedRequest>& Requests, const FString& Owner) const;
    void TickUserRequests(float DeltaTime);
    void TickClientRequests(float DeltaTime);
    void CleanupPendingRequests();

    IOnlineVoicePtr VoiceInterface;
    /** How many event scopes are open, and what Shutdown let go while one was. */
    int32 EventScopes = 0;
    TArray<TSharedPtr<void>> Released;
    /** Set by Shutdown, which is then a no-op until the next Init; the destructor runs it too. */
    bool bShutDown = false;

    /** Which of Init and Shutdown is running, so that one called from a handler of an event it fires (the
     * configuration delegate, a "No response" event) does not act on half-made or half-released state. */
    enum class ELifecycleStep : uint8
    {
        None,
        Init,
        Shutdown,
    };
    class FLifecycleStep
    {
    public:
        FLifecycleStep(FOnlineSubsystemZor& InSubsystem, ELifecycleStep Step);
        ~FLifecycleStep();
        FLifecycleStep(const FLifecycleStep&) = delete;
        FLifecycleStep& operator=(const FLifecycleStep&) = delete;

    private:
        FOnlineSubsystemZor& Subsystem;
        ELifecycleStep Outer;
    };
    ELifecycleStep RunningStep = ELifecycleStep::None;

    TArray<FServiceSlot> ServiceSlots;
    /** The initialised services, in creation order. */
    TArray<TSharedPtr<FBaseServiceZor>> Services;
    TSharedPtr<FOnlineAsyncTaskManagerZor> OnlineAsyncTaskThreadRunnable;
    TUniquePtr<FRunnableThread> OnlineAsyncTaskThread;

    uint32 ConstructingThreadId;
    TMap<FString, TArray<FQueuedRequest>> UserRequests;
    TArray<FDeferredUserRequest> DeferredUserRequests;
    FCriticalSection UserRequestsLock;
    TMap<FString, TArray<FQueuedRequest>> ClientRequests;
    FCriticalSection ClientRequestsLock;
};

using FOnlineSubsystemZorPtr = TSharedPtr<FOnlineSubsystemZor>;
