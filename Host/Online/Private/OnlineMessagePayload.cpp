#include "Online/OnlineMessagePayload.h"

int32 FOnlineMessagePayload::IndexOf(const FString& Key) const
{
    const int32* Found = IndexByKey.Find(Key);
    return Found ? *Found : INDEX_NONE;
}

void FOnlineMessagePayload::SetAttribute(const FString& Key, const FVariantData& Value)
{
    const int32 Index = IndexOf(Key);
    if (Index == INDEX_NONE)
    {
        IndexByKey.Add(Key, Entries.Num());
        Entries.Add({Key, Value});
        return;
    }
    Entries[Index].Value = Value;
}

bool FOnlineMessagePayload::GetAttribute(const FString& Key, FVariantData& OutValue) const
{
    const int32 Index = IndexOf(Key);
    if (Index == INDEX_NONE)
    {
        return false;
    }
    OutValue = Entries[Index].Value;
    return true;
}

bool FOnlineMessagePayload::operator==(const FOnlineMessagePayload& Other) const
{
    if (Entries.Num() != Other.Entries.Num())
    {
        return false;
    }
    for (int32 Index = 0; Index < Entries.Num(); ++Index)
    {
        const FOnlineMessagePayloadEntry& Mine = Entries[Index];
        const FOnlineMessagePayloadEntry& Theirs = Other.Entries[Index];
        if (!Mine.Key.Equals(Theirs.Key, ESearchCase::CaseSensitive) || Mine.Value != Theirs.Value)
        {
            return false;
        }
    }
    return true;
}
