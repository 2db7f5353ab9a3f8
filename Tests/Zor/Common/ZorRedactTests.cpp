#include <gtest/gtest.h>

#include "CaseNamePrinter.h"
#include "Common/ZorRedact.h"
#include "FStringPrinter.h"

namespace
{
const FString LongToken("eyJhbGciOiJIUzI1NiJ9.secretpart");

using ZorTestCases::PrintTo;

struct FBodyCase
{
    const char* Name;
    FString Body;
    FString Secret;
    FString Kept;
};

const FBodyCase BodyCases[] = {
    {"TokenReply", R"({"access_token":")" + LongToken + R"(","account_id":"acct1"})", LongToken, "acct1"},
    {"RefreshInReply", R"({"refresh_token" : "refresh-value-0001","expires_in":10})", "refresh-value-0001",
     "expires_in"},
    {"PasswordGrant", "grant_type=password&username=u%40x&password=hunter2", "hunter2", "username=u%40x"},
    {"RefreshGrant", "grant_type=refresh_token&refresh_token=r-123", "r-123", "grant_type=refresh_token"},
    {"ExchangeCodeGrant", "grant_type=exchange_code&exchange_code=ex-42", "ex-42",
     "grant_type=exchange_code"},
    {"ExchangeCodeReply", R"({"expiresInSeconds":300,"code":"code-7"})", "code-7", "expiresInSeconds"},
    {"ExternalToken", "grant_type=external_auth&external_auth_type=steam&external_auth_token=ext-9", "ext-9",
     "external_auth_type=steam"},
    {"ClientSecret", R"({"client_secret":"s3\"cr3t","name":"n"})", R"(s3\"cr3t)", R"("name":"n")"},
    {"EscapedQuoteDoesNotEndTheValue", R"({"token":"ab\"cd"})", "cd", "token"},
    {"DownloadSignature", R"({"items":[{"signature":"sig-0123456789","path":"a/b.pak"}]})", "sig-0123456789",
     "a/b.pak"},
    {"SignatureAsArray", R"({"items":[{"signature":["sig-0123456789"],"path":"a/b.pak"}]})", "sig-0123456789",
     "a/b.pak"},
    {"TokenAsNumber", R"({"access_token" : 12345678901234567,"expires_in":10})", "12345678901234567",
     "expires_in"},
    {"SecretAsObject", R"({"client_secret":{"v":"s3cr3t-value"},"name":"n"})", "s3cr3t-value",
     R"("name":"n")"},
    {"BracketInsideAnArraysString", R"({"token":["a]b-secret-tail"],"n":1})", "secret-tail", R"("n":1)"},
    {"NestedArraysUpToTheEnd", R"({"refresh_token":[["r-1"],["r-2-secret"]])", "r-2-secret", "refresh_token"},
    {"KeyInMixedCase", R"({"Refresh_Token":"r-mixed-0001","expires_in":10})", "r-mixed-0001", "expires_in"},
    {"FormKeyInCapitals", "PASSWORD=hunter2-caps&username=u", "hunter2-caps", "username=u"},
    {"CamelCaseNewPassword", R"({"email":"a@b.io","newPassword":"n3w-pw-0001"})", "n3w-pw-0001", "a@b.io"},
    {"CamelCaseLinkToken", R"({"authType":"steam","externalAuthToken":"ext-link-0001"})", "ext-link-0001",
     "steam"},
    {"HyphenatedJsonKey", R"({"access-token":"tok-hyphen-0001","expires_in":10})", "tok-hyphen-0001",
     "expires_in"},
    {"HyphenatedFormKey", "grant_type=refresh_token&refresh-token=r-hyphen-0001", "r-hyphen-0001",
     "grant_type=refresh_token"},
};

using FZorRedactBodyTest = ::testing::TestWithParam<FBodyCase>;
} // namespace

TEST_P(FZorRedactBodyTest, MasksSecretValuesAndKeepsTheRest)
{
    const FBodyCase& Case = GetParam();
    const FString Masked = ZorRedact::Body(Case.Body);
    EXPECT_FALSE(Masked.Contains(Case.Secret, ESearchCase::CaseSensitive)) << *Masked;
    EXPECT_TRUE(Masked.Contains(Case.Kept, ESearchCase::CaseSensitive)) << *Masked;
    EXPECT_TRUE(Masked.Contains("<redacted>")) << *Masked;
}

