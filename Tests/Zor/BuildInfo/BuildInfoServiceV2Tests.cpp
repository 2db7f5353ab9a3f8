#include "BuildInfoTest.h"
#include "ZorRows.h"

namespace
{
class BuildInfoServiceV2Test : public FBuildInfoTest
{
protected:
    TArray<TSharedRef<FOnlineBuildInfoV2>> Entitled(const FString& UserId = "acct1")
    {
        TArray<TSharedRef<FOnlineBuildInfoV2>> Builds;
        V2->GetEntitledBuilds(FUniqueNetIdString(UserId), Builds);
        return Builds;
    }

    FString EntitledNames()
    {
        FString Names;
        for (const TSharedRef<FOnlineBuildInfoV2>& Build : Entitled())
        {
            Names += Build->AppName + ";";
        }
        return Names;
    }

    /** The user's builds become those of Body, queried for Windows under "Live". */
    void GiveBuilds(const FString& Body)
    {
        ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", ""));
        SendAndAnswer("/assets/Windows?", 200, Body);
    }

    static FOnlineBuildInfoV2 MakeBuild(const char* AppName, const char* ItemId, const char* SubLabel = "")
    {
        FOnlineBuildInfoV2 Build;
        Build.AppName = AppName;
        Build.CatalogItemId = ItemId;
        Build.Platform = "Windows";
        Build.Label = "Live";
        Build.SubLabel = SubLabel;
        return Build;
    }
};

namespace
{
struct FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRow
{
    const char* Platform;
    const char* Label;
    const char* SubLabel;
    const char* Url;
};
const FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRow
    TakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRows[] = {
        {"Windows", "Live", "", "http://127.0.0.1:8080/api/public/assets/Windows?label=Live"},
        {"Windows", "Live", "Beta",
         "http://127.0.0.1:8080/api/public/assets/Windows?label=Live&subLabel=Beta"},
        {"Win/64", "a&b", "c d+e",
         "http://127.0.0.1:8080/api/public/assets/Win%2F64?label=a%26b&subLabel=c%20d%2Be"},
};

using FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastTest = TZorRows<BuildInfoServiceV2Test>;
} // namespace

TEST_P(FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastTest,
       TakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLast)
{
    const FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRow& Case =
        TakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRows[GetParam()];
    SCOPED_TRACE(Case.Url);
    ASSERT_TRUE(
        V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), Case.Platform, Case.Label, Case.SubLabel));
    EXPECT_EXACT_EQ(SentUrl("/assets/"), FString(Case.Url));
    SendAndAnswer("/assets/", 200, "[]");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FTakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastTest,
    ::testing::Range(size_t{0}, std::size(TakesPlatformThenLabelThenSubLabelAndAddsTheSubLabelLastRows)));

TEST_F(BuildInfoServiceV2Test, DownloadAndSelfPatchUrlsCarryTheBuildsOwnQuery)
{
    ASSERT_TRUE(V2->QuerySignedDownload(FUniqueNetIdString("acct1"), MakeBuild("Game", "item 1", "Beta")));
    EXPECT_EXACT_EQ(
        SentUrl("/assets/"),
        FString("http://127.0.0.1:8080/api/public/assets/Windows/item%201/Game?label=Live&subLabel=Beta"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "Starting QuerySignedDownload request."));
    SendAndAnswer("/assets/", 200, "{}");
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "QueryDownloadInfo request complete. url="));

    ASSERT_TRUE(V2->QuerySelfPatchBuild("Linux", "Live", "Beta"));
    SignInClient();
    EXPECT_EXACT_EQ(
        SentUrl("/assets/"),
        FString(
            "http://127.0.0.1:8080/api/public/assets/Linux/x/TolvanEngineLauncher?label=Live&subLabel=Beta"));
    EXPECT_EQ(ZorExact::Header(Record(FindPending("/assets/")), "Authorization"),
              FString("bearer client-token"));
}

TEST_F(BuildInfoServiceV2Test, TheSubLabelIsAddedEvenToATemplateWithoutAQuery)
{
    Start(FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineBuildInfoZorV2]\n"
                                "QueryEntitledBuildsUrl=/assets/`platform/`label\n");
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", "Beta"));
    EXPECT_EXACT_EQ(SentUrl("/assets/"), FString("http://127.0.0.1:8080/assets/Windows/Live&subLabel=Beta"));
}

namespace
{
struct FArrivingAnswerCase
{
    int32 Code;
    const char* Body;
    bool bWasSuccessful;
    const char* Error;
    const char* Builds;
};

const FArrivingAnswerCase ArrivingAnswerCases[] = {
    {200, R"([{"appName":"A","catalogItemId":"c1"},7,{"appName":"B"}])", true, "", "A;B;"},
    {500, R"([{"appName":"A"}])", false, R"(Invalid response. code=500 error=[{"appName":"A"}])", ""},
    {200, R"({"appName":"A"})", true, "", ""},
    {200, "[", false, "Invalid response payload=[", ""},
};

using BuildInfoV2ArrivingAnswerTest = TZorRows<BuildInfoServiceV2Test>;
} // namespace

