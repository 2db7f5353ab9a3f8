#include <functional>
#include <type_traits>

#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "CaseNamePrinter.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Core/Base64.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Messages/ZorMessagePayload.h"
#include "Online/OnlineUserInterface.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Profile/ZorProfile.h"
#include "Sessions/OnlineSessionZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "ZorSubsystemTest.h"

class FEchoedSecretsTest;

namespace
{
using ZorTestCases::PrintTo;

// Each holds characters that the wire and an echo write their own ways; passwords hold no blank.
const FString Password("p&ss+w%1#\xC3\xA9\"q\\z/pw-0001");
const FString NewPassword("n3w&p+w%2#\xC3\xA9/-0002");
const FString UserToken("user tok+en/&=%\xC3\xA9-0003");
const FString RefreshToken("refresh tok+en/&=%\xC3\xA9-0004");
const FString PurchaseToken("purchase tok+en/&=%\xC3\xA9-0005");
const FString ClientToken("client tok+en/&=%\xC3\xA9-0006");
const FString LinkToken("ext link+tok/&=%\xC3\xA9-0007");
const FString ExchangeCode("ex code+/&=%\xC3\xA9-0008");
const FString ValidationToken("val tok+/&=%\xC3\xA9-0009");
const FString Email("player@example.com");

/** Every byte but the unreserved ones as %XX; a blank as "+" when bPlus. */
FString PercentEncode(const FString& Text, bool bPlus)
{
    FString Out;
    for (const char Char : Text)
    {
        const bool bKept = std::isalnum(static_cast<unsigned char>(Char)) || Char == '-' || Char == '_' ||
                           Char == '.' || Char == '~';
        Out += bKept                  ? FString(std::string(1, Char))
               : Char == ' ' && bPlus ? FString("+")
                                      : FString::Printf("%%%02X", static_cast<uint8>(Char));
    }
    return Out;
}

/** Percent escapes decoded, and '+' read as a blank when bPlus (a form's rule; a path keeps it). */
FString PercentDecode(const FString& Text, bool bPlus)
{
    std::string Out;
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        if (Text[Index] == '%' && Index + 2 < Text.Len() &&
            std::isxdigit(static_cast<uint8>(Text[Index + 1])) &&
            std::isxdigit(static_cast<uint8>(Text[Index + 2])))
        {
            Out += static_cast<char>(std::stoi(Text.Mid(Index + 1, 2).ToStdString(), nullptr, 16));
            Index += 2;
            continue;
        }
        Out += Text[Index] == '+' && bPlus ? ' ' : Text[Index];
    }
    return FString(Out);
}

/** JSON string text with '/' and every character past ASCII escaped, as a cautious writer gives it. */
FString JsonEscape(const FString& Text)
{
    FString Out;
    for (int32 Index = 0; Index < Text.Len();)
    {
        const uint8 Lead = static_cast<uint8>(Text[Index]);
        if (Lead < 0x80)
        {
            Out += Lead == '"' || Lead == '\\' || Lead == '/' ? FString::Printf("\\%c", Lead)
                   : Lead < 0x20                              ? FString::Printf("\\u%04x", Lead)
                                 : FString(std::string(1, static_cast<char>(Lead)));
            ++Index;
            continue;
        }
        const int32 Length = Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : 2;
        uint32 CodePoint = Lead & (0xFF >> (Length + 1));
        for (int32 Next = 1; Next < Length; ++Next)
        {
            CodePoint = (CodePoint << 6) | (static_cast<uint8>(Text[Index + Next]) & 0x3F);
        }
        Out += CodePoint < 0x10000 ? FString::Printf("\\u%04x", CodePoint)
                                   : FString::Printf("\\u%04x\\u%04x", 0xD800 + ((CodePoint - 0x10000) >> 10),
                                                     0xDC00 + ((CodePoint - 0x10000) & 0x3FF));
        Index += Length;
    }
    return Out;
}

/** JSON string text with only what JSON requires escaped. */
FString JsonQuote(const FString& Text)
{
    return Text.Replace("\\", "\\\\", ESearchCase::CaseSensitive)
        .Replace("\"", "\\\"", ESearchCase::CaseSensitive);
}

/** Every form in which a secret may be shown: whole in any of them is a leak. */
TArray<FString> Forms(const FString& Secret)
{
    return {Secret, PercentEncode(Secret, false), PercentEncode(Secret, true), JsonEscape(Secret),
            JsonQuote(Secret)};
}