INSTANTIATE_TEST_SUITE_P(Bodies, FZorRedactBodyTest, ::testing::ValuesIn(BodyCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZorRedactTest, OnlyLongSecretsShowAShortPrefix)
{
    EXPECT_EQ(ZorRedact::Secret(LongToken), FString("eyJh<redacted>"));
    EXPECT_EQ(ZorRedact::Secret("short-secret"), FString("<redacted>"));
    EXPECT_EQ(ZorRedact::Secret(FString()), FString("<redacted>"));
    // An echoed password is masked as a marked secret, then by its key: one marker stays.
    EXPECT_EQ(ZorRedact::Body(ZorRedact::Text("password=echoed-password-0001&n=1", {"echoed-password-0001"})),
              FString("password=<redacted>&n=1"));
}

TEST(ZorRedactTest, KeysOnlyCountAtTheirBoundaries)
{
    // "token" inside "access_token_type" or a value is no key; the grant type naming a key is no value.
    const FString Body = R"({"access_token_type":"bearer","note":"token=abc"})";
    EXPECT_EQ(ZorRedact::Body(Body), Body);
}

TEST(ZorRedactTest, TextMasksEachGivenSecretAndSkipsEmptyOnes)
{
    const FString Url = "http://h/api/oauth/sessions/kill/" + LongToken;
    EXPECT_EQ(ZorRedact::Text(Url, {FString(), LongToken}),
              FString("http://h/api/oauth/sessions/kill/eyJh<redacted>"));
    EXPECT_EQ(ZorRedact::Text("nothing here", {FString()}), FString("nothing here"));
}

namespace
{
// Characters that each encoding writes its own way: '&', '+', '%', '#', a blank, '/', a quote, a backslash,
// a two-byte and a four-byte character.
const FString OddSecret("p&ss+w%1#\xC3\xA9 a/b\"c\\d\xF0\x9F\x98\x80");

struct FEncodedEchoCase
{
    const char* Name;
    FString Echo;
    TArray<FString> Secrets = {"other", OddSecret};
    FString Masked = "p&ss<redacted>";
    FString After = " after";
};

const FEncodedEchoCase EncodedEchoCases[] = {
    {"Raw", OddSecret},
    {"PercentEncodedBlankAsPercent20", "p%26ss%2Bw%251%23%C3%A9%20a%2Fb%22c%5Cd%F0%9F%98%80"},
    {"FormEncodedBlankAsPlus", "p%26ss%2Bw%251%23%C3%A9+a%2Fb%22c%5Cd%F0%9F%98%80"},
    {"LowerCaseHexAndUnreservedLeftRaw", "p%26ss%2bw%251%23%c3%a9+a/b%22c%5cd%f0%9f%98%80"},
    {"JsonEscaped", "p&ss+w%1#\\u00e9 a\\/b\\\"c\\\\d\\ud83d\\ude00"},
    {"JsonEscapedUtf8KeptRaw", "p&ss+w%1#\xC3\xA9 a/b\\\"c\\\\d\xF0\x9F\x98\x80"},
    // Decoding the JSON first keeps the decoded backslash from starting an escape.
    {"PercentEncodedInsideJson", "pw%5Cn\\/tail-0001", {"pw\\n/tail-0001"}, "<redacted>"},
    {"JsonEscapedInsidePercentEncoded", "p%26ss%2Bw%251%23%5Cu00e9%20a%5C%2Fb%5C%22c%5C%5Cd%5Cud83d%5Cude00"},
    // Neither order of reading one way after the other gives it back.
    {"PercentAndJsonEscapesMixed", "x\\u002541y%5Cn-0001", {"x%41y\\n-0001"}, "<redacted>"},
    {"FormEncodedWithNoEscape", "pass+word+0001", {"pass word 0001"}, "<redacted>"},
    // The '%' before the echo and its first characters read as one escape.
    {"EchoBeginsInsideAnEscapeBeforeIt", "100%4fe%2Fpw-0001", {"4fe/pw-0001"}, "100%<redacted>"},
    {"FirstCharacterPercentEncoded",
     "%C3%B1andu-pw-0001",
     {"\xC3\xB1"
      "andu-pw-0001"},
     "<redacted>"},
    // An old and a new password where the new one extends the old: the new one is masked whole.
    {"SecretExtendingAnother",
     "old-pw-0001-then-new",
     {"old-pw-0001", "old-pw-0001-then-new"},
     "old-<redacted>"},
    // A secret's own '%', '+' or backslash left raw beside an escaped character: both sides read alike.
    {"PercentLookalikeRawBlankAsPlus", "p%41ss+word-0001", {"p%41ss word-0001"}, "p%41<redacted>"},
    {"PercentLookalikeRawBlankEscaped", "p%41ss%20word-0001", {"p%41ss word-0001"}, "p%41<redacted>"},
    {"JsonEscapedPlus", "a\\u002Bb-secret-0001", {"a+b-secret-0001"}, "<redacted>"},
    {"JsonLookalikeRawQuoteEscaped", "a\\nb\\\"c-secret-01", {"a\\nb\"c-secret-01"}, "a\\nb<redacted>"},
    {"RawBackslashBeforeAnEscapedLetter",
     "pass\\\\u0077ord-is-long-1",
     {"pass\\word-is-long-1"},
     "pass<redacted>"},
    {"StrayBackslashBeforeAnEscapedFirstCharacter",
     "\\\\u0041f-secret-0001",
     {"Af-secret-0001"},
     "<redacted>"},
    {"LastCharacterEscapedAtTheEnd", "end-pw-000%31", {"end-pw-0001"}, "<redacted>", ""},
    // A search that forgets what it matched on a mismatch misses the echo after the secret's own repeat.
    {"SelfOverlappingSecretThenItsOwnTail", "aaaabaaabaa", {"aaaabaa"}, "<redacted>abaa"},
    {"ChainOfThreeOverlappingSecrets",
     "0123456789ABCDEFGHIJ",
     {"0123456789", "789ABCDEF", "EFGHIJ"},
     "<redacted>"},
    {"TwoEchoesBackToBack", "one-pw-0001two-pw-0002", {"one-pw-0001", "two-pw-0002"}, "<redacted><redacted>"},
    // Escapes are found 64 bytes at a time: one whose '%' is byte 63 of the text, and a run of backslashes
    // that starts at an odd or even byte and crosses byte 64, each of which escapes the next or is escaped,
    // then a '%' that no backslash escapes.
    {"PercentEscapeAcrossABlockEdge",
     FString(std::string(56, '-')) + "%41f-secret-0001",
     {"Af-secret-0001"},
     FString(std::string(56, '-')) + "<redacted>"},
    {"BackslashRunAcrossABlockEdge",
     FString(std::string(56, '-')) + "\\\\\\\\%5CAf-secret-0001",
     {"Af-secret-0001"},
     FString(std::string(56, '-')) + "<redacted>"},
    {"BackslashRunFromAnEvenByteAcrossABlockEdge",
     FString(std::string(55, '-')) + "\\\\\\\\%5CAf-secret-0001",
     {"Af-secret-0001"},
     FString(std::string(55, '-')) + "<redacted>"},
    // A NUL escapes nothing: the text does not hold the secret's newline in any form.
    {"NulBeforeALetterIsNoEscape",
     FString(std::string("x\0ny-secret-0001", 16)),
     {"x\ny-secret-0001"},
     FString(std::string("x\0ny-secret-0001", 16))},
};

using FZorRedactEchoTest = ::testing::TestWithParam<FEncodedEchoCase>;
} // namespace

TEST_P(FZorRedactEchoTest, AMarkedSecretIsMaskedInEveryFormAnEchoWritesIt)
{
    const FEncodedEchoCase& Case = GetParam();
    EXPECT_EQ(ZorRedact::Text("before " + Case.Echo + Case.After, Case.Secrets),
              "before " + Case.Masked + Case.After);
}

INSTANTIATE_TEST_SUITE_P(Forms, FZorRedactEchoTest, ::testing::ValuesIn(EncodedEchoCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZorRedactTest, BasicCredentialsAreSecretEncodedDecodedAndAlone)
{
    const TArray<FString> Basic = ZorRedact::Credentials("Basic em9yY2xpZW50OnMzY3JldDo6dGFpbA==");
    EXPECT_EQ(Basic, (TArray<FString>{"em9yY2xpZW50OnMzY3JldDo6dGFpbA==", "zorclient:s3cret::tail",
                                      "s3cret::tail"}));
    EXPECT_EQ(ZorRedact::Credentials("bearer tok-1"), TArray<FString>{"tok-1"});
    EXPECT_EQ(ZorRedact::Credentials(FString()), TArray<FString>());
}

TEST(ZorRedactTest, AnEchoThatReadsManyWaysIsSoughtInBoundedWork)
{
    // Each backslash pair reads as one backslash or two: a hostile text could offer the search a number of
    // paths that doubles with every pair.
    const FString Secret = FString(std::string(40, '\\')) + "x";
    const FString Echo = FString(std::string(4000, '\\')) + "x";
    const FString Masked = ZorRedact::Text(Echo, {Secret});
    EXPECT_TRUE(Masked.EndsWith("<redacted>")) << *Masked.Right(40);
    EXPECT_FALSE(Masked.Contains(Secret, ESearchCase::CaseSensitive));
}

TEST(ZorRedactTest, LongBodiesAreCutAfterMasking)
{
    FString Body = R"({"access_token":")" + LongToken + R"(","pad":")";
    for (int32 Index = 0; Index < 3 * ZorRedact::MaxLoggedBody; ++Index)
    {
        Body.AppendChar('x');
    }
    Body += "\"}";
    const FString Masked = ZorRedact::Body(Body);
    const FString Note = FString::Printf("... (%d bytes)", Body.Len());
    EXPECT_EQ(Masked.Len(), ZorRedact::MaxLoggedBody + Note.Len());
    EXPECT_TRUE(Masked.EndsWith(Note)) << *Masked.Right(40);
    EXPECT_FALSE(Masked.Contains(LongToken));
}

TEST(ZorRedactTest, HugeBodyLogsABoundedLineWithItsLength)
{
    const FString Huge(std::string(10 * 1024 * 1024, 'e'));
    const FString Logged = ZorRedact::Body(Huge);
    EXPECT_LE(Logged.Len(), ZorRedact::MaxLoggedBody + 32);
    EXPECT_TRUE(Logged.EndsWith("... (10485760 bytes)")) << *Logged.Right(40);
}

namespace
{
struct FUtf8Case
{
    const char* Name;
    std::string Body;
    std::string Logged;
};

std::string Repeated(int32 Count, char Char = 'a')
{
    return std::string(static_cast<size_t>(Count), Char);
}

constexpr int32 Cut = ZorRedact::MaxLoggedBody;

const FUtf8Case Utf8Cases[] = {
    {"Ascii", "plain", "plain"},
    {"TwoByte", "caf\xC3\xA9", "caf\xC3\xA9"},
    {"FourByte", "\xF0\x9F\x98\x80!", "\xF0\x9F\x98\x80!"},
    {"StrayContinuation",
     "a\x80"
     "b",
     "a\\x80b"},
    {"InvalidLead",
     "\xFF"
     "x",
     "\\xFFx"},
    {"Overlong", "\xC0\xAF", "\\xC0\\xAF"},
    {"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
    {"AboveUnicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
    {"TruncatedAtEnd", "ok\xE2\x82", "ok\\xE2\\x82"},
    // Whole up to the cut, as logged after escaping; one byte past it, cut with the body's length.
    {"AtTheCut", Repeated(Cut), Repeated(Cut)},
    {"OnePastTheCut", Repeated(Cut + 1), Repeated(Cut) + "... (1025 bytes)"},
    {"EscapeEndingAtTheCut", Repeated(Cut - 4) + "\x01", Repeated(Cut - 4) + "\\x01"},
    {"EscapeEndingOnePastTheCut", Repeated(Cut - 3) + "\x01", Repeated(Cut - 3) + "... (1022 bytes)"},
};

using FZorRedactUtf8Test = ::testing::TestWithParam<FUtf8Case>;
} // namespace

TEST_P(FZorRedactUtf8Test, InvalidBytesAreShownEscaped)
{
    const FUtf8Case& Case = GetParam();
    EXPECT_EQ(ZorRedact::Body(FString(Case.Body)), FString(Case.Logged));
}

INSTANTIATE_TEST_SUITE_P(Bodies, FZorRedactUtf8Test, ::testing::ValuesIn(Utf8Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ZorRedactTest, CutNeverSplitsACharacterOrAnEscape)
{
    FString Body(std::string(ZorRedact::MaxLoggedBody - 1, 'a'));
    Body += FString(std::string("\xC3\xA9\xFF"));
    const FString Logged = ZorRedact::Body(Body);
    EXPECT_TRUE(Logged.StartsWith(FString(std::string(ZorRedact::MaxLoggedBody - 1, 'a')) + "..."))
        << *Logged.Right(40);
}
