#pragma once

#include "BuildInfo/OnlineDownloadInfo.h"
#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

/**
 * One build of the second build-information service. Label, SubLabel and Platform are those of the query
 * that produced the record, so its download can be asked for later; copies share the download information.
 */
class FOnlineBuildInfoV2 : public FOnlineJsonSerializable
{
public:
    /** Same application on the same platform, ignoring letter case. */
    bool operator==(const FOnlineBuildInfoV2& Other) const;

    /**
     * The build of the list that a download answer for Build belongs to: the first equal one with the same
     * catalog item id, else the first equal one; null when none is equal.
     */
    static TSharedPtr<FOnlineBuildInfoV2>
    FindDownloadTarget(const TArray<TSharedRef<FOnlineBuildInfoV2>>& Builds, const FOnlineBuildInfoV2& Build);

    FString AppName;
    FString CatalogItemId;
    FString Label;
    FString LabelName;
    FString SubLabel;
    FString BuildVersion;
    FString Platform;
    TSharedPtr<FOnlineDownloadInfo> DownloadInfo;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("appName", AppName);
    ONLINE_JSON_SERIALIZE("labelName", LabelName);
    ONLINE_JSON_SERIALIZE("buildVersion", BuildVersion);
    ONLINE_JSON_SERIALIZE("catalogItemId", CatalogItemId);
    END_ONLINE_JSON_SERIALIZER
};