/**
 * What a service that echoes everything answers: the request's line, headers and body raw, percent-decoded
 * (with '+' kept and as a blank), with its Basic credentials decoded, then all of it again percent-encoded
 * with either blank and JSON-escaped.
 */
FString EchoOf(const FInMemoryHttpTransport::FStartedRequest& Request)
{
    FString Raw = Request.Verb + " " + Request.URL + "\n";
    FString Basic;
    for (const auto& Header : Request.Headers)
    {
        Raw += Header.Key + ": " + Header.Value + "\n";
        if (Header.Value.StartsWith("Basic "))
        {
            FBase64::Decode(Header.Value.RightChop(6), Basic);
        }
    }
    Raw += "\n" + Request.GetContentAsString();
    const FString Plain =
        Raw + "\n" + PercentDecode(Raw, false) + "\n" + PercentDecode(Raw, true) + "\n" + Basic;
    return Plain + "\n" + PercentEncode(Plain, false) + "\n" + PercentEncode(Plain, true) + "\n" +
           JsonEscape(Plain);
}

struct FEchoCase
{
    const char* Name;
    /** Starts the operation with its completion bound to Report; true when it was accepted. */
    std::function<bool(FEchoedSecretsTest&)> Start;
    /** A secret the operation's requests must carry, so the row cannot pass by sending none. */
    FString Carried;
};
} // namespace

/**
 * A user logged in with a password, holding user, refresh and purchase tokens, and the application's client
 * token; each case starts one operation and every request it sends is refused with an echo of the whole
 * request. No form of any secret may reach a log line, at any verbosity, or an event's text.
 */
class FEchoedSecretsTest : public FZorSubsystemTest, public ::testing::WithParamInterface<FEchoCase>
{
public:
    using FZorSubsystemTest::Identity;
    using FZorSubsystemTest::Subsystem;

    void SetUp() override
    {
        LogHttp.SetVerbosity(ELogVerbosity::VeryVerbose);
        LogOnlineGame.SetVerbosity(ELogVerbosity::VeryVerbose);
        SetIni(FString(ZorTestIni) + "[OnlineSubsystemZor.ZorProfile]\nZorClientCommandUrl=/game/client/"
                                     "`accountId/`profileId/`fname\n");
        CreateSubsystem();
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", Email, Password)));
        Answer("/api/oauth/token", 200, TokenReply("acct1", 3600.0, UserToken));
        Answer("/api/public/account/", 200, R"({"id":"acct1","displayName":"Player One"})");
        Answer("/api/oauth/token", 200, TokenReply("acct1", 7200.0, PurchaseToken, "purchaseclient"));
        if (FindPending("/sessions/kill"))
        {
            Answer("/sessions/kill", 204, "");
        }
        ASSERT_TRUE(Identity().AuthClient(Subsystem->GetAppId()));
        Answer("/api/oauth/token", 200, TokenReply("", 3600.0, ClientToken));
        ASSERT_TRUE(Account());
        Account()->UserToken.refresh_token = RefreshToken;
        Http().Reset();
    }
    void TearDown() override
    {
        FZorSubsystemTest::TearDown();
        for (UZorProfile* Profile : Profiles)
        {
            Profile->RemoveFromRoot();
        }
        CollectGarbage();
        LogHttp.SetVerbosity(PreviousHttpVerbosity);
        LogOnlineGame.SetVerbosity(PreviousGameVerbosity);
    }

    /** The user's profile, queried, its result recorded as an event's. */
    bool QueryProfile()
    {
        UZorProfile* Profile = NewObject<UZorProfile>();
        Profile->AddToRoot();
        Profiles.Add(Profile);
        Profile->Initialize(Subsystem.Get(), MakeShared<FUniqueNetIdString>("acct1"), true);
        return Profile->ForceQueryProfile(FOnZorQueryComplete::CreateLambda(
            [this](const FZorQueryResult& Result)
            {
                Outcomes.Add(Result.bSucceeded);
                Texts.Add(Result.ErrorText.ToString());
            }));
    }

    /** A delegate of any completion signature that records its success flag and its texts. */
    template <typename DelegateType> DelegateType Report()
    {
        return DelegateType::CreateLambda([Self = this](const auto&... Args) { (Self->Note(Args), ...); });
    }

