#include "Online/OnlineSessionSettings.h"

#include <atomic>

namespace
{
// A stand-in for the engine's build hash: fixed per build, and not 0, which marks a result as foreign.
constexpr int32 DefaultBuildUniqueId = 0x5A0B;
std::atomic<int32> BuildUniqueId{DefaultBuildUniqueId};
} // namespace

const char* ToString(EOnlineDataAdvertisementType Type)
{
    switch (Type)
    {
    case EOnlineDataAdvertisementType::DontAdvertise:
        return "DontAdvertise";
    case EOnlineDataAdvertisementType::ViaPingOnly:
        return "ViaPingOnly";
    case EOnlineDataAdvertisementType::ViaOnlineService:
        return "OnlineService";
    case EOnlineDataAdvertisementType::ViaOnlineServiceAndPing:
        return "OnlineServiceAndPing";
    }
    return "";
}

const char* ToString(EOnlineComparisonOp Op)
{
    switch (Op)
    {
    case EOnlineComparisonOp::Equals:
        return "Equals";
    case EOnlineComparisonOp::NotEquals:
        return "NotEquals";
    case EOnlineComparisonOp::GreaterThan:
        return "GreaterThan";
    case EOnlineComparisonOp::GreaterThanEquals:
        return "GreaterThanEquals";
    case EOnlineComparisonOp::LessThan:
        return "LessThan";
    case EOnlineComparisonOp::LessThanEquals:
        return "LessThanEquals";
    case EOnlineComparisonOp::Near:
        return "Near";
    }
    return "";
}

const char* ToString(EOnlineSessionState State)
{
    switch (State)
    {
    case EOnlineSessionState::NoSession:
        return "NoSession";
    case EOnlineSessionState::Creating:
        return "Creating";
    case EOnlineSessionState::Pending:
        return "Pending";
    case EOnlineSessionState::Starting:
        return "Starting";
    case EOnlineSessionState::InProgress:
        return "InProgress";
    case EOnlineSessionState::Ending:
        return "Ending";
    case EOnlineSessionState::Ended:
        return "Ended";
    case EOnlineSessionState::Destroying:
        return "Destroying";
    }
    return "";
}

FString FOnlineSessionSetting::ToString() const
{
    return FString::Printf("%s :%s", *Data.ToString(), ::ToString(AdvertisementType));
}

FString FOnlineSessionSearchParam::ToString() const
{
    return FString::Printf("Value=%s : %s", *Data.ToString(), ::ToString(ComparisonOp));
}

void FOnlineSessionSearch::SortSearchResults()
{
    SearchResults.StableSort([](const FOnlineSessionSearchResult& A, const FOnlineSessionSearchResult& B)
                             { return A.PingInMs < B.PingInMs; });
}

int32 GetBuildUniqueId()
{
    return BuildUniqueId.load();
}

void SetBuildUniqueId(int32 BuildId)
{
    BuildUniqueId.store(BuildId);
}

void DumpNamedSession(const FNamedOnlineSession* Session)
{
    if (!Session)
    {
        return;
    }
    const FOnlineSessionSettings& Settings = Session->SessionSettings;
    UE_LOG(LogOnline, Log, "dumping NamedSession:");
    UE_LOG(LogOnline, Log, "\tSessionName: %s", *Session->SessionName);
    UE_LOG(LogOnline, Log, "\tHostingPlayerNum: %d", Session->HostingPlayerNum);
    UE_LOG(LogOnline, Log, "\tSessionState: %s", ToString(Session->SessionState));
    UE_LOG(LogOnline, Log, "\tRegisteredPlayers: %d", Session->RegisteredPlayers.Num());
    for (const FUniqueNetIdRef& Player : Session->RegisteredPlayers)
    {
        UE_LOG(LogOnline, Log, "\t    %s", *Player->ToDebugString());
    }
    UE_LOG(LogOnline, Log, "\tOwningPlayerName: %s", *Session->OwningUserName);
    UE_LOG(LogOnline, Log, "\tOwningPlayerId: %s",
           Session->OwningUserId ? *Session->OwningUserId->ToDebugString() : "");
    UE_LOG(LogOnline, Log, "\tNumOpenPrivateConnections: %d", Session->NumOpenPrivateConnections);
    UE_LOG(LogOnline, Log, "\tNumOpenPublicConnections: %d", Session->NumOpenPublicConnections);
    UE_LOG(LogOnline, Log, "\tSessionInfo: %s",
           Session->SessionInfo ? *Session->SessionInfo->ToDebugString() : "NULL");
    UE_LOG(LogOnline, Log,
           "\tNumPublicConnections: %d NumPrivateConnections: %d LAN: %s Dedicated: %s BuildId: %d",
           Settings.NumPublicConnections, Settings.NumPrivateConnections,
           Settings.bIsLANMatch ? "true" : "false", Settings.bIsDedicated ? "true" : "false",
           Settings.BuildUniqueId);
    for (const auto& Setting : Settings.Settings)
    {
        UE_LOG(LogOnline, Log, "\t    %s=%s", *Setting.Key, *Setting.Value.ToString());
    }
}
