#include <gtest/gtest.h>

#include "BackendFixture.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "ZorRows.h"

namespace
{
/** Entitlements and both build-information services of the demo user against the local backend. */
class FDistributionIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override
    {
        return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"
               "[OnlineSubsystemZor.OnlineEntitlementsZor]\nServiceName=commerce\n";
    }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        LoginDemoUser();
        ASSERT_EQ(LoginResult, FString("ok"));
        UserId = Identity().GetUniquePlayerId(0);
        ASSERT_TRUE(UserId);
    }

    /** Starts an operation whose event sets Result, and ticks until it has. */
    bool RunUntilDone(const std::function<bool()>& Start)
    {
        Result.Empty();
        return Start() && TickUntil([this] { return !Result.IsEmpty(); });
    }

    static FString Outcome(bool bWasSuccessful, const FString& Error)
    {
        return bWasSuccessful ? "ok" : Error;
    }

    FUniqueNetIdPtr UserId;
    FString Result;
};

struct FEntitlementPage
{
    FPagedQuery Page;
    int32 Count;
};

const FEntitlementPage EntitlementPages[] = {
    {FPagedQuery(), 3}, {FPagedQuery(1, 1), 1}, {FPagedQuery(0, 0), 0}};

using FEntitlementPageTest = TZorRows<FDistributionIntegrationTest>;

TEST_P(FEntitlementPageTest, QueriesTheDemoUsersEntitlementsAPageAtATime)
{
    const FEntitlementPage& Case = EntitlementPages[GetParam()];
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = Subsystem->GetZorEntitlementsService();
    ASSERT_TRUE(Entitlements);
    Entitlements->AddOnQueryEntitlementsCompleteDelegate(FOnQueryEntitlementsCompleteDelegate::CreateLambda(
        [this](bool bOk, const FUniqueNetId&, const FString& Error) { Result = Outcome(bOk, Error); }));
    SCOPED_TRACE(Case.Count);
    ASSERT_TRUE(RunUntilDone([&] { return Entitlements->QueryEntitlements(*UserId, Case.Page); }));
    EXPECT_EQ(Result, FString("ok"));
    TArray<TSharedRef<FOnlineEntitlement>> All;
    Entitlements->GetAllEntitlements(*UserId, All);
    EXPECT_EQ(All.Num(), Case.Count);
}

INSTANTIATE_TEST_SUITE_P(Rows, FEntitlementPageTest,
                         ::testing::Range(size_t{0}, std::size(EntitlementPages)));

TEST_F(FDistributionIntegrationTest, QueriesAndLooksUpTheDemoUsersEntitlements)
{
    const TSharedPtr<FOnlineEntitlementsZor> Entitlements = Subsystem->GetZorEntitlementsService();
    ASSERT_TRUE(Entitlements);
    Entitlements->AddOnQueryEntitlementsCompleteDelegate(FOnQueryEntitlementsCompleteDelegate::CreateLambda(
        [this](bool bOk, const FUniqueNetId&, const FString& Error) { Result = Outcome(bOk, Error); }));

    ASSERT_TRUE(RunUntilDone([&] { return Entitlements->QueryEntitlements(*UserId); }));
    const TSharedPtr<FOnlineEntitlement> Game = Entitlements->GetItemEntitlement(*UserId, "demo-game-item");
    ASSERT_TRUE(Game);
    EXPECT_EQ(Game->Name, FString("ZorDemoGame"));
    EXPECT_EQ(Entitlements->GetEntitlement(*UserId, Game->Id), Game);
    FString Status;
    EXPECT_TRUE(Game->GetAttribute("status", Status));
    EXPECT_FALSE(Entitlements->GetItemEntitlement(*UserId, "demo-editor-item"));
}

