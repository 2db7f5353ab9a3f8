#include "Launch/ZorHost.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <utility>

#include "Core/CommandLine.h"
#include "Core/Config.h"
#include "Core/Exec.h"
#include "Core/GameThread.h"
#include "Core/ModuleManager.h"
#include "Core/Paths.h"
#include "Core/PlatformProcess.h"
#include "Core/PlatformTime.h"
#include "Core/Ticker.h"
#include "HostFailures.h"
#include "HostHttpWatch.h"
#include "HostSecrets.h"
#include "HostTerminal.h"
#include "HostWords.h"
#include "HttpModule.h"
#include "Identity/OnlineIdentityZor.h"
#include "Online/OnlineSubsystemModule.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/OnlineSubsystemZorModule.h"
#include "Subsystem/ServiceConfigZor.h"
#include "UObject/GarbageCollection.h"

DEFINE_LOG_CATEGORY(LogHost)

namespace
{
constexpr const char* DefaultIniName = "DefaultEngine.ini";

/** The engine ini next to the program (where the build and the install put it), then the one in the sources,
 * then one under the working directory. */
TArray<FString> GetDefaultIniPaths()
{
    std::error_code Error;
    const std::filesystem::path Program = std::filesystem::read_symlink("/proc/self/exe", Error);
    TArray<FString> Paths;
    if (!Error)
    {
        Paths.Add((Program.parent_path() / DefaultIniName).string().c_str());
    }
    Paths.Add(ZOR_HOST_DEFAULT_ENGINE_INI);
    Paths.Add(FString("Config/") + DefaultIniName);
    return Paths;
}

FOnlineSubsystemModule* GetOnlineModule()
{
    return FModuleManager::Get().GetModulePtr<FOnlineSubsystemModule>(FOnlineSubsystemModule::ModuleName);
}
} // namespace

FZorHost::FZorHost(FLaunchOptions InOptions)
    : Options(std::move(InOptions)), Terminal(std::make_unique<FHostTerminal>()),
      Failures(std::make_unique<FHostFailures>())
{
}

FZorHost::~FZorHost()
{
    if (LogSinkId != 0)
    {
        FLog::RemoveSink(LogSinkId);
    }
}

int32 FZorHost::Run()
{
    WatchLog();
    if (!StartEngine())
    {
        return 1;
    }
    RunFrames();
    if (Failures->Num() > 0)
    {
        Failures->LogSummary();
        return 1;
    }
    return 0;
}

void FZorHost::WatchLog()
{
    GameThread = std::this_thread::get_id();
    LogSinkId = FLog::AddSink(
        [this](const FLogCategory& Category, ELogVerbosity::Type Verbosity, const FString& Message)
        {
            Terminal->WriteEntry(Category, Verbosity, Message);
            const bool bProblem = Verbosity <= ELogVerbosity::Warning;
            if (bProblem && std::this_thread::get_id() == GameThread && bRunningEngineLine)
            {
                ++EngineLineProblems;
            }
        });
}

void FZorHost::AwaitOutcome(const FString& Operation, const FString& Subject)
{
    Failures->Await(Operation, Subject, EHostAwait::Once);
}

void FZorHost::AwaitOutcomes(const FString& Operation, EHostAwait Kind)
{
    Failures->Await(Operation, FString(), Kind);
}

void FZorHost::ReportOutcome(const FString& Operation, bool bSucceeded, const FString& Subject)
{
    LastOutcomes.Add(Operation, bSucceeded);
    Failures->OperationEnded(Operation, bSucceeded, Subject);
}

void FZorHost::LoginEnded()
{
    Failures->LoginEnded();
}

std::optional<bool> FZorHost::GetLastOutcome(const FString& Operation) const
{
    const bool* Outcome = LastOutcomes.Find(Operation);
    return Outcome ? std::optional<bool>(*Outcome) : std::nullopt;
}

bool FZorHost::StartEngine()
{
    ApplyLogSettings();
    if (!LoadEngineIni() || !OpenConsole())
    {
        return false;
    }
    FCommandLine::Set(Options.EngineCommandLine);
    if (Options.bDedicatedServer)
    {
        SetHostNetMode(ENetMode::DedicatedServer);
    }
    ApplyDomain();
    HttpWatch = MakeShared<FHostHttpWatch>(FHttpModule::Get().GetTransport());
    FHttpModule::Get().SetTransport(HttpWatch);
    if (!LoadModule())
    {
        return false;
    }
    CreateSubsystem();
    return true;
}

