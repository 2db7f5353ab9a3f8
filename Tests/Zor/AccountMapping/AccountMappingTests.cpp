#include "ZorSubsystemTest.h"

#include "AccountMapping/OnlineAccountMappingZor.h"
#include "ZorRows.h"

namespace
{
// Identity stays under /account; the mapping's own section moves its queries to /mapping.
const char* const MappingIni = "\n[OnlineSubsystemZor.OnlineAccountMappingZor]\nServiceName=mapping\n";
const char* const Links = "http://127.0.0.1:8080/account/api/public/account/acct1/externalAuths";
const char* const Queries = "http://127.0.0.1:8080/mapping/api/public/account/acct1/externalAuths";
} // namespace

class FAccountMappingTest : public FZorSubsystemTest
{
protected:
    void SetUp() override
    {
        SetIni(FString(ZorTestIni) + MappingIni);
        CreateSubsystem();
        LoginUser();
        if (FindPending("/sessions/kill"))
        {
            Answer("/sessions/kill", 204, "");
        }
        Mapping().AddOnAddExternalAccountCompleteDelegate(FOnAddExternalAccountCompleteDelegate::CreateLambda(
            [this](bool bOk, const FUniqueNetId& UserId, const FExternalOnlineAccount& Account,
                   const FString& Error)
            { Note("add", bOk, UserId.ToString() + " " + Account.Type, Error); }));
        Mapping().AddOnRemoveExternalAccountCompleteDelegate(
            FOnRemoveExternalAccountCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId& UserId, const FExternalOnlineAccount& Account,
                       const FString& Error)
                { Note("remove", bOk, UserId.ToString() + " " + Account.Type, Error); }));
        Mapping().AddOnQueryExternalAccountsCompleteDelegate(
            FOnQueryExternalAccountsCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId& UserId, const FString& Error)
                { Note("query", bOk, UserId.ToString(), Error); }));
        Mapping().AddOnQueryUserIdFromDisplayNameCompleteDelegate(
            FOnQueryUserIdFromDisplayNameCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId& UserId, const FString& Name, const FUniqueNetId& Found,
                       const FString& Error) {
                    Note("name", bOk, UserId.ToString() + " " + Name + " [" + Found.ToString() + "]", Error);
                }));
    }

    FOnlineAccountMappingZor& Mapping() { return *Subsystem->GetZorAccountMappingService(); }

    void Note(const char* Operation, bool bOk, const FString& What, const FString& Error)
    {
        Events.push_back(std::string(Operation) + (bOk ? " ok " : " fail ") + What.ToStdString() +
                         (Error.IsEmpty() ? "" : " / " + Error.ToStdString()));
    }

    /** The cached list of acct1 as "type:id" words, or "none". */
    std::string Cached()
    {
        TArray<FExternalOnlineAccount> Accounts;
        if (!Mapping().GetExternalAccounts(FUniqueNetIdString("acct1"), Accounts))
        {
            return "none";
        }
        std::string Text;
        for (const FExternalOnlineAccount& Account : Accounts)
        {
            Text += (Text.empty() ? "" : " ") + Account.Type.ToStdString() + ":" + Account.Id.ToStdString();
        }
        return Text;
    }

    /** Lets the user road send, then answers the request. */
    void Reply(int32 Code, const FString& Body)
    {
        Tick();
        RespondOldest(Code, Body);
        Tick();
    }

    const FUniqueNetIdString User{"acct1"};
    std::vector<std::string> Events;
};

