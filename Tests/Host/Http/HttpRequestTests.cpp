#include <thread>

#include <gtest/gtest.h>

#include "HttpTestSupport.h"
#include "HttpUrl.h"
#include "InMemoryHttpTransport.h"

using HttpTest::FCompletionLog;

namespace
{
class HttpRequestTest : public ::testing::Test
{
protected:
    FHttpRequestRef Start(const FString& URL, FCompletionLog& Log)
    {
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(URL);
        Log.Watch(Request);
        Request->ProcessRequest();
        return Request;
    }
    static void Tick() { FHttpModule::Get().Tick(0.0f); }

    FScopedInMemoryHttpTransport Transport;
};
} // namespace

TEST(HttpRequestConfig, VerbHeadersAndContent)
{
    FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    EXPECT_EQ(Request->GetVerb(), "GET");
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::NotStarted);
    EXPECT_EQ(Request->GetElapsedTime(), 0.0f);

    Request->SetVerb("patch");
    EXPECT_TRUE(Request->GetVerb().Equals("PATCH"));

    Request->SetHeader("Content-Type", "text/plain");
    Request->SetHeader("X-Trace", "1");
    Request->SetHeader("content-type", "application/json");
    EXPECT_TRUE(Request->GetHeader("CONTENT-TYPE").Equals("application/json"));
    EXPECT_TRUE(Request->GetContentType().Equals("application/json"));
    ASSERT_EQ(Request->GetAllHeaders().Num(), 2);
    EXPECT_TRUE(Request->GetAllHeaders()[0].Equals("content-type: application/json"));
    EXPECT_TRUE(Request->GetAllHeaders()[1].Equals("X-Trace: 1"));

    Request->SetContentAsString("{\"a\":1}");
    EXPECT_EQ(Request->GetContentLength(), 7u);
    const TArray<uint8> Bytes = {0, 1, 0, 255};
    Request->SetContent(Bytes);
    EXPECT_EQ(Request->GetContent(), Bytes);
}

TEST(HttpRequestConfig, RefusesHeaderInjectionAndBadVerbs)
{
    FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetHeader("X-Safe", "value");
    Request->SetHeader("X-Safe", "evil\r\nX-Injected: 1");
    Request->SetHeader("Bad Name", "v");
    Request->SetHeader("Bad:Name", "v");
    Request->SetHeader("", "v");
    EXPECT_TRUE(Request->GetHeader("X-Safe").Equals("value"));
    EXPECT_EQ(Request->GetAllHeaders().Num(), 1);

    Request->SetVerb("GET /other HTTP/1.1\r\n");
    Request->SetVerb("");
    EXPECT_TRUE(Request->GetVerb().Equals("GET"));
}

TEST(HttpUrl, ValidatesAbsoluteHttpUrls)
{
    EXPECT_TRUE(HttpUrl::IsValidHttpUrl("http://127.0.0.1:8080/a"));
    EXPECT_TRUE(HttpUrl::IsValidHttpUrl("HTTPS://example.test"));
    EXPECT_TRUE(HttpUrl::IsValidHttpUrl("http://host?x=1"));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl(""));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl("http://"));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl("http:///path"));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl("ftp://host/file"));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl("file:///etc/passwd"));
    EXPECT_FALSE(HttpUrl::IsValidHttpUrl("/relative/path"));
}

// Services put raw values into URLs: what is not legal, a '#' and a '%' that starts no escape are encoded.
TEST(HttpUrl, EncodesOnlyWhatWouldNotReachTheServerAsWritten)
{
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/a b?q=c d"), "http://h/a%20b?q=c%20d");
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/p?a=1&b=%2F#frag"), "http://h/p?a=1&b=%2F%23frag");
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/100%?x=%4"), "http://h/100%25?x=%254");
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/\"<>\\^`{|}"), "http://h/%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/\xC3\xA9\t\x7F"), "http://h/%C3%A9%09%7F");
    EXPECT_EQ(HttpUrl::EncodeForWire(std::string_view("a\0b", 3)), "a%00b");
    EXPECT_EQ(HttpUrl::EncodeForWire("http://h/~user/a-b_c.d!$'()*+,;=:@"),
              "http://h/~user/a-b_c.d!$'()*+,;=:@");
}