    TSharedPtr<FUserOnlineAccountZor> Account() { return Identity().GetUserAccountZor(User); }
    FOnlineAccountCreationZor& Accounts() { return *Subsystem->GetZorAccountCreationService(); }

    /** Refuses every waiting request with an echo of it; false when none waited. */
    bool EchoWaiting()
    {
        bool bAny = false;
        for (const auto& Started : Http().GetStartedRequests())
        {
            if (Started.State == FInMemoryHttpTransport::EState::Pending)
            {
                const FString Echo = EchoOf(Started);
                Echoes += Echo;
                Http().Respond(Started.Request, 400,
                               R"({"errorCode":"errors.echo","errorMessage":")" + JsonEscape(Echo) + "\"}");
                bAny = true;
            }
        }
        return bAny;
    }

    const FUniqueNetIdString User{FString("acct1")};
    TArray<bool> Outcomes;
    TArray<FString> Texts;
    FString Echoes;

private:
    template <typename ArgType> void Note(const ArgType& Arg)
    {
        if constexpr (std::is_same_v<ArgType, bool>)
        {
            Outcomes.Add(Arg);
        }
        else if constexpr (std::is_same_v<ArgType, FString>)
        {
            Texts.Add(Arg);
        }
    }

    ELogVerbosity::Type PreviousHttpVerbosity = LogHttp.GetVerbosity();
    ELogVerbosity::Type PreviousGameVerbosity = LogOnlineGame.GetVerbosity();
    TArray<UZorProfile*> Profiles;
};