namespace
{
struct FRequestsGoOutOnTheUserRoadToTheirOwnBaseRow
{
    std::function<bool(FOnlineAccountMappingZor&, const FUniqueNetId&)> Start;
    const char* Verb;
    std::string Url;
    const char* ContentType;
    const char* Body;
};
const FRequestsGoOutOnTheUserRoadToTheirOwnBaseRow RequestsGoOutOnTheUserRoadToTheirOwnBaseRows[] = {
    {[](auto& M, auto& U) {
         return M.AddExternalAccount(U, {"console", "ignored", "id:proof"});
     },
     "POST", Links, "application/json", R"("authType": "console")"},
    {[](auto& M, auto& U) {
         return M.RemoveExternalAccount(U, {"con/sole", "", ""});
     },
     "DELETE", std::string(Links) + "/con%2Fsole", "application/json", ""},
    {[](auto& M, auto& U) { return M.QueryExternalAccounts(U, ""); }, "GET", Queries, "application/json", ""},
    {[](auto& M, auto& U) { return M.QueryExternalAccounts(U, "a b"); }, "GET",
     std::string(Queries) + "/a%20b", "application/json", ""},
    {[](auto& M, auto& U) { return M.QueryUserIdFromDisplayName(U, "Dee?x=`id"); }, "GET",
     "http://127.0.0.1:8080/mapping/api/public/account/displayName/Dee%3Fx=`id", "text/plain", ""},
};

using FAccountMappingTestRequestsGoOutOnTheUserRoadToTheirOwnBase = TZorRows<FAccountMappingTest>;
} // namespace

TEST_P(FAccountMappingTestRequestsGoOutOnTheUserRoadToTheirOwnBase, RequestsGoOutOnTheUserRoadToTheirOwnBase)
{
    const FRequestsGoOutOnTheUserRoadToTheirOwnBaseRow& Case =
        RequestsGoOutOnTheUserRoadToTheirOwnBaseRows[GetParam()];
    const int32 Started = Http().NumStarted();
    ASSERT_TRUE(Case.Start(Mapping(), User)) << Case.Url;
    EXPECT_EQ(Http().NumStarted(), Started) << "waits for the road's tick";
    Tick();
    const FInMemoryHttpTransport::FStartedRequest Sent = Oldest();
    EXPECT_EQ(Sent.Verb.ToStdString(), Case.Verb);
    EXPECT_EQ(Sent.URL.ToStdString(), Case.Url);
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization").ToStdString(), "bearer access-1");
    EXPECT_EQ(ZorExact::Header(Sent, "Content-Type").ToStdString(), Case.ContentType);
    EXPECT_TRUE(Sent.GetContentAsString().Contains(Case.Body, ESearchCase::CaseSensitive)) << Case.Url;
    EXPECT_FALSE(Sent.GetContentAsString().Contains("externalId"));
    RespondOldest(500, "");
    Tick();
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountMappingTestRequestsGoOutOnTheUserRoadToTheirOwnBase,
                         ::testing::Range(size_t{0},
                                          std::size(RequestsGoOutOnTheUserRoadToTheirOwnBaseRows)));

namespace
{
const FUniqueNetIdString MappingNobody(FString{});
const FUniqueNetIdString MappingUser("acct1");

struct FMappingCheckCase
{
    std::function<bool(FOnlineAccountMappingZor&)> Start;
    std::string Expected;
    /** The warning the refusal logs, where the row looks for one. */
    const char* Warning = nullptr;
};

const FMappingCheckCase MappingCheckCases[] = {
    {[](auto& M) {
         return M.AddExternalAccount(MappingNobody, {"x", "", "t"});
     },
     "add fail  x / Invalid userid"},
    {[](auto& M) {
         return M.AddExternalAccount(MappingUser, {"x", "1", ""});
     },
     "add fail acct1 x / Invalid external account info specified"},
    {[](auto& M) {
         return M.RemoveExternalAccount(MappingUser, {"", "1", "t"});
     },
     "remove fail acct1  / Invalid external account info specified"},
    {[](auto& M) { return M.QueryExternalAccounts(MappingNobody, "x"); }, "query fail  / Invalid userid"},
    {[](auto& M) { return M.QueryUserIdFromDisplayName(MappingNobody, "Dee"); },
     "name fail  Dee [] / Invalid requesting userid"},
    {[](auto& M) { return M.QueryUserIdFromDisplayName(MappingUser, ""); },
     "name fail acct1  [] / Empty identification string request"},
    {[](auto& M) { return M.QueryExternalAccounts(FUniqueNetIdString("stranger"), ""); },
     "query fail stranger / Invalid user auth for id=stranger. Need to login first",
     "QueryExternalAccounts request failed. Invalid user auth"},
};

using FAccountMappingCheckTest = TZorRows<FAccountMappingTest>;
} // namespace