namespace
{
struct FLogFormShowsOnlyTheSchemeHostAndPortRow
{
    const char* URL;
    const char* Shown;
};
const FLogFormShowsOnlyTheSchemeHostAndPortRow LogFormShowsOnlyTheSchemeHostAndPortRows[] = {
    {"http://h:8080/api/account/a@b.io/validate/tok123", "http://h:8080/***"},
    {"http://h/x?code=abc&mode=1", "http://h/***"},
    {"https://user:pw@h:8/p?q=1", "https://h:8/***"},
    {"https://u:p@ss@h/x", "https://h/***"},
    {"http://h:8#frag", "http://h:8/***"},
    {"http://h:8", "http://h:8"},
    {"http://[::1]:8/p", "http://[::1]:8/***"},
    {"ftp://me:hunter2@h/f", "ftp://h/***"},
    {"http:/h/tok123?r=x://y", "***"},
    {"not a url", "***"},
    {"", ""},
};

using FLogFormShowsOnlyTheSchemeHostAndPortTest = ::testing::TestWithParam<size_t>;
} // namespace

// The host cannot tell which part of a path is a token (a session's id, a validation token), nor which query
// value is a code: its lines name only where the request went.
TEST_P(FLogFormShowsOnlyTheSchemeHostAndPortTest, LogFormShowsOnlyTheSchemeHostAndPort)
{
    const FLogFormShowsOnlyTheSchemeHostAndPortRow& Case =
        LogFormShowsOnlyTheSchemeHostAndPortRows[GetParam()];
    EXPECT_EQ(HttpUrl::MaskForLog(Case.URL).View(), Case.Shown) << Case.URL;
}

INSTANTIATE_TEST_SUITE_P(Rows, FLogFormShowsOnlyTheSchemeHostAndPortTest,
                         ::testing::Range(size_t{0}, std::size(LogFormShowsOnlyTheSchemeHostAndPortRows)));

TEST_F(HttpRequestTest, AnswerArrivesOnTheNextTickOnly)
{
    FCompletionLog Log;
    FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL("http://svc.test/items?id=a b");
    Request->SetVerb("POST");
    Request->SetHeader("Authorization", "bearer t");
    Request->SetContentAsString("{}");
    Log.Watch(Request);
    ASSERT_TRUE(Request->ProcessRequest());
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Processing);

    FInMemoryHttpTransport::FStartedRequest Record;
    ASSERT_TRUE(Transport->FindStarted(Request, Record));
    EXPECT_TRUE(Record.URL.Equals("http://svc.test/items?id=a b"));
    EXPECT_TRUE(Record.Verb.Equals("POST"));
    EXPECT_TRUE(Record.Headers.FindRef("authorization").Equals("bearer t"));
    EXPECT_TRUE(Record.GetContentAsString().Equals("{}"));

    ASSERT_TRUE(Transport->Respond(Request, 201, "{\"ok\":true}", {{"X-Version", "42"}}));
    EXPECT_EQ(Log.Count, 0);
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Processing);
    EXPECT_FALSE(Request->GetResponse().IsValid());

    Tick();
    ASSERT_EQ(Log.Count, 1);
    EXPECT_TRUE(Log.bConnected);
    EXPECT_EQ(Log.Request.Get(), Request.get());
    ASSERT_TRUE(Log.Response.IsValid());
    EXPECT_EQ(Log.Response->GetResponseCode(), 201);
    EXPECT_TRUE(Log.Response->GetContentAsString().Equals("{\"ok\":true}"));
    EXPECT_TRUE(Log.Response->GetContentType().Equals("application/json"));
    EXPECT_TRUE(Log.Response->GetHeader("x-version").Equals("42"));
    EXPECT_TRUE(Log.Response->GetURL().Equals("http://svc.test/items?id=a b"));
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Succeeded);
    EXPECT_EQ(Request->GetResponse(), Log.Response);

    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_FALSE(Transport->Respond(Request, 200, "again"));
}

// A host sleeping out its frame is woken by an answer from another thread, and by one already waiting.
TEST_F(HttpRequestTest, WaitForCompletionsWakesOnAnAnswerAndTimesOutWithout)
{
    EXPECT_FALSE(FHttpModule::Get().WaitForCompletions(0.01f));
    EXPECT_FALSE(FHttpModule::Get().WaitForCompletions(-1.0f));

    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    std::thread Answerer([&] { Transport->Respond(Request, 200, "{}"); });
    // Without the wake-up this outlasts the test time-out.
    EXPECT_TRUE(FHttpModule::Get().WaitForCompletions(600.0f));
    Answerer.join();
    EXPECT_EQ(Log.Count, 0);
    EXPECT_TRUE(FHttpModule::Get().WaitForCompletions(0.0f));
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_FALSE(FHttpModule::Get().WaitForCompletions(0.0f));
}

