#include "BackendTestFixture.h"
#include "ZorRows.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace ZorBackendTests
{
namespace
{
const std::string UserFiles = "/game/api/cloudstorage/user/";
const std::string SystemFiles = "/game/api/cloudstorage/system";

class CloudServiceTest : public BackendTest
{
protected:
    void SetUp() override
    {
        Titles = std::filesystem::temp_directory_path() /
                 ("zorbackend-titles-" + std::to_string(::getpid()) + "-" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(Titles / "sub");
        for (const char* Name : {"a.ini", "b.ini", "c.ini"})
        {
            std::ofstream(Titles / Name) << Name;
        }
        std::ofstream(Titles / "sub" / "hidden.ini") << "hidden";
        StartBackend({.TitleFilesDir = Titles.string()});
        Demo = GrantAccessToken(DemoLogin);
        Rival = GrantAccessToken(RivalLogin);
    }
    void TearDown() override { std::filesystem::remove_all(Titles); }

    httplib::Result Put(const std::string& Path, const std::string& Body, const std::string& Token)
    {
        return Client->Put(Path.c_str(), {{"Authorization", "bearer " + Token}}, Body,
                           "application/octet-stream");
    }

    std::filesystem::path Titles;
    std::string Demo;
    std::string Rival;
};
} // namespace

TEST_F(CloudServiceTest, UserFilesAreStoredListedWithHashesAndDeleted)
{
    const std::string File = UserFiles + DemoAccountId + "/save.sav";
    ASSERT_EQ(Put(File + "?filename=Shown%20Name", "abc", Demo)->status, 204);
    ASSERT_EQ(Put(UserFiles + DemoAccountId + "/dir/deep.sav", "x", Demo)->status, 204);
    ASSERT_EQ(Put(UserFiles + DemoAccountId + "/SAVE.SAV", "abcd", Demo)->status, 204) << "same file";

    const auto Listed = Get(UserFiles + DemoAccountId, Demo);
    ASSERT_EQ(Listed->status, 200);
    const rapidjson::Document List = ParseJson(Listed->body);
    ASSERT_TRUE(List.IsArray());
    ASSERT_EQ(List.Size(), 2u) << Listed->body;
    EXPECT_EQ(StringField(List[0], "uniqueFilename"), "dir/deep.sav");
    EXPECT_EQ(StringField(List[1], "uniqueFilename"), "save.sav");
    EXPECT_EQ(StringField(List[1], "filename"), "SAVE.SAV");
    EXPECT_EQ(StringField(List[1], "hash"), "81fe8bfe87576c3ecb22426f8e57847382917acf");
    EXPECT_EQ(IntField(List[1], "length"), 4);

    const auto Read = Get(File, Demo);
    ASSERT_EQ(Read->status, 200);
    EXPECT_EQ(Read->body, "abcd");
    EXPECT_EQ(Delete(File, Demo)->status, 204);
    ExpectError(Get(File, Demo), 404, "errors.zor.cloudstorage.file_not_found");
    ExpectError(Delete(File, Demo), 404, "errors.zor.cloudstorage.file_not_found");
}

TEST_F(CloudServiceTest, AUserReachesOnlyItsOwnFiles)
{
    const std::string File = UserFiles + DemoAccountId + "/save.sav";
    ASSERT_EQ(Put(File, "mine", Demo)->status, 204);
    ExpectError(Get(UserFiles + DemoAccountId, Rival), 403, "errors.zor.cloudstorage.forbidden");
    ExpectError(Get(File, Rival), 403, "errors.zor.cloudstorage.forbidden");
    ExpectError(Put(File, "theirs", Rival), 403, "errors.zor.cloudstorage.forbidden");
    ExpectError(Delete(File, Rival), 403, "errors.zor.cloudstorage.forbidden");
    ExpectError(Get(File, "not-a-token"), 401, "errors.zor.account.oauth.invalid_token");
    EXPECT_EQ(Get(File, Demo)->body, "mine");
    const std::string Server = GrantAccessToken("grant_type=client_credentials", ServerClient);
    ExpectError(Get(File, Server), 403, "errors.zor.cloudstorage.forbidden");
}

namespace
{
struct FTitlePage
{
    std::string Query;
    int Status;
    std::string Names;
};

const FTitlePage TitlePages[] = {
    {"", 200, "a.ini,b.ini,c.ini"},
    {"?start=1", 200, "b.ini,c.ini"},
    {"?start=0&count=2", 200, "a.ini,b.ini"},
    {"?start=2&count=5", 200, "c.ini"},
    {"?start=9&count=1", 200, ""},
    {"?start=-1&count=2", 400, ""},
    {"?count=x", 400, ""},
};

using CloudTitlePageTest = TZorRows<CloudServiceTest>;
} // namespace

TEST_P(CloudTitlePageTest, TitleFilesArePaged)
{
    const FTitlePage& Case = TitlePages[GetParam()];
    const auto Result = Get(SystemFiles + Case.Query, Demo);
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->status, Case.Status) << Case.Query;
    const rapidjson::Document List = ParseJson(Result->body);
    std::string Names;
    for (rapidjson::SizeType Index = 0; List.IsArray() && Index < List.Size(); ++Index)
    {
        Names += (Names.empty() ? "" : ",") + StringField(List[Index], "uniqueFilename");
    }
    EXPECT_EQ(Names, Case.Names) << Case.Query;
}

INSTANTIATE_TEST_SUITE_P(Rows, CloudTitlePageTest, ::testing::Range(size_t{0}, std::size(TitlePages)));

TEST_F(CloudServiceTest, OnlyPlainTitleFileNamesAreServed)
{
    EXPECT_EQ(Get(SystemFiles + "/b.ini", Demo)->body, "b.ini");
    for (const char* Name : {"/sub/hidden.ini", "/..", "/%2E%2E/x", "/missing.ini", "/sub"})
    {
        ExpectError(Get(SystemFiles + Name, Demo), 404, "errors.zor.cloudstorage.file_not_found");
    }
}

TEST_F(CloudServiceTest, TimeIsPublicIso8601)
{
    const auto Result = Client->Get("/game/api/3/timestamp");
    ASSERT_TRUE(Result);
    EXPECT_EQ(Result->status, 200);
    EXPECT_EQ(Result->body.size(), 24u) << Result->body;
    EXPECT_EQ(Result->body[10], 'T');
    EXPECT_EQ(Result->body.back(), 'Z');
}
} // namespace ZorBackendTests