namespace
{
bool CreateSession(FEchoedSecretsTest& T)
{
    FOnlineSessionZor& Sessions = *T.Subsystem->GetZorSessionService();
    Sessions.AddOnCreateSessionCompleteDelegate(T.Report<FOnCreateSessionCompleteDelegate>());
    FOnlineSessionSettings Settings;
    Settings.NumPublicConnections = 4;
    Settings.bShouldAdvertise = true;
    return Sessions.CreateSession(0, "Game", Settings);
}

bool LoginAgain(FEchoedSecretsTest& T, const FOnlineAccountCredentials& Credentials)
{
    T.Identity().AddOnLoginCompleteDelegate(0, T.Report<FOnLoginCompleteDelegate>());
    return T.Identity().Login(0, Credentials);
}

const FEchoCase EchoCases[] = {
    {"IdentityPasswordGrant",
     [](FEchoedSecretsTest& T) { return LoginAgain(T, FOnlineAccountCredentials("tavo", Email, Password)); },
     Password},
    {"IdentityExchangeCodeGrant",
     [](FEchoedSecretsTest& T)
     { return LoginAgain(T, FOnlineAccountCredentials("exchangecode", "", ExchangeCode)); },
     ExchangeCode},
    {"IdentityExternalGrant",
     [](FEchoedSecretsTest& T) { return LoginAgain(T, FOnlineAccountCredentials("steam", "", LinkToken)); },
     LinkToken},
    {"IdentityRefreshGrant",
     [](FEchoedSecretsTest& T)
     {
         T.Identity().AddOnRefreshAuthCompleteDelegate(T.Report<FOnRefreshAuthCompleteDelegate>());
         return T.Identity().RefreshAuth(T.Account()->UserToken);
     },
     RefreshToken},
    {"IdentityClientGrant",
     [](FEchoedSecretsTest& T)
     {
         T.Identity().AddOnAuthClientCompleteDelegate(T.Report<FOnAuthClientCompleteDelegate>());
         return T.Identity().AuthClient("purchaseclient");
     },
     "purchasesecret"},
    {"IdentityExchangeCode",
     [](FEchoedSecretsTest& T)
     {
         T.Identity().AddOnGenerateExchangeCodeCompleteDelegate(
             T.Report<FOnGenerateExchangeCodeCompleteDelegate>());
         return T.Identity().GenerateExchangeCode(T.User);
     },
     UserToken},
    {"IdentityLogoutKillsSessions",
     [](FEchoedSecretsTest& T)
     {
         T.Identity().AddOnLogoutCompleteDelegate(0, T.Report<FOnLogoutCompleteDelegate>());
         return T.Identity().Logout(0);
     },
     UserToken},
    {"AccountCreate",
     [](FEchoedSecretsTest& T)
     {
         T.Accounts().AddOnCreateAccountCompleteDelegate(T.Report<FOnCreateAccountCompleteDelegate>());
         return T.Accounts().CreateAccount("new@example.com", "Newcomer", Password);
     },
     Password},
    {"AccountUpdate",
     [](FEchoedSecretsTest& T)
     {
         T.Accounts().AddOnUpdateAccountCompleteDelegate(T.Report<FOnUpdateAccountCompleteDelegate>());
         return T.Accounts().UpdateAccount(Email, Password, Email, "Player", NewPassword);
     },
     NewPassword},
    {"AccountDelete",
     [](FEchoedSecretsTest& T)
     {
         T.Accounts().AddOnDeleteAccountCompleteDelegate(T.Report<FOnDeleteAccountCompleteDelegate>());
         return T.Accounts().DeleteAccount(Email, Password);
     },
     Password},
    {"AccountValidate",
     [](FEchoedSecretsTest& T)
     {
         T.Accounts().AddOnValidateAccountCompleteDelegate(T.Report<FOnValidateAccountCompleteDelegate>());
         return T.Accounts().ValidateAccount(Email, ValidationToken);
     },
     ValidationToken},
    {"AccountResetPassword",
     [](FEchoedSecretsTest& T)
     {
         T.Accounts().AddOnResetPasswordCompleteDelegate(T.Report<FOnTavoAccountCompleteDelegate>());
         return T.Accounts().ResetPassword(Email);
     },
     ClientToken},
    {"MappingAdd",
     [](FEchoedSecretsTest& T)
     {
         FOnlineAccountMappingZor& Mapping = *T.Subsystem->GetZorAccountMappingService();
         Mapping.AddOnAddExternalAccountCompleteDelegate(T.Report<FOnAddExternalAccountCompleteDelegate>());
         return Mapping.AddExternalAccount(T.User, FExternalOnlineAccount("steam", "", LinkToken));
     },
     LinkToken},
    {"MappingQuery",
     [](FEchoedSecretsTest& T)
     {
         FOnlineAccountMappingZor& Mapping = *T.Subsystem->GetZorAccountMappingService();
         Mapping.AddOnQueryExternalAccountsCompleteDelegate(
             T.Report<FOnQueryExternalAccountsCompleteDelegate>());
         return Mapping.QueryExternalAccounts(T.User, "");
     },
     UserToken},
    {"UserInfoQuery",
     [](FEchoedSecretsTest& T)
     {
         IOnlineUser& Users = *T.Subsystem->GetUserInterface();
         Users.AddOnQueryUserInfoCompleteDelegate(0, T.Report<FOnQueryUserInfoCompleteDelegate>());
         return Users.QueryUserInfo(0, {MakeShared<FUniqueNetIdString>("u2")});
     },
     UserToken},
    {"FriendInvite",
     [](FEchoedSecretsTest& T)
     {
         FOnlineFriendsZor& Friends = *T.Subsystem->GetZorFriendsService();
         Friends.AddOnSendInviteCompleteDelegate(T.Report<FOnSendInviteCompleteDelegate>());
         return Friends.SendInvite(0, FUniqueNetIdString("f9"), "default");
     },
     UserToken},
    {"MessageSend",
     [](FEchoedSecretsTest& T)
     {
         FOnlineMessageZor& Messages = *T.Subsystem->GetZorMessageService();
         Messages.AddOnSendMessageCompleteDelegate(T.Report<FOnSendMessageCompleteDelegate>());
         FZorMessagePayload Payload;
         Payload.SetAttribute("gold", FVariantData(5));
         return Messages.SendMessage(0, {MakeShared<FUniqueNetIdString>("u2")}, "gift", Payload);
     },
     UserToken},
    {"CloudList",
     [](FEchoedSecretsTest& T)
     {
         FOnlineUserCloudZor& Cloud = *T.Subsystem->GetZorUserCloudService();
         Cloud.AddOnEnumerateUserFilesCompleteDelegate(T.Report<FOnEnumerateUserFilesCompleteDelegate>());
         Cloud.EnumerateUserFiles(T.User);
         return true;
     },
     UserToken},
    {"TitleFileList",
     [](FEchoedSecretsTest& T)
     {
         FOnlineTitleFileZor& Titles = *T.Subsystem->GetZorTitleFileService();
         Titles.AddOnEnumerateFilesCompleteDelegate(T.Report<FOnEnumerateFilesCompleteDelegate>());
         return Titles.EnumerateFiles(FPagedQuery());
     },
     ClientToken},
    {"SessionCreate", CreateSession, UserToken},
    {"EntitlementsQuery",
     [](FEchoedSecretsTest& T)
     {
         FOnlineEntitlementsZor& Entitlements = *T.Subsystem->GetZorEntitlementsService();
         Entitlements.AddOnQueryEntitlementsCompleteDelegate(
             T.Report<FOnQueryEntitlementsCompleteDelegate>());
         return Entitlements.QueryEntitlements(T.User);
     },
     UserToken},
    {"OrdersQuery",
     [](FEchoedSecretsTest& T)
     {
         FOnlineOrderServiceZor& Orders = *T.Subsystem->GetZorOrderService();
         Orders.AddOnQueryOrdersCompleteDelegate(T.Report<FOnQueryOrdersCompleteDelegate>());
         return Orders.QueryOrders(T.User);
     },
     PurchaseToken},
    {"PaymentDefaultAccount",
     [](FEchoedSecretsTest& T)
     {
         FOnlinePaymentServiceZor& Payment = *T.Subsystem->GetZorPaymentService();
         Payment.AddOnQueryDefaultBillingAccountCompleteDelegate(
             T.Report<FOnQueryDefaultBillingAccountCompleteDelegate>());
         return Payment.QueryDefaultBillingAccount(T.User);
     },
     UserToken},
    {"CatalogCategories",
     [](FEchoedSecretsTest& T)
     {
         FOnlineCatalogServiceZor& Catalog = *T.Subsystem->GetZorCatalogService();
         Catalog.AddOnQueryCategoriesCompleteDelegate(T.Report<FOnQueryCategoriesCompleteDelegate>());
         return Catalog.QueryCategories(FPagedQuery());
     },
     ClientToken},
    {"BuildInfoEntitledBuilds",
     [](FEchoedSecretsTest& T)
     {
         FOnlineBuildInfoServiceZor& Builds = *T.Subsystem->GetZorBuildInfoService();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(T.Report<FOnQueryEntitledBuildsCompleteDelegate>());
         return Builds.QueryEntitledBuilds(T.User, "Live", "Windows");
     },
     UserToken},
    {"BuildInfoV2EntitledBuilds",
     [](FEchoedSecretsTest& T)
     {
         FOnlineBuildInfoServiceZorV2& Builds = *T.Subsystem->GetZorBuildInfoServiceV2();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(T.Report<FOnQueryEntitledBuildsCompleteDelegate>());
         return Builds.QueryEntitledBuilds(T.User, "Windows", "Live", "");
     },
     UserToken},
    {"ProfileQuery", [](FEchoedSecretsTest& T) { return T.QueryProfile(); }, UserToken},
};
} // namespace

