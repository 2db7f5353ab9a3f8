#pragma once

#include <memory>
#include <typeindex>
#include <unordered_map>

#include "CoreMinimal.h"
#include "Launch/ConsoleInput.h"
#include "Launch/HostWordState.h"
#include "Launch/LaunchOptions.h"

DECLARE_LOG_CATEGORY_EXTERN(LogHost, Log, All)

class FOnlineIdentityZor;
class FOnlineSubsystemZor;
class IOnlineSubsystem;

/**
 * The host engine as a console program: loads the engine ini and the module, creates the "ZOR" subsystem,
 * ticks HTTP and the core ticker at a steady frame rate and runs console lines between frames. The console
 * words come from the word table (HostWords.h); lines that are none of them go to the engine.
 */
class FZorHost
{
public:
    /** The one local user the host plays. */
    static constexpr int32 LocalUser = 0;

    explicit FZorHost(FLaunchOptions InOptions);
    ~FZorHost();
    FZorHost(const FZorHost&) = delete;
    FZorHost& operator=(const FZorHost&) = delete;

    /** Runs until quit or the end of input; the process exit code. */
    int32 Run();

    /** The ZOR subsystem; null when it is disabled or after quit. */
    FOnlineSubsystemZor* GetZorSubsystem() const;
    /** Its identity service; null when there is none. */
    TSharedPtr<FOnlineIdentityZor> GetIdentity() const;
    /** Holds the next console line back for Seconds while frames go on. */
    void WaitFor(double Seconds);
    /** Lets go of the word states, the subsystem and the module, and ends the frame loop. */
    void Quit();

    /** The state of one part of the host, made on first use. */
    template <typename StateType> StateType& GetWordState()
    {
        std::unique_ptr<FHostWordState>& Slot = WordStates[std::type_index(typeid(StateType))];
        if (!Slot)
        {
            Slot = std::make_unique<StateType>();
        }
        return static_cast<StateType&>(*Slot);
    }

private:
    bool StartEngine();
    void ApplyLogSettings() const;
    FString ResolveIniPath() const;
    bool LoadEngineIni();
    bool OpenConsole();
    bool LoadModule();
    void CreateSubsystem();

    void RunFrames();
    void RunConsoleLines();
    void ExecuteLine(const FString& Line);

    FLaunchOptions Options;
    TUniquePtr<FConsoleInput> Console;
    IOnlineSubsystem* Subsystem = nullptr;
    /** Weak: the subsystem owns identity, and quitting must let it go. */
    TWeakPtr<FOnlineIdentityZor> Identity;
    /** Console lines wait until this time (FPlatformTime seconds). */
    double WaitUntil = 0.0;
    bool bQuit = false;
    std::unordered_map<std::type_index, std::unique_ptr<FHostWordState>> WordStates;
};
