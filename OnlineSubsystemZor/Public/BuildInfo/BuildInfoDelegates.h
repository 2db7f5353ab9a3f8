#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineDelegateMacros.h"
#include "Online/OnlineTypes.h"

class FOnlineBuildInfoV2;

/** Events of both build-information services. */
DECLARE_MULTICAST_DELEGATE_ThreeParams(FOnQueryEntitledBuildsComplete, const FUniqueNetId& /*UserId*/,
                                       bool /*bWasSuccessful*/, const FString& /*Error*/);
using FOnQueryEntitledBuildsCompleteDelegate = FOnQueryEntitledBuildsComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_TwoParams(FOnQuerySelfPatchBuildComplete, bool /*bWasSuccessful*/,
                                     const FString& /*Error*/);
using FOnQuerySelfPatchBuildCompleteDelegate = FOnQuerySelfPatchBuildComplete::FDelegate;
DECLARE_MULTICAST_DELEGATE_FourParams(FOnQuerySignedDownloadComplete, const FUniqueNetId& /*UserId*/,
                                      const FOnlineBuildInfoV2& /*Build*/, bool /*bWasSuccessful*/,
                                      const FString& /*Error*/);
using FOnQuerySignedDownloadCompleteDelegate = FOnQuerySignedDownloadComplete::FDelegate;
