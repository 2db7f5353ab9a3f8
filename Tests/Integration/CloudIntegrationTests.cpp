#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <thread>

#include "BackendFixture.h"
#include "CaseNamePrinter.h"
#include "Core/Paths.h"
#include "Core/SecureHash.h"
#include "LogCapture.h"
#include "Time/OnlineTimeZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "ZorTempFolder.h"

namespace fs = std::filesystem;

namespace
{
/** The demo user against the backend's game service, with title files and a cloud directory of its own. */
class FCloudIntegrationTest : public FBackendIntegrationTest
{
protected:
    void SetUp() override
    {
        fs::create_directories(Root / "Titles");
        for (const char* Name : {"a.ini", "b.ini", "c.ini"})
        {
            std::ofstream(Root / "Titles" / Name) << "[Title]\nName=" << Name << "\n";
        }
        FPaths::SetProjectSavedDir(FString((Root / "Saved").string()));
        Backend.SetTitleFilesDir((Root / "Titles").string());
        FBackendIntegrationTest::SetUp();
        LogOnline.SetVerbosity(ELogVerbosity::Verbose);
    }
    void TearDown() override
    {
        FBackendIntegrationTest::TearDown();
        LogOnline.SetVerbosity(ELogVerbosity::Log);
        FPaths::SetProjectSavedDir(FString());
    }
    FString ExtraIni() const override { return "[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"; }

    FOnlineUserCloudZor& Cloud() { return *Subsystem->GetZorUserCloudService(); }
    FOnlineTitleFileZor& Titles() { return *Subsystem->GetZorTitleFileService(); }

    /** Binds every cloud and title event to Events, as "<op> <success> <name>". */
    void RecordEvents()
    {
        auto File = [this](const char* Op)
        {
            return [this, Op](bool bOk, const FUniqueNetId&, const FString& Name)
            { Events.Add(FString::Printf("%s %d %s", Op, bOk ? 1 : 0, *Name)); };
        };
        Cloud().AddOnWriteUserFileCompleteDelegate(
            FOnWriteUserFileCompleteDelegate::CreateLambda(File("write")));
        Cloud().AddOnReadUserFileCompleteDelegate(
            FOnReadUserFileCompleteDelegate::CreateLambda(File("read")));
        Cloud().AddOnDeleteUserFileCompleteDelegate(
            FOnDeleteUserFileCompleteDelegate::CreateLambda(File("delete")));
        Cloud().AddOnEnumerateUserFilesCompleteDelegate(FOnEnumerateUserFilesCompleteDelegate::CreateLambda(
            [this](bool bOk, const FUniqueNetId&) { Events.Add(FString::Printf("list %d", bOk ? 1 : 0)); }));
        Titles().AddOnEnumerateFilesCompleteDelegate(FOnEnumerateFilesCompleteDelegate::CreateLambda(
            [this](bool bOk) { Events.Add(FString::Printf("titles %d", bOk ? 1 : 0)); }));
        Titles().AddOnReadFileCompleteDelegate(FOnReadFileCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Name)
            { Events.Add(FString::Printf("title %d %s", bOk ? 1 : 0, *Name)); }));
    }

    /** Ticks until Count events have come; the latest one. */
    std::string WaitForEvent(int32 Count)
    {
        EXPECT_TRUE(TickUntil([this, Count] { return Events.Num() >= Count; })) << "no event " << Count;
        return Events.Num() >= Count ? Events[Count - 1].ToStdString() : std::string();
    }

    std::string Contents(const FString& Name)
    {
        TArray<uint8> Data;
        Cloud().GetFileContents(*Identity().GetUniquePlayerId(0), Name, Data);
        return std::string(reinterpret_cast<const char*>(Data.GetData()), Data.Num());
    }

    FZorTempFolder Folder{"zor_cloud_it"};
    const fs::path Root = Folder.Path();
    FLogCapture Log;
    TArray<FString> Events;
};
} // namespace