TEST_P(FAccountMappingCheckTest, ChecksRefuseBeforeSending)
{
    const FMappingCheckCase& Case = MappingCheckCases[GetParam()];
    Events.clear();
    EXPECT_FALSE(Case.Start(Mapping()));
    EXPECT_EQ(Events, std::vector<std::string>{Case.Expected});
    EXPECT_EQ(Http().NumPending(), 0);
    if (Case.Warning)
    {
        EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, Case.Warning));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountMappingCheckTest,
                         ::testing::Range(size_t{0}, std::size(MappingCheckCases)));

TEST_F(FAccountMappingTest, OneAccountRequestPerUserButLookupsRunTogether)
{
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(User, "A"));
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(User, "B"));
    ASSERT_TRUE(Mapping().QueryExternalAccounts(User, ""));
    EXPECT_FALSE(Mapping().AddExternalAccount(User, {"x", "", "t"}));
    EXPECT_FALSE(Mapping().QueryUserIdFromDisplayName(User, "C"));
    EXPECT_EQ(Events,
              (std::vector<std::string>{"add fail acct1 x / Already pending for user=acct1",
                                        "name fail acct1 C [] / Already pending for requesting user=acct1"}));
}

TEST_F(FAccountMappingTest, CacheFollowsLinksUnlinksAndQueries)
{
    const struct
    {
        const char* Name;
        std::function<bool(FOnlineAccountMappingZor&, const FUniqueNetId&)> Start;
        int32 Code;
        const char* Body;
        const char* Cached;
        std::string Event;
    } Steps[] = {
        {"never queried",
         [](auto& M, auto& U) {
             return M.AddExternalAccount(U, {"x", "1", "t"});
         },
         204, "", "none", "add fail acct1 x / Invalid response. code=204 error="},
        {"untyped query fills", [](auto& M, auto& U) { return M.QueryExternalAccounts(U, ""); }, 200,
         R"([{"tavoId":"acct1","externalAccounts":[{"type":"x","externalId":"1"},{"type":"x","externalId":"2"},)"
         R"({"type":"y","externalId":"3"}]}])",
         "x:1 x:2 y:3", "query ok acct1"},
        {"link of a listed account",
         [](auto& M, auto& U) {
             return M.AddExternalAccount(U, {"X", "1", "t"});
         },
         200, "{}", "x:1 x:2 y:3", "add ok acct1 X"},
        {"typed query keeps other types", [](auto& M, auto& U) { return M.QueryExternalAccounts(U, "y"); },
         200, R"([{"tavoId":"acct1","externalAccounts":[{"type":"y","externalId":"4"}]}])", "x:1 x:2 y:4",
         "query ok acct1"},
        {"unlink drops the whole type",
         [](auto& M, auto& U) {
             return M.RemoveExternalAccount(U, {"X", "", ""});
         },
         200, "", "y:4", "remove ok acct1 X"},
        {"unlink answered 204 fails",
         [](auto& M, auto& U) {
             return M.RemoveExternalAccount(U, {"y", "", ""});
         },
         204, "", "y:4", "remove fail acct1 y / Invalid response. code=204 error="},
        {"reply that is no list", [](auto& M, auto& U) { return M.QueryExternalAccounts(U, ""); }, 200,
         R"({"tavoId":"acct1","externalAccounts":[]})", "y:4",
         R"(query fail acct1 / Invalid response payload={"tavoId":"acct1","externalAccounts":[]})"},
        {"link appends",
         [](auto& M, auto& U) {
             return M.AddExternalAccount(U, {"z", "9", "t"});
         },
         200, "", "y:4 z:9", "add ok acct1 z"},
    };
    for (const auto& Step : Steps)
    {
        Events.clear();
        ASSERT_TRUE(Step.Start(Mapping(), User)) << Step.Name;
        Reply(Step.Code, Step.Body);
        EXPECT_EQ(Cached(), Step.Cached) << Step.Name;
        EXPECT_EQ(Events, std::vector<std::string>{Step.Event}) << Step.Name;
    }
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Verbose,
                     FString("AddExternalAccountMapping request complete. url=") + Links + " code=200"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "QueryExternalAccountMappings request failed. Invalid response"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning,
                             "AddExternalAccount request failed. Invalid response. code=204"));
}

