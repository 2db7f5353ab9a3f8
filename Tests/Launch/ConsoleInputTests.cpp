#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "Core/PlatformProcess.h"
#include "Core/PlatformTime.h"
#include "Launch/ConsoleInput.h"

namespace
{
constexpr double TimeLimitSeconds = 10.0;

class FPipe
{
public:
    FPipe()
    {
        int Ends[2];
        if (pipe(Ends) == 0)
        {
            ReadEnd = Ends[0];
            WriteEnd = Ends[1];
        }
    }
    ~FPipe()
    {
        CloseWriter();
        if (ReadEnd >= 0)
        {
            close(ReadEnd);
        }
    }
    void Write(const std::string& Text)
    {
        ASSERT_EQ(write(WriteEnd, Text.data(), Text.size()), ssize_t(Text.size()));
    }
    void CloseWriter()
    {
        if (WriteEnd >= 0)
        {
            close(WriteEnd);
            WriteEnd = -1;
        }
    }

    int ReadEnd = -1;
    int WriteEnd = -1;
};

/** Every line until the input is exhausted or the time limit passes. */
std::vector<std::string> DrainLines(FConsoleInput& Input)
{
    std::vector<std::string> Lines;
    const double Deadline = FPlatformTime::Seconds() + TimeLimitSeconds;
    while (!Input.IsExhausted() && FPlatformTime::Seconds() < Deadline)
    {
        FConsoleLine Line;
        if (Input.TryPop(Line))
        {
            Lines.push_back(std::to_string(Line.Number) + ":" + *Line.Text);
            continue;
        }
        FPlatformProcess::Sleep(0.005f);
    }
    return Lines;
}

bool PopWithin(FConsoleInput& Input, FConsoleLine& OutLine)
{
    const double Deadline = FPlatformTime::Seconds() + TimeLimitSeconds;
    while (!Input.TryPop(OutLine))
    {
        if (FPlatformTime::Seconds() > Deadline)
        {
            return false;
        }
        FPlatformProcess::Sleep(0.005f);
    }
    return true;
}

TEST(ConsoleInputTest, SplitsTrimsAndSkipsBlankAndCommentLines)
{
    FPipe Pipe;
    FConsoleInput Input(Pipe.ReadEnd, false);
    Pipe.Write("# setup\r\n\n   \nlog");
    Pipe.Write(
        "in\r\n  wait 3  \n\t# indented comment\nONLINE SUB=ZOR TEST EXCHANGECODE x # not a comment\n");
    // Ctrl-L and other control characters typed at a terminal.
    Pipe.Write("\fhe\x7flp\f\n\f\n");
    // A tab typed between words parts them as a blank does.
    Pipe.Write("wait\t1\ncloud\tread\ta.sav\t\n");
    Pipe.Write("quit");
    Pipe.CloseWriter();

    const std::vector<std::string> Expected = {
        "4:login", "5:wait 3",  "7:ONLINE SUB=ZOR TEST EXCHANGECODE x # not a comment",
        "8:help",  "10:wait 1", "11:cloud read a.sav",
        "12:quit"};
    EXPECT_EQ(DrainLines(Input), Expected);
    EXPECT_TRUE(Input.IsExhausted());
}

TEST(ConsoleInputTest, NotExhaustedWhileTheWriterIsOpen)
{
    FPipe Pipe;
    FConsoleInput Input(Pipe.ReadEnd, false);
    Pipe.Write("login\npartial");
    FConsoleLine Line;
    ASSERT_TRUE(PopWithin(Input, Line));
    EXPECT_STREQ(*Line.Text, "login");
    FPlatformProcess::Sleep(0.05f);
    EXPECT_FALSE(Input.TryPop(Line)) << "an unfinished line waits for its end";
    EXPECT_FALSE(Input.IsExhausted());

    Pipe.CloseWriter();
    EXPECT_EQ(DrainLines(Input), std::vector<std::string>{"2:partial"});
    EXPECT_TRUE(Input.IsExhausted());
}

TEST(ConsoleInputTest, StopsPromptlyWhenDestroyedWithInputStillOpen)
{
    FPipe Pipe;
    const double Start = FPlatformTime::Seconds();
    {
        FConsoleInput Input(Pipe.ReadEnd, false);
        Pipe.Write("login\n");
        FConsoleLine Line;
        ASSERT_TRUE(PopWithin(Input, Line));
    }
    EXPECT_LT(FPlatformTime::Seconds() - Start, 2.0);
}

TEST(ConsoleInputTest, ReadsAScriptFileAndReportsOneThatCannotBeOpened)
{
    char Path[] = "/tmp/zorhost-script-XXXXXX";
    const int File = mkstemp(Path);
    ASSERT_GE(File, 0);
    const std::string Script = "login\n\nquit\n";
    ASSERT_EQ(write(File, Script.data(), Script.size()), ssize_t(Script.size()));
    close(File);

    FString Error;
    TUniquePtr<FConsoleInput> Input = FConsoleInput::FromFile(Path, Error);
    ASSERT_TRUE(Input) << *Error;
    EXPECT_EQ(DrainLines(*Input), (std::vector<std::string>{"1:login", "3:quit"}));
    unlink(Path);

    EXPECT_EQ(FConsoleInput::FromFile("/nonexistent/dir/script.zorhost", Error), nullptr);
    EXPECT_TRUE(Error.Contains("/nonexistent/dir/script.zorhost"));
}
} // namespace