void FZorHost::ApplyLogSettings() const
{
    for (const FString& Setting : Options.LogSettings)
    {
        if (!FLog::ApplyVerbositySetting(Setting))
        {
            UE_LOG(LogHost, Warning, "Unknown log setting %s (expected Category:Verbosity)", *Setting);
        }
    }
}

FString FZorHost::ResolveIniPath() const
{
    if (!Options.IniPath.IsEmpty())
    {
        return Options.IniPath;
    }
    const TArray<FString> Paths = GetDefaultIniPaths();
    for (const FString& Path : Paths)
    {
        if (FPaths::FileExists(Path))
        {
            return Path;
        }
    }
    return ZOR_HOST_DEFAULT_ENGINE_INI;
}

bool FZorHost::LoadEngineIni()
{
    const FString Path = ResolveIniPath();
    if (!GConfig->LoadFile(GEngineIni, Path))
    {
        UE_LOG(LogHost, Error, "Cannot read the engine ini %s", *Path);
        return false;
    }
    UE_LOG(LogHost, Log, "Engine ini %s", *Path);
    // The HTTP time-outs live in the engine ini, which was not loaded when the module may first have been
    // made.
    FHttpModule::Get().UpdateConfigs();
    return true;
}

void FZorHost::ApplyDomain() const
{
    if (Options.Domain.IsEmpty())
    {
        return;
    }
    // The configuration delegate runs after every ini layer of every service, so no section's Domain wins.
    FServiceConfigZor::GetZorConfigurationDelegate().BindLambda(
        [Domain = Options.Domain](const FString&, const FString&, FServiceConfigZor& Config)
        { Config.Domain = Domain; });
}

void FZorHost::LogServiceAddress() const
{
    const TSharedPtr<FOnlineIdentityZor> Pinned = GetIdentity();
    if (!Pinned)
    {
        return;
    }
    const FServiceConfigZor& Config = Pinned->GetZorConfiguration();
    UE_LOG(LogHost, Display, "Services at %s://%s (%s)", *Config.Protocol, *Config.Domain,
           Options.Domain.IsEmpty() ? "the ini's Domain; -domain=HOST:PORT names another"
                                    : "given by -domain=");
}

bool FZorHost::OpenConsole()
{
    if (Options.ExecPath.IsEmpty())
    {
        Console = FConsoleInput::FromStandardInput();
        if (isatty(STDIN_FILENO) == 1)
        {
            Terminal->EnablePrompt();
        }
        return true;
    }
    FString Error;
    Console = FConsoleInput::FromFile(Options.ExecPath, Error);
    if (!Console)
    {
        UE_LOG(LogHost, Error, "Cannot read the console script: %s", *Error);
        return false;
    }
    return true;
}

bool FZorHost::LoadModule()
{
    FModuleManager& Modules = FModuleManager::Get();
    Modules.RegisterModule(OnlineSubsystemZorModuleName, &InitializeModule);
    if (!Modules.LoadModule(OnlineSubsystemZorModuleName))
    {
        UE_LOG(LogHost, Error, "Cannot load the module %s", OnlineSubsystemZorModuleName);
        return false;
    }
    return true;
}

void FZorHost::CreateSubsystem()
{
    Subsystem = IOnlineSubsystem::Get(FOnlineSubsystemZor::ServiceName);
    if (!Subsystem)
    {
        UE_LOG(LogHost, Warning, "No ZOR subsystem; console lines run without it");
        return;
    }
    if (const FOnlineSubsystemZor* ZorSubsystem = GetZorSubsystem())
    {
        Identity = ZorSubsystem->GetZorIdentityService();
    }
    LogServiceAddress();
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        if (Group.BindEvents)
        {
            Group.BindEvents(*this);
        }
    }
}

FOnlineSubsystemZor* FZorHost::GetZorSubsystem() const
{
    return dynamic_cast<FOnlineSubsystemZor*>(Subsystem);
}

TSharedPtr<FOnlineIdentityZor> FZorHost::GetIdentity() const
{
    return Identity.Pin();
}

FUniqueNetIdPtr FZorHost::GetLoggedInUser(const TCHAR* Word) const
{
    const TSharedPtr<FOnlineIdentityZor> Pinned = GetIdentity();
    if (!Pinned || Pinned->GetLoginStatus(LocalUser) != ELoginStatus::LoggedIn)
    {
        UE_LOG(LogHost, Warning, "%s: local user %d is not logged in (type login first)", Word, LocalUser);
        return nullptr;
    }
    return Pinned->GetUniquePlayerId(LocalUser);
}

void FZorHost::WaitFor(double Seconds)
{
    WaitUntil = FPlatformTime::Seconds() + Seconds;
}