TEST_F(FDistributionIntegrationTest, ListsEntitledBuildsAndTheLauncherInTheFirstVersion)
{
    const TSharedPtr<FOnlineBuildInfoServiceZor> BuildInfo = Subsystem->GetZorBuildInfoService();
    ASSERT_TRUE(BuildInfo);
    BuildInfo->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
        [this](const FUniqueNetId&, bool bOk, const FString& Error) { Result = Outcome(bOk, Error); }));
    BuildInfo->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
        [this](bool bOk, const FString& Error) { Result = Outcome(bOk, Error); }));

    ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QueryEntitledBuilds(*UserId, "Live", "Windows"); }));
    EXPECT_EQ(Result, FString("ok"));
    TArray<TSharedRef<FOnlineBuildInfo>> Builds;
    ASSERT_TRUE(BuildInfo->GetEntitledBuilds(*UserId, Builds));
    ASSERT_EQ(Builds.Num(), 2);
    EXPECT_EQ(Builds[0]->AppName, FString("ZorDemoGame"));
    EXPECT_EQ(Builds[1]->BuildVersion, FString("1.4.0-deluxe"));
    EXPECT_FALSE(Builds[0]->ManifestHash.IsEmpty());

    ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QuerySelfPatchBuild("Live", "Linux"); }));
    EXPECT_EQ(Result, FString("ok"));
    EXPECT_EQ(BuildInfo->GetSelfPatchBuild().AppName, FString("TolvanEngineLauncher"));
    EXPECT_EQ(BuildInfo->GetSelfPatchBuild().LabelName, FString("Live-Linux"));

    ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QuerySelfPatchBuild("Nightly", "Linux"); }));
    EXPECT_TRUE(Result.StartsWith("Invalid response. code=404")) << *Result;
}

TEST_F(FDistributionIntegrationTest, AttachesEachSignedDownloadToItsOwnBuildInTheSecondVersion)
{
    const TSharedPtr<FOnlineBuildInfoServiceZorV2> BuildInfo = Subsystem->GetZorBuildInfoServiceV2();
    ASSERT_TRUE(BuildInfo);
    BuildInfo->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
        [this](const FUniqueNetId&, bool bOk, const FString& Error) { Result = Outcome(bOk, Error); }));
    BuildInfo->AddOnQuerySignedDownloadCompleteDelegate(FOnQuerySignedDownloadCompleteDelegate::CreateLambda(
        [this](const FUniqueNetId&, const FOnlineBuildInfoV2&, bool bOk, const FString& Error)
        { Result = Outcome(bOk, Error); }));
    BuildInfo->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
        [this](bool bOk, const FString& Error) { Result = Outcome(bOk, Error); }));

    ASSERT_TRUE(
        RunUntilDone([&] { return BuildInfo->QueryEntitledBuilds(*UserId, "Windows", "Live", "Test"); }));
    TArray<TSharedRef<FOnlineBuildInfoV2>> Builds;
    ASSERT_TRUE(BuildInfo->GetEntitledBuilds(*UserId, Builds));
    ASSERT_EQ(Builds.Num(), 1);
    EXPECT_EQ(Builds[0]->BuildVersion, FString("1.5.0-test"));
    EXPECT_EQ(Builds[0]->SubLabel, FString("Test"));

    ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QueryEntitledBuilds(*UserId, "Windows", "Live", ""); }));
    ASSERT_TRUE(BuildInfo->GetEntitledBuilds(*UserId, Builds));
    ASSERT_EQ(Builds.Num(), 2);
    // Both editions are one application on one platform; each download must land on its own edition.
    for (int32 Index = 1; Index >= 0; --Index)
    {
        ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QuerySignedDownload(*UserId, *Builds[Index]); }));
        EXPECT_EQ(Result, FString("ok"));
    }
    for (const TSharedRef<FOnlineBuildInfoV2>& Build : Builds)
    {
        SCOPED_TRACE(*Build->CatalogItemId);
        ASSERT_TRUE(Build->DownloadInfo);
        const FOnlineDownloadItem* Manifest = Build->DownloadInfo->Items.Find("ZorDemoGame.manifest");
        ASSERT_TRUE(Manifest);
        EXPECT_TRUE(Manifest->Path.Contains(Build->BuildVersion)) << *Manifest->Path;
        EXPECT_GT(Build->DownloadInfo->Expires, FDateTime::UtcNow());
    }

    ASSERT_TRUE(RunUntilDone([&] { return BuildInfo->QuerySelfPatchBuild("Windows", "Live", ""); }));
    EXPECT_EQ(Result, FString("ok"));
    const FOnlineBuildInfoV2& Launcher = BuildInfo->GetSelfPatchBuild();
    EXPECT_EQ(Launcher.AppName, FString("TolvanEngineLauncher"));
    ASSERT_TRUE(Launcher.DownloadInfo);
    EXPECT_EQ(Launcher.DownloadInfo->Items.Num(), 1);
}
} // namespace
