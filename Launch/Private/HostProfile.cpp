#include <cstdio>

#include "Core/Parse.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "ZorHostProfile.h"
#include "Json/JsonSerializer.h"

namespace
{
/** Local user 0's profile, made on first use and kept reachable until quit. */
class FProfileWordState : public FHostWordState
{
public:
    ~FProfileWordState() override { Release(); }

    /** Leaves the profile to the collector. */
    void Release()
    {
        if (Profile)
        {
            Profile->OnResult = nullptr;
            Profile->RemoveFromRoot();
            Profile = nullptr;
        }
    }

    UZorHostProfile* Profile = nullptr;
};

/** The profile of the user logged in now; one made for an earlier login is let go. */
UZorHostProfile* GetOrCreateProfile(FZorHost& Host)
{
    FProfileWordState& State = Host.GetWordState<FProfileWordState>();
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("profile");
    const bool bSameUser = State.Profile && UserId && *State.Profile->GetGameAccountId() == *UserId;
    if (State.Profile && !bSameUser)
    {
        State.Release();
    }
    if (!UserId)
    {
        return nullptr;
    }
    if (!State.Profile)
    {
        State.Profile = NewObject<UZorHostProfile>();
        State.Profile->AddToRoot();
        State.Profile->Initialize(Host.GetZorSubsystem(), UserId, true);
        State.Profile->OnResult = [&Host](const FString& Command, bool bSucceeded)
        { Host.ReportOutcome("profile " + Command, bSucceeded); };
    }
    return State.Profile;
}

bool SendCommand(FZorHost& Host, const TCHAR* Args)
{
    FString Name;
    if (!FParse::Token(Args, Name, false))
    {
        UE_LOG(LogHost, Warning, "usage: profile query | profile command NAME JSON");
        return false;
    }
    const FString ParamsText = FString(Args).TrimStartAndEnd();
    TSharedPtr<FJsonObject> Params = MakeShared<FJsonObject>();
    if (!ParamsText.IsEmpty() &&
        !FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(ParamsText), Params))
    {
        UE_LOG(LogHost, Warning, "profile command: the parameters are not a JSON object: %s", *ParamsText);
        return false;
    }
    UZorHostProfile* Profile = GetOrCreateProfile(Host);
    Host.AwaitOutcome("profile " + Name);
    return Profile && Profile->SendCommand(Name, Params);
}

/** Fails the run unless the profile as last read holds what the line says, and prints it when it does. */
bool ExpectHeld(FZorHost& Host, const TCHAR* Args)
{
    FString Kind;
    FString Name;
    FString Wanted;
    if (!FParse::Token(Args, Kind, false) || (Kind != "item" && Kind != "stat") ||
        !FParse::Token(Args, Name, false) || !FParse::Token(Args, Wanted, false))
    {
        UE_LOG(LogHost, Warning,
               "usage: profile expect item TEMPLATE QUANTITY | profile expect stat NAME VALUE");
        return false;
    }
    const UZorHostProfile* Profile = Host.GetWordState<FProfileWordState>().Profile;
    if (!Profile)
    {
        UE_LOG(LogHost, Error, "profile expect: no profile has been read (profile query first)");
        return false;
    }
    const FString Value = Profile->Held(Kind, Name);
    const FString Shown = Kind == "item" ? Name + " x " + Value : Name + " = " + Value;
    if (!Value.Equals(Wanted, ESearchCase::CaseSensitive))
    {
        UE_LOG(LogHost, Error, "profile expect %s %s %s: the profile holds %s", *Kind, *Name, *Wanted,
               *Shown);
        return false;
    }
    UE_LOG(LogHost, Display, "profile expect %s: passed, %s", *Kind, *Shown);
    std::printf("passed: profile %s %s\n", *Kind, *FLog::Escape(Shown));
    std::fflush(stdout);
    return true;
}

bool ProfileWord(FZorHost& Host, const TCHAR* Args)
{
    if (FParse::Command(&Args, "query"))
    {
        UZorHostProfile* Profile = GetOrCreateProfile(Host);
        Host.AwaitOutcome("profile QueryProfile");
        return Profile && Profile->Query();
    }
    if (FParse::Command(&Args, "command"))
    {
        return SendCommand(Host, Args);
    }
    if (FParse::Command(&Args, "expect"))
    {
        return ExpectHeld(Host, Args);
    }
    UE_LOG(LogHost, Warning,
           "usage: profile query | profile command NAME JSON | profile expect item|stat NAME VALUE");
    return false;
}

const FHostWord Words[] = {
    {"profile",
     "profile query | command NAME {JSON} | expect item TEMPLATE QUANTITY | expect stat NAME VALUE",
     "asks for local user 0's profile, sends it a command with the object's members, or fails the run unless "
     "the profile as last read holds that quantity of a template's items or that stat value",
     &ProfileWord},
};
const FHostOperation Operations[] = {
    {"profile QueryProfile"},
    {"profile *"},
};
} // namespace

const FHostWordGroup& GetProfileHostWords()
{
    static const FHostWordGroup Group{Words, {}, nullptr, Operations};
    return Group;
}
