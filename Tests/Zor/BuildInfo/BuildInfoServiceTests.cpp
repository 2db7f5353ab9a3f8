#include "BuildInfoTest.h"
#include "ZorRows.h"

namespace
{
FString AppNames(const TArray<TSharedRef<FOnlineBuildInfo>>& Builds)
{
    FString Names;
    for (const TSharedRef<FOnlineBuildInfo>& Build : Builds)
    {
        Names += Build->AppName + ";";
    }
    return Names;
}

class BuildInfoServiceTest : public FBuildInfoTest
{
protected:
    FString EntitledNames(const FString& UserId)
    {
        TArray<TSharedRef<FOnlineBuildInfo>> Builds;
        V1->GetEntitledBuilds(FUniqueNetIdString(UserId), Builds);
        return AppNames(Builds);
    }
};

struct FBuildQueryCase
{
    const char* Label;
    const char* Platform;
    const char* Query;
};

const FBuildQueryCase BuildQueryCases[] = {
    {"Live", "Windows", "?label=Live&platform=Windows"},
    {"a b&c", "Win#1", "?label=a%20b%26c&platform=Win%231"},
    {"x/y", "", "?label=x/y&platform="},
};

using BuildInfoQueryTest = TZorRows<BuildInfoServiceTest>;

TEST_P(BuildInfoQueryTest, TakesUserThenLabelThenPlatformAndEncodesThemIntoTheQuery)
{
    const FBuildQueryCase& Case = BuildQueryCases[GetParam()];
    SCOPED_TRACE(Case.Query);
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), Case.Label, Case.Platform));
    EXPECT_EXACT_EQ(SentUrl("/api/buildManifest?"),
                    FString("http://127.0.0.1:8080/api/buildManifest") + Case.Query);
    EXPECT_EQ(ZorExact::Header(Record(FindPending("/api/buildManifest?")), "Authorization"),
              FString("bearer access-acct1"));
    SendAndAnswer("/api/buildManifest?", 200, "[]");

    ASSERT_TRUE(V1->QuerySelfPatchBuild(Case.Label, Case.Platform));
    if (Http().NumPending() > 0 && FindPending("/api/oauth/token"))
    {
        SignInClient();
    }
    EXPECT_EXACT_EQ(SentUrl("/launcher/latest"),
                    FString("http://127.0.0.1:8080/api/buildManifest/launcher/latest") + Case.Query);
    EXPECT_EQ(ZorExact::Header(Record(FindPending("/launcher/latest")), "Authorization"),
              FString("bearer client-token"));
    SendAndAnswer("/launcher/latest", 200, "");
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "Starting QueryEntitledBuilds request."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "Starting QuerySelfPatchBuild request."));
}

INSTANTIATE_TEST_SUITE_P(Rows, BuildInfoQueryTest, ::testing::Range(size_t{0}, std::size(BuildQueryCases)));

struct FEntitledAnswerCase
{
    int32 Code;
    const char* Body;
    bool bWasSuccessful;
    const char* Error;
    const char* Builds;
};

const FEntitledAnswerCase EntitledAnswerCases[] = {
    {200, R"([{"appName":"A"},"skipped",{"appName":"B","compatibleApps":["A"]}])", true, "", "A;B;"},
    {200, "[]", true, "", ""},
    {200, R"({"appName":"C"})", true, "", "old;"},
    {500, "down", false, "Invalid response. code=500 error=down", "old;"},
    {200, "[{", false, "Invalid response payload=[{", "old;"},
};

using BuildInfoEntitledAnswerTest = TZorRows<BuildInfoServiceTest>;

TEST_P(BuildInfoEntitledAnswerTest, ArrayAnswersReplaceTheUsersBuildsAndOthersKeepThem)
{
    const FEntitledAnswerCase& Case = EntitledAnswerCases[GetParam()];
    SCOPED_TRACE(Case.Body);
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    SendAndAnswer("/api/buildManifest?", 200, R"([{"appName":"old"}])");
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    const FBuildEvent Event = SendAndAnswer("/api/buildManifest?", Case.Code, Case.Body);
    EXPECT_EQ(Event.Kind, FString("entitled"));
    EXPECT_EQ(Event.UserId, FString("acct1"));
    EXPECT_EQ(Event.bWasSuccessful, Case.bWasSuccessful);
    EXPECT_EQ(Event.Error, FString(Case.Error));
    EXPECT_EQ(EntitledNames("acct1"), FString(Case.Builds));
}

INSTANTIATE_TEST_SUITE_P(Rows, BuildInfoEntitledAnswerTest,
                         ::testing::Range(size_t{0}, std::size(EntitledAnswerCases)));

