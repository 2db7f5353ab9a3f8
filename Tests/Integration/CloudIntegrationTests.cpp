#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <mutex>
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

/** What the test does between sending the list request and letting its reply go. */
enum class EWhileListed
{
    Nothing,
    WriteNew,
    ReadFromService,
    CloudDeleteB,
};

struct FListAnswerCase
{
    const char* Name;
    int32 Code;
    const char* Body;
    EWhileListed While;
    bool bListSucceeds;
    /** "dlname=filename" per header of the user's list after the reply; of the title list, unless given. */
    const char* Holds;
    /** Copies on disk before the list, beside the saved "a.sav"; the ones left after it, sorted. */
    std::vector<std::string> OtherCopies;
    std::vector<std::string> Left;
    const char* TitlesHold = nullptr;
};

/**
 * The demo user logged in at the backend while a small server of the test stands for the user-cloud and the
 * title-file services: it answers uploads and deletes 200, file downloads with "bytes", and every list as the
 * case says, holding the user's list until the test lets it go.
 */
class FCloudListAnswerTest : public FCloudIntegrationTest,
                             public ::testing::WithParamInterface<FListAnswerCase>
{
protected:
    void SetUp() override
    {
        const auto Ok = [](const httplib::Request&, httplib::Response& Res) { Res.status = 200; };
        Cloudlike.Put(".*", Ok);
        Cloudlike.Delete(".*", Ok);
        Cloudlike.Get(".*/api/cloudstorage/user/[^/]+/.+",
                      [](const httplib::Request&, httplib::Response& Res)
                      {
                          Res.status = 200;
                          Res.set_content("bytes", "application/octet-stream");
                      });
        Cloudlike.Get(".*/api/cloudstorage/user/[^/]+",
                      [this](const httplib::Request&, httplib::Response& Res)
                      {
                          std::unique_lock<std::mutex> Lock(Mutex);
                          Released.wait_for(Lock, std::chrono::seconds(10), [this] { return bReleased; });
                          AnswerList(Res);
                      });
        Cloudlike.Get(".*/api/cloudstorage/system",
                      [](const httplib::Request&, httplib::Response& Res) { AnswerList(Res); });
        CloudlikePort = Cloudlike.bind_to_any_port("127.0.0.1");
        ASSERT_GT(CloudlikePort, 0);
        Listener = std::thread([this] { Cloudlike.listen_after_bind(); });
        FCloudIntegrationTest::SetUp();
    }
    void TearDown() override
    {
        ReleaseList();
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
               FString::Printf("[OnlineSubsystemZor.OnlineUserCloudZor]\nDomain=127.0.0.1:%d\n"
                               "[OnlineSubsystemZor.OnlineTitleFileZor]\nDomain=127.0.0.1:%d\n",
                               CloudlikePort, CloudlikePort);
    }

    static void AnswerList(httplib::Response& Res)
    {
        Res.status = GetParam().Code;
        Res.set_content(GetParam().Body, "application/json");
    }
    void ReleaseList()
    {
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            bReleased = true;
        }
        Released.notify_all();
    }

    /** Does the case's operation while the list is held; the event it waits for. */
    std::string DoWhileListed(const FUniqueNetId& User, int32 EventCount)
    {
        TArray<uint8> Data(reinterpret_cast<const uint8*>("new"), 3);
        switch (GetParam().While)
        {
        case EWhileListed::Nothing:
            return std::string();
        case EWhileListed::WriteNew:
            EXPECT_TRUE(Cloud().WriteUserFile(User, "new.sav", Data));
            break;
        case EWhileListed::ReadFromService:
            EXPECT_TRUE(Cloud().ReadUserFile(User, "r.sav"));
            break;
        case EWhileListed::CloudDeleteB:
            EXPECT_TRUE(Cloud().DeleteUserFile(User, "b.sav", true, false));
            break;
        }
        return WaitForEvent(EventCount);
    }

    static std::string Describe(const TArray<FCloudFileHeader>& Headers)
    {
        TArray<FString> Parts;
        for (const FCloudFileHeader& Header : Headers)
        {
            Parts.Add(Header.DLName + "=" + Header.FileName);
        }
        return FString::Join(Parts, ",").ToStdString();
    }

    static std::vector<std::string> CopiesLeft(const fs::path& Dir)
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
    std::mutex Mutex;
    std::condition_variable Released;
    bool bReleased = false;
};

