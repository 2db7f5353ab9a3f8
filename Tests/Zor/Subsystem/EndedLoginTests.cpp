#include <string>
#include <type_traits>

#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Profile/ZorProfile.h"
#include "UObject/GarbageCollection.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "Users/OnlineUsersZor.h"
#include "ZorSubsystemTest.h"

namespace
{
/** How the login a request was made for ends before its reply comes. */
enum class ELoginEnding
{
    LogoutThenSameAccount,
    LogoutThenAnotherAccount,
    SameAccountAgainWithoutLogout,
    LogoutHandlerLogsInAnother,
};

const char* const LoginEndingNames[] = {"LogoutThenSameAccount", "LogoutThenAnotherAccount",
                                        "SameAccountAgainWithoutLogout", "LogoutHandlerLogsInAnother"};

/** Records the success flag of every event it is bound to, whatever its parameters: the first bool. Bound
 * with no outcomes, as on a second start of one operation, it records nothing. */
struct FHeard
{
    TArray<bool>* Outcomes;
    template <typename DelegateType> operator DelegateType() const
    {
        return DelegateType::CreateLambda(
            [Out = Outcomes](const auto&... Args)
            {
                bool bFound = false;
                bool bSucceeded = false;
                const auto Take = [&](const auto& Arg)
                {
                    if constexpr (std::is_same_v<std::decay_t<decltype(Arg)>, bool>)
                    {
                        bSucceeded = bFound ? bSucceeded : Arg;
                        bFound = true;
                    }
                };
                (Take(Args), ...);
                if (Out)
                {
                    Out->Add(bSucceeded);
                }
            });
    }
};

class FUserWorkEndedLoginTest;

/** An operation a service runs for a user, and what it keeps of a reply. */
struct FUserWork
{
    const char* Name;
    /** Starts the operation for the account's login; its events are heard when bBind says so. */
    bool (*Start)(FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind);
    /** The request's URL, with %s for the account where it names one. */
    const char* Url;
    /** A success that would store something, with %s for the account where it names one. */
    const char* Body;
    /** How many records the service keeps for the account (local user 0 where it keeps them by number);
     * -1 when it keeps none. None for an operation that stores nothing. */
    int32 (*Kept)(FUserWorkEndedLoginTest& Test, const FString& AccountId);
    /** Signed with the purchase token rather than the access token. */
    bool bPurchase = false;
};

template <typename ElementType> int32 CountOrNone(bool bFound, const TArray<ElementType>& Found)
{
    return bFound ? Found.Num() : -1;
}

class FUserWorkEndedLoginTest : public FZorSubsystemTest,
                                public ::testing::WithParamInterface<std::tuple<int32, ELoginEnding>>
{
public:
    ~FUserWorkEndedLoginTest() override
    {
        for (const auto& Entry : Profiles)
        {
            Entry.Value->RemoveFromRoot();
        }
        CollectGarbage();
    }

    using FZorSubsystemTest::Identity;
    /** The account's profile, made on first use. */
    UZorProfile& ProfileOf(const FString& AccountId)
    {
        if (UZorProfile* const* Found = Profiles.Find(AccountId))
        {
            return **Found;
        }
        UZorProfile* Profile = NewObject<UZorProfile>();
        Profile->AddToRoot();
        Profile->Initialize(Subsystem.Get(), MakeShared<FUniqueNetIdString>(AccountId), true);
        Profiles.Add(AccountId, Profile);
        return *Profile;
    }
    FOnlineSubsystemZor& Zor() { return *Subsystem; }

    /** Installs local user 0 as AccountId with tokens named after Tag, all usable at once. */
    void LogIn(const FString& AccountId, const FString& Tag)
    {
        ASSERT_TRUE(InstallReadyUser(0, AccountId, "access-" + Tag, "purchase-" + Tag));
    }

    /** Ends acct1's login as Ending says; the account that holds local user 0 afterwards. */
    FString End(ELoginEnding Ending)
    {
        switch (Ending)
        {
        case ELoginEnding::LogoutThenSameAccount:
            Identity().Logout(0);
            LogIn("acct1", "second");
            return "acct1";
        case ELoginEnding::LogoutThenAnotherAccount:
            Identity().Logout(0);
            LogIn("acct2", "second");
            return "acct2";
        case ELoginEnding::SameAccountAgainWithoutLogout:
            LogIn("acct1", "second");
            return "acct1";
        case ELoginEnding::LogoutHandlerLogsInAnother:
            break;
        }
        bool bHandled = false;
        const FDelegateHandle Handle = Identity().AddOnLogoutCompleteDelegate(
            0, FOnLogoutCompleteDelegate::CreateLambda(
                   [this, &bHandled](int32, bool)
                   { bHandled = !bHandled && (LogIn("acct2", "second"), true); }));
        Identity().Logout(0);
        FDelegateHandle Bound = Handle;
        Identity().ClearOnLogoutCompleteDelegate(0, Bound);
        EXPECT_TRUE(bHandled);
        return "acct2";
    }

    /** The newest waiting request whose URL contains Part, other than Not. */
    FHttpRequestPtr Newest(const FString& Part, const FHttpRequestPtr& Not = nullptr)
    {
        FHttpRequestPtr Found;
        for (const auto& Started : Http().GetStartedRequests())
        {
            const bool bWaits = Started.State == FInMemoryHttpTransport::EState::Pending;
            Found = bWaits && Started.Request != Not && Started.URL.Contains(Part, ESearchCase::CaseSensitive)
                        ? Started.Request
                        : Found;
        }
        return Found;
    }

    TArray<bool> Heard;
    TMap<FString, UZorProfile*> Profiles;
};

const FUserWork UserWorks[] = {
    {"FriendsList",
     [](FUserWorkEndedLoginTest& Test, const FString&, bool bBind)
     {
         FOnlineFriendsZor& Friends = *Test.Zor().GetZorFriendsService();
         Friends.AddOnReadFriendsListCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Friends.ReadFriendsList(0, "default");
     },
     "/api/public/list/%s/default", R"([{"tavoId":"f1","status":"ACCEPTED"}])",
     [](FUserWorkEndedLoginTest& Test, const FString&)
     {
         TArray<TSharedRef<FOnlineFriend>> Found;
         return CountOrNone(Test.Zor().GetZorFriendsService()->GetFriendsList(0, "default", Found), Found);
     }},
    {"Messages",
     [](FUserWorkEndedLoginTest& Test, const FString&, bool bBind)
     {
         FOnlineMessageZor& Messages = *Test.Zor().GetZorMessageService();
         Messages.AddOnEnumerateMessagesCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Messages.EnumerateMessages(0);
     },
     "/api/messaging/%s/inbox", "[]",
     [](FUserWorkEndedLoginTest& Test, const FString&)
     {
         TArray<TSharedRef<FOnlineMessageHeader>> Found;
         return CountOrNone(Test.Zor().GetZorMessageService()->GetMessageHeaders(0, Found), Found);
     }},
    {"UserInformation",
     [](FUserWorkEndedLoginTest& Test, const FString&, bool bBind)
     {
         const IOnlineUserPtr Users = Test.Zor().GetUserInterface();
         Users->AddOnQueryUserInfoCompleteDelegate(0, FHeard{bBind ? &Test.Heard : nullptr});
         return Users->QueryUserInfo(0, {MakeShared<FUniqueNetIdString>("u1")});
     },
     "/api/public/account?", R"([{"id":"u1","displayName":"Dee"}])",
     [](FUserWorkEndedLoginTest& Test, const FString&)
     {
         TArray<TSharedRef<FOnlineUser>> Found;
         return CountOrNone(Test.Zor().GetUserInterface()->GetAllUserInfo(0, Found), Found);
     }},
    {"UserFiles",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineUserCloudZor& Cloud = *Test.Zor().GetZorUserCloudService();
         Cloud.AddOnEnumerateUserFilesCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         Cloud.EnumerateUserFiles(FUniqueNetIdString(AccountId));
         return true;
     },
     "/api/cloudstorage/user/%s", R"([{"hash":"h1","uniqueFilename":"u1","filename":"a.sav","length":3}])",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<FCloudFileHeader> Found;
         Test.Zor().GetZorUserCloudService()->GetUserFileList(FUniqueNetIdString(AccountId), Found);
         return Found.IsEmpty() ? -1 : Found.Num();
     }},
    {"UserFileRead",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineUserCloudZor& Cloud = *Test.Zor().GetZorUserCloudService();
         Cloud.AddOnReadUserFileCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Cloud.ReadUserFile(FUniqueNetIdString(AccountId), "a.sav");
     },
     "/api/cloudstorage/user/%s/a.sav", "saved by %s",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<uint8> Found;
         Test.Zor().GetZorUserCloudService()->GetFileContents(FUniqueNetIdString(AccountId), "a.sav", Found);
         return Found.IsEmpty() ? -1 : Found.Num();
     }},
    {"Entitlements",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineEntitlementsZor& Entitlements = *Test.Zor().GetZorEntitlementsService();
         Entitlements.AddOnQueryEntitlementsCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Entitlements.QueryEntitlements(FUniqueNetIdString(AccountId));
     },
     "/api/account/%s/entitlements", R"([{"id":"e1"}])",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<TSharedRef<FOnlineEntitlement>> Found;
         Test.Zor().GetZorEntitlementsService()->GetAllEntitlements(FUniqueNetIdString(AccountId), Found);
         return Found.IsEmpty() ? -1 : Found.Num();
     }},
    {"ExternalAccounts",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineAccountMappingZor& Mapping = *Test.Zor().GetZorAccountMappingService();
         Mapping.AddOnQueryExternalAccountsCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Mapping.QueryExternalAccounts(FUniqueNetIdString(AccountId), "");
     },
     "/api/public/account/%s/externalAuths",
     R"([{"tavoId":"%s","externalAccounts":[{"type":"x","externalId":"1"}]}])",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<FExternalOnlineAccount> Found;
         return CountOrNone(Test.Zor().GetZorAccountMappingService()->GetExternalAccounts(
                                FUniqueNetIdString(AccountId), Found),
                            Found);
     }},
    {"EntitledBuilds",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineBuildInfoServiceZor& Builds = *Test.Zor().GetZorBuildInfoService();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Builds.QueryEntitledBuilds(FUniqueNetIdString(AccountId), "Live", "Windows");
     },
     "/api/buildManifest?", R"([{"appName":"Game"}])",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<TSharedRef<FOnlineBuildInfo>> Found;
         return CountOrNone(
             Test.Zor().GetZorBuildInfoService()->GetEntitledBuilds(FUniqueNetIdString(AccountId), Found),
             Found);
     }},
    {"EntitledBuildsV2",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineBuildInfoServiceZorV2& Builds = *Test.Zor().GetZorBuildInfoServiceV2();
         Builds.AddOnQueryEntitledBuildsCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Builds.QueryEntitledBuilds(FUniqueNetIdString(AccountId), "Windows", "Live", "");
     },
     "/api/public/assets/Windows?", R"([{"appName":"Game"}])",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<TSharedRef<FOnlineBuildInfoV2>> Found;
         return CountOrNone(
             Test.Zor().GetZorBuildInfoServiceV2()->GetEntitledBuilds(FUniqueNetIdString(AccountId), Found),
             Found);
     }},
    {"Orders",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlineOrderServiceZor& Orders = *Test.Zor().GetZorOrderService();
         Orders.AddOnQueryOrdersCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Orders.QueryOrders(FUniqueNetIdString(AccountId));
     },
     "/api/shared/accounts/%s/orders", R"({"paging":{},"elements":[{"orderId":"a","orderStatus":"PAID"}]})",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         TArray<TSharedPtr<FOnlineOrder>> Found;
         return CountOrNone(Test.Zor().GetZorOrderService()->GetOrders(FUniqueNetIdString(AccountId), Found),
                            Found);
     },
     true},
    {"DefaultBillingAccount",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         FOnlinePaymentServiceZor& Payment = *Test.Zor().GetZorPaymentService();
         Payment.AddOnQueryDefaultBillingAccountCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Payment.QueryDefaultBillingAccount(FUniqueNetIdString(AccountId));
     },
     "/billingaccounts/default", R"({"billingAccountName":"Card"})",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         return Test.Zor().GetZorPaymentService()->GetDefaultBillingAccount(FUniqueNetIdString(AccountId))
                    ? 1
                    : -1;
     },
     false},
    {"Profile",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool)
     {
         return Test.ProfileOf(AccountId).ForceQueryProfile(FOnZorQueryComplete::CreateLambda(
             [&Test](const FZorQueryResult& Result) { Test.Heard.Add(Result.bSucceeded); }));
     },
     "/game/client/%s/", R"({"profileRevision":1,"profileChanges":[]})",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId)
     {
         const UZorProfile& Profile = Test.ProfileOf(AccountId);
         return Profile.HasValidProfileData() ? static_cast<int32>(Profile.GetProfileRevision()) : -1;
     }},
    {"ExchangeCode",
     [](FUserWorkEndedLoginTest& Test, const FString& AccountId, bool bBind)
     {
         Test.Identity().AddOnGenerateExchangeCodeCompleteDelegate(FHeard{bBind ? &Test.Heard : nullptr});
         return Test.Identity().GenerateExchangeCode(FUniqueNetIdString(AccountId));
     },
     "/api/oauth/exchange", R"({"code":"late-code","expiresInSeconds":300})", nullptr},
};
} // namespace

