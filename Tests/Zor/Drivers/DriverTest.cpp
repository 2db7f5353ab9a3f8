#include "DriverTest.h"

namespace
{
std::string JoinLines(const FLogCapture& Log, ELogVerbosity::Type Verbosity)
{
    std::string Text;
    for (const FLogCapture::FLine& Line : Log.Lines())
    {
        if (Line.Category == "LogOnline" && Line.Verbosity == Verbosity)
        {
            Text += Line.Message.ToStdString() + "\n";
        }
    }
    return Text;
}
} // namespace

std::string FDriverTest::Transcript() const
{
    return JoinLines(Log, ELogVerbosity::Log);
}

std::string FDriverTest::Warnings() const
{
    return JoinLines(Log, ELogVerbosity::Warning);
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
