#include <cctype>
#include <limits>

#include "Core/Parse.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Sessions/OnlineSessionZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
/** The last search, so "session join" can name one of its results. */
class FSessionWordState : public FHostWordState
{
public:
    TSharedPtr<FOnlineSessionSearch> LastSearch;
};

TSharedPtr<FOnlineSessionZor> GetSessions(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineSessionZor> Sessions = Subsystem ? Subsystem->GetZorSessionService() : nullptr;
    if (!Sessions)
    {
        UE_LOG(LogHost, Warning, "session: there is no session service");
    }
    return Sessions;
}

TArray<FString> SplitWords(const TCHAR* Args)
{
    TArray<FString> Parts;
    FString(Args).ParseIntoArray(Parts, " ");
    return Parts;
}

/** "key=value": an integer, a boolean ("true"/"false") or a text. */
FVariantData ParseValue(const FString& Text)
{
    if (Text.IsNumeric() && !Text.Contains("."))
    {
        return FVariantData(FCString::Atoi(*Text));
    }
    if (Text == "true" || Text == "false")
    {
        return FVariantData(Text == "true");
    }
    return FVariantData(Text);
}

bool SplitPair(const FString& Word, FString& Key, FString& Value)
{
    return Word.Split("=", &Key, &Value) && !Key.IsEmpty();
}

/** No bound on the number of words. */
constexpr int32 AnyCount = std::numeric_limits<int32>::max();

const TCHAR* const CreateUsage = "session create NAME [lan] [dedicated] [public=N] [KEY=VALUE...]";
const TCHAR* const StartUsage = "session start NAME";
const TCHAR* const UpdateUsage = "session update NAME [lan] [dedicated] [public=N] [KEY=VALUE...]";
const TCHAR* const EndUsage = "session end NAME";
const TCHAR* const DestroyUsage = "session destroy NAME";
const TCHAR* const JoinUsage = "session join NAME INDEX";
const TCHAR* const RegisterUsage = "session register NAME ID...";

/** The words of the line when there are at least Least and at most Most of them; else the usage is logged. */
bool ReadWords(const TCHAR* Args, int32 Least, int32 Most, const TCHAR* Usage, TArray<FString>& Out)
{
    Out = SplitWords(Args);
    if (Out.Num() >= Least && Out.Num() <= Most)
    {
        return true;
    }
    UE_LOG(LogHost, Warning, "usage: %s", Usage);
    return false;
}

/** Applies the words after the session's name; false with the usage logged on a word it does not know. */
bool ApplySettingWords(const TArray<FString>& Parts, const TCHAR* Usage, FOnlineSessionSettings& Settings)
{
    for (int32 Index = 1; Index < Parts.Num(); ++Index)
    {
        FString Key;
        FString Value;
        if (Parts[Index] == "lan")
        {
            Settings.bIsLANMatch = true;
        }
        else if (Parts[Index] == "dedicated")
        {
            Settings.bIsDedicated = true;
        }
        else if (SplitPair(Parts[Index], Key, Value) && Key == "public" && Value.IsNumeric())
        {
            Settings.NumPublicConnections = FCString::Atoi(*Value);
        }
        else if (SplitPair(Parts[Index], Key, Value) && Key != "public")
        {
            FOnlineSessionSetting& Setting = Settings.Settings.FindOrAdd(Key.ToUpper());
            Setting.Data = ParseValue(Value);
            Setting.AdvertisementType = EOnlineDataAdvertisementType::ViaOnlineService;
        }
        else
        {
            UE_LOG(LogHost, Warning, "usage: %s", Usage);
            return false;
        }
    }
    return true;
}

bool Create(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Parts;
    if (!ReadWords(Args, 1, AnyCount, CreateUsage, Parts))
    {
        return false;
    }
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 4;
    Settings.bShouldAdvertise = true;
    Settings.bAllowJoinInProgress = true;
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    Host.AwaitOutcome("session create", Parts[0]);
    return ApplySettingWords(Parts, CreateUsage, Settings) && Sessions &&
           Sessions->CreateSession(FZorHost::LocalUser, Parts[0], Settings);
}

using FSessionCall = bool (FOnlineSessionZor::*)(const FName&);

/** A word that names one session and nothing else; Operation is the word's. */
bool CallNamed(FZorHost& Host, const TCHAR* Args, const TCHAR* Usage, const TCHAR* Operation,
               FSessionCall Call)
{
    TArray<FString> Parts;
    if (!ReadWords(Args, 1, 1, Usage, Parts))
    {
        return false;
    }
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    Host.AwaitOutcome(Operation, Parts[0]);
    return Sessions && ((*Sessions).*Call)(Parts[0]);
}

bool Start(FZorHost& Host, const TCHAR* Args)
{
    return CallNamed(Host, Args, StartUsage, "session start", &FOnlineSessionZor::StartSession);
}