const FListAnswerCase ListAnswerCases[] = {
    {"RedirectedEmptyList", 302, "[]", EWhileListed::Nothing, false, "a.sav=a.sav", {}, {"a.sav"}, ""},
    {"NotModifiedEmptyList", 304, "[]", EWhileListed::Nothing, false, "a.sav=a.sav", {}, {"a.sav"}, ""},
    {"EmptyBody", 200, "", EWhileListed::Nothing, false, "", {}, {"a.sav"}},
    {"NotJson", 200, "[{", EWhileListed::Nothing, false, "", {}, {"a.sav"}},
    // Elements of which none is an entry tell nothing of what the service lost.
    {"EmptyText", 200, R"("")", EWhileListed::Nothing, true, "", {}, {"a.sav"}},
    {"EmptyObject", 200, "{}", EWhileListed::Nothing, true, "", {}, {"a.sav"}},
    {"Null", 200, "null", EWhileListed::Nothing, true, "", {}, {"a.sav"}},
    {"OnlyNull", 200, "[null]", EWhileListed::Nothing, true, "", {}, {"a.sav"}},
    {"ListUnderAKey", 200, R"({"files":[]})", EWhileListed::Nothing, true, "", {}, {"a.sav"}},
    {"UniqueNameNotText",
     200,
     R"([{"hash":"h","uniqueFilename":7,"filename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "",
     {},
     {"a.sav"}},
    {"EmptyListSweeps", 200, "[]", EWhileListed::Nothing, true, "", {"b.sav"}, {}},
    {"NamesDifferingInCaseKeepTheirOwnCopies",
     200,
     R"([{"hash":"h","uniqueFilename":"Pair.sav"},{"hash":"h","uniqueFilename":"pair.sav"}])",
     EWhileListed::Nothing,
     true,
     "Pair.sav=Pair.sav,pair.sav=pair.sav",
     {"Pair.sav", "pair.sav", "PAIR.sav"},
     {"Pair.sav", "pair.sav"},
     "pair.sav=pair.sav"},
    // A field that is null or not text is absent.
    {"NullFileNameTakesTheUniqueName",
     200,
     R"([{"hash":"h","uniqueFilename":"b.sav","filename":null}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"b.sav"},
     {"b.sav"}},
    {"NumberFileNameTakesTheUniqueName",
     200,
     R"([{"hash":"h","uniqueFilename":"b.sav","filename":2,"length":"x"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"b.sav"},
     {"b.sav"}},
    {"NonObjectElementsSkipped",
     200,
     R"([1,null,"x",[],{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"b.sav", "c.sav"},
     {"b.sav"}},
    // A dropped entry still names a file the service has.
    {"EntryWithoutHashKeepsItsCopy",
     200,
     R"([{"uniqueFilename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"b.sav", "c.sav"},
     {"a.sav", "b.sav"}},
    {"EmptyHashKeepsTheCopyOfItsFileName",
     200,
     R"([{"hash":"","uniqueFilename":"u1","filename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"b.sav", "u1", "c.sav"},
     {"a.sav", "b.sav", "u1"}},
    {"NumberHashKeepsItsCopy",
     200,
     R"([{"hash":1,"uniqueFilename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"c.sav"},
     {"a.sav"}},
    {"EntryWithoutUniqueNameKeepsItsCopy",
     200,
     R"([{"hash":"h","filename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::Nothing,
     true,
     "b.sav=b.sav",
     {"c.sav"},
     {"a.sav"}},
    // A reply sent before a change was answered knows nothing of it.
    {"WriteAnsweredFirstKeepsItsCopyAndHeader",
     200,
     "[]",
     EWhileListed::WriteNew,
     true,
     "new.sav=new.sav",
     {"b.sav"},
     {"new.sav"},
     ""},
    {"WriteAnsweredBeforeAFailedList",
     200,
     "oops",
     EWhileListed::WriteNew,
     false,
     "new.sav=new.sav",
     {},
     {"a.sav", "new.sav"},
     ""},
    {"ReadAnsweredFirstKeepsItsCopy",
     200,
     R"([{"hash":"h","uniqueFilename":"a.sav"}])",
     EWhileListed::ReadFromService,
     true,
     "a.sav=a.sav",
     {"c.sav"},
     {"a.sav", "r.sav"}},
    {"ReadAnsweredFirstKeepsItsCopyBesideOneInOtherCase",
     200,
     R"([{"hash":"h","uniqueFilename":"R.sav"}])",
     EWhileListed::ReadFromService,
     true,
     "R.sav=R.sav",
     {"R.sav"},
     {"R.sav", "r.sav"}},
    {"CloudDeleteAnsweredFirstLeavesTheNameInOtherCase",
     200,
     R"([{"hash":"h","uniqueFilename":"B.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::CloudDeleteB,
     true,
     "B.sav=B.sav",
     {"B.sav"},
     {"B.sav"},
     "b.sav=b.sav"},
    {"CloudDeleteAnsweredFirstStaysDeleted",
     200,
     R"([{"hash":"h","uniqueFilename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])",
     EWhileListed::CloudDeleteB,
     true,
     "a.sav=a.sav",
     {"b.sav"},
     {"a.sav", "b.sav"},
     "a.sav=a.sav,b.sav=b.sav"},
};
} // namespace

