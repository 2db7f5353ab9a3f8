#include <gtest/gtest.h>

#include "BackendHostTest.h"
#include "Core/Base64.h"
#include "HostileService.h"

#include <regex>

namespace
{
const std::string RivalId = "7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b";

/** zorhost against the local backend behind a service that answers some requests its own way. */
class FHostileServiceTest : public FHostileHostTest
{
protected:
    FHostRun RunVerbose(const std::string& Script,
                        const std::vector<std::string>& Login = {"LOGIN=demo@example.com",
                                                                 "PASSWORD=demo-password", "TYPE=tavo"})
    {
        std::vector<std::string> Arguments = {"-ini=" + Ini,
                                              "-exec=" + Scratch.WriteFile("script.zorhost", Script),
                                              "-log=LogOnline:VeryVerbose"};
        Arguments.insert(Arguments.end(), Login.begin(), Login.end());
        FHostRun Result = RunHost(Arguments, "/dev/null", Scratch);
        EXPECT_FALSE(Result.bTimedOut) << Result.Log();
        return Result;
    }
};

/** Every line either stream holds that contains Text. */
std::vector<std::string> LinesHolding(const FHostRun& Run, const std::string& Text)
{
    std::vector<std::string> Found;
    for (const std::vector<std::string>* Lines : {&Run.ErrorLines, &Run.OutputLines})
    {
        for (const std::string& Line : *Lines)
        {
            if (Line.find(Text) != std::string::npos)
            {
                Found.push_back(Line);
            }
        }
    }
    return Found;
}

/** Every string value of Key in the reply bodies the service passed on. */
std::vector<std::string> PassedOnValues(FHostileService& Hostile, const std::string& Key)
{
    std::vector<std::string> Found;
    const std::regex Value("\"" + Key + R"re(":"([^"]+)")re");
    for (const std::string& Body : Hostile.PassedOnBodies())
    {
        for (std::sregex_iterator Match(Body.begin(), Body.end(), Value), End; Match != End; ++Match)
        {
            Found.push_back((*Match)[1]);
        }
    }
    return Found;
}

/** Line with its control bytes shown as numbers, so that a failure message does not drive the terminal. */
std::string Visible(const std::string& Line)
{
    std::string Shown;
    for (const char Char : Line)
    {
        Shown += static_cast<unsigned char>(Char) < 0x20 ? "<" + std::to_string(int(Char)) + ">"
                                                         : std::string(1, Char);
    }
    return Shown;
}

/** A message payload of one text entry, in the byte form peers send, base64-encoded. */
std::string TextPayload(const std::string& Key, const std::string& Value)
{
    TArray<uint8> Bytes;
    const auto AddCount = [&Bytes](size_t Count)
    {
        for (int Shift = 24; Shift >= 0; Shift -= 8)
        {
            Bytes.Add(static_cast<uint8>(Count >> Shift));
        }
    };
    const auto AddText = [&](const std::string& Text)
    {
        AddCount(Text.size());
        for (const char Char : Text)
        {
            Bytes.Add(static_cast<uint8>(Char));
        }
    };
    AddCount(1);
    AddText(Key);
    Bytes.Add(4); // text
    AddText(Value);
    return std::string(*FBase64::Encode(Bytes));
}

/** Where a byte may come from: a JSON string, a raw reply body, an argument of the command line. */
enum EByteSource
{
    FromJson = 1,
    FromBody = 2,
    FromArgument = 4,
};

/** A byte at a boundary of what a terminal acts on: as sent, as JSON writes it, as the host must show it, and
 * where it may come from. Each stands after a letter of its own, so a raw one is found by it. */
struct FBoundaryByte
{
    const char* Name;
    std::string Raw;
    std::string InJson;
    std::string Shown;
    int Sources;
};

const FBoundaryByte BoundaryBytes[] = {
    {"LastC0", "\x1f", R"(\u001f)", R"(\x1f)", FromJson | FromBody | FromArgument},
    {"Delete", "\x7f", R"(\u007f)", R"(\x7f)", FromJson | FromBody | FromArgument},
    {"FirstC1", "\xc2\x80", R"(\u0080)", R"(\xc2\x80)", FromJson | FromBody | FromArgument},
    {"LastC1", "\xc2\x9f", R"(\u009f)", R"(\xc2\x9f)", FromJson | FromBody | FromArgument},
    {"LoneCsi", "\x9b", "", R"(\x9b)", FromBody | FromArgument},
    {"Nul", std::string(1, '\0'), "", R"(\x00)", FromBody},
};

