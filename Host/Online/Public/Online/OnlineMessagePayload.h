#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineKeyValuePair.h"

/** One named value of a message payload. */
struct FOnlineMessagePayloadEntry
{
    FString Key;
    FVariantData Value;
};

/**
 * The named values a message carries, in the order their keys were first set. Keys are unique ignoring
 * letter case: setting a key that is held already replaces its value in place and keeps the first spelling.
 */
class FOnlineMessagePayload
{
public:
    void SetAttribute(const FString& Key, const FVariantData& Value);
    /** False, with Out unchanged, when no entry has that key. */
    bool GetAttribute(const FString& Key, FVariantData& OutValue) const;

    const TArray<FOnlineMessagePayloadEntry>& GetEntries() const { return Entries; }
    int32 Num() const { return Entries.Num(); }
    void Empty()
    {
        Entries.Empty();
        IndexByKey.Empty();
    }

    bool operator==(const FOnlineMessagePayload& Other) const;

private:
    int32 IndexOf(const FString& Key) const;

    TArray<FOnlineMessagePayloadEntry> Entries;
    /** Where each key's entry is (FString keys compare ignoring case), so setting many keys stays linear. */
    TMap<FString, int32> IndexByKey;
};