TEST_P(FCloudListAnswerTest, ListsHoldWhatTheReplyGivesAndSweepOnlyWhatTheServiceNoLongerHas)
{
    const FListAnswerCase& Case = GetParam();
    LoginDemoUser();
    ASSERT_EQ(LoginResult, "ok");
    RecordEvents();
    const FUniqueNetIdPtr User = Identity().GetUniquePlayerId(0);
    const fs::path Dir = Root / "Saved" / "Cloud" / User->ToString().ToStdString();
    const fs::path TitleCopy = Root / "Saved" / "Cloud" / "QVR" / "t.ini";
    TArray<uint8> Data(reinterpret_cast<const uint8*>("hello"), 5);
    ASSERT_TRUE(Cloud().WriteUserFile(*User, "a.sav", Data));
    ASSERT_EQ(WaitForEvent(1), "write 1 a.sav");
    ASSERT_TRUE(fs::exists(Dir / "a.sav"));
    for (const std::string& Name : Case.OtherCopies)
    {
        std::ofstream(Dir / Name) << Name;
    }
    fs::create_directories(TitleCopy.parent_path());
    std::ofstream(TitleCopy) << "t";

    Cloud().EnumerateUserFiles(*User);
    int32 Count = 2;
    if (Case.While != EWhileListed::Nothing)
    {
        EXPECT_NE(DoWhileListed(*User, Count++).find(" 1 "), std::string::npos) << "the change failed";
    }
    ReleaseList();
    EXPECT_EQ(WaitForEvent(Count++), Case.bListSucceeds ? "list 1" : "list 0");
    TArray<FCloudFileHeader> Files;
    Cloud().GetUserFileList(*User, Files);
    EXPECT_EQ(Describe(Files), Case.Holds);
    EXPECT_EQ(CopiesLeft(Dir), Case.Left);

    ASSERT_TRUE(Titles().EnumerateFiles(FPagedQuery()));
    EXPECT_EQ(WaitForEvent(Count), Case.bListSucceeds ? "titles 1" : "titles 0");
    Titles().GetFileList(Files);
    EXPECT_EQ(Describe(Files), Case.TitlesHold ? Case.TitlesHold : Case.Holds);
    EXPECT_TRUE(fs::exists(TitleCopy)) << "title files never sweep";
}

INSTANTIATE_TEST_SUITE_P(Answers, FCloudListAnswerTest, ::testing::ValuesIn(ListAnswerCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
