#include "Common/ZorCallSet.h"
#include "ZorSubsystemTest.h"

namespace
{
/** A service of the game family that opens its calls to the tests. */
class FTestServiceZor : public FGameServiceZor
{
public:
    explicit FTestServiceZor(FOnlineSubsystemZor* InSubsystem) : FGameServiceZor(InSubsystem, "TestSection")
    {
    }
    using FBaseServiceZor::GetCalls;
};

/** What handlers saw, shared so that it outlives a destroyed service. */
struct FSeen
{
    TArray<FString> Errors;
    int32 Runs = 0;
};

class FZorCallSetTest : public FZorSubsystemTest
{
protected:
    FZorCallSetTest()
    {
        CreateSubsystem();
        Service = MakeShared<FTestServiceZor>(Subsystem.Get());
        Service->Init();
    }

    FZorCall Call(const FString& Operation = "Test op")
    {
        FZorCall Described;
        Described.Operation = Operation;
        Described.Url = Service->GetBaseUrl() + "/items/`id?filter=`filter";
        Described.Values = {{"`id", "a/b"}, {"`filter", "x&y"}};
        return Described;
    }
    FZorReplyHandler Record()
    {
        return [Seen = Seen](FZorReply& Reply)
        {
            Reply.Check();
            ++Seen->Runs;
            Seen->Errors.Add(Reply.GetErrorText());
        };
    }

    TSharedPtr<FTestServiceZor> Service;
    TSharedRef<FSeen> Seen = MakeShared<FSeen>();
};
} // namespace

TEST_F(FZorCallSetTest, SendBuildsTheRequestFromItsDescriptionAndLogsOneMaskedStartLine)
{
    FZorCall Described = Call();
    Described.Verb = "POST";
    Described.ContentType = "application/x-www-form-urlencoded";
    Described.Body = "grant_type=password&password=pw-secret";
    Described.Headers = {{"Authorization", "basic abc"}};
    Described.Secrets = {"tok-secret"};
    Described.SendingLine = "Sending Test request. token=tok-secret " + Described.Body;
    ASSERT_TRUE(Service->GetCalls().Send(Described, Record()));

    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_EXACT_EQ(Sent.URL, FString("http://127.0.0.1:8080/items/a%2Fb?filter=x%26y"));
    EXPECT_EQ(Sent.Verb, FString("POST"));
    EXPECT_EQ(ZorExact::Header(Sent, "Content-Type"), FString("application/x-www-form-urlencoded"));
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), FString("basic abc"));
    EXPECT_EXACT_EQ(Sent.GetContentAsString(), Described.Body);
    EXPECT_EQ(Log.Count("Sending Test request. token=<redacted> grant_type=password&password=<redacted>"), 1);
    EXPECT_FALSE(Log.Contains("secret"));

    RespondOldest(200, "{}");
    FZorCall Bare = Call("Other op");
    Bare.ContentType = FString();
    ASSERT_TRUE(Service->GetCalls().Send(Bare, Record()));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Verbose, "Starting Other op request."));
    EXPECT_EQ(Oldest().Headers.Find("Content-Type"), nullptr);
}

TEST_F(FZorCallSetTest, HandlerRunsOnceWithTheReplyAndThePendingKeyLastsUntilThen)
{
    FZorCall Described = Call();
    Described.PendingKey = "login:0";
    ASSERT_TRUE(Service->GetCalls().Send(Described, Record()));
    EXPECT_TRUE(Service->GetCalls().IsPending("LOGIN:0"));
    EXPECT_FALSE(Service->GetCalls().IsPending("login:1"));
    RespondOldest(200, "{}");
    Tick(3);
    EXPECT_EQ(Seen->Runs, 1);
    EXPECT_EQ(Seen->Errors[0], FString());
    EXPECT_FALSE(Service->GetCalls().IsPending("login:0"));
    EXPECT_EQ(Service->GetCalls().Num(), 0);
}

TEST_F(FZorCallSetTest, ShutdownReportsEachCallOnceCancelsItAndIgnoresLateCompletions)
{
    ASSERT_TRUE(Service->GetCalls().Send(Call(), Record()));
    FZorError Error;
    ASSERT_TRUE(Service->GetCalls().SendAsClient(Call(), "testclient", Record(), Error)); // waits on its road
    Service->Shutdown();
    EXPECT_TRUE(Service->IsShutDown());
    EXPECT_EQ(Seen->Runs, 2);
    EXPECT_EQ(Seen->Errors, TArray<FString>({"No response", "No response"}));
    EXPECT_EQ(Http().NumPending(), 1); // the client's login, which identity owns
    Tick(3);
    EXPECT_EQ(Seen->Runs, 2);

    const int32 Started = Http().NumStarted();
    EXPECT_FALSE(Service->GetCalls().Send(Call(), Record()));
    EXPECT_EQ(Seen->Runs, 3); // at once, inside Send
    EXPECT_EQ(Seen->Errors.Last(), FString("No response"));
    EXPECT_FALSE(Service->GetCalls().SendAsUser(Call(), FUniqueNetIdString("acct1"), Record(), Error));
    EXPECT_FALSE(Error.IsError()) << "the handler reported it";
    EXPECT_EQ(Http().NumStarted(), Started);
}

TEST_F(FZorCallSetTest, RoadRefusalIsTheCallersToReport)
{
    FZorError Error;
    EXPECT_FALSE(Service->GetCalls().SendAsUser(Call(), FUniqueNetIdString("nobody"), Record(), Error));
    EXPECT_EQ(Error.Kind, EZorErrorKind::Refused);
    EXPECT_EQ(Error.Text, FString("Invalid user auth for id=nobody. Need to login first"));
    EXPECT_FALSE(Service->GetCalls().SendAsPurchase(Call(), FUniqueNetIdString("nobody"), Record(), Error));
    EXPECT_EQ(Error.Text, FString("Invalid user purchase auth for id=nobody. Need to login first"));
    EXPECT_EQ(Service->GetCalls().Num(), 0);
    Tick(2);
    EXPECT_EQ(Seen->Runs, 0);
}

TEST_F(FZorCallSetTest, ACompletionAfterTheServiceIsGoneIsSkipped)
{
    ASSERT_TRUE(Service->GetCalls().Send(Call(), Record()));
    Service.Reset();
    RespondOldest(200, "{}");
    Tick(2);
    EXPECT_EQ(Seen->Runs, 0);
}

TEST_F(FZorCallSetTest, ARefusedStartCompletesLaterThroughTheHandler)
{
    Http().Shutdown(); // refuses every later start
    EXPECT_FALSE(Service->GetCalls().Send(Call(), Record()));
    EXPECT_EQ(Seen->Runs, 0);
    Tick(2);
    EXPECT_EQ(Seen->Errors, TArray<FString>({"No response"}));
}