TEST_F(FCloudIntegrationTest, UserFileIsWrittenListedDownloadedCachedAndDeleted)
{
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    RecordEvents();
    const FUniqueNetIdPtr User = Identity().GetUniquePlayerId(0);
    const fs::path Copy = Root / "Saved" / "Cloud" / User->ToString().ToStdString() / "save.sav";

    TArray<uint8> Data(reinterpret_cast<const uint8*>("hello"), 5);
    ASSERT_TRUE(Cloud().WriteUserFile(*User, "save.sav", Data));
    EXPECT_EQ(WaitForEvent(1), "write 1 save.sav");
    EXPECT_TRUE(fs::exists(Copy));

    Cloud().EnumerateUserFiles(*User);
    EXPECT_EQ(WaitForEvent(2), "list 1");
    TArray<FCloudFileHeader> Files;
    Cloud().GetUserFileList(*User, Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_EQ(Files[0].FileSize, 5);
    EXPECT_TRUE(
        Files[0].Hash.Equals(FSHA1::HashBuffer("hello", 5).ToString().ToLower(), ESearchCase::CaseSensitive));

    // Without its copy the file is downloaded and cached again; then the copy serves it with no request.
    ASSERT_TRUE(Cloud().DeleteUserFile(*User, "save.sav", false, true));
    EXPECT_EQ(WaitForEvent(3), "delete 1 save.sav");
    EXPECT_FALSE(fs::exists(Copy));
    ASSERT_TRUE(Cloud().ReadUserFile(*User, "save.sav"));
    EXPECT_EQ(WaitForEvent(4), "read 1 save.sav");
    EXPECT_EQ(Contents("save.sav"), "hello");
    EXPECT_TRUE(fs::exists(Copy));
    EXPECT_EQ(Log.Count("ReadUserFile request complete. url="), 1);
    ASSERT_TRUE(Cloud().ReadUserFile(*User, "save.sav"));
    EXPECT_EQ(Events.Num(), 5) << "a cache hit completes inside the call";
    EXPECT_EQ(Log.Count("ReadUserFile request complete. url="), 1);

    ASSERT_TRUE(Cloud().DeleteUserFile(*User, "save.sav", true, true));
    EXPECT_EQ(WaitForEvent(6), "delete 1 save.sav");
    Cloud().EnumerateUserFiles(*User);
    EXPECT_EQ(WaitForEvent(7), "list 1");
    Cloud().GetUserFileList(*User, Files);
    EXPECT_EQ(Files.Num(), 0);
    EXPECT_FALSE(fs::exists(Copy));

    ASSERT_TRUE(Cloud().ReadUserFile(*User, "save.sav"));
    EXPECT_EQ(WaitForEvent(8), "read 0 save.sav");
    EXPECT_TRUE(Log.Contains("ReadUserFile request failed. Invalid response. code=404"));
}

TEST_F(FCloudIntegrationTest, TitleFilesAreListedPageByPageAndReadOnceFromTheService)
{
    RecordEvents();
    ASSERT_TRUE(Titles().EnumerateFiles(FPagedQuery(0, 2)));
    EXPECT_EQ(WaitForEvent(1), "titles 1");
    ASSERT_TRUE(Titles().EnumerateFiles(FPagedQuery(2, 2)));
    EXPECT_EQ(WaitForEvent(2), "titles 1");
    TArray<FCloudFileHeader> Files;
    Titles().GetFileList(Files);
    ASSERT_EQ(Files.Num(), 3);
    EXPECT_TRUE(Files[2].DLName.Equals("c.ini"));

    ASSERT_TRUE(Titles().ReadFile("b.ini"));
    EXPECT_EQ(WaitForEvent(3), "title 1 b.ini");
    TArray<uint8> Data;
    ASSERT_TRUE(Titles().GetFileContents("b.ini", Data));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Data.GetData()), Data.Num()),
              "[Title]\nName=b.ini\n");
    EXPECT_TRUE(fs::exists(Root / "Saved" / "Cloud" / "QVR" / "b.ini"));
    ASSERT_TRUE(Titles().ReadFile("b.ini"));
    EXPECT_EQ(Events.Num(), 4);
    EXPECT_EQ(Log.Count("ReadFile request complete. url="), 1);

    ASSERT_TRUE(Titles().ReadFile("../LocalBackend.json"));
    EXPECT_EQ(WaitForEvent(5), "title 0 ../LocalBackend.json");
}

