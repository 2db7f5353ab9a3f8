#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "Core/FileHelper.h"
#include "Core/FileManager.h"
#include "Core/Paths.h"

namespace fs = std::filesystem;

namespace
{
class FileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() / ("zor_core_files_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        fs::create_directories(Root);
    }
    void TearDown() override
    {
        fs::remove_all(Root);
        FPaths::SetProjectSavedDir(FString());
    }

    FString Path(const char* Relative) const { return FString((Root / Relative).string()); }
    static void Touch(const FString& File, const char* Content = "x") { std::ofstream(*File) << Content; }

    fs::path Root;
};
} // namespace

TEST(Paths, CombineAndSplit)
{
    EXPECT_TRUE(FPaths::Combine("a", "b", "c.dat").Equals("a/b/c.dat"));
    EXPECT_TRUE(FPaths::Combine("a/", "/b").Equals("a/b"));
    EXPECT_TRUE(FPaths::Combine("", "b").Equals("b"));
    EXPECT_TRUE(FPaths::Combine("a", "").Equals("a"));
    EXPECT_TRUE(FPaths::Combine("/root", FString("x")).Equals("/root/x"));

    EXPECT_TRUE(FPaths::GetCleanFilename("dir/sub/file.tar.gz").Equals("file.tar.gz"));
    EXPECT_TRUE(FPaths::GetCleanFilename("dir\\file.ini").Equals("file.ini"));
    EXPECT_TRUE(FPaths::GetCleanFilename("plain").Equals("plain"));
    EXPECT_TRUE(FPaths::GetPath("dir/sub/file.dat").Equals("dir/sub"));
    EXPECT_TRUE(FPaths::GetPath("file.dat").IsEmpty());
    EXPECT_TRUE(FPaths::GetExtension("dir.v2/file.tar.gz").Equals("gz"));
    EXPECT_TRUE(FPaths::GetExtension("dir.v2/file", true).IsEmpty());
    EXPECT_TRUE(FPaths::GetExtension("file.dat", true).Equals(".dat"));
}

TEST_F(FileTest, SavedAndCloudDirectoriesFollowTheOverride)
{
    EXPECT_TRUE(FPaths::ProjectSavedDir().EndsWith("/Saved/"));
    FPaths::SetProjectSavedDir(Path("Saved"));
    EXPECT_TRUE(FPaths::ProjectSavedDir().Equals(Path("Saved") + "/"));
    EXPECT_TRUE(FPaths::CloudDir().Equals(Path("Saved") + "/Cloud/"));
}

TEST_F(FileTest, SaveCreatesDirectoriesAndLoadReadsBackBytes)
{
    const FString File = Path("Saved/Cloud/user/profile.sav");
    TArray<uint8> Bytes = {0, 1, 2, 255, 0};
    ASSERT_TRUE(FFileHelper::SaveArrayToFile(Bytes, *File));
    EXPECT_TRUE(FPaths::FileExists(File));
    EXPECT_TRUE(FPaths::DirectoryExists(FPaths::GetPath(File)));
    EXPECT_EQ(IFileManager::Get().FileSize(*File), 5);

    TArray<uint8> Loaded = {9};
    ASSERT_TRUE(FFileHelper::LoadFileToArray(Loaded, *File));
    EXPECT_EQ(Loaded, Bytes);

    ASSERT_TRUE(FFileHelper::SaveArrayToFile(TArray<uint8>(), *File));
    ASSERT_TRUE(FFileHelper::LoadFileToArray(Loaded, *File));
    EXPECT_TRUE(Loaded.IsEmpty());

    TArray<FString> Left;
    IFileManager::Get().FindFiles(Left, *FPaths::GetPath(File), nullptr);
    EXPECT_EQ(Left.Num(), 1) << "no temporary file is left behind";
}