// A request made for one login, that login ended, and the reply only after the next login's own request went
// out: the reply stores nothing and its caller hears once that it failed, while the next login goes on.
TEST_P(FUserWorkEndedLoginTest, AReplyForAnEndedLoginStoresNothingAndFailsOnce)
{
    const FUserWork& Work = UserWorks[std::get<0>(GetParam())];
    SetIni(
        FString(ZorTestIni) +
        "[OnlineSubsystemZor.ZorProfile]\nZorClientCommandUrl=/game/client/`accountId/`profileId/`fname\n");
    CreateSubsystem();
    LogIn("acct1", "first");
    ASSERT_TRUE(Work.Start(*this, "acct1", true));
    Tick();
    const FHttpRequestPtr Old = Newest(FString::Printf(Work.Url, "acct1"));
    ASSERT_TRUE(Old);

    const FString Next = End(std::get<1>(GetParam()));
    Heard.Empty();
    ASSERT_TRUE(Work.Start(*this, Next, false))
        << "the ended login's request holds up none of the next one's";
    Tick();
    const FHttpRequestPtr Own = Newest(FString::Printf(Work.Url, *Next), Old);
    ASSERT_TRUE(Own) << "the next login's request goes out at once";
    EXPECT_EQ(Record(Own).Headers.FindRef("Authorization"),
              FString(Work.bPurchase ? "bearer purchase-second" : "bearer access-second"));

    Http().Respond(Old, 200, FString::Printf(Work.Body, "acct1"));
    Tick(2);
    EXPECT_EQ(Heard, TArray<bool>({false})) << "its caller hears once, and never success";
    if (Work.Kept)
    {
        EXPECT_EQ(Work.Kept(*this, Next), -1) << "nothing of the old reply is kept for the next login";
        EXPECT_EQ(Work.Kept(*this, "acct1"), -1) << "nor for the login that ended";
    }
    EXPECT_FALSE(Log.Contains("late-code"));

    Http().Respond(Own, 200, FString::Printf(Work.Body, *Next));
    Tick(2);
    EXPECT_EQ(Heard, TArray<bool>({false, true}));
    if (Work.Kept)
    {
        EXPECT_NE(Work.Kept(*this, Next), -1) << "what the event told is what the getters give";
    }
}

