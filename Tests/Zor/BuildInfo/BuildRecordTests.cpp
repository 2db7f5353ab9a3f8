#include <gtest/gtest.h>

#include "BuildInfo/OnlineBuildInfo.h"
#include "BuildInfo/OnlineBuildInfoV2.h"

namespace
{
TEST(BuildRecord, ReadsAManifestAndLeavesAbsentKeysEmpty)
{
    FOnlineBuildInfo Build;
    ASSERT_TRUE(
        Build.FromJson(R"({"appName":"Game","labelName":"Live","buildVersion":"1.2","baseUrlPath":"/b",)"
                       R"("manifestUrlPath":"/m","compatibleApps":["A",3,"B"]})"));
    EXPECT_EQ(Build.AppName, FString("Game"));
    EXPECT_EQ(Build.LabelName, FString("Live"));
    EXPECT_EQ(Build.BuildVersion, FString("1.2"));
    EXPECT_EQ(Build.BaseUrlPath, FString("/b"));
    EXPECT_EQ(Build.ManifestUrlPath, FString("/m"));
    EXPECT_TRUE(Build.ManifestHash.IsEmpty());
    ASSERT_EQ(Build.CompatibleApps.Num(), 2);
    EXPECT_EQ(Build.CompatibleApps[1], FString("B"));
}

TEST(BuildRecord, VersionTwoReadsOnlyTheServiceKeys)
{
    FOnlineBuildInfoV2 Build;
    ASSERT_TRUE(
        Build.FromJson(R"({"appName":"Game","catalogItemId":"c1","labelName":"Live","buildVersion":"9",)"
                       R"("label":"x","subLabel":"x","platform":"x"})"));
    EXPECT_EQ(Build.AppName, FString("Game"));
    EXPECT_EQ(Build.CatalogItemId, FString("c1"));
    EXPECT_EQ(Build.LabelName, FString("Live"));
    EXPECT_EQ(Build.BuildVersion, FString("9"));
    // The query's own values are set by the service, never by an answer.
    EXPECT_TRUE(Build.Label.IsEmpty());
    EXPECT_TRUE(Build.SubLabel.IsEmpty());
    EXPECT_TRUE(Build.Platform.IsEmpty());
    EXPECT_FALSE(Build.DownloadInfo);
    EXPECT_TRUE(Build.ToJson(false).Equals(
        R"({"appName":"Game","labelName":"Live","buildVersion":"9","catalogItemId":"c1"})"))
        << *Build.ToJson(false);
}

TEST(BuildRecord, DownloadInfoReadsExpiryAndItemsByName)
{
    FOnlineDownloadInfo Info;
    ASSERT_TRUE(Info.FromJson(
        R"({"expires":"2030-01-02T03:04:05.000Z","items":{)"
        R"("Game.manifest":{"signature":"s","distribution":"https://d/","path":"p","hash":"h"},)"
        R"("bad":"not an object","Other":{"path":"q"}}})"));
    EXPECT_EQ(Info.Expires, FDateTime(2030, 1, 2, 3, 4, 5));
    ASSERT_EQ(Info.Items.Num(), 2);
    const FOnlineDownloadItem* Item = Info.Items.Find("game.MANIFEST");
    ASSERT_TRUE(Item);
    EXPECT_EQ(Item->Signature, FString("s"));
    EXPECT_EQ(Item->Distribution, FString("https://d/"));
    EXPECT_EQ(Item->Path, FString("p"));
    EXPECT_EQ(Item->Hash, FString("h"));
    ASSERT_TRUE(Info.Items.Find("Other"));
    EXPECT_TRUE(Info.Items.Find("Other")->Signature.IsEmpty());
}

namespace
{
const char* const WrongKindDownloadBodies[] = {
    R"({"items":["a"],"expires":7})",
    R"({"items":"a","expires":"not a date"})",
    R"({})",
};

using FDownloadInfoWrongKindTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FDownloadInfoWrongKindTest, DownloadInfoIgnoresItemsAndExpiryOfTheWrongKind)
{
    const char* Body = WrongKindDownloadBodies[GetParam()];
    SCOPED_TRACE(Body);
    FOnlineDownloadInfo Info;
    ASSERT_TRUE(Info.FromJson(Body));
    EXPECT_EQ(Info.Items.Num(), 0);
    EXPECT_EQ(Info.Expires, FDateTime());
}

INSTANTIATE_TEST_SUITE_P(Rows, FDownloadInfoWrongKindTest,
                         ::testing::Range(size_t{0}, std::size(WrongKindDownloadBodies)));

TEST(BuildRecord, DownloadInfoRoundTrips)
{
    FOnlineDownloadInfo Info;
    Info.Expires = FDateTime(2031, 5, 6, 7, 8, 9, 10);
    Info.Items.Add("a", FOnlineDownloadItem());
    Info.Items.Find("a")->Path = "dir/file";
    Info.Items.Add("b", FOnlineDownloadItem());

    FOnlineDownloadInfo Read;
    ASSERT_TRUE(Read.FromJson(Info.ToJson()));
    EXPECT_EQ(Read.Expires, Info.Expires);
    ASSERT_EQ(Read.Items.Num(), 2);
    EXPECT_EQ(Read.Items.Find("a")->Path, FString("dir/file"));
}

TSharedRef<FOnlineBuildInfoV2> MakeBuild(const char* AppName, const char* Platform, const char* ItemId)
{
    auto Build = MakeShared<FOnlineBuildInfoV2>();
    Build->AppName = AppName;
    Build->Platform = Platform;
    Build->CatalogItemId = ItemId;
    return Build;
}

namespace
{
struct FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRow
{
    const char* App;
    const char* Platform;
    const char* ItemId;
    bool bEqual;
};
const FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRow
    VersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRows[] = {
        {"Game", "Windows", "c1", true},    {"GAME", "windows", "c1", true},
        {"Game", "Windows", "other", true}, {"Game2", "Windows", "c1", false},
        {"Game", "Mac", "c1", false},
};

using FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseTest,
       VersionTwoEqualityIsApplicationAndPlatformIgnoringCase)
{
    const TSharedRef<FOnlineBuildInfoV2> Base = MakeBuild("Game", "Windows", "c1");
    const FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRow& Case =
        VersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRows[GetParam()];
    SCOPED_TRACE(*(FString(Case.App) + "/" + Case.Platform + "/" + Case.ItemId));
    EXPECT_EQ(MakeBuild(Case.App, Case.Platform, Case.ItemId).Get() == Base.Get(), Case.bEqual);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FVersionTwoEqualityIsApplicationAndPlatformIgnoringCaseTest,
    ::testing::Range(size_t{0}, std::size(VersionTwoEqualityIsApplicationAndPlatformIgnoringCaseRows)));

namespace
{
struct FDownloadTargetPrefersTheSameCatalogItemRow
{
    const char* App;
    const char* Platform;
    const char* ItemId;
    int32 Expected;
};
const FDownloadTargetPrefersTheSameCatalogItemRow DownloadTargetPrefersTheSameCatalogItemRows[] = {
    {"Game", "Windows", "c1", 1}, {"Game", "Windows", "C2", 2},  {"GAME", "windows", "c3", 1},
    {"Game", "Windows", "", 1},   {"Other", "Windows", "c9", 0}, {"Game", "Mac", "c1", -1},
};

using FDownloadTargetPrefersTheSameCatalogItemTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FDownloadTargetPrefersTheSameCatalogItemTest, DownloadTargetPrefersTheSameCatalogItem)
{
    const TArray<TSharedRef<FOnlineBuildInfoV2>> Builds = {
        MakeBuild("Other", "Windows", "c1"), MakeBuild("Game", "Windows", "c1"),
        MakeBuild("Game", "Windows", "c2"), MakeBuild("game", "WINDOWS", "c2")};
    const FDownloadTargetPrefersTheSameCatalogItemRow& Case =
        DownloadTargetPrefersTheSameCatalogItemRows[GetParam()];
    SCOPED_TRACE(*(FString(Case.App) + "/" + Case.Platform + "/" + Case.ItemId));
    const TSharedPtr<FOnlineBuildInfoV2> Target =
        FOnlineBuildInfoV2::FindDownloadTarget(Builds, MakeBuild(Case.App, Case.Platform, Case.ItemId).Get());
    EXPECT_EQ(Target.get(), Case.Expected < 0 ? nullptr : Builds[Case.Expected].get());
}

INSTANTIATE_TEST_SUITE_P(Rows, FDownloadTargetPrefersTheSameCatalogItemTest,
                         ::testing::Range(size_t{0}, std::size(DownloadTargetPrefersTheSameCatalogItemRows)));

TEST(BuildRecord, CopiesShareTheDownloadInformation)
{
    FOnlineBuildInfoV2 Build;
    Build.DownloadInfo = MakeShared<FOnlineDownloadInfo>();
    const FOnlineBuildInfoV2 Copy = Build;
    Build.DownloadInfo->Items.Add("a", FOnlineDownloadItem());
    EXPECT_EQ(Copy.DownloadInfo->Items.Num(), 1);
}
} // namespace
