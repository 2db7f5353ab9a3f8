#include "DriverTest.h"

namespace
{
std::string JoinLines(const FLogCapture& Log, ELogVerbosity::Type Verbosity, bool bWithDumps)
{
    std::string Text;
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        if (Line.Category == "LogOnline" && Line.Verbosity == Verbosity &&
            (bWithDumps || !Line.Message.Contains("dump=")))
        {
            Text += Line.Message.ToStdString() + "\n";
        }
    }
    return Text;
}
} // namespace

std::string FDriverTest::Transcript() const
{
    return JoinLines(Log, ELogVerbosity::Log, true);
}

std::string FDriverTest::Steps() const
{
    return JoinLines(Log, ELogVerbosity::Log, false);
}

int32 FDriverTest::CountDumps(const char* Kind) const
{
    const FString Start = FString("ZOR: \t") + Kind + ". dump=";
    int32 Count = 0;
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        Count += Line.Verbosity == ELogVerbosity::Log && Line.Message.StartsWith(Start);
    }
    return Count;
}

std::string FDriverTest::Warnings() const
{
    return JoinLines(Log, ELogVerbosity::Warning, true);
}

std::string FDriverTest::Requests()
{
    std::string Text;
    for (const auto& Started : Http().GetStartedRequests())
    {
        Text += Started.Verb.ToStdString() + " " + Started.URL.ToStdString() + "\n";
    }
    return Text;
}

void FDriverTest::SignInClient()
{
    ASSERT_TRUE(Identity().AuthClient(Subsystem->GetAppId()));
    Answer("/api/oauth/token", 200, TokenReply("", 3600.0, "client-token"));
    Http().Reset();
    Log.Clear();
}
