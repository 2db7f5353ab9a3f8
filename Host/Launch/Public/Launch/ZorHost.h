#pragma once

#include "CoreMinimal.h"
#include "Launch/ConsoleInput.h"
#include "Launch/LaunchOptions.h"
#include "Online/OnlineIdentityInterface.h"

DECLARE_LOG_CATEGORY_EXTERN(LogHost, Log, All)

class FOnlineIdentityZor;
class IOnlineSubsystem;
class UZorHostProfile;
struct FAuthTokenExchangeCodeZor;

/**
 * The host engine as a console program: loads the engine ini and the module, creates the "ZOR" subsystem,
 * ticks HTTP and the core ticker at a steady frame rate and runs console lines between frames.
 */
class FZorHost
{
public:
    explicit FZorHost(FLaunchOptions InOptions);
    ~FZorHost();
    FZorHost(const FZorHost&) = delete;
    FZorHost& operator=(const FZorHost&) = delete;

    /** Runs until quit or the end of input; the process exit code. */
    int32 Run();

private:
    bool StartEngine();
    void ApplyLogSettings() const;
    FString ResolveIniPath() const;
    bool LoadEngineIni();
    bool OpenConsole();
    bool LoadModule();
    void CreateSubsystem();
    void BindIdentityEvents();

    void RunFrames();
    void RunConsoleLines();
    void ExecuteLine(const FString& Line);
    void Wait(const TCHAR* Args);
    void Login();
    void Logout();
    void ProfileCommand(const TCHAR* Args);
    UZorHostProfile* GetOrCreateProfile();
    void Quit();

    void OnLoginComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                         const FString& Error);
    void OnLogoutComplete(int32 LocalUserNum, bool bWasSuccessful);
    void OnLoginStatusChanged(int32 LocalUserNum, ELoginStatus::Type OldStatus, ELoginStatus::Type NewStatus,
                              const FUniqueNetId& UserId);
    void OnLoginPurchaseComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                                 const FString& Error);
    void OnGenerateExchangeCodeComplete(bool bWasSuccessful, const FUniqueNetId& UserId,
                                        const FAuthTokenExchangeCodeZor& Code, const FString& Error);

    FLaunchOptions Options;
    TUniquePtr<FConsoleInput> Console;
    IOnlineSubsystem* Subsystem = nullptr;
    /** Weak: the subsystem owns identity, and quitting must let it go. */
    TWeakPtr<FOnlineIdentityZor> Identity;
    /** Console lines wait until this time (FPlatformTime seconds). */
    double WaitUntil = 0.0;
    bool bQuit = false;
    /** Local user 0's profile, made on first use and kept reachable until quit. */
    UZorHostProfile* Profile = nullptr;
};
