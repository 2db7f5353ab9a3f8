#pragma once

#include "Subsystem/BaseServiceZor.h"
#include "Core/CriticalSection.h"
#include "Core/Ticker.h"
#include "CoreMinimal.h"
#include "Http.h"
#include "Online/OnlineSubsystem.h"

#define ONLINE_LOG_PREFIX "ZOR: "

class FOnlineAsyncTask;
class FOnlineAsyncTaskManagerZor;
class FOnlineIdentityZor;
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

    IOnlineSessionPtr GetSessionInterface() const override { return nullptr; }
    IOnlineFriendsPtr GetFriendsInterface() const override { return nullptr; }
    IOnlinePartyPtr GetPartyInterface() const override { return nullptr; }
    IOnlineSharedCloudPtr GetSharedCloudInterface() const override { return nullptr; }
    IOnlineUserCloudPtr GetUserCloudInterface() const override { return nullptr; }
    IOnlineEntitlementsPtr GetEntitlementsInterface() const override { return nullptr; }
    IOnlineLeaderboardsPtr GetLeaderboardsInterface() const override { return nullptr; }
    IOnlineVoicePtr GetVoiceInterface() const override;
    IOnlineExternalUIPtr GetExternalUIInterface() const override { return nullptr; }
    IOnlineTimePtr GetTimeInterface() const override { return nullptr; }
    IOnlineIdentityPtr GetIdentityInterface() const override;
    IOnlineTitleFilePtr GetTitleFileInterface() const override { return nullptr; }
    IOnlineStorePtr GetStoreInterface() const override { return nullptr; }
    IOnlineEventsPtr GetEventsInterface() const override { return nullptr; }
    IOnlineAchievementsPtr GetAchievementsInterface() const override { return nullptr; }
    IOnlineSharingPtr GetSharingInterface() const override { return nullptr; }
    IOnlineUserPtr GetUserInterface() const override { return nullptr; }
    IOnlineMessagePtr GetMessageInterface() const override { return nullptr; }
    IOnlinePresencePtr GetPresenceInterface() const override { return nullptr; }

    bool Init() override;
    bool Shutdown() override;
    FString GetAppId() const override;
    bool Exec(UWorld* World, const TCHAR* Cmd, FOutputDevice& Ar) override;
    virtual void UpdateServiceConfig();

    bool Tick(float DeltaTime) override;

    TSharedPtr<FGameServiceZor> GetZorGameService() const { return GameService; }
    TSharedPtr<FOnlineIdentityZor> GetZorIdentityService() const { return IdentityService; }

    bool UseServerPermissions() const { return IsServer(); }
    /** Hands a task to the task thread; the task manager owns it from then on. */
    void QueueAsyncTask(FOnlineAsyncTask* Task);

    /** The user road: queues the request for the user, or for the application client on a server. */
    bool ProcessUserRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                            const FHttpRequestRef& Request, FString& OutError);
    /** The client road: queues the request for the named client, starting its login when it has no token. */
    bool ProcessClientRequest(FBaseServiceZor& Service, const FString& ClientId,
                              const FHttpRequestRef& Request, FString& OutError);
    /** The purchase road: signs with the user's purchase token and sends at once. */
    bool ProcessUserPurchaseRequest(FBaseServiceZor& Service, const FUniqueNetId& UserId,
                                    const FHttpRequestRef& Request, FString& OutError);

private:
    template <typename ServiceType> TSharedPtr<ServiceType> InitService(TSharedPtr<ServiceType> Service)
    {
        Services.Add(Service);
        Service->Init();
        return Service;
    }
    void CreateServices();
    void ReleaseServices();

    /** A user-road request handed over off the game thread, taken up by the next game-thread tick. */
    struct FDeferredUserRequest
    {
        FBaseServiceZor* Service;
        FUniqueNetIdString UserId;
        FHttpRequestRef Request;
    };

    bool IsInGameThread() const;
    void ProcessDeferredUserRequests();
    void TickUserRequests(float DeltaTime);
    void TickClientRequests(float DeltaTime);
    void CleanupPendingRequests();

    TSharedPtr<FGameServiceZor> GameService;
    TSharedPtr<FOnlineIdentityZor> IdentityService;
    IOnlineVoicePtr VoiceInterface;

    TArray<TSharedPtr<FBaseServiceZor>> Services;
    TUniquePtr<FOnlineAsyncTaskManagerZor> OnlineAsyncTaskThreadRunnable;
    TUniquePtr<FRunnableThread> OnlineAsyncTaskThread;

    uint32 GameThreadId;
    TMap<FString, TArray<FHttpRequestRef>> UserRequests;
    TArray<FDeferredUserRequest> DeferredUserRequests;
    FCriticalSection UserRequestsLock;
    TMap<FString, TArray<FHttpRequestRef>> ClientRequests;
    FCriticalSection ClientRequestsLock;
};

using FOnlineSubsystemZorPtr = TSharedPtr<FOnlineSubsystemZor>;
