#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "Core/Parse.h"
#include "HostSeedNotes.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"

namespace
{
TSharedPtr<FOnlineBuildInfoServiceZor> GetBuildInfo(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetZorBuildInfoService() : nullptr;
}

TSharedPtr<FOnlineBuildInfoServiceZorV2> GetBuildInfoV2(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    return Subsystem ? Subsystem->GetZorBuildInfoServiceV2() : nullptr;
}

/** Reads the words a command needs (and any optional ones after them); false with its usage logged. */
bool ReadWords(const TCHAR* Args, TArray<FString>& OutWords, int32 Required, const TCHAR* Usage)
{
    FString Word;
    while (FParse::Token(Args, Word, false))
    {
        OutWords.Add(Word);
    }
    if (OutWords.Num() >= Required)
    {
        while (OutWords.Num() <= Required)
        {
            OutWords.Add(FString());
        }
        return true;
    }
    UE_LOG(LogHost, Warning, "usage: %s", Usage);
    return false;
}

bool QueryBuilds(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Words;
    const TSharedPtr<FOnlineBuildInfoServiceZor> BuildInfo = GetBuildInfo(Host);
    if (!ReadWords(Args, Words, 2, "builds LABEL PLATFORM") || !BuildInfo)
    {
        return false;
    }
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("builds");
    if (!UserId)
    {
        return false;
    }
    Host.AwaitOutcome("builds");
    return BuildInfo->QueryEntitledBuilds(*UserId, Words[0], Words[1]);
}

bool QuerySelfPatch(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Words;
    const TSharedPtr<FOnlineBuildInfoServiceZor> BuildInfo = GetBuildInfo(Host);
    if (!ReadWords(Args, Words, 2, "selfpatch LABEL PLATFORM") || !BuildInfo)
    {
        return false;
    }
    Host.AwaitOutcome("selfpatch");
    return BuildInfo->QuerySelfPatchBuild(Words[0], Words[1]);
}

bool QueryBuildsV2(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Words;
    const TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfo = GetBuildInfoV2(Host);
    if (!ReadWords(Args, Words, 2, "builds2 LABEL PLATFORM [SUBLABEL]") || !BuildInfo)
    {
        return false;
    }
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("builds2");
    if (!UserId)
    {
        return false;
    }
    Host.AwaitOutcome("builds2");
    return BuildInfo->QueryEntitledBuilds(*UserId, Words[1], Words[0], Words[2]);
}

/** The cached build of that application (and catalog item, when given) from the last builds2 answer. */
TSharedPtr<FOnlineBuildInfoV2> FindCachedBuild(FOnlineBuildInfoServiceZorV2& BuildInfo,
                                               const FUniqueNetId& UserId, const FString& AppName,
                                               const FString& ItemId)
{
    TArray<TSharedRef<FOnlineBuildInfoV2>> Builds;
    BuildInfo.GetEntitledBuilds(UserId, Builds);
    for (const TSharedRef<FOnlineBuildInfoV2>& Build : Builds)
    {
        if (Build->AppName.Equals(AppName, ESearchCase::IgnoreCase) &&
            (ItemId.IsEmpty() || Build->CatalogItemId.Equals(ItemId, ESearchCase::IgnoreCase)))
        {
            return Build;
        }
    }
    return nullptr;
}

bool QueryDownloadV2(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Words;
    const TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfo = GetBuildInfoV2(Host);
    if (!ReadWords(Args, Words, 1, "download2 APPNAME [CATALOGITEMID]") || !BuildInfo)
    {
        return false;
    }
    const FUniqueNetIdPtr UserId = Host.GetLoggedInUser("download2");
    if (!UserId)
    {
        return false;
    }
    const TSharedPtr<FOnlineBuildInfoV2> Build = FindCachedBuild(*BuildInfo, *UserId, Words[0], Words[1]);
    if (!Build)
    {
        UE_LOG(LogHost, Warning, "download2: no build of %s among the last builds2 answer", *Words[0]);
        return false;
    }
    Host.AwaitOutcome("download2");
    return BuildInfo->QuerySignedDownload(*UserId, *Build);
}

bool QuerySelfPatchV2(FZorHost& Host, const TCHAR* Args)
{
    TArray<FString> Words;
    const TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfo = GetBuildInfoV2(Host);
    if (!ReadWords(Args, Words, 2, "selfpatch2 LABEL PLATFORM") || !BuildInfo)
    {
        return false;
    }
    Host.AwaitOutcome("selfpatch2");
    return BuildInfo->QuerySelfPatchBuild(Words[1], Words[0], FString());
}

void LogBuild(const FOnlineBuildInfo& Build)
{
    UE_LOG(LogHost, Display,
           "  build AppName=%s LabelName=%s BuildVersion=%s ManifestUrlPath=%s ManifestHash=%s",
           *Build.AppName, *Build.LabelName, *Build.BuildVersion, *Build.ManifestUrlPath,
           *Build.ManifestHash);
}

/** The build and its download's items by name, path and hash; signatures stay out of the log. */
void LogBuildV2(const FOnlineBuildInfoV2& Build)
{
    UE_LOG(LogHost, Display, "  build AppName=%s CatalogItemId=%s LabelName=%s BuildVersion=%s",
           *Build.AppName, *Build.CatalogItemId, *Build.LabelName, *Build.BuildVersion);
    if (!Build.DownloadInfo)
    {
        return;
    }
    UE_LOG(LogHost, Display, "    download Expires=%s", *Build.DownloadInfo->Expires.ToIso8601());
    for (const auto& Item : Build.DownloadInfo->Items)
    {
        UE_LOG(LogHost, Display, "    item %s Path=%s Hash=%s", *Item.Key, *Item.Value.Path,
               *Item.Value.Hash);
    }
}

/** An answer with no build says so, as every other empty list does. */
void LogIfNoBuilds(bool bWasSuccessful, int32 Count)
{
    if (bWasSuccessful && Count == 0)
    {
        UE_LOG(LogHost, Display, "  no builds");
    }
}

void BindV1(FZorHost& Host, const TSharedPtr<FOnlineBuildInfoServiceZor>& BuildInfo)
{
    const TWeakPtr<FOnlineBuildInfoServiceZor> Weak = BuildInfo;
    BuildInfo->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
        [&Host, Weak](const FUniqueNetId& UserId, bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryEntitledBuildsComplete UserId=%s bWasSuccessful=%d Error=%s",
                   *UserId.ToString(), bWasSuccessful, *ZorLogText::Error(Error));
            Host.ReportOutcome("builds", bWasSuccessful);
            TArray<TSharedRef<FOnlineBuildInfo>> Builds;
            if (const TSharedPtr<FOnlineBuildInfoServiceZor> Service = Weak.Pin())
            {
                Service->GetEntitledBuilds(UserId, Builds);
            }
            for (const TSharedRef<FOnlineBuildInfo>& Build : Builds)
            {
                LogBuild(Build.Get());
            }
            LogIfNoBuilds(bWasSuccessful, Builds.Num());
        }));
    BuildInfo->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
        [&Host, Weak](bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQuerySelfPatchBuildComplete bWasSuccessful=%d Error=%s",
                   bWasSuccessful, *ZorLogText::Error(Error));
            Host.ReportOutcome("selfpatch", bWasSuccessful);
            if (const TSharedPtr<FOnlineBuildInfoServiceZor> Service = Weak.Pin())
            {
                LogBuild(Service->GetSelfPatchBuild());
            }
        }));
}