TEST_F(HttpRequestTest, ContentTypeArgumentWinsOverHeaderMapUnlessEmpty)
{
    FCompletionLog First;
    FCompletionLog Second;
    FHttpRequestRef A = Start("http://svc.test/a", First);
    FHttpRequestRef B = Start("http://svc.test/b", Second);
    Transport->Respond(A, 200, "x", {{"content-type", "text/html"}}, "text/plain");
    Transport->Respond(B, 200, "y", {{"Content-Type", "text/html"}}, "");
    Tick();
    EXPECT_TRUE(First.Response->GetContentType().Equals("text/plain"));
    EXPECT_EQ(First.Response->GetAllHeaders().Num(), 1);
    EXPECT_TRUE(Second.Response->GetContentType().Equals("text/html"));
}

TEST_F(HttpRequestTest, FailedAnswerHasNoResponse)
{
    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    ASSERT_TRUE(Transport->Fail(Request));
    EXPECT_FALSE(Transport->Fail(Request));
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_FALSE(Log.bConnected);
    EXPECT_FALSE(Log.Response.IsValid());
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Failed);
}

TEST_F(HttpRequestTest, RefusedStartsCompleteUnsuccessfullyLater)
{
    for (const char* URL : {"", "not a url", "ftp://svc.test/x", "http://"})
    {
        FCompletionLog Log;
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(URL);
        Log.Watch(Request);
        EXPECT_FALSE(Request->ProcessRequest()) << URL;
        EXPECT_EQ(Log.Count, 0) << URL;
        Tick();
        EXPECT_EQ(Log.Count, 1) << URL;
        EXPECT_FALSE(Log.bConnected);
        EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Failed);
    }
    EXPECT_EQ(Transport->NumStarted(), 0);
}

TEST_F(HttpRequestTest, SecondProcessRequestIsRefusedAndCompletionStaysSingle)
{
    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    EXPECT_FALSE(Request->ProcessRequest());
    EXPECT_EQ(Transport->NumStarted(), 1);
    Transport->Respond(Request, 200, "");
    Tick();
    EXPECT_FALSE(Request->ProcessRequest());
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_TRUE(Log.bConnected);
    EXPECT_EQ(Transport->NumStarted(), 1);
}

TEST_F(HttpRequestTest, CancelBeforeStartCompletesOnceOnALaterTick)
{
    FCompletionLog Log;
    FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL("http://svc.test/a");
    Log.Watch(Request);
    Request->CancelRequest();
    Request->CancelRequest();
    EXPECT_EQ(Log.Count, 0);
    EXPECT_FALSE(Request->ProcessRequest());
    Tick();
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_FALSE(Log.bConnected);
    EXPECT_FALSE(Log.Response.IsValid());
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Failed);
    EXPECT_EQ(Transport->NumStarted(), 0);
}

TEST_F(HttpRequestTest, CancelInFlightBeatsALaterAnswer)
{
    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    Request->CancelRequest();
    EXPECT_EQ(Log.Count, 0);
    EXPECT_EQ(Transport->NumPending(), 0);
    EXPECT_FALSE(Transport->Respond(Request, 200, "late"));
    Tick();
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_FALSE(Log.bConnected);
    EXPECT_EQ(Transport->GetStartedRequests()[0].State, FInMemoryHttpTransport::EState::Cancelled);
}

TEST_F(HttpRequestTest, CancelAfterCompletionChangesNothing)
{
    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    Transport->Respond(Request, 404, "missing");
    Tick();
    Request->CancelRequest();
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_TRUE(Log.bConnected);
    EXPECT_EQ(Request->GetStatus(), EHttpRequestStatus::Succeeded);
    ASSERT_TRUE(Request->GetResponse().IsValid());
    EXPECT_EQ(Request->GetResponse()->GetResponseCode(), 404);
}

TEST_F(HttpRequestTest, CancelBetweenAnswerAndTickKeepsTheAnswer)
{
    FCompletionLog Log;
    FHttpRequestRef Request = Start("http://svc.test/a", Log);
    Transport->Respond(Request, 200, "done");
    Request->CancelRequest();
    Tick();
    EXPECT_EQ(Log.Count, 1);
    EXPECT_TRUE(Log.bConnected);
}

TEST_F(HttpRequestTest, CompletionFiresAfterTheCallerDroppedItsReference)
{
    FCompletionLog Log;
    {
        FHttpRequestRef Request = Start("http://svc.test/a", Log);
    }
    {
        FHttpRequestRef Cancelled = FHttpModule::Get().CreateRequest();
        Cancelled->OnProcessRequestComplete().BindLambda([&Log](FHttpRequestPtr, FHttpResponsePtr, bool)
                                                         { ++Log.Count; });
        Cancelled->CancelRequest();
    }
    Transport->Respond(Transport->FindOldestPending(), 200, "");
    Tick();
    EXPECT_EQ(Log.Count, 2);
}

