#include <gtest/gtest.h>

#include "HttpTestSupport.h"
#include "OneReplyServer.h"
#include "ZorRows.h"

using HttpTest::FCompletionLog;
using HttpTest::FOneReplyServer;
using HttpTest::TickUntil;

namespace
{
struct FResendCase
{
    const char* Verb;
    bool bSucceeds;
    int Arrivals;
};

class HttpResendTest : public ::testing::Test
{
protected:
    // Each case starts with an empty connection pool, so its first request opens the connection under test.
    static void EmptyThePool() { FHttpModule::Get().Shutdown(); }
    void TearDown() override
    {
        FHttpModule::Get().Shutdown();
        FHttpModule::Get().Tick(0.0f);
    }

    static void Send(const std::string& URL, const char* Verb, FCompletionLog& Log)
    {
        FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
        Request->SetURL(FString(URL));
        Request->SetVerb(Verb);
        if (FString(Verb) != "GET")
        {
            Request->SetContentAsString("{\"item\":\"sword\"}");
        }
        Log.Watch(Request);
        ASSERT_TRUE(Request->ProcessRequest());
        ASSERT_TRUE(TickUntil([&] { return Log.Done(); })) << Verb;
    }

    /** Opens the connection with one answered request, the one the next request will find in the pool. */
    static void WarmUp(const FOneReplyServer& Server)
    {
        FCompletionLog First;
        Send(Server.Url("/first"), "GET", First);
        ASSERT_TRUE(First.bConnected);
        EXPECT_EQ(First.Response->GetResponseCode(), 200);
    }
};
} // namespace

namespace
{
const FResendCase ConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesRows[] = {
    {"POST", false, 1},   {"PATCH", false, 1}, {"REPORT", false, 1}, {"GET", true, 2},
    {"OPTIONS", true, 2}, {"PUT", true, 2},    {"DELETE", true, 2},
};

using FConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesTest = TZorRows<HttpResendTest>;
} // namespace

// The server read the request and may have acted on it: only a request that may be repeated is sent again.
TEST_P(FConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesTest,
       ConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnes)
{
    const FResendCase& Case =
        ConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesRows[GetParam()];
    EmptyThePool();
    FOneReplyServer Server(FOneReplyServer::EAfterReply::DropNextRequest);
    ASSERT_NO_FATAL_FAILURE(WarmUp(Server));
    FCompletionLog Log;
    ASSERT_NO_FATAL_FAILURE(Send(Server.Url("/second"), Case.Verb, Log));
    FHttpModule::Get().Tick(0.0f);

    EXPECT_EQ(Log.Count, 1) << Case.Verb;
    EXPECT_EQ(Log.bConnected, Case.bSucceeds) << Case.Verb;
    EXPECT_EQ(Log.Request->GetStatus(),
              Case.bSucceeds ? EHttpRequestStatus::Succeeded : EHttpRequestStatus::Failed)
        << Case.Verb;
    EXPECT_EQ(Server.Arrivals(std::string(Case.Verb) + " /second"), Case.Arrivals) << Case.Verb;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesTest,
    ::testing::Range(size_t{0},
                     std::size(ConnectionDroppedAfterReadingTheRequestResendsOnlyIdempotentOnesRows)));

// A connection the server closed while idle is noticed before sending, so nothing is lost or refused.
TEST_F(HttpResendTest, ConnectionClosedWhileIdleIsReplacedForEveryVerb)
{
    for (const char* Verb : {"POST", "PATCH", "GET", "PUT"})
    {
        EmptyThePool();
        FOneReplyServer Server(FOneReplyServer::EAfterReply::CloseAtOnce);
        ASSERT_NO_FATAL_FAILURE(WarmUp(Server));
        ASSERT_TRUE(TickUntil([&] { return Server.ClosedConnections() == 1; }));
        FCompletionLog Log;
        ASSERT_NO_FATAL_FAILURE(Send(Server.Url("/second"), Verb, Log));

        ASSERT_TRUE(Log.bConnected) << Verb;
        EXPECT_EQ(Log.Response->GetResponseCode(), 200) << Verb;
        EXPECT_EQ(Server.Arrivals(std::string(Verb) + " /second"), 1) << Verb;
    }
}