void BindV2(FZorHost& Host, const TSharedPtr<FOnlineBuildInfoServiceZorV2>& BuildInfo)
{
    const TWeakPtr<FOnlineBuildInfoServiceZorV2> Weak = BuildInfo;
    BuildInfo->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
        [&Host, Weak](const FUniqueNetId& UserId, bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQueryEntitledBuildsV2Complete UserId=%s bWasSuccessful=%d Error=%s",
                   *UserId.ToString(), bWasSuccessful, *ZorLogText::Error(Error));
            Host.ReportOutcome("builds2", bWasSuccessful);
            TArray<TSharedRef<FOnlineBuildInfoV2>> Builds;
            if (const TSharedPtr<FOnlineBuildInfoServiceZorV2> Service = Weak.Pin())
            {
                Service->GetEntitledBuilds(UserId, Builds);
            }
            for (const TSharedRef<FOnlineBuildInfoV2>& Build : Builds)
            {
                LogBuildV2(Build.Get());
            }
            LogIfNoBuilds(bWasSuccessful, Builds.Num());
        }));
    BuildInfo->AddOnQuerySignedDownloadCompleteDelegate(FOnQuerySignedDownloadCompleteDelegate::CreateLambda(
        [&Host, Weak](const FUniqueNetId& UserId, const FOnlineBuildInfoV2& Build, bool bWasSuccessful,
                      const FString& Error)
        {
            UE_LOG(LogHost, Display,
                   "OnQuerySignedDownloadComplete UserId=%s AppName=%s CatalogItemId=%s bWasSuccessful=%d "
                   "Error=%s",
                   *UserId.ToString(), *Build.AppName, *Build.CatalogItemId, bWasSuccessful,
                   *ZorLogText::Error(Error));
            Host.ReportOutcome("download2", bWasSuccessful);
            // A refused download stored nothing to show; skipping the list keeps a refused run of
            // thousands of builds from copying that list once per build.
            const TSharedPtr<FOnlineBuildInfoServiceZorV2> Service = Weak.Pin();
            if (!bWasSuccessful || !Service)
            {
                return;
            }
            TArray<TSharedRef<FOnlineBuildInfoV2>> Builds;
            Service->GetEntitledBuilds(UserId, Builds);
            if (const TSharedPtr<FOnlineBuildInfoV2> Target =
                    FOnlineBuildInfoV2::FindDownloadTarget(Builds, Build))
            {
                LogBuildV2(*Target);
            }
        }));
    BuildInfo->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
        [&Host, Weak](bool bWasSuccessful, const FString& Error)
        {
            UE_LOG(LogHost, Display, "OnQuerySelfPatchBuildV2Complete bWasSuccessful=%d Error=%s",
                   bWasSuccessful, *ZorLogText::Error(Error));
            Host.ReportOutcome("selfpatch2", bWasSuccessful);
            if (const TSharedPtr<FOnlineBuildInfoServiceZorV2> Service = Weak.Pin())
            {
                LogBuildV2(Service->GetSelfPatchBuild());
            }
        }));
}

