#include "CaseNamePrinter.h"
#include "Time/OnlineTimeZor.h"
#include "ZorRows.h"
#include "ZorSubsystemTest.h"

namespace
{
class TimeTest : public FZorSubsystemTest
{
protected:
    TimeTest() { Start(ZorTestIni); }

    void Start(const FString& Ini)
    {
        if (Subsystem)
        {
            Subsystem->Shutdown();
        }
        SetIni(Ini);
        CreateSubsystem();
        Time = Subsystem->GetZorTimeService();
        Time->AddOnQueryServerUtcTimeCompleteDelegate(FOnQueryServerUtcTimeCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Text, const FString& Error)
            { Events.Add(FString::Printf("%d [%s] [%s]", bOk ? 1 : 0, *Text, *Error)); }));
    }

    std::string JoinedEvents() const { return FString::Join(Events, "|").ToStdString(); }

    TSharedPtr<FOnlineTimeZor> Time;
    TArray<FString> Events;
};

using ZorTestCases::PrintTo;

struct FReplyCase
{
    const char* Name;
    int32 Code;
    const char* Body;
    const char* Event;
    const char* LastTime;
};

const FReplyCase ReplyCases[] = {
    {"Good", 200, "2026-12-07T10:00:00.000Z", "1 [2026-12-07T10:00:00.000Z] []", "2026-12-07T10:00:00.000Z"},
    {"NoContent", 204, "", "0 [] [Invalid response code=204]", "earlier:00"},
    {"Redirect", 302, "x:y", "0 [x:y] [Invalid response code=302]", "earlier:00"},
    {"NoColon", 200, "1765101600", "0 [1765101600] [Invalid response payload=1765101600]", "earlier:00"},
    {"EmptyBody", 200, "", "0 [] [Invalid response payload=]", "earlier:00"},
};

using TimeReply = TZorRows<TimeTest, FReplyCase>;
} // namespace

TEST_P(TimeReply, OnlyTwoHundredWithAColonIsATime)
{
    const FReplyCase& Case = GetParam();
    ASSERT_TRUE(Time->QueryServerUtcTime());
    RespondOldest(200, "earlier:00");
    Tick();
    Events.Reset();

    ASSERT_TRUE(Time->QueryServerUtcTime());
    RespondOldest(Case.Code, Case.Body);
    Tick();
    EXPECT_EQ(JoinedEvents(), Case.Event);
    EXPECT_TRUE(Time->GetLastServerTime().Equals(Case.LastTime));
}

INSTANTIATE_TEST_SUITE_P(Replies, TimeReply, ::testing::ValuesIn(ReplyCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(TimeTest, OneQueryAtATimeEachWithAFreshBareRequest)
{
    ASSERT_TRUE(Time->QueryServerUtcTime());
    EXPECT_FALSE(Time->QueryServerUtcTime());
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Still processing previous server time request."));
    EXPECT_EQ(Http().NumStarted(), 1) << "sent at once, on no road";
    const auto First = Oldest();
    EXPECT_TRUE(First.URL.Equals("http://127.0.0.1:8080/api/3/timestamp", ESearchCase::CaseSensitive));
    EXPECT_TRUE(First.Verb.Equals("GET"));
    EXPECT_EQ(First.Headers.Num(), 0);
    Http().Fail(First.Request);
    Tick();
    EXPECT_EQ(JoinedEvents(), "0 [] [No response]");
    EXPECT_TRUE(Log.Contains("Server time request failed. No response"));

    ASSERT_TRUE(Time->QueryServerUtcTime());
    EXPECT_EQ(Http().NumStarted(), 2);
    EXPECT_NE(Oldest().Request, First.Request);
}

TEST_F(TimeTest, FollowsItsLayeredConfigurationAtSendTime)
{
    Start(FString(ZorTestIni) +
          "\n[OnlineSubsystemZor.GameServiceZor]\nServiceName=game\n"
          "[OnlineSubsystemZor.OnlineTimeZor]\nDomain=time.test:9000\nTimeStampUrl=/now\n");
    ASSERT_TRUE(Time->QueryServerUtcTime());
    EXPECT_TRUE(Oldest().URL.Equals("http://time.test:9000/game/now", ESearchCase::CaseSensitive))
        << *Oldest().URL;
}

TEST_F(TimeTest, ShutdownEndsTheQueryOnceAndRefusesLaterOnes)
{
    ASSERT_TRUE(Time->QueryServerUtcTime());
    Time->Shutdown();
    Tick(2);
    EXPECT_FALSE(Time->QueryServerUtcTime());
    EXPECT_EQ(JoinedEvents(), "0 [] [No response]|0 [] [No response]");
    EXPECT_EQ(Http().NumPending(), 0);
}

TEST_F(TimeTest, FollowsUpdateServiceConfigLikeEveryOtherService)
{
    FServiceConfigZor::GetZorConfigurationDelegate().BindLambda(
        [](const FString& Section, const FString&, FServiceConfigZor& Config)
        {
            if (Section == FOnlineTimeZor::SectionName)
            {
                Config.Domain = "moved.test";
            }
        });
    Subsystem->UpdateServiceConfig();
    ASSERT_TRUE(Time->QueryServerUtcTime());
    EXPECT_TRUE(Oldest().URL.Equals("http://moved.test/api/3/timestamp", ESearchCase::CaseSensitive))
        << *Oldest().URL;
}

TEST_F(TimeTest, CloudAndTimeServicesJoinTheSubsystemAndLeaveAtShutdown)
{
    EXPECT_TRUE(Subsystem->GetTimeInterface());
    EXPECT_TRUE(Subsystem->GetUserCloudInterface());
    EXPECT_TRUE(Subsystem->GetTitleFileInterface());
    EXPECT_EQ(Subsystem->GetZorTimeService()->GetIniSectionName(), "OnlineSubsystemZor.OnlineTimeZor");
    Subsystem->Shutdown();
    EXPECT_FALSE(Subsystem->GetTimeInterface());
    EXPECT_FALSE(Subsystem->GetUserCloudInterface());
    EXPECT_FALSE(Subsystem->GetTitleFileInterface());
    EXPECT_FALSE(Subsystem->GetZorTimeService());
    EXPECT_FALSE(Subsystem->GetZorUserCloudService());
    EXPECT_FALSE(Subsystem->GetZorTitleFileService());
    EXPECT_FALSE(Time->QueryServerUtcTime()) << "a service kept past shutdown refuses";
}