TEST_P(FEchoedSecretsTest, NoFormOfASecretSurvivesAnEchoingRefusal)
{
    const FEchoCase& Case = GetParam();
    ASSERT_TRUE(Case.Start(*this));
    ASSERT_TRUE(PumpUntil([this] { return !EchoWaiting() && !Outcomes.IsEmpty(); }));
    Tick(3);
    EchoWaiting();
    Tick(3);

    bool bCarried = false;
    for (const FString& Form : Forms(Case.Carried))
    {
        bCarried = bCarried || Echoes.Contains(Form, ESearchCase::CaseSensitive);
    }
    EXPECT_TRUE(bCarried) << "no request carried the row's secret; texts: " << *FString::Join(Texts, " | ");
    const FString ClientBasic = FBase64::Encode("testclient:testsecret");
    const FString UserBasic = FBase64::Encode(Email + ":" + Password);
    for (const FString& Secret :
         {Password, NewPassword, UserToken, RefreshToken, PurchaseToken, ClientToken, LinkToken, ExchangeCode,
          ValidationToken, FString("testsecret"), FString("purchasesecret"), ClientBasic, UserBasic})
    {
        for (const FString& Form : Forms(Secret))
        {
            for (const FLogCapture::FLine& Line : Log.Lines())
            {
                EXPECT_FALSE(Line.Message.Contains(Form, ESearchCase::CaseSensitive))
                    << "secret " << *Form << " in: " << *Line.Message;
            }
            for (const FString& Text : Texts)
            {
                EXPECT_FALSE(Text.Contains(Form, ESearchCase::CaseSensitive))
                    << "secret " << *Form << " in the event's text: " << *Text;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Services, FEchoedSecretsTest, ::testing::ValuesIn(EchoCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });
