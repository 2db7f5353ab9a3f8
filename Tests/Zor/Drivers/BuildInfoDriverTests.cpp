#include <algorithm>
#include <cstdint>
#include <vector>

#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "DriverTest.h"
#include "ZorRows.h"

namespace
{
const char* const SelfPatch = "/assets/Windows/x/";
const char* const Entitled = "/api/public/assets/Windows?label=Live";
const char* const Download =
    R"({"expires":"2030-01-01T00:00:00Z","items":{"m":{"path":"p","signature":"sig-secret-1"}}})";

std::string SortedLines(const std::string& Text)
{
    std::vector<std::string> Lines;
    for (size_t Start = 0, End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1)
    {
        Lines.push_back(Text.substr(Start, End - Start + 1));
    }
    std::sort(Lines.begin(), Lines.end());
    std::string Sorted;
    for (const std::string& Line : Lines)
    {
        Sorted += Line;
    }
    return Sorted;
}

class FBuildInfoDriverTest : public FDriverTest
{
protected:
    void SetUp() override
    {
        CreateSubsystem();
        InstallUser();
        SignInClient();
    }

    FOnlineBuildInfoServiceZorV2& Builds() { return *Subsystem->GetZorBuildInfoServiceV2(); }

    /** Starts the driver and answers its first two steps, the entitled builds with Body. */
    void StartWithBuilds(const FString& Body)
    {
        ASSERT_TRUE(Exec("TEST BUILDINFOV2 Live"));
        Tick();
        Answer(SelfPatch, 200, R"({"appName":"Launcher","buildVersion":"1.0"})");
        Tick();
        Answer(Entitled, 200, Body);
        Tick();
    }

    /** The URLs of the signed-download requests so far, one per line. */
    std::string Downloads()
    {
        std::string Text;
        for (const auto& Started : Http().GetStartedRequests())
        {
            if (Started.URL.Contains("/assets/Windows/c", ESearchCase::CaseSensitive))
            {
                Text += Started.URL
                            .Replace("http://127.0.0.1:8080/api/public/assets/Windows/", "",
                                     ESearchCase::CaseSensitive)
                            .ToStdString() +
                        "\n";
            }
        }
        return Text;
    }
};

TEST_F(FBuildInfoDriverTest, AsksForEachEntitledBuildsDownloadInTurnThenEnds)
{
    StartWithBuilds(R"([{"appName":"A","catalogItemId":"c1"},{"appName":"B","catalogItemId":"c2"},)"
                    R"({"appName":"C","catalogItemId":"c3"},{"appName":"D","catalogItemId":"c4"}])");
    const struct
    {
        int32 Code;
        const char* Body;
    } Answers[] = {
        {200, Download}, {500, "{}"}, {200, Download}, {200, R"({"items":{"m":{"signature":"sig-secret-2")"}};
    for (const auto& Reply : Answers)
    {
        ASSERT_EQ(Http().NumPending(), 1);
        RespondOldest(Reply.Code, Reply.Body);
        Tick(2);
    }
    EXPECT_EQ(Http().NumPending(), 0);
    EXPECT_EQ(Downloads(), "c1/A?label=Live\nc2/B?label=Live\nc3/C?label=Live\nc4/D?label=Live\n");
    EXPECT_EQ(Steps(), "ZOR: query self patch builds complete. Result=true Error=[]\n"
                       "ZOR: query entitled builds complete. UserId=acct1 Result=true Error=[]\n"
                       "ZOR: query signed downloads complete. UserId=acct1 Result=true Error=[]\n"
                       "ZOR: query signed downloads complete. UserId=acct1 Result=false "
                       "Error=[Invalid response. code=500 error={}]\n"
                       "ZOR: query signed downloads complete. UserId=acct1 Result=true Error=[]\n"
                       "ZOR: query signed downloads complete. UserId=acct1 Result=false "
                       "Error=[Invalid response payload={\"items\":{\"m\":{\"signature\":\"<redacted>\"]\n");
    EXPECT_EQ(CountDumps("self patch build"), 1);
    EXPECT_EQ(CountDumps("entitled build"), 4);
    EXPECT_EQ(CountDumps("download info"), 2);
    EXPECT_TRUE(Log.Contains("\"path\": \"p\""));
    EXPECT_FALSE(Log.Contains("sig-secret-1"));
    EXPECT_FALSE(Log.Contains("sig-secret-2"));
    Log.Clear();
    Builds().TriggerOnQuerySelfPatchBuildCompleteDelegates(true, "");
    Builds().TriggerOnQueryEntitledBuildsCompleteDelegates(FUniqueNetIdString("acct1"), true, "");
    EXPECT_EQ(Transcript(), "");
}

TEST_F(FBuildInfoDriverTest, NoEntitledBuildsMeansNoDownloadQuery)
{
    StartWithBuilds("[]");
    EXPECT_EQ(Http().NumStarted(), 2);
    EXPECT_EQ(Steps(), "ZOR: query self patch builds complete. Result=true Error=[]\n"
                       "ZOR: query entitled builds complete. UserId=acct1 Result=true Error=[]\n");
}

TEST_F(FBuildInfoDriverTest, AnotherCallersDownloadAnswerIsIgnoredRatherThanAskedAgain)
{
    StartWithBuilds(R"([{"appName":"A","catalogItemId":"c1"},{"appName":"B","catalogItemId":"c2"}])");
    FOnlineBuildInfoV2 Other;
    Other.AppName = "Other";
    Other.CatalogItemId = "c9";
    Other.Platform = "Windows";
    Other.Label = "Live";
    ASSERT_TRUE(Builds().QuerySignedDownload(FUniqueNetIdString("acct1"), Other));
    Tick();
    Answer("/c9/Other", 200, Download);
    // The second build's answer comes before the first's: it is not the one asked for either.
    Builds().TriggerOnQuerySignedDownloadCompleteDelegates(FUniqueNetIdString("acct1"), Other, true, "");
    Answer("/c1/A", 200, Download);
    Tick();
    Answer("/c2/B", 200, Download);
    Tick(2);
    EXPECT_EQ(Downloads(), "c1/A?label=Live\nc9/Other?label=Live\nc2/B?label=Live\n");
    EXPECT_EQ(Http().NumPending(), 0);
    EXPECT_EQ(Log.Count("query signed downloads complete."), 2);
}

TEST_F(FBuildInfoDriverTest, ShutdownMidChainFinishesTheDriver)
{
    StartWithBuilds(R"([{"appName":"A","catalogItemId":"c1"},{"appName":"B","catalogItemId":"c2"}])");
    Subsystem->Shutdown();
    EXPECT_EQ(Steps(),
              "ZOR: query self patch builds complete. Result=true Error=[]\n"
              "ZOR: query entitled builds complete. UserId=acct1 Result=true Error=[]\n"
              "ZOR: query signed downloads complete. UserId=acct1 Result=false Error=[No response]\n");
}

TEST_F(FBuildInfoDriverTest, ALogoutMidChainEndsItWithoutARefusalPerBuild)
{
    constexpr int32 NumBuilds = 1000;
    FString Body = "[";
    for (int32 Index = 0; Index < NumBuilds; ++Index)
    {
        Body +=
            FString::Printf(R"(%s{"appName":"A%d","catalogItemId":"c%d"})", Index ? "," : "", Index, Index);
    }
    StartWithBuilds(Body + "]");
    int32 Answers = 0;
    FDelegateHandle Probe = Builds().AddOnQuerySignedDownloadCompleteDelegate(
        FOnQuerySignedDownloadCompleteDelegate::CreateLambda(
            [&Answers](const FUniqueNetId&, const FOnlineBuildInfoV2&, bool, const FString&) { ++Answers; }));
    ASSERT_TRUE(Identity().Logout(0));
    RespondOldest(200, Download);
    Tick(2);
    Builds().ClearOnQuerySignedDownloadCompleteDelegate(Probe);

    // The answer in flight is the last: the next download would be for a login that has ended.
    EXPECT_EQ(Answers, 1);
    EXPECT_EQ(Log.Count("Need to login first"), 0);
    EXPECT_EQ(NumStarted("/assets/Windows/c"), 1);
    Log.Clear();
    Builds().TriggerOnQuerySelfPatchBuildCompleteDelegates(true, "");
    EXPECT_EQ(Transcript(), "");
}

TEST_F(FBuildInfoDriverTest, DumpsAreLeftOutWhenTheLogLevelIsOff)
{
    LogOnline.SetVerbosity(ELogVerbosity::Warning);
    StartWithBuilds(R"([{"appName":"A","catalogItemId":"c1"}])");
    RespondOldest(200, Download);
    Tick(2);
    LogOnline.SetVerbosity(ELogVerbosity::VeryVerbose);
    EXPECT_EQ(Transcript(), "");
    EXPECT_EQ(Downloads(), "c1/A?label=Live\n");
    EXPECT_EQ(Http().NumPending(), 0);
}

struct FBuildInfoWordCase
{
    const char* Command;
    const char* Warning;
    const char* Requests;
};

const FBuildInfoWordCase BuildInfoWordCases[] = {
    {"TEST BUILDINFO", "ZOR: usage: BUILDINFO <Label>\n", ""},
    {"TEST BUILDINFOV2", "ZOR: usage: BUILDINFOV2 <Label>\n", ""},
    {"TEST BUILDINFO Live", "",
     // The client road may send before the user road: compared in sorted order.
     "GET http://127.0.0.1:8080/api/buildManifest/launcher/latest?label=Live&platform=Windows\n"
     "GET http://127.0.0.1:8080/api/buildManifest?label=Live&platform=Windows\n"},
};

using FBuildInfoWordTest = TZorRows<FBuildInfoDriverTest>;

TEST_P(FBuildInfoWordTest, BuildInfoAsksVersionOneForBothWithNoHandlerOfItsOwn)
{
    const FBuildInfoWordCase& Case = BuildInfoWordCases[GetParam()];
    Log.Clear();
    Http().Reset();
    EXPECT_TRUE(Exec(Case.Command)) << Case.Command;
    Tick();
    EXPECT_EQ(Warnings(), Case.Warning) << Case.Command;
    EXPECT_EQ(SortedLines(Requests()), Case.Requests) << Case.Command;
    if (*Case.Requests)
    {
        Answer("/launcher/latest", 200, "{}");
    }
    EXPECT_EQ(Transcript(), "");
}

INSTANTIATE_TEST_SUITE_P(Rows, FBuildInfoWordTest,
                         ::testing::Range(size_t{0}, std::size(BuildInfoWordCases)));
} // namespace