namespace
{
struct FDisplayNameRepliesRow
{
    int32 Code;
    const char* Body;
    std::string Event;
};
const FDisplayNameRepliesRow DisplayNameRepliesRows[] = {
    {200, R"({"id":"u9","displayName":"Dee"})", "name ok acct1 Dee [u9]"},
    {404, R"({"errorMessage":"nobody"})", "name ok acct1 Dee []"},
    {200, "", "name fail acct1 Dee [] / Empty response payload"},
    {200, R"({"displayName":"Dee"})",
     R"(name fail acct1 Dee [] / Invalid response payload={"displayName":"Dee"})"},
    {200, "[1]", "name fail acct1 Dee [] / Invalid response payload=[1]"},
    {200, R"({"id":""})", R"(name fail acct1 Dee [] / Empty user id in payload={"id":""})"},
    {201, R"({"id":"u9"})", R"(name fail acct1 Dee [] / Invalid response. code=201 error={"id":"u9"})"},
};

using FAccountMappingTestDisplayNameReplies = TZorRows<FAccountMappingTest>;
} // namespace

TEST_P(FAccountMappingTestDisplayNameReplies, DisplayNameReplies)
{
    const FDisplayNameRepliesRow& Case = DisplayNameRepliesRows[GetParam()];
    Events.clear();
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(User, "Dee"));
    Reply(Case.Code, Case.Body);
    EXPECT_EQ(Events, std::vector<std::string>{Case.Event});
}

INSTANTIATE_TEST_SUITE_P(Rows, FAccountMappingTestDisplayNameReplies,
                         ::testing::Range(size_t{0}, std::size(DisplayNameRepliesRows)));

TEST_F(FAccountMappingTest, CancelledAndShutDownRequestsReportNoResponse)
{
    ASSERT_TRUE(Mapping().QueryExternalAccounts(User, ""));
    Tick();
    ASSERT_TRUE(Http().Fail(Http().FindOldestPending()));
    Tick();
    ASSERT_TRUE(Mapping().QueryUserIdFromDisplayName(User, "Dee"));
    ASSERT_TRUE(Mapping().AddExternalAccount(User, {"x", "", "t"}));
    const TSharedPtr<FOnlineAccountMappingZor> Held = Subsystem->GetZorAccountMappingService();
    Subsystem->Shutdown();
    Tick(2);
    EXPECT_FALSE(Subsystem->GetZorAccountMappingService());
    EXPECT_EQ(Events, (std::vector<std::string>{"query fail acct1 / No response",
                                                "name fail acct1 Dee [] / No response",
                                                "add fail acct1 x / No response"}));
    EXPECT_FALSE(Held->QueryExternalAccounts(User, ""));
    EXPECT_EQ(Events.back(), "query fail acct1 / No response");
    TArray<FExternalOnlineAccount> Accounts;
    EXPECT_FALSE(Held->GetExternalAccounts(User, Accounts));
}
