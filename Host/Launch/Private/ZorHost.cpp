#include "Launch/ZorHost.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "Core/CommandLine.h"
#include "Core/Config.h"
#include "Core/Exec.h"
#include "Core/GameThread.h"
#include "Core/ModuleManager.h"
#include "Core/Parse.h"
#include "Core/Paths.h"
#include "Core/PlatformProcess.h"
#include "Core/PlatformTime.h"
#include "Core/Ticker.h"
#include "HttpModule.h"
#include "Online/OnlineSubsystemModule.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/OnlineSubsystemZorModule.h"
#include "HostProfile.h"

DEFINE_LOG_CATEGORY(LogHost)

namespace
{
/** The engine ini next to the sources, then one under the working directory. */
const char* const DefaultIniPaths[] = {ZOR_HOST_DEFAULT_ENGINE_INI, "Config/DefaultEngine.ini"};
/** The one local user the host plays. */
constexpr int32 LocalUser = 0;

bool ParseSeconds(const FString& Text, double& Out)
{
    const char* Begin = *Text;
    const char* End = Begin + Text.Len();
    double Value = 0.0;
    const auto [Stop, Error] = std::from_chars(Begin, End, Value);
    if (Error != std::errc() || Stop != End || !std::isfinite(Value) || Value < 0.0)
    {
        return false;
    }
    Out = Value;
    return true;
}

FOnlineSubsystemModule* GetOnlineModule()
{
    return FModuleManager::Get().GetModulePtr<FOnlineSubsystemModule>(FOnlineSubsystemModule::ModuleName);
}
} // namespace

FZorHost::FZorHost(FLaunchOptions InOptions) : Options(std::move(InOptions)) {}

FZorHost::~FZorHost() = default;

int32 FZorHost::Run()
{
    if (!StartEngine())
    {
        return 1;
    }
    RunFrames();
    return 0;
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
    for (const char* Path : DefaultIniPaths)
    {
        if (FPaths::FileExists(Path))
        {
            return Path;
        }
    }
    return DefaultIniPaths[0];
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

bool FZorHost::OpenConsole()
{
    if (Options.ExecPath.IsEmpty())
    {
        Console = FConsoleInput::FromStandardInput();
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
    BindIdentityEvents();
}

void FZorHost::BindIdentityEvents()
{
    const auto* ZorSubsystem = dynamic_cast<FOnlineSubsystemZor*>(Subsystem);
    const TSharedPtr<FOnlineIdentityZor> ZorIdentity =
        ZorSubsystem ? ZorSubsystem->GetZorIdentityService() : nullptr;
    if (!ZorIdentity)
    {
        return;
    }
    Identity = ZorIdentity;
    ZorIdentity->AddOnLoginCompleteDelegate(
        LocalUser, FOnLoginCompleteDelegate::CreateRaw(this, &FZorHost::OnLoginComplete));
    ZorIdentity->AddOnLogoutCompleteDelegate(
        LocalUser, FOnLogoutCompleteDelegate::CreateRaw(this, &FZorHost::OnLogoutComplete));
    ZorIdentity->AddOnLoginStatusChangedDelegate(
        LocalUser, FOnLoginStatusChangedDelegate::CreateRaw(this, &FZorHost::OnLoginStatusChanged));
    ZorIdentity->AddOnLoginPurchaseCompleteDelegate(
        LocalUser, FOnLoginPurchaseCompleteDelegate::CreateRaw(this, &FZorHost::OnLoginPurchaseComplete));
    ZorIdentity->AddOnGenerateExchangeCodeCompleteDelegate(
        FOnGenerateExchangeCodeCompleteDelegate::CreateRaw(this, &FZorHost::OnGenerateExchangeCodeComplete));
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
    while (!bQuit && FPlatformTime::Seconds() >= WaitUntil)
    {
        FString Line;
        if (!Console->TryPop(Line))
        {
            if (Console->IsExhausted())
            {
                Quit();
            }
            return;
        }
        ExecuteLine(Line);
    }
}

void FZorHost::ExecuteLine(const FString& Line)
{
    UE_LOG(LogHost, Display, "> %s", *Line);
    const TCHAR* Args = *Line;
    if (FParse::Command(&Args, "wait"))
    {
        Wait(Args);
    }
    else if (FParse::Command(&Args, "login"))
    {
        Login();
    }
    else if (FParse::Command(&Args, "logout"))
    {
        Logout();
    }
    else if (FParse::Command(&Args, "profile"))
    {
        ProfileCommand(Args);
    }
    else if (FParse::Command(&Args, "quit"))
    {
        Quit();
    }
    else if (!GEngine->Exec(nullptr, *Line, *GLog))
    {
        UE_LOG(LogExec, Warning, "Unknown command: %s", *Line);
    }
}

void FZorHost::Wait(const TCHAR* Args)
{
    FString Token;
    double Seconds = 0.0;
    if (!FParse::Token(Args, Token, false) || !ParseSeconds(Token, Seconds))
    {
        UE_LOG(LogHost, Warning, "usage: wait SECONDS");
        return;
    }
    WaitUntil = FPlatformTime::Seconds() + Seconds;
}

void FZorHost::Login()
{
    const TSharedPtr<FOnlineIdentityZor> ZorIdentity = Identity.Pin();
    if (!ZorIdentity)
    {
        UE_LOG(LogHost, Warning, "login: there is no identity to log in with");
        return;
    }
    ZorIdentity->AutoLogin(LocalUser);
}

void FZorHost::Logout()
{
    const TSharedPtr<FOnlineIdentityZor> ZorIdentity = Identity.Pin();
    if (!ZorIdentity)
    {
        UE_LOG(LogHost, Warning, "logout: there is no identity to log out of");
        return;
    }
    ZorIdentity->Logout(LocalUser);
}

UZorHostProfile* FZorHost::GetOrCreateProfile()
{
    if (Profile)
    {
        return Profile;
    }
    const TSharedPtr<FOnlineIdentityZor> ZorIdentity = Identity.Pin();
    const FUniqueNetIdPtr UserId = ZorIdentity ? ZorIdentity->GetUniquePlayerId(LocalUser) : nullptr;
    if (!UserId)
    {
        UE_LOG(LogHost, Warning, "profile: local user %d is not logged in", LocalUser);
        return nullptr;
    }
    Profile = NewObject<UZorHostProfile>();
    Profile->AddToRoot();
    Profile->Initialize(static_cast<FOnlineSubsystemZor*>(Subsystem), UserId, true);
    return Profile;
}

void FZorHost::ProfileCommand(const TCHAR* Args)
{
    if (FParse::Command(&Args, "query"))
    {
        if (UZorHostProfile* HostProfile = GetOrCreateProfile())
        {
            HostProfile->Query();
        }
        return;
    }
    FString Name;
    if (!FParse::Command(&Args, "command") || !FParse::Token(Args, Name, false))
    {
        UE_LOG(LogHost, Warning, "usage: profile query | profile command NAME JSON");
        return;
    }
    const FString ParamsText = FString(Args).TrimStartAndEnd();
    TSharedPtr<FJsonObject> Params = MakeShared<FJsonObject>();
    if (!ParamsText.IsEmpty() && !FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(ParamsText), Params))
    {
        UE_LOG(LogHost, Warning, "profile command: the parameters are not a JSON object: %s", *ParamsText);
        return;
    }
    if (UZorHostProfile* HostProfile = GetOrCreateProfile())
    {
        HostProfile->SendCommand(Name, Params);
    }
}

void FZorHost::Quit()
{
    bQuit = true;
    if (Profile)
    {
        Profile->RemoveFromRoot();
        Profile = nullptr;
        CollectGarbage();
    }
    Identity.Reset();
    Subsystem = nullptr;
    if (FOnlineSubsystemModule* OnlineModule = GetOnlineModule())
    {
        OnlineModule->ShutdownOnlineSubsystem();
    }
    FModuleManager::Get().UnloadModule(OnlineSubsystemZorModuleName);
    FModuleManager::Get().UnloadAllModules();
    // Transfers still running (logout's session kills are not awaited) are cancelled, not left to the exit.
    FHttpModule::Get().Shutdown();
    UE_LOG(LogHost, Display, "Bye");
}

void FZorHost::OnLoginComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                               const FString& Error)
{
    UE_LOG(LogHost, Display, "OnLoginComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s",
           LocalUserNum, bWasSuccessful, *UserId.ToString(), *Error);
}