namespace
{
/** The operations that wait on the user road; the purchase road sends at once. */
class FUserRoadEndedLoginTest : public FUserWorkEndedLoginTest
{
};

std::vector<int32> UserRoadWorks()
{
    std::vector<int32> Indices;
    for (int32 Index = 0; Index < static_cast<int32>(std::size(UserWorks)); ++Index)
    {
        if (!UserWorks[Index].bPurchase)
        {
            Indices.push_back(Index);
        }
    }
    return Indices;
}

std::string WorkAndEndingName(const ::testing::TestParamInfo<std::tuple<int32, ELoginEnding>>& Info)
{
    return std::string(UserWorks[std::get<0>(Info.param)].Name) + "_" +
           LoginEndingNames[static_cast<int32>(std::get<1>(Info.param))];
}

const auto EveryEnding =
    ::testing::Values(ELoginEnding::LogoutThenSameAccount, ELoginEnding::LogoutThenAnotherAccount,
                      ELoginEnding::SameAccountAgainWithoutLogout, ELoginEnding::LogoutHandlerLogsInAnother);
} // namespace

// A request still waiting on the user road when its login ends is never sent with the next login's token.
TEST_P(FUserRoadEndedLoginTest, ARequestQueuedWhenItsLoginEndsIsNeverSentUnderTheNext)
{
    const FUserWork& Work = UserWorks[std::get<0>(GetParam())];
    SetIni(
        FString(ZorTestIni) +
        "[OnlineSubsystemZor.ZorProfile]\nZorClientCommandUrl=/game/client/`accountId/`profileId/`fname\n");
    CreateSubsystem();
    LogIn("acct1", "first");
    ASSERT_TRUE(Work.Start(*this, "acct1", true)); // queued: the road sends on the next tick
    const FString Next = End(std::get<1>(GetParam()));
    ASSERT_TRUE(Work.Start(*this, Next, false));
    Tick(3);
    int32 Sent = 0;
    for (const auto& Started : Http().GetStartedRequests())
    {
        if (Started.URL.Contains(FString::Printf(Work.Url, *Next), ESearchCase::CaseSensitive))
        {
            ++Sent;
            EXPECT_EQ(Started.Headers.FindRef("Authorization"), FString("bearer access-second"));
        }
    }
    EXPECT_EQ(Sent, 1) << "the next login's own, and only it";
    EXPECT_EQ(Heard, TArray<bool>({false})) << "the first login's caller hears once that it failed";
}

INSTANTIATE_TEST_SUITE_P(EveryServiceThatActsForAUser, FUserWorkEndedLoginTest,
                         ::testing::Combine(::testing::Range(0, static_cast<int32>(std::size(UserWorks))),
                                            EveryEnding),
                         WorkAndEndingName);

INSTANTIATE_TEST_SUITE_P(EveryServiceOnTheUserRoad, FUserRoadEndedLoginTest,
                         ::testing::Combine(::testing::ValuesIn(UserRoadWorks()), EveryEnding),
                         WorkAndEndingName);