TEST_F(BuildInfoServiceTest, WithoutAnAnswerTheQueryFailsAsNoResponse)
{
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    EXPECT_EQ(SendAndFail("/api/buildManifest?").Error, FString("No response"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "QueryEntitledBuilds request failed. No response"));
}

TEST_F(BuildInfoServiceTest, GetEntitledBuildsEmptiesTheCallersArrayFirst)
{
    TArray<TSharedRef<FOnlineBuildInfo>> Builds = {MakeShared<FOnlineBuildInfo>()};
    EXPECT_FALSE(V1->GetEntitledBuilds(FUniqueNetIdString("acct1"), Builds));
    EXPECT_TRUE(Builds.IsEmpty());

    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    SendAndAnswer("/api/buildManifest?", 200, "[]");
    Builds.Add(MakeShared<FOnlineBuildInfo>());
    EXPECT_TRUE(V1->GetEntitledBuilds(FUniqueNetIdString("acct1"), Builds));
    EXPECT_TRUE(Builds.IsEmpty());
}

TEST_F(BuildInfoServiceTest, OneEntitledQueryPerUserAtATime)
{
    InstallSecondUser("acct2");
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    EXPECT_FALSE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Beta", "Linux"));
    EXPECT_FALSE(V1->QueryEntitledBuilds(FUniqueNetIdString(""), "Live", "Windows"));
    ASSERT_EQ(Events.Num(), 2);
    EXPECT_EQ(Events[0].Error, FString("Already pending for user=acct1"));
    EXPECT_EQ(Events[1].Error, FString("Invalid userid"));
    EXPECT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct2"), "Live", "Windows"));
    // User ids are equal only letter for letter.
    V1->QueryEntitledBuilds(FUniqueNetIdString("ACCT1"), "Live", "Windows");
    EXPECT_FALSE(Log.Contains("Already pending for user=ACCT1"));
}

TEST_F(BuildInfoServiceTest, EachSelfPatchAnswerIsReadIntoAFreshRecord)
{
    struct FStep
    {
        int32 Code;
        const char* Body;
        bool bWasSuccessful;
        const char* AppName;
        const char* CompatibleApps;
        const char* ManifestHash;
    };
    const FStep Steps[] = {
        {200, R"({"appName":"L","compatibleApps":["A"],"manifestHash":"h1"})", true, "L", "A;", "h1"},
        {200, R"({"appName":"L2","compatibleApps":["B"]})", true, "L2", "B;", ""},
        {200, "nope", false, "L2", "B;", ""},
        {404, R"({"appName":"X"})", false, "L2", "B;", ""},
        {204, "", true, "", "", ""},
    };
    ASSERT_TRUE(V1->QuerySelfPatchBuild("Live", "Windows"));
    SignInClient();
    for (const FStep& Step : Steps)
    {
        SCOPED_TRACE(Step.Body);
        if (!FindPending("/launcher/latest"))
        {
            ASSERT_TRUE(V1->QuerySelfPatchBuild("Live", "Windows"));
        }
        const FBuildEvent Event = SendAndAnswer("/launcher/latest", Step.Code, Step.Body);
        EXPECT_EQ(Event.Kind, FString("selfpatch"));
        EXPECT_EQ(Event.bWasSuccessful, Step.bWasSuccessful);
        const FOnlineBuildInfo& Build = V1->GetSelfPatchBuild();
        EXPECT_EQ(Build.AppName, FString(Step.AppName));
        EXPECT_EQ(FString::Join(Build.CompatibleApps, ";") + (Build.CompatibleApps.IsEmpty() ? "" : ";"),
                  FString(Step.CompatibleApps));
        EXPECT_EQ(Build.ManifestHash, FString(Step.ManifestHash));
    }
}

TEST_F(BuildInfoServiceTest, ShutdownEndsEveryQueryInFlightOnce)
{
    ASSERT_TRUE(V1->QueryEntitledBuilds(FUniqueNetIdString("acct1"), "Live", "Windows"));
    ASSERT_TRUE(V1->QuerySelfPatchBuild("Live", "Windows"));
    ASSERT_TRUE(V1->QuerySelfPatchBuild("Live", "Linux"));
    Tick();
    Subsystem->Shutdown();
    ASSERT_EQ(Events.Num(), 3);
    for (const FBuildEvent& Event : Events)
    {
        EXPECT_FALSE(Event.bWasSuccessful);
        EXPECT_EQ(Event.Error, FString("No response"));
    }
    EXPECT_FALSE(Subsystem->GetZorBuildInfoService());
    EXPECT_FALSE(V1->QuerySelfPatchBuild("Live", "Windows"));
    EXPECT_EQ(Events.Num(), 4);
}
} // namespace
