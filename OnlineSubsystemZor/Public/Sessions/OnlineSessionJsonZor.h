#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineSessionSettings.h"
#include "Json/JsonObject.h"
#include "Json/JsonWriter.h"

class IOnlineIdentity;
class FOnlineSessionInfoZor;

/** What the session JSON needs of its surroundings, given by the caller rather than looked up. */
struct FZorSessionJsonContext
{
    /** Makes owner ids from their text; none leaves the owner unset. */
    IOnlineIdentity* Identity = nullptr;
    /** The game net driver's listening port; 0 when unknown. */
    int32 NetDriverPort = 0;
    /** Advertised when neither the session nor the net driver knows a port. */
    int32 DefaultPort = 7777;
    int32 BuildUniqueId = 0;
};

/** The JSON form of sessions, their settings and searches as the matchmaking service takes them. */
namespace ZorSessionJson
{
/** Keys longer than this are refused as the service's own limit. */
constexpr int32 MaxSettingKeyLength = 1023;

/** "<name>_i", "_s", "_f" or "_b" by the value's type; empty for a type the service does not hold. */
FString SessionSettingJsonKey(const FString& Name, const FVariantData& Data);
const char* ToServiceComparisonOp(EOnlineComparisonOp Op);

FString WriteSessionToJson(const FNamedOnlineSession& Session, const FZorSessionJsonContext& Context);
void WriteSessionSettingsToJson(FJsonWriterBase& Writer, const FOnlineSessionSettings& Settings);
FString WriteSearchToJson(const FOnlineSessionSearch& Search, int32 BuildUniqueId);
/** False (and nothing written) for a parameter the service cannot compare. */
bool WriteSearchParamToJson(FJsonWriterBase& Writer, const FString& Name,
                            const FOnlineSessionSearchParam& Param);

/**
 * Reads only the fields present with the expected JSON type, so a fresh search result gets defaults and a
 * hosted session keeps what the answer leaves out.
 */
void ReadSessionFromJson(const FJsonObject& Object, FOnlineSession& Session,
                         const FZorSessionJsonContext& Context);
void ReadSessionSettingsFromJson(const FJsonObject& Object, FOnlineSessionSettings& Settings);
/** False when the key or its value cannot be read; the setting is then skipped. */
bool ReadSessionSettingFromJson(const FString& Key, const FJsonObject& Object,
                                FOnlineSessionSettings& Settings);
void ReadSessionInfoFromJson(const FJsonObject& Object, FOnlineSessionInfoZor& Info,
                             const FZorSessionJsonContext& Context);
void ReadPlayersFromJson(const FJsonObject& Object, FNamedOnlineSession& Session);

/** A whole number in [Min, Max]; false for any other value or type. */
bool ReadWholeNumber(const FJsonObject& Object, const FString& Key, int64 Min, int64 Max, int64& Out);
/** A build id written as decimal text; 0 for text that is not a number in the 32-bit signed range. */
int32 ParseBuildUniqueId(const FString& Text);
/** An address as the service writes it: dotted text, the IPv6 loopback, or the "%u" form; false when neither.
 */
bool ParseServerAddress(const FString& Text, uint32& OutIp);
} // namespace ZorSessionJson