/** Sends the session's settings again, with the changes the line names. */
bool Update(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Parts;
    if (!ReadWords(Args, 1, AnyCount, UpdateUsage, Parts))
    {
        return false;
    }
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    const FOnlineSessionSettings* Current = Sessions ? Sessions->GetSessionSettings(Parts[0]) : nullptr;
    FOnlineSessionSettings Settings = Current ? *Current : FOnlineSessionSettings();
    Host.AwaitOutcome("session update", Parts[0]);
    return ApplySettingWords(Parts, UpdateUsage, Settings) && Sessions &&
           Sessions->UpdateSession(Parts[0], Settings, true);
}

bool End(FZorHost& Host, const TCHAR* Args)
{
    return CallNamed(Host, Args, EndUsage, "session end", &FOnlineSessionZor::EndSession);
}

bool Destroy(FZorHost& Host, const TCHAR* Args)
{
    return CallNamed(Host, Args, DestroyUsage, "session destroy", &FOnlineSessionZor::DestroySession);
}

bool Find(FZorHost& Host, const TCHAR* Args)
{
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    if (!Sessions)
    {
        return false;
    }
    const TSharedRef<FOnlineSessionSearch> Search = MakeShared<FOnlineSessionSearch>();
    Search->MaxSearchResults = 20;
    for (const FString& Word : SplitWords(Args))
    {
        FString Key;
        FString Value;
        if (Word == "lan")
        {
            Search->bIsLanQuery = true;
        }
        else if (SplitPair(Word, Key, Value) && Key == "max")
        {
            Search->MaxSearchResults = FCString::Atoi(*Value);
        }
        else if (SplitPair(Word, Key, Value))
        {
            FOnlineSessionSearchParam& Param = Search->QuerySettings.SearchParams.FindOrAdd(Key.ToUpper());
            Param.Data = ParseValue(Value);
        }
    }
    Host.GetWordState<FSessionWordState>().LastSearch = Search;
    Host.AwaitOutcome("session find");
    return Sessions->FindSessions(FZorHost::LocalUser, Search);
}

/** Digits only: "0.5", "-1" and "x" name no result. */
bool IsIndex(const FString& Word)
{
    constexpr int32 MaxDigits = 9;
    if (Word.IsEmpty() || Word.Len() > MaxDigits)
    {
        return false;
    }
    for (int32 Index = 0; Index < Word.Len(); ++Index)
    {
        if (!std::isdigit(static_cast<unsigned char>(Word[Index])))
        {
            return false;
        }
    }
    return true;
}

bool Join(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Parts;
    if (!ReadWords(Args, 2, 2, JoinUsage, Parts))
    {
        return false;
    }
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    const TSharedPtr<FOnlineSessionSearch> Search = Host.GetWordState<FSessionWordState>().LastSearch;
    const int32 Index = IsIndex(Parts[1]) ? FCString::Atoi(*Parts[1]) : -1;
    if (!Sessions || !Search || !Search->SearchResults.IsValidIndex(Index))
    {
        UE_LOG(LogHost, Warning, "session join: no search result %s", *Parts[1]);
        return false;
    }
    Host.AwaitOutcome("session join", Parts[0]);
    return Sessions->JoinSession(FZorHost::LocalUser, Parts[0], Search->SearchResults[Index]);
}

bool RegisterPlayers(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Parts;
    if (!ReadWords(Args, 2, AnyCount, RegisterUsage, Parts))
    {
        return false;
    }
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    if (!Sessions)
    {
        return false;
    }
    TArray<FUniqueNetIdRef> Players;
    for (int32 Index = 1; Index < Parts.Num(); ++Index)
    {
        Players.Add(MakeShared<FUniqueNetIdString>(Parts[Index]));
    }
    Host.AwaitOutcome("session register", Parts[0]);
    return Sessions->RegisterPlayers(Parts[0], Players, false);
}

bool Dump(FZorHost& Host, const TCHAR*)
{
    const TSharedPtr<FOnlineSessionZor> Sessions = GetSessions(Host);
    if (Sessions)
    {
        Sessions->DumpSessionState();
    }
    return Sessions.IsValid();
}

const FHostWord SessionWords[] = {
    {"create", CreateUsage, "hosts a session", &Create},
    {"start", StartUsage, "starts a session", &Start},
    {"update", UpdateUsage, "sends a session's settings again, changed as named", &Update},
    {"end", EndUsage, "ends a session", &End},
    {"destroy", DestroyUsage, "destroys a session", &Destroy},
    {"find", "session find [lan] [max=N] [KEY=VALUE...]", "searches for sessions", &Find},
    {"join", JoinUsage, "joins a result of the last search", &Join},
    {"register", RegisterUsage, "registers players in a session", &RegisterPlayers},
    {"dump", "session dump", "logs every session", &Dump},
};

bool Session(FZorHost& Host, const TCHAR* Args)
{
    const TCHAR* Rest = Args;
    for (const FHostWord& Word : SessionWords)
    {
        if (FParse::Command(&Rest, Word.Name))
        {
            return Word.Run(Host, Rest);
        }
    }
    UE_LOG(LogHost, Warning,
           "session: unknown word; one of create, start, update, end, destroy, find, join, "
           "register, dump");
    return false;
}

