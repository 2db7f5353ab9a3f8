#include "Sessions/OnlineSessionJsonZor.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "Online/OnlineIdentityInterface.h"
#include "Sessions/OnlineSessionInfoZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
using FWriter = TJsonWriter<TCHAR, TPrettyJsonPrintPolicy<TCHAR>>;

constexpr uint32 LoopbackIp = 0x7F000001;

// Bounded so a hostile key cannot flood the log.
FString Shorten(const FString& Text)
{
    constexpr int32 MaxLogged = 80;
    return Text.Len() <= MaxLogged ? Text : Text.Left(MaxLogged) + "...";
}

bool IsAdvertisedToService(EOnlineDataAdvertisementType Type)
{
    return Type == EOnlineDataAdvertisementType::ViaOnlineService ||
           Type == EOnlineDataAdvertisementType::ViaOnlineServiceAndPing;
}

/** Writes the value under Key; false for a type the service does not hold or an empty text. */
bool WriteVariant(FJsonWriterBase& Writer, const FString& Key, const FVariantData& Data)
{
    int32 Int = 0;
    float Float = 0.0f;
    bool Bool = false;
    FString Text;
    if (Data.GetValue(Int))
    {
        Writer.WriteValue(Key, Int);
    }
    else if (Data.GetValue(Float))
    {
        Writer.WriteValue(Key, Float);
    }
    else if (Data.GetValue(Bool))
    {
        Writer.WriteValue(Key, Bool);
    }
    else if (Data.GetValue(Text) && !Text.IsEmpty())
    {
        Writer.WriteValue(Key, Text);
    }
    else
    {
        return false;
    }
    return true;
}

void WriteValueOnly(FJsonWriterBase& Writer, const FVariantData& Data)
{
    int32 Int = 0;
    float Float = 0.0f;
    bool Bool = false;
    FString Text;
    if (Data.GetValue(Int))
    {
        Writer.WriteValue(Int);
    }
    else if (Data.GetValue(Float))
    {
        Writer.WriteValue(Float);
    }
    else if (Data.GetValue(Bool))
    {
        Writer.WriteValue(Bool);
    }
    else if (Data.GetValue(Text))
    {
        Writer.WriteValue(Text);
    }
}

bool IsWritable(const FVariantData& Data)
{
    FString Text;
    if (Data.GetValue(Text))
    {
        return !Text.IsEmpty();
    }
    return !ZorSessionJson::SessionSettingJsonKey("x", Data).IsEmpty();
}

void WriteAddress(FJsonWriterBase& Writer, const FOnlineSession& Session,
                  const FZorSessionJsonContext& Context)
{
    const auto* Info = static_cast<const FOnlineSessionInfoZor*>(Session.SessionInfo.Get());
    if (!Info)
    {
        Writer.WriteValue("serverPort",
                          Context.NetDriverPort > 0 ? Context.NetDriverPort : Context.DefaultPort);
        return;
    }
    if (Info->HostAddr)
    {
        Writer.WriteValue("serverAddress", FString::Printf("%u", Info->HostAddr->GetIp()));
        Writer.WriteValue("serverPort", Info->HostAddr->GetPort());
    }
}

void ReadInt(const FJsonObject& Object, const FString& Key, int32& Out)
{
    int64 Value = 0;
    if (ZorSessionJson::ReadWholeNumber(Object, Key, std::numeric_limits<int32>::min(),
                                        std::numeric_limits<int32>::max(), Value))
    {
        Out = static_cast<int32>(Value);
    }
}

void ReadBool(const FJsonObject& Object, const FString& Key, bool& Out)
{
    const TSharedPtr<FJsonValue> Value = Object.TryGetField(Key);
    if (Value && Value->Type == EJson::Boolean)
    {
        Out = Value->AsBool();
    }
}

bool ReadString(const FJsonObject& Object, const FString& Key, FString& Out)
{
    const TSharedPtr<FJsonValue> Value = Object.TryGetField(Key);
    if (!Value || Value->Type != EJson::String)
    {
        return false;
    }
    Out = Value->AsString();
    return true;
}

