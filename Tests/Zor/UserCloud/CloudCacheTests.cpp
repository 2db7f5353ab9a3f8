#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "CaseNamePrinter.h"
#include "Core/Paths.h"
#include "UserCloud/ZorCloudCache.h"
#include "ZorTempFolder.h"

namespace fs = std::filesystem;

namespace
{
struct FNameCase
{
    const char* Name;
    bool bSafe;
};

/** Quoted and escaped: the names under test hold control characters and would garble test listings. */
void PrintTo(const FNameCase& Case, std::ostream* Out)
{
    *Out << ::testing::PrintToString(std::string(Case.Name));
}

const FNameCase NameCases[] = {
    {"save.dat", true},
    {"dir/save.dat", true},
    {"has?question", true},
    {"with blank", true},
    {".hidden", true},
    {"a..b", true},
    {"", false},
    {".", false},
    {"..", false},
    {"../escape", false},
    {"dir/../../escape", false},
    {"dir/./x", false},
    {"/etc/passwd", false},
    {"dir/", false},
    {"a//b", false},
    {"back\\slash", false},
    {"C:drive", false},
    {"tab\tname", false},
    {"new\nline", false},
    {"del\x7f", false},
};

using CloudCacheNames = ::testing::TestWithParam<FNameCase>;

/** A cloud directory of its own per test, removed afterwards. */
class CloudCacheDisk : public ::testing::Test
{
protected:
    void SetUp() override { FPaths::SetProjectSavedDir(FString((Root / "Saved").string())); }
    void TearDown() override { FPaths::SetProjectSavedDir(FString()); }

    fs::path Cloud() const { return Root / "Saved" / "Cloud"; }
    static void Touch(const fs::path& File)
    {
        fs::create_directories(File.parent_path());
        std::ofstream(File) << "x";
    }

    FZorTempFolder Folder{"zor_cloud_cache"};
    const fs::path Root = Folder.Path();
};
} // namespace

TEST_P(CloudCacheNames, OnlyNamesThatStayInTheirFolderAreSafe)
{
    EXPECT_EQ(FZorCloudCache::IsSafeName(GetParam().Name), GetParam().bSafe) << GetParam().Name;
    EXPECT_EQ(FZorCloudCache::GetPath("user", GetParam().Name).IsEmpty(), !GetParam().bSafe);
    EXPECT_EQ(FZorCloudCache::GetPath(GetParam().Name, "file").IsEmpty(), !GetParam().bSafe);
}

INSTANTIATE_TEST_SUITE_P(Names, CloudCacheNames, ::testing::ValuesIn(NameCases));

TEST(CloudCache, OverLongNamesAreUnsafe)
{
    const FString Segment(std::string(FZorCloudCache::MaxSegmentLength, 'a'));
    EXPECT_TRUE(FZorCloudCache::IsSafeName(Segment));
    EXPECT_FALSE(FZorCloudCache::IsSafeName(Segment + "a"));
    FString Deep = Segment;
    while (Deep.Len() + Segment.Len() + 1 <= FZorCloudCache::MaxNameLength)
    {
        Deep += "/" + Segment;
    }
    EXPECT_TRUE(FZorCloudCache::IsSafeName(Deep));
    EXPECT_FALSE(FZorCloudCache::IsSafeName(Deep + "/" + Segment));
}

TEST(CloudCache, SafeNamesKeepThePlainPath)
{
    EXPECT_TRUE(FZorCloudCache::GetPath("Player1", "dir/Save.dat")
                    .Equals(FPaths::CloudDir() + "Player1/dir/Save.dat"));
    EXPECT_TRUE(FZorCloudCache::GetPath("QVR", "title.ini").Equals(FPaths::CloudDir() + "QVR/title.ini"));
}

namespace
{
const TArray<uint8> HashedData(reinterpret_cast<const uint8*>("abc"), 3);
const TArray<uint8> NoData;

struct FHashCase
{
    const TArray<uint8>* Data;
    const char* Hash;
    bool bMatches;
};

const FHashCase HashCases[] = {
    {&HashedData, "a9993e364706816aba3e25717850c26c9cd0d89d", true},
    {&HashedData, "A9993E364706816ABA3E25717850C26C9CD0D89D", true},
    {&HashedData, "a9993e364706816aba3e25717850c26c9cd0d89e", false},
    {&HashedData, "a9993e364706816aba3e25717850c26c9cd0d8", false},
    {&HashedData, "", false},
    {&NoData, "da39a3ee5e6b4b0d3255bfef95601890afd80709", true},
    {&NoData, "", false},
};

using FCloudCacheHash = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FCloudCacheHash, HashMatchesIgnoringCaseButNeverAnEmptyHash)
{
    const FHashCase& Case = HashCases[GetParam()];
    EXPECT_EQ(FZorCloudCache::HashMatches(*Case.Data, Case.Hash), Case.bMatches) << Case.Hash;
}