void FZorHost::OnLogoutComplete(int32 LocalUserNum, bool bWasSuccessful)
{
    UE_LOG(LogHost, Display, "OnLogoutComplete LocalUserNum=%d bWasSuccessful=%d", LocalUserNum,
           bWasSuccessful);
}

void FZorHost::OnLoginStatusChanged(int32 LocalUserNum, ELoginStatus::Type OldStatus,
                                    ELoginStatus::Type NewStatus, const FUniqueNetId& UserId)
{
    UE_LOG(LogHost, Display, "OnLoginStatusChanged LocalUserNum=%d OldStatus=%s NewStatus=%s UserId=%s",
           LocalUserNum, ELoginStatus::ToString(OldStatus), ELoginStatus::ToString(NewStatus),
           *UserId.ToString());
}

void FZorHost::OnLoginPurchaseComplete(int32 LocalUserNum, bool bWasSuccessful, const FUniqueNetId& UserId,
                                       const FString& Error)
{
    UE_LOG(LogHost, Display, "OnLoginPurchaseComplete LocalUserNum=%d bWasSuccessful=%d UserId=%s Error=%s",
           LocalUserNum, bWasSuccessful, *UserId.ToString(), *Error);
}

void FZorHost::OnGenerateExchangeCodeComplete(bool bWasSuccessful, const FUniqueNetId& UserId,
                                              const FAuthTokenExchangeCodeZor& Code, const FString& Error)
{
    UE_LOG(
        LogHost, Display,
        "OnGenerateExchangeCodeComplete bWasSuccessful=%d UserId=%s Code=%s ExpiresInSeconds=%.0f Error=%s",
        bWasSuccessful, *UserId.ToString(), *Code.code, Code.expiresInSeconds, *Error);
}