void LogResults(const FOnlineSessionSearch& Search)
{
    for (int32 Index = 0; Index < Search.SearchResults.Num(); ++Index)
    {
        const FOnlineSession& Found = Search.SearchResults[Index].Session;
        FString Attributes;
        for (const auto& Setting : Found.SessionSettings.Settings)
        {
            Attributes += FString::Printf(" %s=%s", *Setting.Key, *Setting.Value.Data.ToString());
        }
        UE_LOG(LogHost, Display, "SearchResult %d SessionInfo=%s Owner=%s OpenPublic=%d/%d Attributes:%s",
               Index, Found.SessionInfo ? *Found.SessionInfo->ToDebugString() : "none", *Found.OwningUserName,
               Found.NumOpenPublicConnections, Found.SessionSettings.NumPublicConnections, *Attributes);
    }
}

void BindEvents(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const TSharedPtr<FOnlineSessionZor> Sessions = Subsystem ? Subsystem->GetZorSessionService() : nullptr;
    if (!Sessions)
    {
        return;
    }
    const auto Named = [&Host](const char* Event, const char* Operation)
    {
        return [&Host, Event, Operation](FName Name, bool bOk)
        {
            UE_LOG(LogHost, Display, "%s SessionName=%s bWasSuccessful=%d", Event, *Name, bOk);
            Host.ReportOutcome(Operation, bOk, Name);
        };
    };
    Sessions->AddOnCreateSessionCompleteDelegate(
        FOnCreateSessionCompleteDelegate::CreateLambda(Named("OnCreateSessionComplete", "session create")));
    Sessions->AddOnStartSessionCompleteDelegate(
        FOnStartSessionCompleteDelegate::CreateLambda(Named("OnStartSessionComplete", "session start")));
    Sessions->AddOnUpdateSessionCompleteDelegate(
        FOnUpdateSessionCompleteDelegate::CreateLambda(Named("OnUpdateSessionComplete", "session update")));
    Sessions->AddOnEndSessionCompleteDelegate(
        FOnEndSessionCompleteDelegate::CreateLambda(Named("OnEndSessionComplete", "session end")));
    Sessions->AddOnDestroySessionCompleteDelegate(FOnDestroySessionCompleteDelegate::CreateLambda(
        Named("OnDestroySessionComplete", "session destroy")));
    Sessions->AddOnFindSessionsCompleteDelegate(FOnFindSessionsCompleteDelegate::CreateLambda(
        [&Host](bool bOk)
        {
            const TSharedPtr<FOnlineSessionSearch> Search = Host.GetWordState<FSessionWordState>().LastSearch;
            UE_LOG(LogHost, Display, "OnFindSessionsComplete bWasSuccessful=%d NumResults=%d", bOk,
                   Search ? Search->SearchResults.Num() : 0);
            if (Search)
            {
                LogResults(*Search);
            }
            Host.ReportOutcome("session find", bOk);
        }));
    Sessions->AddOnJoinSessionCompleteDelegate(FOnJoinSessionCompleteDelegate::CreateLambda(
        [&Host](FName Name, EOnJoinSessionCompleteResult Result)
        {
            UE_LOG(LogHost, Display, "OnJoinSessionComplete SessionName=%s Result=%d", *Name, int32(Result));
            Host.ReportOutcome("session join", Result == EOnJoinSessionCompleteResult::Success, Name);
        }));
    Sessions->AddOnRegisterPlayersCompleteDelegate(FOnRegisterPlayersCompleteDelegate::CreateLambda(
        [&Host](FName Name, const TArray<FUniqueNetIdRef>& Players, bool bOk)
        {
            UE_LOG(LogHost, Display,
                   "OnRegisterPlayersComplete SessionName=%s NumPlayers=%d bWasSuccessful=%d", *Name,
                   Players.Num(), bOk);
            Host.ReportOutcome("session register", bOk, Name);
        }));
    Subsystem->AddOnConnectionStatusChangedDelegate(FOnConnectionStatusChangedDelegate::CreateLambda(
        [](const FString& Service, EOnlineServerConnectionStatus::Type,
           EOnlineServerConnectionStatus::Type Status) {
            UE_LOG(LogHost, Display, "OnConnectionStatusChanged Service=%s Status=%d", *Service,
                   int32(Status));
        }));
}

const FHostWord Words[] = {
    {"session", "session create|start|update|end|destroy|find|join|register|dump ...",
     "hosts, finds and joins matchmaking sessions", &Session, nullptr, SessionWords},
};
const FHostOperation Operations[] = {
    {"session create"},  {"session start"}, {"session update"}, {"session end"},
    {"session destroy"}, {"session find"},  {"session join"},   {"session register"},
};
} // namespace

const FHostWordGroup& GetSessionHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
