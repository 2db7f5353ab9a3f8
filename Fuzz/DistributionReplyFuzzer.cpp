// Untrusted commerce and game-service answers through the distribution readers: entitlement lists, build
// lists of both versions and signed downloads. A download that reads must write out and read back to the same
// items and expiry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "BuildInfo/OnlineBuildInfo.h"
#include "BuildInfo/OnlineBuildInfoV2.h"
#include "BuildInfo/ZorBuildList.h"
#include "Entitlements/ZorEntitlementCache.h"
#include "Json/Json.h"

namespace
{
const TArray<TSharedPtr<FJsonValue>>* ReadList(const FString& Key, const FString& Body,
                                               TSharedPtr<FJsonObject>& Out)
{
    const TArray<TSharedPtr<FJsonValue>>* List = nullptr;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create("{\"" + Key + "\":" + Body + "}"), Out) ||
        !Out || !Out->TryGetArrayField(Key, List))
    {
        return nullptr;
    }
    return List;
}

void CheckDownloadRoundTrip(const FString& Text)
{
    FOnlineDownloadInfo Download;
    if (!Download.FromJson(Text))
    {
        return;
    }
    FOnlineDownloadInfo Again;
    const int64 Millisecond = FTimespan::TicksPerMillisecond;
    if (!Again.FromJson(Download.ToJson()) || Again.Items.Num() != Download.Items.Num() ||
        Again.Expires.GetTicks() / Millisecond != Download.Expires.GetTicks() / Millisecond)
    {
        std::abort();
    }
    for (const auto& Item : Download.Items)
    {
        const FOnlineDownloadItem* Read = Again.Items.Find(Item.Key);
        if (!Read || !Read->Path.Equals(Item.Value.Path, ESearchCase::CaseSensitive))
        {
            std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    TSharedPtr<FJsonObject> Holder;
    if (const TArray<TSharedPtr<FJsonValue>>* Elements = ReadList("entitlements", Text, Holder))
    {
        FZorEntitlementCache Cache;
        Cache.Replace("user", *Elements);
        TArray<TSharedRef<FOnlineEntitlement>> All;
        Cache.AppendAll("user", All);
        for (const TSharedRef<FOnlineEntitlement>& Entitlement : All)
        {
            if (Entitlement->Id.IsEmpty() || Cache.Find("user", Entitlement->Id) == nullptr)
            {
                std::abort();
            }
        }
    }
    if (const TArray<TSharedPtr<FJsonValue>>* Elements = ReadList("buildinfos", Text, Holder))
    {
        ZorBuildList::Read<FOnlineBuildInfo>(*Elements);
        FOnlineBuildInfoV2 Query;
        FOnlineBuildInfoV2::FindDownloadTarget(ZorBuildList::Read<FOnlineBuildInfoV2>(*Elements), Query);
    }
    CheckDownloadRoundTrip(Text);
    return 0;
}
