#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <typeindex>
#include <unordered_map>

#include "Core/Map.h"
#include "CoreMinimal.h"
#include "Launch/ConsoleInput.h"
#include "Launch/HostWordState.h"
#include "Launch/LaunchOptions.h"
#include "Online/OnlineTypes.h"

DECLARE_LOG_CATEGORY_EXTERN(LogHost, Log, All)

class FHostFailures;
class FHostHttpWatch;
enum class EHostAwait : uint8;
class FHostTerminal;
class FOnlineIdentityZor;
class FOnlineSubsystemZor;
class IOnlineSubsystem;

/**
 * The host engine as a console program: loads the engine ini and the module, creates the "ZOR" subsystem,
 * ticks HTTP and the core ticker at a steady frame rate and runs console lines between frames. The console
 * words come from the word table (HostWords.h); lines that are none of them go to the engine. The run fails
 * (exit code 1) when a line failed: a word that reported failure, an unknown line, an engine line that logged
 * a warning or an error, or an operation a line started whose outcome was a failure or that quitting cut
 * short.
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
    /** Local user 0's id while logged in; null, with the one answer every word gives before login, otherwise.
     */
    FUniqueNetIdPtr GetLoggedInUser(const TCHAR* Word) const;
    /** Holds the next console line back for Seconds while frames go on. */
    void WaitFor(double Seconds);
    /**
     * Holds the next console line back while frames go on until the latest line that started Operation has
     * had its outcome; after Seconds the operation counts as failed.
     */
    void WaitForOperation(const FString& Operation, double Seconds);
    /** Lets go of the word states, the subsystem and the module, and ends the frame loop. */
    void Quit();

    /** The running line started Operation (as events name it: "login", "profile GrantItem", ...), given
     * Subject (a file, session or friend) when its event names one; call it before the call that may report.
     */
    void AwaitOutcome(const FString& Operation, const FString& Subject = FString());
    /** The running line may see any number of Operation's outcomes (a driver's steps, the module's upkeep).
     */
    void AwaitOutcomes(const FString& Operation, EHostAwait Kind);
    /** Records how an operation ended; a failure fails the run and the line awaiting it (HostFailures.h). */
    void ReportOutcome(const FString& Operation, bool bSucceeded, const FString& Subject = FString());
    /** The user's login ended: a failure of what was awaited for it until now fails no line. */
    void LoginEnded();
    /** How Operation last ended; none when it has not ended yet. Names are matched ignoring case. */
    std::optional<bool> GetLastOutcome(const FString& Operation) const;

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
    /** -domain= names every service's HOST:PORT over the ini layers. */
    void ApplyDomain() const;
    bool LoadModule();
    void CreateSubsystem();
    /** Where the services are, so that a reply from an unexpected backend can be told apart. */
    void LogServiceAddress() const;

    void WatchLog();
    void RunFrames();
    void RunConsoleLines();
    /** The wait is over: its time has passed or the operation it awaits has ended. */
    bool IsWaitOver();
    /** Whether Operation has had its outcome but not yet the answers the module awaits for it: a logout's
     * session kills. */
    bool IsStillEnding(const FString& Operation);
    void ExecuteLine(const FConsoleLine& Line);
    /** Runs one line; false when it failed at once. */
    bool RunLine(const FString& Line);
    bool RunEngineLine(const FString& Line);

    FLaunchOptions Options;
    TUniquePtr<FConsoleInput> Console;
    IOnlineSubsystem* Subsystem = nullptr;
    /** Weak: the subsystem owns identity, and quitting must let it go. */
    TWeakPtr<FOnlineIdentityZor> Identity;
    /** Console lines wait until this time (FPlatformTime seconds). */
    double WaitUntil = 0.0;
    /** The operation whose end they wait for; empty when none. */
    FString AwaitedOperation;
    bool bQuit = false;
    /** Written from any thread, through the log sink. */
    std::unique_ptr<FHostTerminal> Terminal;
    std::unique_ptr<FHostFailures> Failures;
    /** The transport the module's requests go through, watched. */
    TSharedPtr<FHostHttpWatch> HttpWatch;
    TMap<FString, bool> LastOutcomes;

    /** The log sink that writes standard error and notes warnings and errors of engine lines. */
    int32 LogSinkId = 0;
    std::thread::id GameThread = std::this_thread::get_id();
    std::atomic<bool> bRunningEngineLine{false};
    std::atomic<int32> EngineLineProblems{0};
    std::unordered_map<std::type_index, std::unique_ptr<FHostWordState>> WordStates;
};
