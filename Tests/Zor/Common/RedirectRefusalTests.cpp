#include <chrono>
#include <functional>
#include <thread>
#include <type_traits>
#include <vector>

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "CaseNamePrinter.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Core/Paths.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Messages/ZorMessagePayload.h"
#include "Online/OnlineUserInterface.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Time/OnlineTimeZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "ZorSubsystemTest.h"
#include "ZorTempFolder.h"

class FRedirectRefusalTest;

namespace
{
using ZorTestCases::PrintTo;

struct FRedirectCase
{
    const char* Name;
    int32 Code;
    /** Starts the operation with its completion bound to Report; true when it was accepted. */
    std::function<bool(FRedirectRefusalTest&)> Start;
    /** What the operation would take as success, so only the code can fail it. */
    const char* Body = "";
    /** Whether the operation signs with the application's client token. */
    bool bClientToken = false;
    /** Brings the service to where the operation can start; null when nothing is needed. */
    std::function<void(FRedirectRefusalTest&)> Prepare = nullptr;
};
} // namespace

/**
 * One logged-in user; each case answers its operation's request with a 3xx. The HTTP layer follows no
 * redirect, so the answer never reached what it names and the call must not report success.
 */
class FRedirectRefusalTest : public FZorSubsystemTest, public ::testing::WithParamInterface<FRedirectCase>
{
public:
    using FZorSubsystemTest::Identity;
    using FZorSubsystemTest::Subsystem;

    // Copies a wrongly accepted answer would cache stay out of the working folder.
    FRedirectRefusalTest() { FPaths::SetProjectSavedDir(FString((Folder.Path() / "Saved").string())); }
    ~FRedirectRefusalTest() override { FPaths::SetProjectSavedDir(FString()); }

    void SetUp() override
    {
        CreateSubsystem();
        LoginUser();
        if (FindPending("/sessions/kill"))
        {
            Answer("/sessions/kill", 204, "");
        }
    }

    /** A delegate of any completion signature that records its success flag. */
    template <typename DelegateType> DelegateType Report()
    {
        return DelegateType::CreateLambda([Self = this](const auto&... Args) { (Self->Note(Args), ...); });
    }

    void GiveClientToken()
    {
        ASSERT_TRUE(Identity().AuthClient(Subsystem->GetAppId()));
        Answer("/api/oauth/token", 200, TokenReply("", 3600.0, "client-token"));
    }

    /** An online session "Game" whose create the service answered. */
    void CreateSession()
    {
        FOnlineSessionSettings Settings;
        Settings.NumPublicConnections = 4;
        Settings.bShouldAdvertise = true;
        ASSERT_TRUE(Subsystem->GetZorSessionService()->CreateSession(0, "Game", Settings));
        ASSERT_TRUE(PumpUntil([this] { return FindPending("/api/matchmaking/session") != nullptr; }));
        Answer("/api/matchmaking/session", 200,
               FString::Printf(R"({"id":"s1","ownerId":"acct1","buildUniqueId":"%d","serverAddress":"1",)"
                               R"("serverPort":7777,"maxPublicPlayers":4,"openPublicPlayers":4})",
                               GetBuildUniqueId()));
        ASSERT_TRUE(PumpUntil(
            [this] {
                return Subsystem->GetZorSessionService()->GetSessionState("Game") !=
                       EOnlineSessionState::Creating;
            }));
        Http().Reset();
    }

    /** Starts the case's call, answers its request with Code and the case's body; returns the request's URL.
     */
    FString Run(const FRedirectCase& Case, int32 Code)
    {
        if (Case.bClientToken)
        {
            GiveClientToken();
        }
        if (Case.Prepare)
        {
            Case.Prepare(*this);
        }
        EXPECT_TRUE(Case.Start(*this));
        EXPECT_TRUE(PumpUntil([this] { return Http().FindOldestPending() != nullptr; }))
            << "nothing was sent";
        if (!Http().FindOldestPending())
        {
            return FString();
        }
        const FString Url = Record(Http().FindOldestPending()).URL;
        RespondOldest(Code, Case.Body);
        EXPECT_TRUE(PumpUntil([this] { return !Outcomes.empty(); })) << "no completion for " << *Url;
        return Url;
    }

    FOnlineUserCloudZor& Cloud() { return *Subsystem->GetZorUserCloudService(); }
    FOnlineTitleFileZor& Titles() { return *Subsystem->GetZorTitleFileService(); }

    FZorTempFolder Folder{"zor_redirect"};
    const FUniqueNetIdString User{FString("acct1")};
    TArray<uint8> Bytes{'h', 'i'};
    std::vector<bool> Outcomes;

private:
    template <typename ArgType> void Note(const ArgType& Arg)
    {
        if constexpr (std::is_same_v<ArgType, bool>)
        {
            Outcomes.push_back(Arg);
        }
    }
};

