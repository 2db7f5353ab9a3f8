#include "CaseNamePrinter.h"
#include "CloudTest.h"
#include "Core/SecureHash.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "ZorRows.h"

namespace fs = std::filesystem;

namespace
{
const char* const Base = "http://127.0.0.1:8080/api/cloudstorage/user/";

FString Sha1Of(const std::string& Text)
{
    return FSHA1::HashBuffer(Text.data(), Text.size()).ToString().ToLower();
}

class UserCloudTest : public FCloudTest
{
protected:
    UserCloudTest() { Start(ZorTestIni); }

    void Start(const FString& Ini)
    {
        if (Subsystem)
        {
            Subsystem->Shutdown();
        }
        SetIni(Ini);
        CreateSubsystem();
        AddUser("Player1");
        Cloud = Subsystem->GetZorUserCloudService();
        auto Record = [this](const char* Op)
        {
            return [this, Op](bool bOk, const FUniqueNetId& User, const FString& Name)
            { Events.Add(FString::Printf("%s %d %s %s", Op, bOk ? 1 : 0, *User.ToString(), *Name)); };
        };
        Cloud->AddOnReadUserFileCompleteDelegate(
            FOnReadUserFileCompleteDelegate::CreateLambda(Record("read")));
        Cloud->AddOnWriteUserFileCompleteDelegate(
            FOnWriteUserFileCompleteDelegate::CreateLambda(Record("write")));
        Cloud->AddOnDeleteUserFileCompleteDelegate(
            FOnDeleteUserFileCompleteDelegate::CreateLambda(Record("delete")));
        Cloud->AddOnEnumerateUserFilesCompleteDelegate(FOnEnumerateUserFilesCompleteDelegate::CreateLambda(
            [this](bool bOk, const FUniqueNetId& User)
            { Events.Add(FString::Printf("list %d %s", bOk ? 1 : 0, *User.ToString())); }));
    }

    /** Lets the user road send, then answers the request it sent. */
    FInMemoryHttpTransport::FStartedRequest Answer(int32 Code, const FString& Body)
    {
        Tick();
        const FHttpRequestPtr Request = Http().FindOldestPending();
        EXPECT_TRUE(Request) << "nothing was sent";
        if (!Request)
        {
            return {};
        }
        const FInMemoryHttpTransport::FStartedRequest Sent = Record(Request);
        Http().Respond(Request, Code, Body, {}, "application/octet-stream");
        Tick();
        return Sent;
    }

    void List(const FString& User, const FString& Body)
    {
        Cloud->EnumerateUserFiles(FUniqueNetIdString(User));
        Answer(200, Body);
    }

    bool Write(const FString& User, const FString& Name, const std::string& Content)
    {
        TArray<uint8> Data = Bytes(Content);
        return Cloud->WriteUserFile(FUniqueNetIdString(User), Name, Data);
    }

    std::string Contents(const FString& User, const FString& Name)
    {
        TArray<uint8> Data;
        if (!Cloud->GetFileContents(FUniqueNetIdString(User), Name, Data))
        {
            return "<none>";
        }
        return std::string(reinterpret_cast<const char*>(Data.GetData()), Data.Num());
    }

    ECloudFileState State(const FString& Name)
    {
        const FCloudFile* File = Cloud->GetCloudFile(FUniqueNetIdString("Player1"), Name, false);
        return File ? File->AsyncState : ECloudFileState::NotStarted;
    }

    std::string JoinedEvents() const { return FString::Join(Events, "|").ToStdString(); }

    TSharedPtr<FOnlineUserCloudZor> Cloud;
    TArray<FString> Events;
};

using ZorTestCases::PrintTo;

struct FWireCase
{
    const char* Name;
    const char* Op;
    const char* FileName;
    const char* Url;
    const char* Verb;
};

const FWireCase WireCases[] = {
    {"List", "list", "", "Player1", "GET"},
    {"Read", "read", "a.sav", "Player1/a.sav", "GET"},
    {"Write", "write", "a.sav", "Player1/a.sav?filename=a.sav", "PUT"},
    {"Delete", "delete", "a.sav", "Player1/a.sav", "DELETE"},
    {"ReadPathCharacters", "read", "d/x?y#z%", "Player1/d%2Fx%3Fy%23z%25", "GET"},
    {"WriteQueryCharacters", "write", "a&b+c", "Player1/a&b+c?filename=a%26b%2Bc", "PUT"},
};

using UserCloudWire = TZorRows<UserCloudTest, FWireCase>;
} // namespace