TEST_F(FCloudIntegrationTest, ServerTimeComesFromTheGameService)
{
    FString Result;
    ZOR_BIND_SCOPED(Subsystem->GetZorTimeService(), OnQueryServerUtcTimeComplete,
                    FOnQueryServerUtcTimeCompleteDelegate::CreateLambda(
                        [&Result](bool bOk, const FString& Time, const FString& Error)
                        { Result = bOk ? Time : "failed " + Error; }));
    ASSERT_TRUE(Subsystem->GetTimeInterface()->QueryServerUtcTime());
    ASSERT_TRUE(TickUntil([&Result] { return !Result.IsEmpty(); }));
    EXPECT_TRUE(Result.Contains("T") && Result.Contains(":")) << *Result;
    EXPECT_TRUE(Subsystem->GetTimeInterface()->GetLastServerTime().Equals(Result));
}

TEST_F(FCloudIntegrationTest, NamesHoldingUrlCharactersRoundTripUnchanged)
{
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    RecordEvents();
    const FUniqueNetIdPtr User = Identity().GetUniquePlayerId(0);
    // Each character would end the path, start or split the query, or be decoded as something else.
    const FString Name("a?b&c=d#e%25f+g.sav");
    TArray<uint8> Data(reinterpret_cast<const uint8*>("odd"), 3);
    ASSERT_TRUE(Cloud().WriteUserFile(*User, Name, Data));
    EXPECT_EQ(WaitForEvent(1), "write 1 " + Name.ToStdString());

    Cloud().EnumerateUserFiles(*User);
    EXPECT_EQ(WaitForEvent(2), "list 1");
    TArray<FCloudFileHeader> Files;
    Cloud().GetUserFileList(*User, Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_EQ(Files[0].DLName, Name);
    EXPECT_EQ(Files[0].FileName, Name);

    ASSERT_TRUE(Cloud().DeleteUserFile(*User, Name, false, true));
    EXPECT_EQ(WaitForEvent(3), "delete 1 " + Name.ToStdString());
    ASSERT_TRUE(Cloud().ReadUserFile(*User, Name));
    EXPECT_EQ(WaitForEvent(4), "read 1 " + Name.ToStdString());
    EXPECT_EQ(Contents(Name), "odd");

    // A blank is refused before anything is sent.
    EXPECT_FALSE(Cloud().WriteUserFile(*User, "a b.sav", Data));
    EXPECT_EQ(WaitForEvent(5), "write 0 a b.sav");
}

namespace
{
using ZorTestCases::PrintTo;

struct FListAnswerCase
{
    const char* Name;
    int32 Code;
    const char* Body;
    bool bListSucceeds;
    /** Copies on disk before the list, beside the saved "a.sav"; the ones left after it, sorted. */
    std::vector<std::string> OtherCopies;
    std::vector<std::string> Left;
};

/**
 * The demo user logged in at the backend while a small server of the test stands for the user-cloud service,
 * answering every upload 200 and every list as the case says.
 */
class FCloudListAnswerTest : public FCloudIntegrationTest,
                             public ::testing::WithParamInterface<FListAnswerCase>
{
protected:
    void SetUp() override
    {
        Cloudlike.Put(".*", [](const httplib::Request&, httplib::Response& Res) { Res.status = 200; });
        Cloudlike.Get(".*",
                      [](const httplib::Request&, httplib::Response& Res)
                      {
                          Res.status = GetParam().Code;
                          Res.set_content(GetParam().Body, "application/json");
                      });
        CloudlikePort = Cloudlike.bind_to_any_port("127.0.0.1");
        ASSERT_GT(CloudlikePort, 0);
        Listener = std::thread([this] { Cloudlike.listen_after_bind(); });
        FCloudIntegrationTest::SetUp();
    }
    void TearDown() override
    {
        FCloudIntegrationTest::TearDown();
        Cloudlike.stop();
        if (Listener.joinable())
        {
            Listener.join();
        }
    }
    FString ExtraIni() const override
    {
        return FCloudIntegrationTest::ExtraIni() +
               FString::Printf("[OnlineSubsystemZor.OnlineUserCloudZor]\nDomain=127.0.0.1:%d\n",
                               CloudlikePort);
    }

    std::vector<std::string> CopiesLeft(const fs::path& Dir) const
    {
        std::vector<std::string> Names;
        for (const fs::directory_entry& Entry : fs::directory_iterator(Dir))
        {
            Names.push_back(Entry.path().filename().string());
        }
        std::sort(Names.begin(), Names.end());
        return Names;
    }

    httplib::Server Cloudlike;
    int CloudlikePort = 0;
    std::thread Listener;
};

const FListAnswerCase ListAnswerCases[] = {
    {"RedirectedEmptyList", 302, "[]", false, {}, {"a.sav"}},
    {"NotModifiedEmptyList", 304, "[]", false, {}, {"a.sav"}},
    {"EmptyBody", 200, "", false, {}, {"a.sav"}},
    {"EmptyText", 200, R"("")", false, {}, {"a.sav"}},
    {"EmptyObject", 200, "{}", false, {}, {"a.sav"}},
    {"Null", 200, "null", false, {}, {"a.sav"}},
    {"ListUnderAKey", 200, R"({"files":[]})", false, {}, {"a.sav"}},
    {"UniqueNameNotText",
     200,
     R"([{"hash":"h","uniqueFilename":7,"filename":"a.sav"}])",
     false,
     {},
     {"a.sav"}},
    {"EmptyListSweeps", 200, "[]", true, {}, {}},
    {"NamesDifferingInCaseKeepTheirOwnCopies",
     200,
     R"([{"hash":"h","uniqueFilename":"Pair.sav"},{"hash":"h","uniqueFilename":"pair.sav"}])",
     true,
     {"Pair.sav", "pair.sav", "PAIR.sav"},
     {"Pair.sav", "pair.sav"}},
};
} // namespace

TEST_P(FCloudListAnswerTest, AListThatDidNotReadWellSweepsNothing)
{
    const FListAnswerCase& Case = GetParam();
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    RecordEvents();
    const FUniqueNetIdPtr User = Identity().GetUniquePlayerId(0);
    const fs::path Dir = Root / "Saved" / "Cloud" / User->ToString().ToStdString();
    TArray<uint8> Data(reinterpret_cast<const uint8*>("hello"), 5);
    ASSERT_TRUE(Cloud().WriteUserFile(*User, "a.sav", Data));
    ASSERT_EQ(WaitForEvent(1), "write 1 a.sav");
    ASSERT_TRUE(fs::exists(Dir / "a.sav"));
    for (const std::string& Name : Case.OtherCopies)
    {
        std::ofstream(Dir / Name) << Name;
    }

    Cloud().EnumerateUserFiles(*User);
    EXPECT_EQ(WaitForEvent(2), Case.bListSucceeds ? "list 1" : "list 0");
    EXPECT_EQ(CopiesLeft(Dir), Case.Left);
}

INSTANTIATE_TEST_SUITE_P(Answers, FCloudListAnswerTest, ::testing::ValuesIn(ListAnswerCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