TEST_F(HttpRequestTest, CompletionsFireInArrivalOrderAndNewOnesWaitForTheNextTick)
{
    TArray<FString> Order;
    FHttpRequestRef Follow = FHttpModule::Get().CreateRequest();
    Follow->SetURL("http://svc.test/follow");
    Follow->OnProcessRequestComplete().BindLambda([&Order](FHttpRequestPtr, FHttpResponsePtr, bool)
                                                  { Order.Add("follow"); });
    TArray<FHttpRequestRef> Requests;
    for (const char* Name : {"a", "b", "c"})
    {
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(FString("http://svc.test/") + Name);
        Request->OnProcessRequestComplete().BindLambda(
            [&Order, &Follow, Name = FString(Name)](FHttpRequestPtr, FHttpResponsePtr, bool)
            {
                Order.Add(Name);
                Follow->CancelRequest();
            });
        Request->ProcessRequest();
        Requests.Add(Request);
    }
    Transport->Respond(Requests[2], 200, "");
    Transport->Fail(Requests[0]);
    Transport->Respond(Requests[1], 500, "");
    Tick();
    EXPECT_EQ(Order, (TArray<FString>{"c", "a", "b"}));
    Tick();
    EXPECT_EQ(Order, (TArray<FString>{"c", "a", "b", "follow"}));
}

TEST_F(HttpRequestTest, PendingBookkeeping)
{
    FCompletionLog A;
    FCompletionLog B;
    FCompletionLog C;
    FHttpRequestRef First = Start("http://svc.test/1", A);
    FHttpRequestRef Second = Start("http://svc.test/2", B);
    FHttpRequestRef Third = Start("http://svc.test/3", C);
    EXPECT_EQ(Transport->NumStarted(), 3);
    EXPECT_EQ(Transport->NumPending(), 3);
    EXPECT_EQ(Transport->FindOldestPending().Get(), First.get());

    Transport->Respond(First, 200, "");
    Second->CancelRequest();
    EXPECT_EQ(Transport->NumPending(), 1);
    EXPECT_EQ(Transport->FindOldestPending().Get(), Third.get());
    Transport->Fail(Third);
    EXPECT_EQ(Transport->NumPending(), 0);
    EXPECT_FALSE(Transport->FindOldestPending().IsValid());
    EXPECT_FALSE(Transport->Respond(nullptr, 200, ""));

    FHttpRequestRef Stranger = FHttpModule::Get().CreateRequest();
    FInMemoryHttpTransport::FStartedRequest Record;
    EXPECT_FALSE(Transport->FindStarted(Stranger, Record));
    EXPECT_FALSE(Transport->Respond(Stranger, 200, ""));
}

TEST_F(HttpRequestTest, ShutdownFailsWaitingRequestsAndRefusesNewOnes)
{
    FCompletionLog Waiting;
    FCompletionLog Late;
    Start("http://svc.test/1", Waiting);
    Transport->Shutdown();
    FHttpRequestRef Refused = Start("http://svc.test/2", Late);
    EXPECT_EQ(Refused->GetStatus(), EHttpRequestStatus::Processing);
    Tick();
    EXPECT_EQ(Waiting.Count, 1);
    EXPECT_FALSE(Waiting.bConnected);
    EXPECT_EQ(Late.Count, 1);
    EXPECT_FALSE(Late.bConnected);
    EXPECT_EQ(Refused->GetStatus(), EHttpRequestStatus::Failed);
}

TEST(HttpScopedTransport, RestoresThePreviousTransportAndDropsLeftovers)
{
    auto Outer = MakeShared<FInMemoryHttpTransport>();
    FHttpModule::Get().SetTransport(Outer);
    FCompletionLog Log;
    {
        FScopedInMemoryHttpTransport Scoped;
        EXPECT_EQ(FHttpModule::Get().GetTransport().Get(), static_cast<IHttpTransport*>(&Scoped.Get()));
        FHttpRequestRef Answered = FHttpModule::Get().CreateRequest();
        Answered->SetURL("http://svc.test/a");
        Log.Watch(Answered);
        Answered->ProcessRequest();
        Scoped->Respond(Answered, 200, "");
    }
    EXPECT_EQ(FHttpModule::Get().GetTransport().Get(), Outer.get());
    FHttpModule::Get().Tick(0.0f);
    EXPECT_EQ(Log.Count, 0);
    FHttpModule::Get().SetTransport(nullptr);
}