void FZorHost::WaitForOperation(const FString& Operation, double Seconds)
{
    if (Failures->IsAwaiting(Operation) || IsStillEnding(Operation))
    {
        AwaitedOperation = Operation;
        WaitFor(Seconds);
    }
}

bool FZorHost::IsWaitOver()
{
    if (!AwaitedOperation.IsEmpty() && !Failures->IsAwaiting(AwaitedOperation) &&
        !IsStillEnding(AwaitedOperation))
    {
        AwaitedOperation.Empty();
        WaitUntil = 0.0;
    }
    if (FPlatformTime::Seconds() < WaitUntil)
    {
        return false;
    }
    if (!AwaitedOperation.IsEmpty())
    {
        // Not ended in time counts as failed, on the line that started it, so no later check can miss it.
        UE_LOG(LogHost, Error, "wait %s: it has not ended", *AwaitedOperation);
        Failures->OperationEnded(AwaitedOperation, false);
        AwaitedOperation.Empty();
    }
    return true;
}

bool FZorHost::IsStillEnding(const FString& Operation)
{
    const TSharedPtr<FOnlineIdentityZor> Pinned = GetIdentity();
    return Operation.Equals("logout") && Pinned && HttpWatch &&
           HttpWatch->IsInFlight(Pinned->GetKillSessionsUrl());
}

void FZorHost::RunFrames()
{
    FGameThread::SetCurrent();
    const double FrameSeconds = 1.0 / Options.FramesPerSecond;
    double LastFrameStart = FPlatformTime::Seconds() - FrameSeconds;
    while (true)
    {
        RunConsoleLines();
        if (bQuit)
        {
            return;
        }
        const double FrameStart = FPlatformTime::Seconds();
        const float DeltaSeconds = static_cast<float>(FrameStart - LastFrameStart);
        LastFrameStart = FrameStart;
        FHttpModule::Get().Tick(DeltaSeconds);
        FTSTicker::GetCoreTicker().Tick(DeltaSeconds);
        const double Rest = FrameStart + FrameSeconds - FPlatformTime::Seconds();
        if (Rest > 0.0)
        {
            FPlatformProcess::Sleep(static_cast<float>(Rest));
        }
    }
}

void FZorHost::RunConsoleLines()
{
    while (!bQuit && IsWaitOver())
    {
        FConsoleLine Line;
        if (!Console->TryPop(Line))
        {
            if (Console->IsExhausted())
            {
                Quit();
                return;
            }
            Terminal->ShowPrompt();
            return;
        }
        ExecuteLine(Line);
    }
}

void FZorHost::ExecuteLine(const FConsoleLine& Line)
{
    Terminal->LineTaken();
    const FString Shown = MaskConsoleLine(Line.Text);
    UE_LOG(LogHost, Display, "> %s", *Shown);
    Failures->BeginLine(Line.Number, Shown);
    Failures->EndLine(RunLine(Line.Text));
}

bool FZorHost::RunLine(const FString& Line)
{
    const TCHAR* Args = *Line;
    if (const FHostWord* Word = FindHostWord(Args))
    {
        return Word->Run(*this, Args);
    }
    const FHostTestWord* TestWord = FindHostTestLine(*Line, Args);
    if (TestWord && TestWord->Await)
    {
        TestWord->Await(*this, Args);
    }
    return RunEngineLine(Line);
}

bool FZorHost::RunEngineLine(const FString& Line)
{
    // Engine commands report failure only as warnings and errors in the log.
    EngineLineProblems = 0;
    bRunningEngineLine = true;
    const bool bHandled = GEngine->Exec(nullptr, *Line, *GLog);
    bRunningEngineLine = false;
    if (!bHandled)
    {
        UE_LOG(LogExec, Warning, "Unknown command: %s (help lists the words)", *MaskConsoleLine(Line));
        return false;
    }
    return EngineLineProblems == 0;
}

void FZorHost::Quit()
{
    bQuit = true;
    Failures->BeginQuit();
    WordStates.clear();
    CollectGarbage();
    Identity.Reset();
    Subsystem = nullptr;
    if (FOnlineSubsystemModule* OnlineModule = GetOnlineModule())
    {
        OnlineModule->ShutdownOnlineSubsystem();
    }
    FModuleManager::Get().UnloadModule(OnlineSubsystemZorModuleName);
    FModuleManager::Get().UnloadAllModules();
    FServiceConfigZor::GetZorConfigurationDelegate().Unbind();
    // Transfers still running (a logout's session kills, unless wait logout held them) are cancelled, not
    // left to the exit.
    FHttpModule::Get().Shutdown();
    Failures->EndQuit();
    UE_LOG(LogHost, Display, "Bye");
}
