#include "CaseNamePrinter.h"
#include "CloudTest.h"
#include "Core/SecureHash.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "ZorRows.h"

namespace fs = std::filesystem;

namespace
{
const char* const ListUrl = "http://127.0.0.1:8080/api/cloudstorage/system";

class TitleFileTest : public FCloudTest
{
protected:
    TitleFileTest() { Start(ZorTestIni); }

    void Start(const FString& Ini)
    {
        if (Subsystem)
        {
            Subsystem->Shutdown();
        }
        SetIni(Ini);
        CreateSubsystem();
        Titles = Subsystem->GetZorTitleFileService();
        Titles->AddOnEnumerateFilesCompleteDelegate(FOnEnumerateFilesCompleteDelegate::CreateLambda(
            [this](bool bOk) { Events.Add(FString::Printf("list %d", bOk ? 1 : 0)); }));
        Titles->AddOnReadFileCompleteDelegate(FOnReadFileCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Name)
            { Events.Add(FString::Printf("read %d %s", bOk ? 1 : 0, *Name)); }));
    }

    /** Grants the application client its token the first time, then answers the next request. */
    FInMemoryHttpTransport::FStartedRequest Answer(int32 Code, const FString& Body)
    {
        Tick();
        if (const FHttpRequestPtr Grant = FindPending("/api/oauth/token"))
        {
            Http().Respond(Grant, 200,
                           R"({"access_token":"client-token","expires_in":3600,"token_type":"bearer",)"
                           R"("client_id":"testclient"})");
            Tick(2);
        }
        const FHttpRequestPtr Request = FindPending("/api/cloudstorage/");
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

    FInMemoryHttpTransport::FStartedRequest Page(const FPagedQuery& Query, int32 Code, const FString& Body)
    {
        EXPECT_TRUE(Titles->EnumerateFiles(Query));
        return Answer(Code, Body);
    }

    std::string ListedNames()
    {
        TArray<FCloudFileHeader> Files;
        Titles->GetFileList(Files);
        TArray<FString> Names;
        for (const FCloudFileHeader& File : Files)
        {
            Names.Add(File.DLName + "=" + File.FileName);
        }
        return FString::Join(Names, ",").ToStdString();
    }

    std::string Contents(const FString& Name)
    {
        TArray<uint8> Data;
        if (!Titles->GetFileContents(Name, Data))
        {
            return "<none>";
        }
        return std::string(reinterpret_cast<const char*>(Data.GetData()), Data.Num());
    }

    std::string JoinedEvents() const { return FString::Join(Events, "|").ToStdString(); }

    TSharedPtr<FOnlineTitleFileZor> Titles;
    TArray<FString> Events;
};

const char* const FirstPage = R"([{"hash":"h1","uniqueFilename":"a","filename":"A.ini"},)"
                              R"({"hash":"h2","uniqueFilename":"b"}])";

using ZorTestCases::PrintTo;

struct FPageCase
{
    const char* Name;
    int32 Start;
    int32 Count;
    const char* Query;
    bool bReplaces;
};

const FPageCase PageCases[] = {
    {"NoPaging", -1, -1, "", true},
    {"FirstPageWithoutCount", 0, -1, "", true},
    {"FirstPage", 0, 20, "?start=0&count=20", true},
    {"LaterPage", 20, 20, "?start=20&count=20", false},
    {"LaterStartWithoutCount", 20, -1, "", true},
};

using TitleFilePaging = TZorRows<TitleFileTest, FPageCase>;
} // namespace

TEST_P(TitleFilePaging, PagesReplaceOrMergeAsTheirQuerySays)
{
    const FPageCase& Case = GetParam();
    Page(FPagedQuery(), 200, FirstPage);
    const auto Sent = Page(FPagedQuery(Case.Start, Case.Count), 200,
                           R"( [{"hash":"h3","uniqueFilename":"B","filename":"B.ini"},)"
                           R"({"hash":"h4","uniqueFilename":"c"}])");
    EXPECT_TRUE(Sent.URL.Equals(FString(ListUrl) + Case.Query, ESearchCase::CaseSensitive)) << *Sent.URL;
    EXPECT_TRUE(ZorExact::Header(Sent, "Authorization").Equals("bearer client-token"));
    EXPECT_EQ(ListedNames(), Case.bReplaces ? "B=B.ini,c=c" : "a=A.ini,B=B.ini,c=c");
    EXPECT_EQ(JoinedEvents(), "list 1|list 1");
}