namespace
{
bool WriteFile(FRedirectRefusalTest& T)
{
    T.Cloud().AddOnWriteUserFileCompleteDelegate(T.Report<FOnWriteUserFileCompleteDelegate>());
    return T.Cloud().WriteUserFile(T.User, "a.sav", T.Bytes);
}

bool ListFiles(FRedirectRefusalTest& T)
{
    T.Cloud().AddOnEnumerateUserFilesCompleteDelegate(T.Report<FOnEnumerateUserFilesCompleteDelegate>());
    T.Cloud().EnumerateUserFiles(T.User);
    return true;
}

bool ListTitleFiles(FRedirectRefusalTest& T)
{
    T.Titles().AddOnEnumerateFilesCompleteDelegate(T.Report<FOnEnumerateFilesCompleteDelegate>());
    return T.Titles().EnumerateFiles(FPagedQuery());
}

const FRedirectCase RedirectCases[] = {
    {"CloudWriteFound", 302, WriteFile, ""},
    {"CloudWriteMultipleChoices", 300, WriteFile, ""},
    {"CloudWriteNotModified", 304, WriteFile, ""},
    {"CloudWriteTemporaryRedirect", 307, WriteFile, ""},
    {"CloudListFound", 302, ListFiles, "[]"},
    {"CloudListNotModified", 304, ListFiles, "[]"},
    {"CloudDeleteFound", 302,
     [](FRedirectRefusalTest& T)
     {
         T.Cloud().AddOnDeleteUserFileCompleteDelegate(T.Report<FOnDeleteUserFileCompleteDelegate>());
         return T.Cloud().DeleteUserFile(T.User, "a.sav", true, false);
     },
     ""},
    {"CloudReadFound", 302,
     [](FRedirectRefusalTest& T)
     {
         T.Cloud().AddOnReadUserFileCompleteDelegate(T.Report<FOnReadUserFileCompleteDelegate>());
         return T.Cloud().ReadUserFile(T.User, "a.sav");
     },
     "hi"},
    {"TitleListFound", 302, ListTitleFiles, "[]", true},
    {"TitleListNotModified", 304, ListTitleFiles, "[]", true},
    {"TitleReadFound", 302,
     [](FRedirectRefusalTest& T)
     {
         T.Titles().AddOnReadFileCompleteDelegate(T.Report<FOnReadFileCompleteDelegate>());
         return T.Titles().ReadFile("t.bin");
     },
     "title", true},
    {"AccountDelete", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineAccountCreationZor& Accounts = *T.Subsystem->GetZorAccountCreationService();
         Accounts.AddOnDeleteAccountCompleteDelegate(T.Report<FOnTavoAccountCompleteDelegate>());
         return Accounts.DeleteAccount("p@x.io", "pw");
     },
     ""},
    {"AccountResetPassword", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineAccountCreationZor& Accounts = *T.Subsystem->GetZorAccountCreationService();
         Accounts.AddOnResetPasswordCompleteDelegate(T.Report<FOnTavoAccountCompleteDelegate>());
         return Accounts.ResetPassword("p@x.io");
     },
     "", true},
    {"MessageSend", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineMessageZor& Messages = *T.Subsystem->GetZorMessageService();
         Messages.AddOnSendMessageCompleteDelegate(T.Report<FOnSendMessageCompleteDelegate>());
         FZorMessagePayload Payload;
         Payload.SetAttribute("gold", FVariantData(5));
         return Messages.SendMessage(0, {MakeShared<FUniqueNetIdString>("u2")}, "gift", Payload);
     },
     "{}"},
    {"FriendInvite", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineFriendsZor& Friends = *T.Subsystem->GetZorFriendsService();
         Friends.AddOnSendInviteCompleteDelegate(T.Report<FOnSendInviteCompleteDelegate>());
         return Friends.SendInvite(0, FUniqueNetIdString("f9"), "default");
     },
     "{}"},
    {"SessionDestroy", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineSessionZor& Sessions = *T.Subsystem->GetZorSessionService();
         Sessions.AddOnDestroySessionCompleteDelegate(T.Report<FOnDestroySessionCompleteDelegate>());
         return Sessions.DestroySession("Game");
     },
     "", false, [](FRedirectRefusalTest& T) { T.CreateSession(); }},
    {"IdentityClientGrant", 302,
     [](FRedirectRefusalTest& T)
     {
         T.Identity().AddOnAuthClientCompleteDelegate(T.Report<FOnAuthClientCompleteDelegate>());
         return T.Identity().AuthClient(T.Subsystem->GetAppId());
     },
     R"({"access_token":"client-token","expires_in":3600,"token_type":"bearer","client_id":"testclient"})"},
    {"IdentityExchangeCode", 302,
     [](FRedirectRefusalTest& T)
     {
         T.Identity().AddOnGenerateExchangeCodeCompleteDelegate(
             T.Report<FOnGenerateExchangeCodeCompleteDelegate>());
         return T.Identity().GenerateExchangeCode(T.User);
     },
     R"({"code":"xc-1","expiresInSeconds":300})"},
    {"UserInfoQuery", 302,
     [](FRedirectRefusalTest& T)
     {
         IOnlineUser& Users = *T.Subsystem->GetUserInterface();
         Users.AddOnQueryUserInfoCompleteDelegate(0, T.Report<FOnQueryUserInfoCompleteDelegate>());
         return Users.QueryUserInfo(0, {MakeShared<FUniqueNetIdString>("u2")});
     },
     R"([{"id":"u2","displayName":"Two"}])"},
    {"AccountMappingQuery", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineAccountMappingZor& Mapping = *T.Subsystem->GetZorAccountMappingService();
         Mapping.AddOnQueryExternalAccountsCompleteDelegate(
             T.Report<FOnQueryExternalAccountsCompleteDelegate>());
         return Mapping.QueryExternalAccounts(T.User, "");
     },
     "[]"},
    {"CatalogCategories", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineCatalogServiceZor& Catalog = *T.Subsystem->GetZorCatalogService();
         Catalog.AddOnQueryCategoriesCompleteDelegate(T.Report<FOnQueryCategoriesCompleteDelegate>());
         return Catalog.QueryCategories(FPagedQuery());
     },
     R"({"paging":{"start":0,"count":0,"total":0},"elements":[]})", true},
    {"OrdersQuery", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineOrderServiceZor& Orders = *T.Subsystem->GetZorOrderService();
         Orders.AddOnQueryOrdersCompleteDelegate(T.Report<FOnQueryOrdersCompleteDelegate>());
         return Orders.QueryOrders(T.User);
     },
     R"({"paging":{},"elements":[]})"},
    {"PaymentDefaultAccount", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlinePaymentServiceZor& Payment = *T.Subsystem->GetZorPaymentService();
         Payment.AddOnQueryDefaultBillingAccountCompleteDelegate(
             T.Report<FOnQueryDefaultBillingAccountCompleteDelegate>());
         return Payment.QueryDefaultBillingAccount(T.User);
     },
     R"({"billingAccountName":"Visa"})"},
    {"EntitlementsQuery", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineEntitlementsZor& Entitlements = *T.Subsystem->GetZorEntitlementsService();
         Entitlements.AddOnQueryEntitlementsCompleteDelegate(
             T.Report<FOnQueryEntitlementsCompleteDelegate>());
         return Entitlements.QueryEntitlements(T.User);
     },
     "[]"},
    {"BuildInfoEntitledBuilds", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineBuildInfoServiceZor& Builds = *T.Subsystem->GetZorBuildInfoService();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(T.Report<FOnQueryEntitledBuildsCompleteDelegate>());
         return Builds.QueryEntitledBuilds(T.User, "Live", "Windows");
     },
     "[]"},
    {"BuildInfoV2EntitledBuilds", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineBuildInfoServiceZorV2& Builds = *T.Subsystem->GetZorBuildInfoServiceV2();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(T.Report<FOnQueryEntitledBuildsCompleteDelegate>());
         return Builds.QueryEntitledBuilds(T.User, "Windows", "Live", "");
     },
     "[]"},
    {"ServerTime", 302,
     [](FRedirectRefusalTest& T)
     {
         FOnlineTimeZor& Time = *T.Subsystem->GetZorTimeService();
         Time.AddOnQueryServerUtcTimeCompleteDelegate(T.Report<FOnQueryServerUtcTimeCompleteDelegate>());
         return Time.QueryServerUtcTime();
     },
     "2026-12-07T10:00:00.000Z"},
};
} // namespace

TEST_P(FRedirectRefusalTest, ARedirectedAnswerFailsTheCall)
{
    const FRedirectCase& Case = GetParam();
    const FString Url = Run(Case, Case.Code);
    ASSERT_EQ(Outcomes.size(), 1u) << *Url;
    EXPECT_FALSE(Outcomes[0]) << *Url << " answered " << Case.Code << " reported success";
}

// The same call and body with only the code changed succeeds, so the refusal above comes from the code alone.
TEST_P(FRedirectRefusalTest, TheSameAnswerWithOkSucceeds)
{
    const FString Url = Run(GetParam(), 200);
    ASSERT_EQ(Outcomes.size(), 1u) << *Url;
    EXPECT_TRUE(Outcomes[0]) << *Url << " answered 200 reported failure";
}

INSTANTIATE_TEST_SUITE_P(Services, FRedirectRefusalTest, ::testing::ValuesIn(RedirectCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
