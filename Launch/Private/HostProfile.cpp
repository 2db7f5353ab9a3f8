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
    UE_LOG(LogHost, Warning, "usage: profile query | profile command NAME JSON");
    return false;
}

const FHostWord Words[] = {
    {"profile", "profile query | command NAME {JSON}",
     "asks for local user 0's profile, or sends it a command with the object's members", &ProfileWord},
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
