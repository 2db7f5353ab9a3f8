#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "BackendHostTest.h"
#include "BackendSeed.h"
#include "BackendState.h"
#include "HostProcess.h"
#include "HostWords.h"
#include "LocalBackend.h"

namespace
{
/** The file with every run of blanks and line breaks made one blank, as a wrapped code span reads. */
std::string ReadFlattened(const std::string& Path)
{
    std::ifstream File(Path);
    std::stringstream Text;
    Text << File.rdbuf();
    return std::regex_replace(Text.str(), std::regex("\\s+"), " ");
}

bool Quotes(const std::string& Readme, const std::string& Value)
{
    return Readme.find("`" + Value + "`") != std::string::npos;
}

std::string TestWordUsage(const FHostTestWord& Word)
{
    return std::string("ONLINE SUB=ZOR TEST ") + Word.Usage;
}

/** The first blank-separated word of a usage, as help WORD takes it. */
std::string FirstWord(const char* Usage)
{
    const std::string Text = Usage;
    return Text.substr(0, Text.find(' '));
}

class HelpProgramTest : public testing::Test
{
protected:
    FHostRun RunScript(const std::string& Script, std::vector<std::string> Arguments)
    {
        Arguments.push_back("-exec=" + Scratch.WriteFile("script.zorhost", Script));
        FHostRun Run = RunHost(Arguments, "/dev/null", Scratch);
        EXPECT_FALSE(Run.bTimedOut) << Run.Log();
        return Run;
    }

    FScratchDir Scratch;
    const std::string Readme = ReadFlattened(ZOR_README);
};

TEST_F(HelpProgramTest, HelpAndTheReadmeShowEveryWordOfTheTable)
{
    std::string Script = "HELP\n";
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            Script += std::string("help ") + Word.Name + "\n";
        }
        for (const FHostTestWord& Word : Group.TestWords)
        {
            Script += "help " + FirstWord(Word.Usage) + "\n";
        }
    }
    const FHostRun Run =
        RunScript(Script + "help nosuchword\nquit\n",
                  {"-ini=" + Scratch.WriteFile("Engine.ini", "[OnlineSubsystemZor]\nbEnabled=true\n")});
    EXPECT_EQ(Run.ExitCode, 1) << Run.Log();
    EXPECT_TRUE(Run.HasLine("LogHost: Warning: help: no word nosuchword; help lists them")) << Run.Log();
    const int HostWords = Run.FindLine("LogHost: Display: Host words");
    const int TestWords = Run.FindLine("LogHost: Display: Subsystem words:");
    const int Listed = Run.FindLine("> help ");
    ASSERT_GE(HostWords, 0) << Run.Log();
    ASSERT_GT(TestWords, HostWords) << Run.Log();
    // The session words are a table of their own, which help once left out.
    EXPECT_TRUE(Run.FindLine("    session dump ") > HostWords &&
                Run.FindLine("  session dump ", Run.FindLine("> help session")) > 0)
        << Run.Log();

    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            const int Line = Run.FindLine(std::string("  ") + Word.Usage);
            EXPECT_TRUE(Line > HostWords && Line < TestWords) << Word.Usage << "\n" << Run.Log();
            const int Shown = Run.FindLine(std::string("usage: ") + Word.Usage);
            EXPECT_GT(Shown, Run.FindLine(std::string("> help ") + Word.Name)) << Word.Name << "\n"
                                                                               << Run.Log();
            EXPECT_TRUE(Quotes(Readme, Word.Usage)) << "README lacks `" << Word.Usage << "`";
            for (const FHostWord& SubWord : Word.SubWords)
            {
                const int SubLine = Run.FindLine(std::string("    ") + SubWord.Usage);
                EXPECT_TRUE(SubLine > Line && SubLine < TestWords) << SubWord.Usage << "\n" << Run.Log();
                EXPECT_GT(Run.FindLine(std::string("  ") + SubWord.Usage, Shown), Shown) << SubWord.Usage;
                EXPECT_TRUE(Quotes(Readme, SubWord.Usage)) << "README lacks `" << SubWord.Usage << "`";
            }
        }
        for (const FHostTestWord& Word : Group.TestWords)
        {
            const int Line = Run.FindLine(TestWordUsage(Word));
            EXPECT_TRUE(Line > TestWords && Line < Listed) << Word.Usage << "\n" << Run.Log();
            EXPECT_TRUE(Run.HasLine("usage: " + TestWordUsage(Word))) << Word.Usage << "\n" << Run.Log();
            EXPECT_TRUE(Quotes(Readme, TestWordUsage(Word)))
                << "README lacks `" << TestWordUsage(Word) << "`";
        }
    }
}

TEST_F(HelpProgramTest, TheReadmeNamesTheSeedsValuesAndTheyWorkAgainstTheLocalBackend)
{
    ZorBackend::FLocalBackend Backend;
    const int Port = StartOnFreePort(Backend);
    ASSERT_GT(Port, 0);
    // The second user, by the console ticket the README gives, on the shipped ini.
    const FHostRun Run = RunScript(
        "help login\nlogin\nwait login\nexpect login\ncatalog offers qx\nwait catalog offers\nexpect catalog "
        "offers\n"
        "ONLINE SUB=ZOR TEST EXCHANGECODE zordemoclient\nwait Exchange Code\nexpect Exchange Code\nquit\n",
        {std::string("-ini=") + ZOR_ENGINE_INI, "-domain=127.0.0.1:" + std::to_string(Port), "LOGIN=rival",
         "PASSWORD=rival-console-ticket", "TYPE=console"});
    Backend.Stop();
    EXPECT_EQ(Run.ExitCode, 0) << Run.Log();
    EXPECT_TRUE(Run.HasLine(
        "OnLoginComplete LocalUserNum=0 bWasSuccessful=1 UserId=7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b"))
        << Run.Log();

    ZorBackend::FBackendState Seed;
    ASSERT_FALSE(ZorBackend::LoadSeedFile(ZOR_BACKEND_SEED, Seed).has_value());
    const int LoginHelp = Run.FindLine("> help login");
    const int LoginHelpEnd = Run.FindLine("> login");
    for (const auto& [Id, Account] : Seed.Accounts)
    {
        for (const std::string& Value : {Id, Account.DisplayName, Account.Email, Account.Password})
        {
            EXPECT_TRUE(Quotes(Readme, Value)) << "README lacks `" << Value << "`";
            const int Line = Run.FindLine(Value, LoginHelp);
            EXPECT_TRUE(Line > LoginHelp && Line < LoginHelpEnd) << "help login lacks " << Value;
        }
        for (const ZorBackend::FExternalAuth& Auth : Account.ExternalAuths)
        {
            EXPECT_TRUE(Quotes(Readme, Auth.Token)) << "README lacks `" << Auth.Token << "`";
        }
    }
    for (const auto& [Id, Client] : Seed.Clients)
    {
        EXPECT_TRUE(Quotes(Readme, Client.Id)) << "README lacks `" << Client.Id << "`";
    }
    std::set<std::string> Offers;
    const std::regex OfferLine("  offer (\\S+) ");
    for (const std::string& Line : Run.ErrorLines)
    {
        std::smatch Match;
        if (std::regex_search(Line, Match, OfferLine))
        {
            Offers.insert(Match[1]);
        }
    }
    EXPECT_FALSE(Offers.empty()) << Run.Log();
    for (const std::string& Offer : Offers)
    {
        EXPECT_TRUE(Quotes(Readme, Offer)) << "README lacks `" << Offer << "`";
    }
}
} // namespace