void BindEvents(FZorHost& Host)
{
    if (const TSharedPtr<FOnlineBuildInfoServiceZor> BuildInfo = GetBuildInfo(Host))
    {
        BindV1(Host, BuildInfo);
    }
    if (const TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfo = GetBuildInfoV2(Host))
    {
        BindV2(Host, BuildInfo);
    }
}

const TCHAR* const Notes[] = {DemoBuildsNote};
const TCHAR* const DownloadNotes[] = {
    DemoBuildsNote, "after builds2 Live Windows: APPNAME ZorDemoGame, CATALOGITEMID demo-game-deluxe-item"};

const FHostWord Words[] = {
    {"builds",
     "builds LABEL PLATFORM",
     "lists the builds local user 0 is entitled to",
     &QueryBuilds,
     nullptr,
     {},
     Notes},
    {"selfpatch",
     "selfpatch LABEL PLATFORM",
     "shows the launcher's latest build",
     &QuerySelfPatch,
     nullptr,
     {},
     Notes},
    {"builds2",
     "builds2 LABEL PLATFORM [SUBLABEL]",
     "lists local user 0's builds from the asset service",
     &QueryBuildsV2,
     nullptr,
     {},
     Notes},
    {"download2",
     "download2 APPNAME [CATALOGITEMID]",
     "asks for the signed download of a build from the last builds2 answer",
     &QueryDownloadV2,
     nullptr,
     {},
     DownloadNotes},
    {"selfpatch2",
     "selfpatch2 LABEL PLATFORM",
     "shows the launcher's build and download from the asset service",
     &QuerySelfPatchV2,
     nullptr,
     {},
     Notes},
};
const FHostOperation Operations[] = {
    {"builds"}, {"selfpatch"}, {"builds2"}, {"download2"}, {"selfpatch2"},
};
} // namespace

const FHostWordGroup& GetBuildInfoHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