INSTANTIATE_TEST_SUITE_P(Queries, TitleFilePaging, ::testing::ValuesIn(PageCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(TitleFileTest, FirstPageEmptiesTheListOnlyAfterAnAnswerThatCounts)
{
    Page(FPagedQuery(), 200, FirstPage);
    Page(FPagedQuery(0, 10), 500, "down");
    EXPECT_EQ(ListedNames(), "a=A.ini,b=b");
    EXPECT_TRUE(Log.Contains("EnumerateFiles request failed. Invalid response. code=500 error=down"));
    Page(FPagedQuery(0, 10), 200, " oops");
    EXPECT_EQ(ListedNames(), "");
    EXPECT_TRUE(Log.Contains("EnumerateFiles request failed. Invalid response payload=[oops]"));
    EXPECT_EQ(JoinedEvents(), "list 1|list 0|list 0");
}

TEST_F(TitleFileTest, OneEnumerationAtATime)
{
    EXPECT_TRUE(Titles->EnumerateFiles(FPagedQuery()));
    EXPECT_FALSE(Titles->EnumerateFiles(FPagedQuery(0, 5)));
    EXPECT_TRUE(Log.Contains("EnumerateFiles request failed. Request already in progress."));
    EXPECT_EQ(JoinedEvents(), "list 0");
}

TEST_F(TitleFileTest, ReadIsCachedUnderItsEntryNameAndServedAgainWhileTheHashMatches)
{
    const std::string Body = "[Game]\nSpeed=2\n";
    const FString Hash = FSHA1::HashBuffer(Body.data(), Body.size()).ToString();
    Page(FPagedQuery(), 200, FString::Printf(R"([{"hash":"%s","uniqueFilename":"game.ini"}])", *Hash));

    ASSERT_TRUE(Titles->ReadFile("Game.ini"));
    const auto Sent = Answer(200, FString(Body));
    EXPECT_TRUE(Sent.URL.Equals(FString(ListUrl) + "/Game.ini", ESearchCase::CaseSensitive)) << *Sent.URL;
    EXPECT_EQ(FCloudTest::ReadFile(CloudDir() / "QVR" / "Game.ini"), Body);

    const int32 Started = Http().NumStarted();
    ASSERT_TRUE(Titles->ReadFile("GAME.INI"));
    EXPECT_EQ(Http().NumStarted(), Started);
    EXPECT_EQ(JoinedEvents(), "list 1|read 1 Game.ini|read 1 GAME.INI");
    EXPECT_EQ(Contents("game.ini"), Body);

    WriteFile(CloudDir() / "QVR" / "Game.ini", Body.substr(0, 4));
    ASSERT_TRUE(Titles->ReadFile("game.ini"));
    Answer(302, "elsewhere");
    EXPECT_EQ(Contents("game.ini"), "");
    EXPECT_TRUE(Log.Contains("ReadFile request failed. Invalid response. code=302 error=elsewhere"));
}

TEST_F(TitleFileTest, ACopyOnDiskWithoutAListedHeaderIsDownloaded)
{
    const std::string Copy = "[Game]\nSpeed=1\n";
    const FString Hash = FSHA1::HashBuffer(Copy.data(), Copy.size()).ToString();
    for (const bool bListed : {false, true})
    {
        if (bListed)
        {
            Page(FPagedQuery(), 200,
                 FString::Printf(R"([{"hash":"%s","uniqueFilename":"other.ini"}])", *Hash));
        }
        WriteFile(CloudDir() / "QVR" / "Game.ini", Copy);
        ASSERT_TRUE(Titles->ReadFile("Game.ini"));
        EXPECT_TRUE(Answer(200, "fresh").URL.EndsWith("/Game.ini", ESearchCase::CaseSensitive)) << bListed;
        EXPECT_EQ(Contents("Game.ini"), "fresh") << bListed;
    }
}

TEST_F(TitleFileTest, ReadStartChecks)
{
    EXPECT_TRUE(Titles->ReadFile("a.ini"));
    EXPECT_FALSE(Titles->ReadFile("A.INI"));
    EXPECT_FALSE(Titles->ReadFile("has blank"));
    EXPECT_FALSE(Titles->ReadFile(""));
    EXPECT_EQ(JoinedEvents(), "read 0 A.INI|read 0 has blank|read 0 ");
    EXPECT_TRUE(Log.Contains("ReadFile request failed. File request already pending for filename=A.INI"));
    EXPECT_TRUE(Log.Contains("ReadFile request failed. Invalid filename filename=has blank"));
    EXPECT_FALSE(Titles->ClearFile("a.ini"));
    EXPECT_FALSE(Titles->ClearFiles());
    Answer(200, "x");
    EXPECT_TRUE(Titles->ClearFile("A.ini"));
    EXPECT_TRUE(Titles->ClearFiles());
}

TEST_F(TitleFileTest, OnlyTheLowerCasePlaceholderIsFilledAndValuesAreEncoded)
{
    const FString Ini = FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineTitleFileZor]\n"
                                              "FileUrl=/api/cloudstorage/system/`FileName/`filename\n";
    Start(Ini);
    ASSERT_TRUE(Titles->ReadFile("d/x?y"));
    const auto Sent = Answer(200, "x");
    EXPECT_TRUE(Sent.URL.Equals(FString(ListUrl) + "/`FileName/d%2Fx%3Fy", ESearchCase::CaseSensitive))
        << *Sent.URL;
}

TEST_F(TitleFileTest, HostileNamesNeverReachTheDiskOutsideTheTitleFolder)
{
    WriteFile(Root / "Saved" / "Cloud" / "escape.ini", "outside");
    for (const char* Name : {"../escape.ini", "..", "/abs.ini", "a\\b.ini"})
    {
        ASSERT_TRUE(Titles->ReadFile(Name));
        Answer(200, "downloaded");
        EXPECT_EQ(Contents(Name), "downloaded");
    }
    EXPECT_EQ(FilesUnderRoot(), "Saved/Cloud/escape.ini");
    EXPECT_EQ(FCloudTest::ReadFile(Root / "Saved" / "Cloud" / "escape.ini"), "outside");
}

namespace
{
struct FCachingCase
{
    ENetMode Mode;
    const char* Section;
    bool bCaches;
};

const FCachingCase CachingCases[] = {
    {ENetMode::Standalone, "", true},
    {ENetMode::DedicatedServer, "", false},
    {ENetMode::DedicatedServer, "bCacheFiles=true\n", true},
    {ENetMode::Standalone, "bCacheFiles=false\n", false},
};

using TitleFileCaching = TZorRows<TitleFileTest>;
} // namespace

TEST_P(TitleFileCaching, DedicatedServersCacheOnlyWhenTheIniSaysSo)
{
    const FCachingCase& Case = CachingCases[GetParam()];
    SetHostNetMode(Case.Mode);
    Start(FString(ZorTestIni) + "\n[OnlineSubsystemZor.OnlineTitleFileZor]\n" + Case.Section);
    EXPECT_EQ(Titles->IsCachingFiles(), Case.bCaches) << Case.Section;
}

INSTANTIATE_TEST_SUITE_P(Modes, TitleFileCaching, ::testing::Range(size_t{0}, std::size(CachingCases)));

TEST_F(TitleFileTest, ShutdownEndsPendingOperationsOnce)
{
    EXPECT_TRUE(Titles->EnumerateFiles(FPagedQuery()));
    EXPECT_TRUE(Titles->ReadFile("a.ini"));
    Titles->Shutdown();
    Tick(3);
    EXPECT_FALSE(Titles->ReadFile("b.ini"));
    EXPECT_FALSE(Titles->EnumerateFiles(FPagedQuery()));
    EXPECT_EQ(JoinedEvents(), "list 0|read 0 a.ini|read 0 b.ini|list 0");
}