TEST_P(UserCloudWire, RequestsGoOutOnTheUserRoadEncoded)
{
    const FWireCase& Case = GetParam();
    const FUniqueNetIdString User("Player1");
    const FString Op = Case.Op;
    if (Op == "list")
    {
        Cloud->EnumerateUserFiles(User);
    }
    else if (Op == "read")
    {
        EXPECT_TRUE(Cloud->ReadUserFile(User, Case.FileName));
    }
    else if (Op == "write")
    {
        EXPECT_TRUE(Write("Player1", Case.FileName, "bytes"));
    }
    else
    {
        EXPECT_TRUE(Cloud->DeleteUserFile(User, Case.FileName, true, false));
    }
    EXPECT_EQ(Http().NumStarted(), 0) << "the user road sends on the tick";
    Tick();
    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_TRUE(Sent.URL.Equals(FString(Base) + Case.Url, ESearchCase::CaseSensitive)) << *Sent.URL;
    EXPECT_TRUE(Sent.Verb.Equals(Case.Verb));
    EXPECT_TRUE(ZorExact::Header(Sent, "Authorization").Equals("bearer access-Player1"));
    EXPECT_TRUE(Sent.GetContentAsString().Equals(Op == "write" ? "bytes" : ""));
}

INSTANTIATE_TEST_SUITE_P(Operations, UserCloudWire, ::testing::ValuesIn(WireCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(UserCloudTest, ListReplacesTheListAndSweepsOnlyUnlistedCopies)
{
    WriteFile(CloudDir() / "Player1" / "shown.sav", "1");
    WriteFile(CloudDir() / "Player1" / "unique-1", "2");
    WriteFile(CloudDir() / "Player1" / "stale.sav", "3");
    Write("Player1", "uploaded", "x");
    Answer(200, "");

    List("Player1", R"( [{"hash":"h","uniqueFilename":"unique-1","filename":"shown.sav","length":1}])");

    TArray<FCloudFileHeader> Files;
    Cloud->GetUserFileList(FUniqueNetIdString("Player1"), Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_TRUE(Files[0].DLName.Equals("unique-1"));
    EXPECT_EQ(FilesUnderRoot(), "Saved/Cloud/Player1/shown.sav,Saved/Cloud/Player1/unique-1");

    Cloud->EnumerateUserFiles(FUniqueNetIdString("Player1"));
    Answer(500, R"({"errorCode":"x"})");
    Cloud->GetUserFileList(FUniqueNetIdString("Player1"), Files);
    EXPECT_EQ(Files.Num(), 1) << "a failed answer keeps the list";
    EXPECT_TRUE(Log.Contains(
        "EnumerateUserFiles request failed. Invalid response. code=500 error={\"errorCode\":\"x\"}"));

    Cloud->EnumerateUserFiles(FUniqueNetIdString("Player1"));
    Answer(200, "not json");
    Cloud->GetUserFileList(FUniqueNetIdString("Player1"), Files);
    EXPECT_EQ(Files.Num(), 0);
    EXPECT_TRUE(Log.Contains("EnumerateUserFiles request failed. Invalid response payload=[not json]"));
    EXPECT_EQ(JoinedEvents(), "write 1 Player1 uploaded|list 1 Player1|list 0 Player1|list 0 Player1");
}

TEST_F(UserCloudTest, SecondListOfTheSameUserWaitsForTheFirst)
{
    Cloud->EnumerateUserFiles(FUniqueNetIdString("Player1"));
    Cloud->EnumerateUserFiles(FUniqueNetIdString("Player1"));
    Cloud->EnumerateUserFiles(FUniqueNetIdString(""));
    EXPECT_EQ(JoinedEvents(), "list 0 Player1|list 0 ");
    EXPECT_TRUE(Log.Contains("EnumerateUserFiles request failed. Already pending for user=Player1"));
    EXPECT_TRUE(Log.Contains("EnumerateUserFiles request failed. Invalid userid"));
}

namespace
{
struct FCacheCase
{
    const char* Name;
    /** Null: no cached copy. */
    const char* Cached;
    /** Null: no header listed. */
    const char* ListedContent;
    bool bUpperCaseHash;
    bool bServedFromCache;
};

const FCacheCase CacheCases[] = {
    {"Hit", "abc", "abc", false, true},
    {"HitUpperCaseHash", "abc", "abc", true, true},
    {"ChangedContent", "abd", "abc", false, false},
    {"TruncatedCopy", "ab", "abc", false, false},
    {"EmptyCopy", "", "abc", false, false},
    {"NoCopy", nullptr, "abc", false, false},
    {"NotListed", "abc", nullptr, false, false},
};

using UserCloudCache = TZorRows<UserCloudTest, FCacheCase>;
} // namespace

TEST_P(UserCloudCache, ReadUsesTheCopyOnlyWhenItsHashMatches)
{
    const FCacheCase& Case = GetParam();
    if (Case.Cached)
    {
        WriteFile(CloudDir() / "Player1" / "a.sav", Case.Cached);
    }
    if (Case.ListedContent)
    {
        const FString Hash = Sha1Of(Case.ListedContent);
        List("Player1", FString::Printf(R"([{"hash":"%s","uniqueFilename":"a.sav"}])",
                                        *(Case.bUpperCaseHash ? Hash.ToUpper() : Hash)));
    }
    Events.Reset();

    EXPECT_TRUE(Cloud->ReadUserFile(FUniqueNetIdString("Player1"), "a.sav"));
    if (Case.bServedFromCache)
    {
        EXPECT_EQ(JoinedEvents(), "read 1 Player1 a.sav") << "fires before the call returns";
        EXPECT_EQ(Http().NumStarted(), Case.ListedContent ? 1 : 0);
        EXPECT_EQ(Contents("Player1", "a.sav"), "abc");
        return;
    }
    EXPECT_TRUE(Events.IsEmpty());
    EXPECT_EQ(Contents("Player1", "a.sav"), "") << "a rejected copy is not kept";
    Answer(200, "fresh");
    EXPECT_EQ(JoinedEvents(), "read 1 Player1 a.sav");
    EXPECT_EQ(Contents("Player1", "a.sav"), "fresh");
    EXPECT_EQ(ReadFile(CloudDir() / "Player1" / "a.sav"), "fresh");
}

INSTANTIATE_TEST_SUITE_P(Copies, UserCloudCache, ::testing::ValuesIn(CacheCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(UserCloudTest, ReadAfterThisRunsUploadDownloadsAndOnlyTwoHundredsAreFiles)
{
    ASSERT_TRUE(Write("Player1", "a.sav", "mine"));
    Answer(200, "");
    EXPECT_EQ(ReadFile(CloudDir() / "Player1" / "a.sav"), "mine");

    EXPECT_TRUE(Cloud->ReadUserFile(FUniqueNetIdString("Player1"), "a.sav"));
    EXPECT_EQ(Answer(302, "<html>moved</html>").Verb, "GET") << "an upload's header has no hash: download";
    EXPECT_EQ(State("a.sav"), ECloudFileState::Failed);
    EXPECT_EQ(Contents("Player1", "a.sav"), "");
    EXPECT_EQ(ReadFile(CloudDir() / "Player1" / "a.sav"), "mine") << "a redirect page is not cached";
    EXPECT_TRUE(
        Log.Contains("ReadUserFile request failed. Invalid response. code=302 error=<html>moved</html>"));
    EXPECT_EQ(JoinedEvents(), "write 1 Player1 a.sav|read 0 Player1 a.sav");
}

TEST_F(UserCloudTest, UploadsRecordTheirSizeAndReplaceTheirHeader)
{
    List("Player1", R"([{"hash":"h","uniqueFilename":"A.sav","filename":"Shown","length":99}])");
    ASSERT_TRUE(Write("Player1", "a.sav", "12345"));
    Answer(200, "");
    ASSERT_TRUE(Write("Player1", "a.sav", "123"));
    Answer(204, "");

    TArray<FCloudFileHeader> Files;
    Cloud->GetUserFileList(FUniqueNetIdString("Player1"), Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_TRUE(Files[0].Hash.IsEmpty());
    EXPECT_EQ(Files[0].FileSize, 3);
    EXPECT_EQ(Contents("Player1", "a.sav"), "123");
    EXPECT_EQ(State("a.sav"), ECloudFileState::Done);
}

TEST_F(UserCloudTest, StartChecksRefuseAtOnce)
{
    const FUniqueNetIdString User("Player1");
    EXPECT_TRUE(Cloud->ReadUserFile(User, "a.sav"));
    EXPECT_FALSE(Cloud->ReadUserFile(User, "A.SAV"));
    EXPECT_FALSE(Write("Player1", "a.SAV", "x"));
    EXPECT_FALSE(Cloud->ReadUserFile(User, "with blank"));
    EXPECT_FALSE(Cloud->DeleteUserFile(User, "", true, true));
    EXPECT_FALSE(Cloud->ReadUserFile(FUniqueNetIdString(""), "a.sav"));
    EXPECT_FALSE(Cloud->DeleteUserFile(User, "b.sav", false, false));
    EXPECT_EQ(JoinedEvents(), "read 0 Player1 A.SAV|write 0 Player1 a.SAV|read 0 Player1 with blank|"
                              "delete 0 Player1 |read 0  a.sav|delete 0 Player1 b.sav");
    EXPECT_EQ(Log.Count("File request already pending for user=Player1"), 2);
    EXPECT_TRUE(
        Log.Contains("ReadUserFile request failed. Invalid filename user=Player1 filename=with blank"));
    EXPECT_TRUE(Log.Contains("DeleteUserFile request failed. Nothing to do. Use bShouldCloudDelete and/or "
                             "bShouldLocallyDelete"));
    EXPECT_FALSE(Cloud->ClearFile(User, "a.sav")) << "a read in flight is kept";
    EXPECT_FALSE(Cloud->ClearFiles(User));
}

TEST_F(UserCloudTest, RefusedRoadLeavesTheEntryFailedNotInProgress)
{
    const FUniqueNetIdString Stranger("Stranger");
    EXPECT_FALSE(Cloud->ReadUserFile(Stranger, "a.sav"));
    EXPECT_TRUE(
        Log.Contains("ReadUserFile request failed. Invalid user auth for id=Stranger. Need to login first"));
    const FCloudFile* File = Cloud->GetCloudFile(Stranger, "a.sav", false);
    ASSERT_TRUE(File);
    EXPECT_EQ(File->AsyncState, ECloudFileState::Failed);
    EXPECT_TRUE(Cloud->ClearFiles(Stranger));
    EXPECT_EQ(JoinedEvents(), "read 0 Stranger a.sav");
}

TEST_F(UserCloudTest, UserIdsDifferingInCaseAreDifferentUsers)
{
    AddUser("player1");
    ASSERT_TRUE(Write("Player1", "a.sav", "upper"));
    Answer(200, "");
    EXPECT_EQ(Contents("Player1", "a.sav"), "upper");
    EXPECT_EQ(Contents("player1", "a.sav"), "<none>");
    TArray<FCloudFileHeader> Files;
    Cloud->GetUserFileList(FUniqueNetIdString("player1"), Files);
    EXPECT_EQ(Files.Num(), 0);
    EXPECT_TRUE(Write("player1", "a.sav", "lower")) << "no pending request of another user blocks it";
}

TEST_F(UserCloudTest, DeleteFiresItsEventExactlyOnce)
{
    const FUniqueNetIdString User("Player1");
    ASSERT_TRUE(Write("Player1", "a.sav", "x"));
    Answer(200, "");
    ASSERT_TRUE(fs::exists(CloudDir() / "Player1" / "a.sav"));
    EXPECT_TRUE(Cloud->DeleteUserFile(User, "A.sav", false, true));
    EXPECT_FALSE(fs::exists(CloudDir() / "Player1" / "a.sav")) << "deletes under the entry's own name";
    EXPECT_EQ(JoinedEvents(), "write 1 Player1 a.sav|delete 1 Player1 A.sav");

    List("Player1", R"([{"hash":"h","uniqueFilename":"a.sav"},{"hash":"h","uniqueFilename":"b.sav"}])");
    Events.Reset();
    EXPECT_TRUE(Cloud->DeleteUserFile(User, "A.SAV", true, false));
    Answer(200, "");
    TArray<FCloudFileHeader> Files;
    Cloud->GetUserFileList(User, Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_TRUE(Files[0].DLName.Equals("b.sav"));
    EXPECT_EQ(JoinedEvents(), "delete 1 Player1 A.SAV");
    // Where case counts, the header named letter for letter goes, not the first in other case.
    List("Player1", R"([{"hash":"h","uniqueFilename":"B.sav"},{"hash":"h","uniqueFilename":"b.sav"}])");
    EXPECT_TRUE(Cloud->DeleteUserFile(User, "b.sav", true, false));
    Answer(200, "");
    Cloud->GetUserFileList(User, Files);
    ASSERT_EQ(Files.Num(), 1);
    EXPECT_TRUE(Files[0].DLName.Equals("B.sav", ESearchCase::CaseSensitive));

    Start(FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineUserCloudZor]\nbCacheFiles=false\n");
    Events.Reset();
    EXPECT_FALSE(Cloud->DeleteUserFile(User, "a.sav", false, true));
    EXPECT_EQ(JoinedEvents(), "delete 0 Player1 a.sav");
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "DeleteUserFile request failed. "));
}

namespace
{
const char* const HostileNames[] = {"..",       "../escape.sav", "a/../../escape.sav",
                                    "/abs.sav", "C:drive.sav",   "back\\slash.sav"};

class UserCloudHostileName : public UserCloudTest, public ::testing::WithParamInterface<const char*>
{
};
} // namespace

TEST_P(UserCloudHostileName, SkipsTheCacheButStillReachesTheService)
{
    WriteFile(Root / "escape.sav", "outside");
    WriteFile(Root / "Saved" / "escape.sav", "outside");
    const FUniqueNetIdString User("Player1");
    ASSERT_TRUE(Write("Player1", GetParam(), "payload"));
    EXPECT_EQ(Answer(200, "").Verb, "PUT");
    ASSERT_TRUE(Cloud->ReadUserFile(User, GetParam()));
    Answer(200, "downloaded");
    EXPECT_EQ(Contents("Player1", GetParam()), "downloaded");
    EXPECT_FALSE(Cloud->DeleteUserFile(User, GetParam(), false, true)) << "a local-only delete fails";
    ASSERT_TRUE(Cloud->DeleteUserFile(User, GetParam(), true, true));
    Answer(200, "");
    EXPECT_EQ(FilesUnderRoot(), "Saved/escape.sav,escape.sav");
    EXPECT_EQ(ReadFile(Root / "escape.sav"), "outside");
}

INSTANTIATE_TEST_SUITE_P(Names, UserCloudHostileName, ::testing::ValuesIn(HostileNames));

TEST_F(UserCloudTest, HostileUserIdsNeverSweepOrWriteOutsideTheirFolder)
{
    WriteFile(CloudDir() / "stale.sav", "cloud root");
    WriteFile(Root / "Saved" / "outside.sav", "saved");
    for (const char* Id : {"..", ".", "../Saved", "a\\b", "C:"})
    {
        AddUser(Id);
        List(Id, "[]");
        ASSERT_TRUE(Write(Id, "a.sav", "x"));
        Answer(200, "");
    }
    EXPECT_EQ(FilesUnderRoot(), "Saved/Cloud/stale.sav,Saved/outside.sav");
}

TEST_F(UserCloudTest, ShutdownEndsPendingOperationsOnceAndRefusesNewOnes)
{
    const FUniqueNetIdString User("Player1");
    Cloud->EnumerateUserFiles(User);
    ASSERT_TRUE(Cloud->ReadUserFile(User, "a.sav"));
    Tick();
    Cloud->Shutdown();
    EXPECT_EQ(JoinedEvents(), "list 0 Player1|read 0 Player1 a.sav");
    EXPECT_EQ(State("a.sav"), ECloudFileState::Failed);
    Tick(3);
    EXPECT_FALSE(Cloud->ReadUserFile(User, "b.sav"));
    EXPECT_EQ(JoinedEvents(), "list 0 Player1|read 0 Player1 a.sav|read 0 Player1 b.sav");
    EXPECT_EQ(Http().NumPending(), 0);
}
