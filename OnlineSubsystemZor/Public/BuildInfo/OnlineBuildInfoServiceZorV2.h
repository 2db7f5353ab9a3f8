#pragma once

#include "BuildInfo/BuildInfoDelegates.h"
#include "BuildInfo/OnlineBuildInfoV2.h"
#include "CoreMinimal.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;

/**
 * Builds (assets) from the game service's asset endpoints: those a user is entitled to on a platform under a
 * label and optional sub label, the signed download of one of them (both on the user road, any number in
 * flight), and the launcher's own build with its download (client road under the application id).
 */
class FOnlineBuildInfoServiceZorV2 : public FGameServiceZor
{
public:
    explicit FOnlineBuildInfoServiceZorV2(FOnlineSubsystemZor* InSubsystem);

    virtual bool QueryEntitledBuilds(const FUniqueNetId& UserId, const FString& Platform,
                                     const FString& Label, const FString& SubLabel);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryEntitledBuildsComplete, const FUniqueNetId&, bool,
                                       const FString&);
    /** Empties OutBuilds, then gives the user's builds of the last answer; false when the user has none yet.
     */
    virtual bool GetEntitledBuilds(const FUniqueNetId& UserId,
                                   TArray<TSharedRef<FOnlineBuildInfoV2>>& OutBuilds);

    /** Asks for the build's signed download with the platform, label and sub label the build came with. */
    virtual bool QuerySignedDownload(const FUniqueNetId& UserId, const FOnlineBuildInfoV2& Build);
    DEFINE_ONLINE_DELEGATE_FOUR_PARAM(OnQuerySignedDownloadComplete, const FUniqueNetId&,
                                      const FOnlineBuildInfoV2&, bool, const FString&);

    virtual bool QuerySelfPatchBuild(const FString& Platform, const FString& Label, const FString& SubLabel);
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnQuerySelfPatchBuildComplete, bool, const FString&);
    virtual const FOnlineBuildInfoV2& GetSelfPatchBuild() const { return SelfPatchBuild; }

private:
    /**
     * The base URL and the template with the query's label and platform (and, for a download, catalog item
     * and application) in place, then "&subLabel=" and the sub label when there is one.
     */
    FString MakeUrl(const FString& Template, const FOnlineBuildInfoV2& Query, bool bWithItem) const;

    void QueryEntitledBuilds_HttpRequestComplete(FZorReply& Reply, const FUniqueNetIdString& UserId,
                                                 const FOnlineBuildInfoV2& Query);
    void QuerySignedDownload_HttpRequestComplete(FZorReply& Reply, const FUniqueNetIdString& UserId,
                                                 const FOnlineBuildInfoV2& Build);
    void QuerySelfPatchBuild_HttpRequestComplete(FZorReply& Reply, const FOnlineBuildInfoV2& Query);

    FString QueryEntitledBuildsUrl = "/api/public/assets/`platform?label=`label";
    FString QuerySignedDownloadInfoUrl = "/api/public/assets/`platform/`itemid/`appid?label=`label";
    FString QuerySelfPatchBuildUrl = "/api/public/assets/`platform/x/TolvanEngineLauncher?label=`label";
    TMap<FString, TArray<TSharedRef<FOnlineBuildInfoV2>>> EntitledBuilds;
    FOnlineBuildInfoV2 SelfPatchBuild;
};