TEST_F(FileTest, MissingFilesAndBadTargetsFail)
{
    TArray<uint8> Loaded = {7};
    EXPECT_FALSE(FFileHelper::LoadFileToArray(Loaded, *Path("absent.bin"), FILEREAD_Silent));
    EXPECT_FALSE(FFileHelper::LoadFileToArray(Loaded, *Path(""), FILEREAD_Silent))
        << "a directory is not a file";
    FString Text;
    EXPECT_FALSE(FFileHelper::LoadFileToString(Text, nullptr, FILEREAD_Silent));
    EXPECT_EQ(IFileManager::Get().FileSize(*Path("absent.bin")), -1);
    EXPECT_EQ(IFileManager::Get().FileSize(*Path("")), -1);

    Touch(Path("blocker"));
    EXPECT_FALSE(FFileHelper::SaveStringToFile("x", *Path("blocker/inside.txt")));
    EXPECT_FALSE(FFileHelper::SaveStringToFile("x", *Path("dir-target/")));
}

TEST_F(FileTest, StringsRoundTripAndByteOrderMarkIsDropped)
{
    const FString File = Path("text.ini");
    ASSERT_TRUE(FFileHelper::SaveStringToFile("[S]\nKey=\xC3\xA9", *File));
    FString Text;
    ASSERT_TRUE(FFileHelper::LoadFileToString(Text, *File));
    EXPECT_TRUE(Text.Equals("[S]\nKey=\xC3\xA9"));

    Touch(File, "\xEF\xBB\xBF[S]");
    ASSERT_TRUE(FFileHelper::LoadFileToString(Text, *File));
    EXPECT_TRUE(Text.Equals("[S]"));
}

TEST_F(FileTest, FindFilesFiltersByExtensionInEveryForm)
{
    for (const char* Name : {"b.dat", "a.DAT", "c.txt", "noext"})
    {
        Touch(Path(Name));
    }
    fs::create_directories(Root / "sub.dat");
    TArray<FString> Found = {"stale"};
    for (const char* Extension : {".dat", "*.dat", "dat"})
    {
        IFileManager::Get().FindFiles(Found, *Path(""), Extension);
        EXPECT_EQ(Found, (TArray<FString>{"a.DAT", "b.dat"})) << Extension;
    }
    for (const char* Extension : {"", "*", "*.*"})
    {
        IFileManager::Get().FindFiles(Found, *Path(""), Extension);
        EXPECT_EQ(Found.Num(), 4) << Extension;
    }
    IFileManager::Get().FindFiles(Found, *Path("missing"), nullptr);
    EXPECT_TRUE(Found.IsEmpty());
}

TEST_F(FileTest, DeleteRespectsItsFlags)
{
    IFileManager& Files = IFileManager::Get();
    EXPECT_TRUE(Files.Delete(*Path("absent")));
    EXPECT_FALSE(Files.Delete(*Path("absent"), true));

    const FString ReadOnly = Path("readonly.dat");
    Touch(ReadOnly);
    fs::permissions(*ReadOnly, fs::perms::owner_read);
    EXPECT_FALSE(Files.Delete(*ReadOnly, false, false, true));
    EXPECT_TRUE(FPaths::FileExists(ReadOnly));
    EXPECT_TRUE(Files.Delete(*ReadOnly, true, true, true));
    EXPECT_FALSE(FPaths::FileExists(ReadOnly));

    EXPECT_TRUE(Files.MakeDirectory(*Path("dir")));
    EXPECT_FALSE(Files.Delete(*Path("dir"), false, true, true));
    EXPECT_TRUE(FPaths::DirectoryExists(Path("dir")));
}

TEST_F(FileTest, MakeDirectoryNeedsTreeForMissingParents)
{
    IFileManager& Files = IFileManager::Get();
    EXPECT_FALSE(Files.MakeDirectory(*Path("x/y/z")));
    EXPECT_TRUE(Files.MakeDirectory(*Path("x/y/z"), true));
    EXPECT_TRUE(Files.MakeDirectory(*Path("x/y/z")));
    EXPECT_FALSE(Files.MakeDirectory(""));
}
