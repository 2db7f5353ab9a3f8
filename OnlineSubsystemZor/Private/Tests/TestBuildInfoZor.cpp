#include "Tests/TestBuildInfoZor.h"

#include "Common/ZorRedact.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"
#include "Tests/ZorTestDriverLog.h"

using ZorTestDriverLog::IsDumpEnabled;
using ZorTestDriverLog::ToResult;

FTestBuildInfoZor::FTestBuildInfoZor(FOnlineSubsystemZor& InSubsystem)
    : Subsystem(InSubsystem),
      OnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateRaw(
          this, &FTestBuildInfoZor::OnQuerySelfPatchBuildComplete)),
      OnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateRaw(
          this, &FTestBuildInfoZor::OnQueryEntitledBuildsComplete)),
      OnQuerySignedDownloadCompleteDelegate(FOnQuerySignedDownloadCompleteDelegate::CreateRaw(
          this, &FTestBuildInfoZor::OnQuerySignedDownloadComplete))
{
}

void FTestBuildInfoZor::Test(const FString& InPlatform, const FString& InLabel)
{
    Label = InLabel;
    Platform = InPlatform;
    Identity = Subsystem.GetZorIdentityService();
    UserId = Identity ? Identity->GetUniquePlayerId(0) : nullptr;
    if (!UserId || !UserId->IsValid())
    {
        UE_LOG(LogOnline, Warning, "Entitlement test failed. No logged in user");
        FinishTest();
        return;
    }
    BuildInfoService = Subsystem.GetZorBuildInfoServiceV2();
    if (!BuildInfoService)
    {
        UE_LOG_ONLINE(Warning, "Failed to get build info service(s) Zor ");
        FinishTest();
        return;
    }
    OnQuerySelfPatchBuildCompleteHandle =
        BuildInfoService->AddOnQuerySelfPatchBuildCompleteDelegate(OnQuerySelfPatchBuildCompleteDelegate);
    OnQueryEntitledBuildsCompleteHandle =
        BuildInfoService->AddOnQueryEntitledBuildsCompleteDelegate(OnQueryEntitledBuildsCompleteDelegate);
    OnQuerySignedDownloadCompleteHandle =
        BuildInfoService->AddOnQuerySignedDownloadCompleteDelegate(OnQuerySignedDownloadCompleteDelegate);
    Steps.SetOwner(FZorWorkOwner(Subsystem.GetZorIdentityService(), *UserId));
    StartNextTest();
}

void FTestBuildInfoZor::StartNextTest()
{
    if (!Steps.Run([this] { return StartStep(); }))
    {
        FinishTest();
    }
}

bool FTestBuildInfoZor::StartStep()
{
    if (bQuerySelfPatchBuild)
    {
        BuildInfoService->QuerySelfPatchBuild(Platform, Label, FString());
    }
    else if (bQueryEntitledBuilds)
    {
        BuildInfoService->QueryEntitledBuilds(*UserId, Platform, Label, FString());
    }
    else if (bQuerySignedDownload && !EntitledBuilds.IsEmpty())
    {
        // A copy: the answer may shrink the list before the call returns.
        const TSharedRef<FOnlineBuildInfoV2> Build = EntitledBuilds[0];
        BuildInfoService->QuerySignedDownload(*UserId, *Build);
    }
    else
    {
        return false;
    }
    return true;
}

void FTestBuildInfoZor::FinishTest()
{
    if (BuildInfoService)
    {
        BuildInfoService->ClearOnQuerySelfPatchBuildCompleteDelegate(OnQuerySelfPatchBuildCompleteHandle);
        BuildInfoService->ClearOnQueryEntitledBuildsCompleteDelegate(OnQueryEntitledBuildsCompleteHandle);
        BuildInfoService->ClearOnQuerySignedDownloadCompleteDelegate(OnQuerySignedDownloadCompleteHandle);
    }
    delete this;
}

void FTestBuildInfoZor::OnQuerySelfPatchBuildComplete(bool bWasSuccessful, const FString& Error)
{
    UE_LOG_ONLINE(Log, "query self patch builds complete. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    UE_LOG_ONLINE(Log, "\tself patch build. dump=%s", *BuildInfoService->GetSelfPatchBuild().ToJson());
    bQuerySelfPatchBuild = false;
    StartNextTest();
}

void FTestBuildInfoZor::OnQueryEntitledBuildsComplete(const FUniqueNetId& InUserId, bool bWasSuccessful,
                                                      const FString& Error)
{
    UE_LOG_ONLINE(Log, "query entitled builds complete. UserId=%s Result=%s Error=[%s]",
                  *InUserId.ToDebugString(), ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    BuildInfoService->GetEntitledBuilds(*UserId, EntitledBuilds);
    if (IsDumpEnabled())
    {
        for (const TSharedRef<FOnlineBuildInfoV2>& Build : EntitledBuilds)
        {
            UE_LOG_ONLINE(Log, "\tentitled build. dump=%s", *Build->ToJson());
        }
    }
    bQueryEntitledBuilds = false;
    StartNextTest();
}

bool FTestBuildInfoZor::IsAskedDownload(const FOnlineBuildInfoV2& Build) const
{
    if (bQuerySelfPatchBuild || bQueryEntitledBuilds || EntitledBuilds.IsEmpty())
    {
        return false;
    }
    const TSharedPtr<FOnlineBuildInfoV2> Target =
        FOnlineBuildInfoV2::FindDownloadTarget(EntitledBuilds, Build);
    return Target == EntitledBuilds[0].ToSharedPtr();
}

void FTestBuildInfoZor::OnQuerySignedDownloadComplete(const FUniqueNetId& InUserId,
                                                      const FOnlineBuildInfoV2& Build, bool bWasSuccessful,
                                                      const FString& Error)
{
    // Another caller's answer would otherwise leave the list as it is and ask for the same build again.
    if (!IsAskedDownload(Build))
    {
        return;
    }
    UE_LOG_ONLINE(Log, "query signed downloads complete. UserId=%s Result=%s Error=[%s]",
                  *InUserId.ToDebugString(), ToResult(bWasSuccessful), *ZorLogText::Error(Error));
    const TSharedRef<FOnlineBuildInfoV2> Answered = EntitledBuilds[0];
    if (Answered->DownloadInfo.IsValid())
    {
        // A signed download's signatures are kept out of the log, as in every logged reply.
        UE_LOG_ONLINE(Log, "\tdownload info. dump=%s", *ZorRedact::Body(Answered->DownloadInfo->ToJson()));
    }
    EntitledBuilds.RemoveAt(0);
    bQuerySignedDownload = !EntitledBuilds.IsEmpty();
    StartNextTest();
}