/** Each boundary byte that may come from Source, in one form after its letter, then "Z". */
std::string BoundaryText(std::string FBoundaryByte::*Form, EByteSource Source)
{
    std::string Text;
    char Letter = 'A';
    for (const FBoundaryByte& Byte : BoundaryBytes)
    {
        if (Byte.Sources & Source)
        {
            Text += std::string(1, Letter) + Byte.*Form;
        }
        ++Letter;
    }
    return Text + "Z";
}

/** Fails for each control written raw in any line of Run: ESC, BEL, and each boundary byte after its letter.
 */
void ExpectNoControlRaw(const FHostRun& Run)
{
    for (const char Control : {'\x1b', '\x07'})
    {
        for (const std::string& Line : LinesHolding(Run, std::string(1, Control)))
        {
            ADD_FAILURE() << "control byte " << int(Control) << " written raw in: " << Visible(Line);
        }
    }
    char Letter = 'A';
    for (const FBoundaryByte& Byte : BoundaryBytes)
    {
        for (const std::string& Line : LinesHolding(Run, std::string(1, Letter) + Byte.Raw))
        {
            ADD_FAILURE() << Byte.Name << " written raw in: " << Visible(Line);
        }
        ++Letter;
    }
}
} // namespace

TEST_F(FHostileServiceTest, NoWholeSecretReachesTheOutputWhateverItsShape)
{
    const std::string Assets = "/game/api/public/assets/[^/]+/[^/]+/[^/]+";
    Hostile.Override({"GET", "/game/api/public/assets/Linux/[^/]+/TolvanEngineLauncher", "", 200,
                      R"({"refresh_token":"selfpatch-secret-0123456789","buildVer)"});
    Hostile.Override({"POST", ".*/api/oauth/token", "grant_type=password", 400,
                      R"({"errorCode":"errors.zor.authentication.invalid_account_credentials",)"
                      R"("errorMessage":"Sorry, the password demo-password is wrong"})",
                      1});
    Hostile.Override({"POST", ".*/validate/.*", "", 400,
                      R"({"errorCode":"errors.zor.account.invalid_token",)"
                      R"("errorMessage":"The token valtoken-secret-0123456789 is not valid"})"});
    Hostile.Override(
        {"GET", "/account/api/public/account", "", 200,
         R"([{"id":")" + RivalId + R"(","displayName":"DemoRival","access_token":98765432109876543210}])"});
    Hostile.Override(
        {"GET", Assets, "", 200, R"({"items":[{"signature":"sigsecret-unparsed-0123456789","pa)", 1});
    Hostile.Override({"GET", Assets, "", 200,
                      R"({"items":[{"signature":["sigsecret-array-0123456789"],"path":"a/b.pak"}]})", 1});
    Hostile.Override({"GET", "/game/api/3/timestamp", "", 200, R"({"token":"timesecret-0123456789"})"});

    const FHostRun Run =
        RunVerbose("login\nwait login\nlogin\nwait login\nexpect login\n"
                   "account validate demo@example.com valtoken-secret-0123456789\nwait account validate\n"
                   "users query " +
                   RivalId +
                   "\nwait users query\nbuilds2 Live Windows\nwait builds2\n"
                   "download2 ZorDemoGame demo-game-deluxe-item\nwait download2\n"
                   "download2 ZorDemoGame demo-game-deluxe-item\nwait download2\n"
                   "selfpatch2 Live Linux\ntime\nPASSWORD=demo-password\nhelp PASSWORD=demo-password\n"
                   "expect PASSWORD=demo-password\nwait selfpatch2\nwait time\nquit\n");

    for (const char* Seen :
         {"OnLoginComplete LocalUserNum=0 bWasSuccessful=0", "passed: login",
          "OnValidateAccountComplete bWasSuccessful=0", "OnQueryUserInfoComplete",
          "OnQuerySignedDownloadComplete", "OnQuerySelfPatchBuildV2Complete bWasSuccessful=0",
          "OnQueryServerUtcTimeComplete", "> account validate demo@example.com ***", "> PASSWORD=***",
          "Unknown command: PASSWORD=***", "line 18: PASSWORD=***"})
    {
        EXPECT_FALSE(LinesHolding(Run, Seen).empty()) << Seen << "\n" << Run.Log();
    }
    EXPECT_EQ(LinesHolding(Run, "OnQuerySignedDownloadComplete").size(), 2u) << Run.Log();
    for (const char* Secret : {"demo-password", "valtoken-secret-0123456789", "98765432109876543210",
                               "sigsecret-unparsed-0123456789", "sigsecret-array-0123456789",
                               "selfpatch-secret-0123456789", "timesecret-0123456789"})
    {
        for (const std::string& Line : LinesHolding(Run, Secret))
        {
            ADD_FAILURE() << "secret " << Secret << " in: " << Line;
        }
    }
}

TEST_F(FHostileServiceTest, TextFromTheServiceOrTheCommandLineShowsItsControlBytesEscaped)
{
    const std::string Evil = "\x1b]0;pwned\x07\x1b[1A\x1b[31mFAKE";
    const std::string EvilInJson = R"(\u001b]0;pwned\u0007\u001b[1A\u001b[31mFAKE)";
    const std::string Shown = R"(\x1b]0;pwned\x07\x1b[1A\x1b[31mFAKE)";
    Hostile.Rewrite("DemoRival", EvilInJson + BoundaryText(&FBoundaryByte::InJson, FromJson));
    Hostile.Rewrite("evilfile", EvilInJson);
    Hostile.Override({"GET", "/game/api/messaging/[^/]+/inbox/evil-message", "", 200,
                      R"({"messageId":"evil-message","body":")" + TextPayload("note", Evil) + "\"}"});
    Hostile.Override({"GET", "/game/api/3/timestamp", "", 400,
                      R"({"errorMessage":")" + BoundaryText(&FBoundaryByte::Raw, FromBody) + R"("})"});

    const FHostRun Run =
        RunVerbose("login\nwait login\nexpect login\nusers query " + RivalId +
                   "\nwait users query\ncloud write evilfile.sav hi\nwait cloud write\ncloud list\n"
                   "wait cloud list\nmessages read evil-message\nwait messages read\ntime\n"
                   "wait time\nquit\n");
    const FHostRun Refused =
        RunHost({"-fps=1" + Evil + BoundaryText(&FBoundaryByte::Raw, FromArgument)}, "/dev/null", Scratch);

    const struct
    {
        const char* Name;
        const FHostRun& Run;
        std::string Line;
    } Cases[] = {
        {"DisplayName", Run,
         "User Id=" + RivalId + " DisplayName=" + Shown + BoundaryText(&FBoundaryByte::Shown, FromJson)},
        {"CloudFileName", Run, "filename=" + Shown + ".sav"},
        {"MessagePayload", Run, "  note=" + Shown + " (String)"},
        {"RefusalBody", Run, BoundaryText(&FBoundaryByte::Shown, FromBody)},
        {"CommandLineValue", Refused, "-fps=1" + Shown + BoundaryText(&FBoundaryByte::Shown, FromArgument)},
    };
    for (const auto& Case : Cases)
    {
        EXPECT_FALSE(LinesHolding(Case.Run, Case.Line).empty()) << Case.Name << "\n"
                                                                << Visible(Case.Run.Log());
    }
    EXPECT_EQ(Refused.ExitCode, 2);
    ExpectNoControlRaw(Run);
    ExpectNoControlRaw(Refused);
}

TEST_F(FHostileServiceTest, NoSecretARequestCarriedReachesTheOutputWhenTheServiceEchoesIt)
{
    enum ERun
    {
        ByPassword,
        ByRefresh,
        ByExchangeCode,
        ByOddPassword,
    };
    const std::string NewPassword = "new-password-0123456789";
    const std::string FirstPassword = "first-password-0123456789";
    const std::string LinkToken = "linkid:link-token-secret-0123456789";
    // Its own percent escape, a blank, and a backslash before a letter that starts no JSON escape.
    const std::string OddPassword = "p%41ss w\\qrd-0123456789";
    const struct
    {
        const char* Method;
        const char* Path;
        const char* BodyHolds;
        int Times;
        ERun Run;
        /** What the run's output must show of the echo, so that no row passes by never being echoed. */
        const char* Seen;
    } Echoes[] = {
        {"POST", ".*/api/oauth/token", "grant_type=password", 1, ByPassword, "grant_type=password"},
        // The grant's sending line shows its payload, so only the failure starting with the echo tells.
        {"POST", ".*/api/oauth/token", "grant_type=client_credentials", 1, ByRefresh,
         "Client auth request failed. POST /account/api/oauth/token"},
        {"POST", ".*/api/oauth/token", "grant_type=refresh_token", -1, ByRefresh, "grant_type=refresh_token"},
        {"POST", ".*/api/oauth/token", "grant_type=exchange_code", -1, ByExchangeCode,
         "grant_type=exchange_"},
        {"GET", "/game/api/cloudstorage/user/[^/]+", "", -1, ByPassword, "GET /game/api/cloudstorage/user/"},
        {"GET", "/game/api/public/list/.*", "", -1, ByPassword, "GET /game/api/public/list/"},
        {"GET", "/game/api/messaging/[^/]+/inbox", "", -1, ByPassword, "GET /game/api/messaging/"},
        {"GET", "/commerce/api/account/[^/]+/entitlements", "", -1, ByPassword, "GET /commerce/api/account/"},
        {"POST", "/game/api/matchmaking/session/matchMakingRequest", "", -1, ByPassword,
         "POST /game/api/matchmaking/"},
        {"GET", "/commerce/api/shared/accounts/[^/]+/orders", "", -1, ByPassword,
         "GET /commerce/api/shared/accounts/"},
        {"GET", "/game/api/cloudstorage/system", "", -1, ByPassword, "GET /game/api/cloudstorage/system"},
        {"GET", "/commerce/api/shared/namespace/qx/offers", "", -1, ByPassword,
         "GET /commerce/api/shared/namespace/"},
        {"POST", "/game/api/tavoAccount/account", "", -1, ByPassword, "POST /game/api/tavoAccount/"},
        {"PUT", "/game/api/tavoAccount/account/[^/]+", "", -1, ByPassword, "PUT /game/api/tavoAccount/"},
        {"DELETE", "/game/api/tavoAccount/account/[^/]+", "", -1, ByPassword,
         "DELETE /game/api/tavoAccount/"},
        {"POST", "/account/api/public/account/[^/]+/externalAuths", "", -1, ByPassword,
         "POST /account/api/public/account/"},
        // Quoted back with only its blank encoded, and with a raw backslash before its letter escaped.
        {"POST", ".*/api/oauth/token", "grant_type=password", 1, ByOddPassword, "grant_type=password"},
    };
    // Each run meets the echoes of its rows from its start on, so a grant echoed once is echoed in its run.
    const auto RunEchoed = [&](ERun Run, const std::string& Script, const std::vector<std::string>& Login)
    {
        for (const auto& Echo : Echoes)
        {
            if (Echo.Run == Run)
            {
                Hostile.Echo(Echo.Method, Echo.Path, Echo.BodyHolds, Echo.Times);
            }
        }
        return RunVerbose(Script, Login);
    };
    // The first login's grant is echoed; the calls after the second go signed.
    const FHostRun Password = RunEchoed(
        ByPassword,
        "login\nwait login\nlogin\nwait login\nexpect login\nwait purchase login\ncloud list\nfriends read\n"
        "messages list\n"
        "entitlements\nsession find\norders list\ntitle list\ncatalog offers qx\n"
        "account create new@example.com NewName " +
            FirstPassword + "\naccount update demo@example.com demo-password new@example.com NewName " +
            NewPassword + "\naccount delete rival@example.com rival-password\nmapping add steam " +
            LinkToken +
            "\nONLINE SUB=ZOR TEST EXCHANGECODE zordemoclient\nwait exchange code\nwait cloud list\n"
            "wait friends read\nwait messages list\nwait entitlements\nwait session find\nwait orders list\n"
            "wait title list\nwait catalog offers\nwait account create\nwait account update\n"
            "wait account delete\nwait mapping add\nquit\n",
        {"LOGIN=demo@example.com", "PASSWORD=demo-password", "TYPE=tavo"});
    const std::vector<std::string> RefreshTokens = PassedOnValues(Hostile, "refresh_token");
    const std::vector<std::string> Codes = PassedOnValues(Hostile, "code");
    ASSERT_FALSE(RefreshTokens.empty()) << Password.Log();
    ASSERT_EQ(Codes.size(), 1u) << Password.Log();
    const FHostRun Runs[] = {
        Password,
        RunEchoed(ByRefresh, "login\ntitle list\nwait title list\nquit\n",
                  {"LOGIN=x", "PASSWORD=" + RefreshTokens[0], "TYPE=refresh"}),
        RunEchoed(ByExchangeCode, "login\nwait login\nquit\n",
                  {"LOGIN=x", "PASSWORD=" + Codes[0], "TYPE=exchangecode"}),
        RunEchoed(ByOddPassword, "login\nwait login\nquit\n",
                  {"LOGIN=demo@example.com", "PASSWORD=" + OddPassword, "TYPE=tavo"}),
    };

    std::vector<std::string> Secrets = {"demo-password",
                                        "rival-password",
                                        FirstPassword,
                                        NewPassword,
                                        LinkToken,
                                        "zordemoclientsecret",
                                        OddPassword,
                                        "p%41ss%20w\\qrd-0123456789",
                                        "p%41ss w\\\\u0071rd-0123456789",
                                        "pAss w",
                                        "qrd-0123456789",
                                        "0071rd-0123456789"};
    for (const std::string Basic : {"zordemoclient:zordemoclientsecret", "demo@example.com:demo-password",
                                    "rival@example.com:rival-password"})
    {
        Secrets.push_back(Basic);
        Secrets.push_back(std::string(*FBase64::Encode(FString(Basic))));
    }
    for (const char* Key : {"access_token", "refresh_token", "code"})
    {
        const std::vector<std::string> Granted = PassedOnValues(Hostile, Key);
        Secrets.insert(Secrets.end(), Granted.begin(), Granted.end());
    }
    for (const auto& Echo : Echoes)
    {
        EXPECT_FALSE(LinesHolding(Runs[Echo.Run], Echo.Seen).empty()) << "no echo of " << Echo.Seen << "\n"
                                                                      << Visible(Runs[Echo.Run].Log());
    }
    for (const FHostRun& Run : Runs)
    {
        for (const std::string& Secret : Secrets)
        {
            for (const std::string& Line : LinesHolding(Run, Secret))
            {
                ADD_FAILURE() << "secret " << Secret << " in: " << Visible(Line);
            }
        }
    }
}

// Tokens live 12 s, so the first login's refresh leaves at about 6 s; the service answers it 7 s late, after
// the user logged out and in again. Neither that answer nor the purchase login that the logout overtook may
// touch the second login or fail a line.
TEST_F(FHostileServiceTest, RepliesForALoginTheUserEndedFailNoLineAndLeaveTheNextLoginAlone)
{
    Backend.SetTokenLifetime(12);
    FHostileService::FOverride LateRefresh;
    LateRefresh.Method = "POST";
    LateRefresh.PathPattern = "/account/api/oauth/token";
    LateRefresh.BodyHolds = "grant_type=refresh_token";
    LateRefresh.Times = 1;
    LateRefresh.LateMs = 7000;
    Hostile.Override(LateRefresh);
    FHostileService::FOverride LateBuilds;
    LateBuilds.Method = "GET";
    LateBuilds.PathPattern = ".*/api/public/assets/Windows";
    LateBuilds.Times = 1;
    LateBuilds.LateMs = 3000;
    Hostile.Override(LateBuilds);
    const struct
    {
        const char* Name;
        std::string Script;
        const char* Dropped;
    } Cases[] = {
        {"purchase login overtaken by the logout", "login\nwait login\nlogout\nwait 1\nquit\n",
         "Login (for purchase) reply dropped"},
        {"refresh answered after the next login",
         "login\nwait login\nwait 8\nlogout\nwait 2\nlogin\nwait login\nexpect login\nwait 6\ncloud list\n"
         "wait cloud list\nexpect cloud list\nquit\n",
         "Refresh auth reply dropped: the login it was sent for has ended"},
        {"a list answered after the next login's own",
         "login\nwait login\nbuilds2 Live Windows\nlogout\nlogin\nwait login\nbuilds2 Live Windows\n"
         "wait builds2\nexpect builds2\nwait 4\nquit\n",
         "QueryEntitledBuilds reply dropped: the login it was sent for has ended"},
    };
    for (const auto& Case : Cases)
    {
        const FHostRun Run = RunVerbose(Case.Script);
        EXPECT_EQ(Run.ExitCode, 0) << Case.Name << "\n" << Run.Log();
        EXPECT_FALSE(LinesHolding(Run, Case.Dropped).empty()) << Case.Name << "\n" << Run.Log();
    }
}