TEST_P(BuildInfoV2ArrivingAnswerTest, EveryArrivingAnswerEmptiesTheUsersBuilds)
{
    const FArrivingAnswerCase& Case = ArrivingAnswerCases[GetParam()];
    SCOPED_TRACE(Case.Body);
    GiveBuilds(R"([{"appName":"old"}])");
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", "Beta"));
    const FBuildEvent Event = SendAndAnswer("/assets/Windows?", Case.Code, Case.Body);
    EXPECT_EQ(Event.Kind, FString("entitled2"));
    EXPECT_EQ(Event.bWasSuccessful, Case.bWasSuccessful);
    EXPECT_EQ(Event.Error, FString(Case.Error));
    EXPECT_EQ(EntitledNames(), FString(Case.Builds));
    for (const TSharedRef<FOnlineBuildInfoV2>& Build : Entitled())
    {
        EXPECT_EQ(Build->Platform, FString("Windows"));
        EXPECT_EQ(Build->Label, FString("Live"));
        EXPECT_EQ(Build->SubLabel, FString("Beta"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BuildInfoV2ArrivingAnswerTest,
                         ::testing::Range(size_t{0}, std::size(ArrivingAnswerCases)));

TEST_F(BuildInfoServiceV2Test, WithoutAnAnswerTheBuildsStay)
{
    // Without an answer there is nothing to go by: the builds stay.
    GiveBuilds(R"([{"appName":"old"}])");
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", ""));
    EXPECT_EQ(SendAndFail("/assets/Windows?").Error, FString("No response"));
    EXPECT_EQ(EntitledNames(), FString("old;"));
}

TEST_F(BuildInfoServiceV2Test, QueriesOfOneUserRunSideBySideAndTheLaterAnswerWins)
{
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", ""));
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Linux", "Live", ""));
    EXPECT_TRUE(Events.IsEmpty());
    SendAndAnswer("/assets/Windows?", 200, R"([{"appName":"W"}])");
    SendAndAnswer("/assets/Linux?", 200, R"([{"appName":"L"}])");
    EXPECT_EQ(EntitledNames(), FString("L;"));
    EXPECT_EQ(Entitled()[0]->Platform, FString("Linux"));

    Events.Empty();
    EXPECT_FALSE(V2->QueryEntitledBuilds(FUniqueNetIdString(""), "Windows", "Live", ""));
    EXPECT_FALSE(V2->QuerySignedDownload(FUniqueNetIdString(""), MakeBuild("W", "c")));
    ASSERT_EQ(Events.Num(), 2);
    EXPECT_EQ(Events[0].Error, FString("Invalid userid"));
    EXPECT_EQ(Events[1].Error, FString("Invalid userid"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "QuerySignedDownload request failed. Invalid userid"));
}

namespace
{
struct FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRow
{
    const char* AppName;
    const char* ItemId;
    int32 Target;
};
const FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRow
    ADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRows[] = {
        {"game", "C2", 1}, {"GAME", "c1", 0}, {"Game", "c9", 0}, {"tool", "c3", 2}, {"Other", "c1", -1},
};

using FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseTest = TZorRows<BuildInfoServiceV2Test>;
} // namespace

TEST_P(FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseTest,
       ADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCase)
{
    const FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRow& Case =
        ADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRows[GetParam()];
    SCOPED_TRACE(*(FString(Case.AppName) + "/" + Case.ItemId));
    GiveBuilds(R"([{"appName":"Game","catalogItemId":"c1"},{"appName":"Game","catalogItemId":"c2"},)"
               R"({"appName":"Tool","catalogItemId":"c3"}])");
    ASSERT_TRUE(V2->QuerySignedDownload(FUniqueNetIdString("acct1"), MakeBuild(Case.AppName, Case.ItemId)));
    const FBuildEvent Event =
        SendAndAnswer("/assets/Windows/", 200,
                      R"({"expires":"2030-01-01T00:00:00Z","items":{"m":{"path":"p","signature":"s"}}})");
    EXPECT_TRUE(Event.bWasSuccessful);
    EXPECT_EQ(Event.Kind, "download2:" + FString(Case.AppName));
    const TArray<TSharedRef<FOnlineBuildInfoV2>> Builds = Entitled();
    for (int32 Index = 0; Index < Builds.Num(); ++Index)
    {
        EXPECT_EQ(Builds[Index]->DownloadInfo != nullptr, Index == Case.Target) << Index;
    }
    if (Case.Target >= 0)
    {
        ASSERT_TRUE(Builds[Case.Target]->DownloadInfo->Items.Find("m"));
        EXPECT_EQ(Builds[Case.Target]->DownloadInfo->Items.Find("m")->Path, FString("p"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseTest,
    ::testing::Range(size_t{0}, std::size(ADownloadAttachesToTheBuildOfItsCatalogItemIgnoringCaseRows)));

TEST_F(BuildInfoServiceV2Test, AFailedDownloadStoresNothingAndLogsUnderItsCompletionName)
{
    GiveBuilds(R"([{"appName":"Game","catalogItemId":"c1"}])");
    ASSERT_TRUE(V2->QuerySignedDownload(FUniqueNetIdString("acct1"), MakeBuild("Game", "c1")));
    const FBuildEvent Event = SendAndAnswer("/assets/Windows/", 403, "denied");
    EXPECT_FALSE(Event.bWasSuccessful);
    EXPECT_EQ(Event.Error, FString("Invalid response. code=403 error=denied"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "QueryDownloadInfo request failed. Invalid response. code=403 error=denied"));
    EXPECT_FALSE(Entitled()[0]->DownloadInfo);
}

TEST_F(BuildInfoServiceV2Test, EachSelfPatchAnswerGivesAFreshBuildWithItsDownload)
{
    ASSERT_TRUE(V2->QuerySelfPatchBuild("Windows", "Live", "Beta"));
    SignInClient();
    EXPECT_TRUE(
        SendAndAnswer("/TolvanEngineLauncher", 200,
                      R"({"appName":"Launcher","buildVersion":"3","catalogItemId":"l1",)"
                      R"("expires":"2030-01-01T00:00:00Z","items":{"a":{"path":"pa"},"b":{"path":"pb"}}})")
            .bWasSuccessful);
    const FOnlineBuildInfoV2* Build = &V2->GetSelfPatchBuild();
    EXPECT_EQ(Build->AppName, FString("Launcher"));
    EXPECT_EQ(Build->Platform, FString("Windows"));
    EXPECT_EQ(Build->Label, FString("Live"));
    EXPECT_EQ(Build->SubLabel, FString("Beta"));
    ASSERT_TRUE(Build->DownloadInfo);
    EXPECT_EQ(Build->DownloadInfo->Items.Num(), 2);
    EXPECT_EQ(Build->DownloadInfo->Expires, FDateTime(2030, 1, 1));

    ASSERT_TRUE(V2->QuerySelfPatchBuild("Linux", "Live", ""));
    EXPECT_TRUE(SendAndAnswer("/TolvanEngineLauncher", 200, R"({"appName":"Launcher2","items":{"c":{}}})")
                    .bWasSuccessful);
    Build = &V2->GetSelfPatchBuild();
    EXPECT_EQ(Build->BuildVersion, FString());
    EXPECT_EQ(Build->CatalogItemId, FString());
    EXPECT_EQ(Build->SubLabel, FString());
    ASSERT_TRUE(Build->DownloadInfo);
    EXPECT_EQ(Build->DownloadInfo->Items.Num(), 1);
    EXPECT_TRUE(Build->DownloadInfo->Items.Contains("c"));

    ASSERT_TRUE(V2->QuerySelfPatchBuild("Linux", "Live", ""));
    EXPECT_FALSE(SendAndAnswer("/TolvanEngineLauncher", 200, "{").bWasSuccessful);
    EXPECT_EQ(V2->GetSelfPatchBuild().AppName, FString("Launcher2"));

    ASSERT_TRUE(V2->QuerySelfPatchBuild("Linux", "Live", ""));
    EXPECT_TRUE(SendAndAnswer("/TolvanEngineLauncher", 200, "").bWasSuccessful);
    EXPECT_EQ(V2->GetSelfPatchBuild().AppName, FString());
    EXPECT_FALSE(V2->GetSelfPatchBuild().DownloadInfo);
}

TEST_F(BuildInfoServiceV2Test, ShutdownEndsEveryKindOfQueryOnce)
{
    ASSERT_TRUE(V2->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Windows", "Live", ""));
    ASSERT_TRUE(V2->QuerySignedDownload(FUniqueNetIdString("acct1"), MakeBuild("Game", "c1")));
    ASSERT_TRUE(V2->QuerySelfPatchBuild("Windows", "Live", ""));
    Tick();
    Subsystem->Shutdown();
    ASSERT_EQ(Events.Num(), 3);
    for (const FBuildEvent& Event : Events)
    {
        EXPECT_FALSE(Event.bWasSuccessful);
        EXPECT_EQ(Event.Error, FString("No response"));
    }
    EXPECT_FALSE(Subsystem->GetZorBuildInfoServiceV2());
}
} // namespace