void ReadTexts(const FJsonObject& Object, const FString& Key, TArray<FString>& Out)
{
    const TArray<TSharedPtr<FJsonValue>>* Values = nullptr;
    if (!Object.TryGetArrayField(Key, Values))
    {
        return;
    }
    for (const TSharedPtr<FJsonValue>& Value : *Values)
    {
        if (Value && Value->Type == EJson::String)
        {
            Out.Add(Value->AsString());
        }
    }
}
} // namespace

namespace ZorSessionJson
{
FString SessionSettingJsonKey(const FString& Name, const FVariantData& Data)
{
    switch (Data.GetType())
    {
    case EOnlineKeyValuePairDataType::Int32:
        return Name + "_i";
    case EOnlineKeyValuePairDataType::String:
        return Name + "_s";
    case EOnlineKeyValuePairDataType::Float:
        return Name + "_f";
    case EOnlineKeyValuePairDataType::Bool:
        return Name + "_b";
    default:
        return FString();
    }
}

const char* ToServiceComparisonOp(EOnlineComparisonOp Op)
{
    switch (Op)
    {
    case EOnlineComparisonOp::NotEquals:
        return "NOT_EQUAL";
    case EOnlineComparisonOp::GreaterThan:
        return "GREATER_THAN";
    case EOnlineComparisonOp::GreaterThanEquals:
        return "GREATER_THAN_OR_EQUAL";
    case EOnlineComparisonOp::LessThan:
        return "LESS_THAN";
    case EOnlineComparisonOp::LessThanEquals:
        return "LESS_THAN_OR_EQUAL";
    default:
        return "EQUAL";
    }
}

FString WriteSessionToJson(const FNamedOnlineSession& Session, const FZorSessionJsonContext& Context)
{
    FString Out;
    FWriter Writer(&Out);
    Writer.WriteObjectStart();
    Writer.WriteValue("ownerId", Session.OwningUserId ? Session.OwningUserId->ToString() : FString());
    Writer.WriteValue("ownerName", Session.OwningUserName);
    Writer.WriteValue("serverName", Session.OwningUserName);
    WriteSessionSettingsToJson(Writer, Session.SessionSettings);
    WriteAddress(Writer, Session, Context);
    Writer.WriteValue("openPrivatePlayers", Session.NumOpenPrivateConnections);
    Writer.WriteValue("openPublicPlayers", Session.NumOpenPublicConnections);
    Writer.WriteArrayStart("publicPlayers");
    for (const FUniqueNetIdRef& Player : Session.RegisteredPlayers)
    {
        Writer.WriteValue(Player->ToString());
    }
    Writer.WriteArrayEnd();
    Writer.WriteArrayStart("privatePlayers");
    Writer.WriteArrayEnd();
    Writer.WriteObjectEnd();
    Writer.Close();
    return Out;
}

void WriteSessionSettingsToJson(FJsonWriterBase& Writer, const FOnlineSessionSettings& Settings)
{
    Writer.WriteValue("maxPublicPlayers", Settings.NumPublicConnections);
    Writer.WriteValue("maxPrivatePlayers", Settings.NumPrivateConnections);
    Writer.WriteValue("allowJoinInProgress", Settings.bAllowJoinInProgress);
    Writer.WriteValue("isDedicated", Settings.bIsDedicated);
    Writer.WriteValue("usesStats", Settings.bUsesStats);
    Writer.WriteValue("allowInvites", Settings.bAllowInvites);
    Writer.WriteValue("usesPresence", Settings.bUsesPresence);
    Writer.WriteValue("allowJoinViaPresence", Settings.bAllowJoinViaPresence);
    Writer.WriteValue("allowJoinViaPresenceFriendsOnly", Settings.bAllowJoinViaPresenceFriendsOnly);
    Writer.WriteValue("buildUniqueId", FString::FromInt(Settings.BuildUniqueId));
    Writer.WriteObjectStart("attributes");
    for (const auto& Entry : Settings.Settings)
    {
        if (!IsAdvertisedToService(Entry.Value.AdvertisementType))
        {
            continue;
        }
        if (!WriteVariant(Writer, SessionSettingJsonKey(Entry.Key, Entry.Value.Data), Entry.Value.Data))
        {
            UE_LOG_ONLINE(Warning, "Unable to write session setting %s: %s", *Entry.Key,
                          *Entry.Value.ToString());
        }
    }
    Writer.WriteObjectEnd();
}

bool WriteSearchParamToJson(FJsonWriterBase& Writer, const FString& Name,
                            const FOnlineSessionSearchParam& Param)
{
    if (!IsWritable(Param.Data))
    {
        return false;
    }
    Writer.WriteObjectStart();
    Writer.WriteValue("type", ToServiceComparisonOp(Param.ComparisonOp));
    Writer.WriteValue("key", SessionSettingJsonKey(Name, Param.Data));
    Writer.WriteIdentifierPrefix("value");
    WriteValueOnly(Writer, Param.Data);
    Writer.WriteObjectEnd();
    return true;
}

FString WriteSearchToJson(const FOnlineSessionSearch& Search, int32 BuildUniqueId)
{
    FOnlineSearchSettings Query = Search.QuerySettings;
    bool bDedicatedOnly = false;
    bool bEmptyOnly = false;
    bool bNonEmptyOnly = false;
    int32 MinSlots = 0;
    Query.Get("DEDICATEDONLY", bDedicatedOnly);
    Query.Get("EMPTYONLY", bEmptyOnly);
    Query.Get("NONEMPTYONLY", bNonEmptyOnly);
    Query.Get("MINSLOTSAVAILABLE", MinSlots);
    for (const char* Taken : {"DEDICATEDONLY", "EMPTYONLY", "NONEMPTYONLY", "MINSLOTSAVAILABLE", "MAPNAME",
                              "SECUREONLY", "PRESENCESEARCH"})
    {
        Query.SearchParams.Remove(Taken);
    }

    FString Out;
    FWriter Writer(&Out);
    Writer.WriteObjectStart();
    Writer.WriteArrayStart("criteria");
    for (const auto& Entry : Query.SearchParams)
    {
        if (!WriteSearchParamToJson(Writer, Entry.Key, Entry.Value))
        {
            UE_LOG_ONLINE(Warning, "Unable to write search parameter %s", *Entry.Value.ToString());
        }
    }
    Writer.WriteArrayEnd();
    if (bDedicatedOnly)
    {
        Writer.WriteValue("requireDedicated", true);
    }
    if (bEmptyOnly)
    {
        Writer.WriteValue("maxCurrentPlayers", 0);
        if (bNonEmptyOnly)
        {
            UE_LOG_ONLINE(
                Warning,
                "Can't have empty and non-empty search criteria at the same time!  Ignoring non-empty.");
        }
    }
    else if (bNonEmptyOnly)
    {
        Writer.WriteValue("minCurrentPlayers", 1);
    }
    if (MinSlots > 0)
    {
        Writer.WriteValue("openPlayersRequired", MinSlots);
    }
    Writer.WriteValue("buildUniqueId", FString::FromInt(BuildUniqueId));
    Writer.WriteValue("maxResults", Search.MaxSearchResults);
    Writer.WriteObjectEnd();
    Writer.Close();
    return Out;
}

bool ReadWholeNumber(const FJsonObject& Object, const FString& Key, int64 Min, int64 Max, int64& Out)
{
    const TSharedPtr<FJsonValue> Value = Object.TryGetField(Key);
    int64 Number = 0;
    if (!Value || Value->Type != EJson::Number || !Value->TryGetNumber(Number) || Number < Min ||
        Number > Max)
    {
        return false;
    }
    Out = Number;
    return true;
}

int32 ParseBuildUniqueId(const FString& Text)
{
    const FString Trimmed = Text.TrimStartAndEnd();
    if (Trimmed.IsEmpty())
    {
        return 0;
    }
    char* End = nullptr;
    errno = 0;
    const long long Value = std::strtoll(*Trimmed, &End, 10);
    if (errno != 0 || *End != '\0' || Value < std::numeric_limits<int32>::min() ||
        Value > std::numeric_limits<int32>::max())
    {
        return 0;
    }
    return static_cast<int32>(Value);
}

bool ParseServerAddress(const FString& Text, uint32& OutIp)
{
    if (Text.Equals("0:0:0:0:0:0:0:1", ESearchCase::IgnoreCase))
    {
        OutIp = LoopbackIp;
        return true;
    }
    FInternetAddr Parsed;
    bool bIsValid = false;
    Parsed.SetIp(Text, bIsValid);
    if (bIsValid)
    {
        OutIp = Parsed.GetIp();
        return true;
    }
    if (Text.IsEmpty() || Text.Len() > 10 ||
        !std::all_of(Text.begin(), Text.end(), [](char C) { return C >= '0' && C <= '9'; }))
    {
        return false;
    }
    const unsigned long long Value = std::strtoull(*Text, nullptr, 10);
    if (Value == 0 || Value > 0xFFFFFFFFull)
    {
        return false;
    }
    OutIp = static_cast<uint32>(Value);
    return true;
}

bool ReadSessionSettingFromJson(const FString& Key, const FJsonObject& Object,
                                FOnlineSessionSettings& Settings)
{
    int32 Underscore = INDEX_NONE;
    const bool bSplit = Key.Len() <= MaxSettingKeyLength && Key.FindLastChar('_', Underscore) &&
                        Underscore > 0 && Underscore == Key.Len() - 2;
    const TSharedPtr<FJsonValue> Value = Object.TryGetField(Key);
    const char TypeChar = bSplit ? Key[Underscore + 1] : '\0';
    const FString Name = bSplit ? Key.Left(Underscore) : FString();
    bool bRead = false;
    if (Value && TypeChar == 'b' && Value->Type == EJson::Boolean)
    {
        Settings.Set(Name, Value->AsBool(), EOnlineDataAdvertisementType::ViaOnlineService);
        bRead = true;
    }
    else if (Value && TypeChar == 'f' && Value->Type == EJson::Number &&
             std::fabs(Value->AsNumber()) <= std::numeric_limits<float>::max())
    {
        Settings.Set(Name, static_cast<float>(Value->AsNumber()),
                     EOnlineDataAdvertisementType::ViaOnlineService);
        bRead = true;
    }
    else if (Value && TypeChar == 'i' && Value->Type == EJson::Number)
    {
        int32 Int = 0;
        bRead = Value->TryGetNumber(Int);
        if (bRead)
        {
            Settings.Set(Name, Int, EOnlineDataAdvertisementType::ViaOnlineService);
        }
    }
    else if (Value && TypeChar == 's' && Value->Type == EJson::String)
    {
        Settings.Set(Name, Value->AsString(), EOnlineDataAdvertisementType::ViaOnlineService);
        bRead = true;
    }
    if (!bRead)
    {
        UE_LOG_ONLINE(Warning, "Failed to parse setting from key %s", *Shorten(Key));
    }
    return bRead;
}

void ReadSessionSettingsFromJson(const FJsonObject& Object, FOnlineSessionSettings& Settings)
{
    ReadInt(Object, "maxPublicPlayers", Settings.NumPublicConnections);
    ReadInt(Object, "maxPrivatePlayers", Settings.NumPrivateConnections);
    ReadBool(Object, "allowJoinInProgress", Settings.bAllowJoinInProgress);
    ReadBool(Object, "isDedicated", Settings.bIsDedicated);
    ReadBool(Object, "usesStats", Settings.bUsesStats);
    ReadBool(Object, "allowInvites", Settings.bAllowInvites);
    ReadBool(Object, "usesPresence", Settings.bUsesPresence);
    ReadBool(Object, "allowJoinViaPresence", Settings.bAllowJoinViaPresence);
    ReadBool(Object, "allowJoinViaPresenceFriendsOnly", Settings.bAllowJoinViaPresenceFriendsOnly);
    FString BuildId;
    if (ReadString(Object, "buildUniqueId", BuildId))
    {
        Settings.BuildUniqueId = ParseBuildUniqueId(BuildId);
    }
    const TSharedPtr<FJsonObject>* Attributes = nullptr;
    if (Object.TryGetObjectField("attributes", Attributes) && *Attributes)
    {
        for (const auto& Entry : (*Attributes)->Values)
        {
            ReadSessionSettingFromJson(Entry.Key, **Attributes, Settings);
        }
    }
}

void ReadSessionInfoFromJson(const FJsonObject& Object, FOnlineSessionInfoZor& Info,
                             const FZorSessionJsonContext& Context)
{
    FString Text;
    if (ReadString(Object, "id", Text))
    {
        Info.SessionId = FUniqueNetIdString(Text);
    }
    if (ReadString(Object, "lastUpdated", Text))
    {
        Info.LastUpdated = Text;
    }
    if (!Info.HostAddr)
    {
        return;
    }
    uint32 Ip = 0;
    if (ReadString(Object, "serverAddress", Text) && ParseServerAddress(Text, Ip))
    {
        Info.HostAddr->SetIp(Ip);
    }
    int64 Port = 0;
    if (!ReadWholeNumber(Object, "serverPort", 1, 65535, Port))
    {
        return;
    }
    if (Context.NetDriverPort > 0 && Context.NetDriverPort != Port)
    {
        UE_LOG_ONLINE(Warning, "Port advertised [%d] does not match net driver port [%d]",
                      static_cast<int32>(Port), Context.NetDriverPort);
    }
    Info.HostAddr->SetPort(static_cast<int32>(Port));
}

void ReadSessionFromJson(const FJsonObject& Object, FOnlineSession& Session,
                         const FZorSessionJsonContext& Context)
{
    FString Text;
    if (ReadString(Object, "ownerId", Text) && Context.Identity && !Text.IsEmpty())
    {
        // The text form: the byte form reads UTF-16 units and would over-read this UTF-8 text.
        Session.OwningUserId = Context.Identity->CreateUniquePlayerId(Text);
    }
    if (ReadString(Object, "ownerName", Text))
    {
        Session.OwningUserName = Text;
    }
    if (ReadString(Object, "serverName", Text))
    {
        Session.OwningUserName = Text;
    }
    ReadSessionSettingsFromJson(Object, Session.SessionSettings);
    if (auto* Info = static_cast<FOnlineSessionInfoZor*>(Session.SessionInfo.Get()))
    {
        ReadSessionInfoFromJson(Object, *Info, Context);
    }
    ReadInt(Object, "openPrivatePlayers", Session.NumOpenPrivateConnections);
    ReadInt(Object, "openPublicPlayers", Session.NumOpenPublicConnections);
}

void ReadPlayersFromJson(const FJsonObject& Object, FNamedOnlineSession& Session)
{
    ReadInt(Object, "openPrivatePlayers", Session.NumOpenPrivateConnections);
    ReadInt(Object, "openPublicPlayers", Session.NumOpenPublicConnections);
    TArray<FString> Backend;
    ReadTexts(Object, "publicPlayers", Backend);
    ReadTexts(Object, "privatePlayers", Backend);
    int32 Matches = 0;
    for (const FUniqueNetIdRef& Player : Session.RegisteredPlayers)
    {
        const FString Id = Player->ToString();
        Matches += Backend.ContainsByPredicate([&Id](const FString& Text)
                                               { return Text.Equals(Id, ESearchCase::IgnoreCase); })
                       ? 1
                       : 0;
    }
    const FOnlineSessionSettings& Settings = Session.SessionSettings;
    const int32 Registered = Session.RegisteredPlayers.Num();
    const int64 Taken = (int64(Settings.NumPublicConnections) - Session.NumOpenPublicConnections) +
                        (int64(Settings.NumPrivateConnections) - Session.NumOpenPrivateConnections);
    if (Matches != Registered || Matches != Backend.Num() || Taken != Registered)
    {
        UE_LOG_ONLINE(Warning,
                      "Mismatch in player registration \nmaxpub: %d maxpriv: %d\n openpub: %d openpriv: %d\n "
                      "backend: %d "
                      "local: %d nummatches: %d",
                      Settings.NumPublicConnections, Settings.NumPrivateConnections,
                      Session.NumOpenPublicConnections, Session.NumOpenPrivateConnections, Backend.Num(),
                      Registered, Matches);
    }
}
} // namespace ZorSessionJson