INSTANTIATE_TEST_SUITE_P(Hashes, FCloudCacheHash, ::testing::Range(size_t{0}, std::size(HashCases)));

namespace
{
TArray<FString> KeptNames(const TArray<FCloudFileHeader>& Headers)
{
    TArray<FString> Names;
    for (const FCloudFileHeader& Header : Headers)
    {
        FZorCloudCache::AddKeptNames(Header, Names);
    }
    return Names;
}
} // namespace

TEST(CloudCache, SweepKeepsDisplayAndUniqueNamesOnceEach)
{
    TArray<FCloudFileHeader> Headers;
    Headers.Add(FCloudFileHeader("Shown.sav", "unique-1", 1));
    Headers.Add(FCloudFileHeader("same", "same", 1));
    TArray<FString> Listed;
    for (const char* Name : {"SHOWN.sav", "gone.sav", "shown.sav", "unique-1", "same", "Same"})
    {
        Listed.Add(Name);
    }
    const TArray<FString> Swept = FZorCloudCache::NamesToSweep(Listed, KeptNames(Headers));
    EXPECT_TRUE(FString::Join(Swept, ",").Equals("gone.sav,shown.sav,Same"));
}

namespace
{
using ZorTestCases::PrintTo;

struct FSweepCase
{
    const char* Name;
    std::vector<FCloudFileHeader> Headers;
    std::vector<const char*> Listed;
    const char* Swept;
};

const FSweepCase SweepCases[] = {
    {"two headers",
     {{"Save.sav", "Save.sav", 1}, {"save.sav", "save.sav", 1}},
     {"save.sav", "Save.sav", "old.sav"},
     "old.sav"},
    {"one header, exact copy listed second",
     {{"Save.sav", "Save.sav", 1}},
     {"save.sav", "Save.sav"},
     "save.sav"},
    {"unique name differing from the file name in case", {{"a.sav", "A.sav", 1}}, {"A.sav", "a.sav"}, ""},
};

using FCloudCacheSweep = ::testing::TestWithParam<FSweepCase>;
} // namespace

// On a disk where case counts these are different files, each the copy of the header naming it exactly.
TEST_P(FCloudCacheSweep, SweepKeepsEachCopyOfNamesDifferingOnlyInCase)
{
    const FSweepCase& Case = GetParam();
    TArray<FCloudFileHeader> Headers;
    for (const FCloudFileHeader& Header : Case.Headers)
    {
        Headers.Add(Header);
    }
    TArray<FString> Listed;
    for (const char* Name : Case.Listed)
    {
        Listed.Add(Name);
    }
    const FString Swept = FString::Join(FZorCloudCache::NamesToSweep(Listed, KeptNames(Headers)), ",");
    EXPECT_TRUE(Swept.Equals(Case.Swept, ESearchCase::CaseSensitive)) << Case.Name << ": " << *Swept;
}

INSTANTIATE_TEST_SUITE_P(Names, FCloudCacheSweep, ::testing::ValuesIn(SweepCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(CloudCacheDisk, SweepDeletesOnlyRegularFilesDirectlyInTheFolder)
{
    Touch(Cloud() / "user" / "keep.sav");
    Touch(Cloud() / "user" / "stale.sav");
    Touch(Cloud() / "user" / "sub" / "nested.sav");
    Touch(Cloud() / "other" / "stale.sav");
    Touch(Root / "outside.sav");
    fs::create_symlink(Root / "outside.sav", Cloud() / "user" / "link.sav");

    TArray<FCloudFileHeader> Headers;
    Headers.Add(FCloudFileHeader("keep.sav", "u", 1));
    const TArray<FString> Deleted = FZorCloudCache::Sweep("user", KeptNames(Headers));

    EXPECT_EQ(Deleted.Num(), 2);
    EXPECT_TRUE(fs::exists(Cloud() / "user" / "keep.sav"));
    EXPECT_FALSE(fs::exists(Cloud() / "user" / "stale.sav"));
    EXPECT_FALSE(fs::is_symlink(Cloud() / "user" / "link.sav"));
    EXPECT_TRUE(fs::exists(Root / "outside.sav"));
    EXPECT_TRUE(fs::exists(Cloud() / "user" / "sub" / "nested.sav"));
    EXPECT_TRUE(fs::exists(Cloud() / "other" / "stale.sav"));
}

TEST_F(CloudCacheDisk, SweepOfAnUnsafeFolderTouchesNothing)
{
    Touch(Cloud() / "stale.sav");
    Touch(Root / "Saved" / "outside.sav");
    for (const char* Folder : {"", ".", "..", "../Saved", "/"})
    {
        EXPECT_EQ(FZorCloudCache::Sweep(Folder, {}).Num(), 0) << Folder;
    }
    EXPECT_TRUE(fs::exists(Cloud() / "stale.sav"));
    EXPECT_TRUE(fs::exists(Root / "Saved" / "outside.sav"));
}
