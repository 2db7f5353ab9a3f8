#pragma once

#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "CoreMinimal.h"
#include "Tests/ZorDriverSteps.h"

class FOnlineIdentityZor;
class FOnlineSubsystemZor;

/**
 * Console exercise of build information version 2 for local user 0: the launcher's build, the user's entitled
 * builds, then the signed download of each entitled build in turn. Created with new; it deletes itself when
 * the chain ends.
 */
class FTestBuildInfoZor
{
public:
    explicit FTestBuildInfoZor(FOnlineSubsystemZor& InSubsystem);
    FTestBuildInfoZor(const FTestBuildInfoZor&) = delete;
    FTestBuildInfoZor& operator=(const FTestBuildInfoZor&) = delete;

    void Test(const FString& InPlatform, const FString& InLabel);

private:
    ~FTestBuildInfoZor() = default;

    void StartNextTest();
    /** Starts the first step still to run; false when none is left. */
    bool StartStep();
    void FinishTest();
    void OnQuerySelfPatchBuildComplete(bool bWasSuccessful, const FString& Error);
    void OnQueryEntitledBuildsComplete(const FUniqueNetId& InUserId, bool bWasSuccessful,
                                       const FString& Error);
    void OnQuerySignedDownloadComplete(const FUniqueNetId& InUserId, const FOnlineBuildInfoV2& Build,
                                       bool bWasSuccessful, const FString& Error);
    /** Whether an answer is for the download this driver waits for: the first build of the list. */
    bool IsAskedDownload(const FOnlineBuildInfoV2& Build) const;

    /** Read by Test only, which runs right after construction. */
    FOnlineSubsystemZor& Subsystem;
    TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfoService;
    TSharedPtr<FOnlineIdentityZor> Identity;
    bool bQuerySelfPatchBuild = true;
    bool bQueryEntitledBuilds = true;
    bool bQuerySignedDownload = true;
    TArray<TSharedRef<FOnlineBuildInfoV2>> EntitledBuilds;
    FString Label;
    FString Platform;
    FUniqueNetIdPtr UserId;
    FOnQuerySelfPatchBuildCompleteDelegate OnQuerySelfPatchBuildCompleteDelegate;
    FOnQueryEntitledBuildsCompleteDelegate OnQueryEntitledBuildsCompleteDelegate;
    FOnQuerySignedDownloadCompleteDelegate OnQuerySignedDownloadCompleteDelegate;
    FDelegateHandle OnQuerySelfPatchBuildCompleteHandle;
    FDelegateHandle OnQueryEntitledBuildsCompleteHandle;
    FDelegateHandle OnQuerySignedDownloadCompleteHandle;
    FZorDriverSteps Steps;
};
