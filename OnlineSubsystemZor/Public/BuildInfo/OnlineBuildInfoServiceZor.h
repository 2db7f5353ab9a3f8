#pragma once

#include "BuildInfo/BuildInfoDelegates.h"
#include "BuildInfo/OnlineBuildInfo.h"
#include "CoreMinimal.h"
#include "Subsystem/BaseServiceZor.h"

class FZorReply;

/**
 * Build manifests from the game service: the builds a user is entitled to for a label and platform (user
 * road, one query per user at a time) and the launcher's latest build (client road under the application id).
 */
class FOnlineBuildInfoServiceZor : public FGameServiceZor
{
public:
    explicit FOnlineBuildInfoServiceZor(FOnlineSubsystemZor* InSubsystem);

    virtual bool QueryEntitledBuilds(const FUniqueNetId& UserId, const FString& Label,
                                     const FString& Platform);
    DEFINE_ONLINE_DELEGATE_THREE_PARAM(OnQueryEntitledBuildsComplete, const FUniqueNetId&, bool,
                                       const FString&);
    /** Empties OutBuilds, then gives the user's builds of the last answer; false when the user has none yet.
     */
    virtual bool GetEntitledBuilds(const FUniqueNetId& UserId,
                                   TArray<TSharedRef<FOnlineBuildInfo>>& OutBuilds);

    virtual bool QuerySelfPatchBuild(const FString& Label, const FString& Platform);
    DEFINE_ONLINE_DELEGATE_TWO_PARAM(OnQuerySelfPatchBuildComplete, bool, const FString&);
    virtual const FOnlineBuildInfo& GetSelfPatchBuild() const { return SelfPatchBuild; }

private:
    void QueryEntitledBuilds_HttpRequestComplete(FZorReply& Reply, const FUniqueNetIdString& UserId);
    void QuerySelfPatchBuild_HttpRequestComplete(FZorReply& Reply);

    FString QueryEntitledBuildsUrl = "/api/buildManifest?label=`label&platform=`platform";
    FString QuerySelfPatchBuildUrl = "/api/buildManifest/launcher/latest?label=`label&platform=`platform";
    TMap<FString, TArray<TSharedRef<FOnlineBuildInfo>>> EntitledBuilds;
    FOnlineBuildInfo SelfPatchBuild;
};
