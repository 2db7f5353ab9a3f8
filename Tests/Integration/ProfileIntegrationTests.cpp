#include <gtest/gtest.h>
#include <httplib.h>

#include "BackendFixture.h"
#include "Core/Base64.h"
#include "Profile/ZorProfile.h"
#include "ProfileService.h"
#include "ZorRows.h"
#include "Json/JsonSerializer.h"

namespace
{
struct FGrantItemParams : public FOnlineJsonSerializable
{
    FString TemplateId;
    int32 Quantity = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("templateId", TemplateId);
    ONLINE_JSON_SERIALIZE("quantity", Quantity);
    END_ONLINE_JSON_SERIALIZER
};

struct FItemQuantityParams : public FOnlineJsonSerializable
{
    FString ItemId;
    int32 Quantity = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("itemId", ItemId);
    ONLINE_JSON_SERIALIZE("quantity", Quantity);
    END_ONLINE_JSON_SERIALIZER
};

struct FItemAttributeParams : public FOnlineJsonSerializable
{
    FString ItemId;
    FString Name;
    FString Value;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("itemId", ItemId);
    ONLINE_JSON_SERIALIZE("name", Name);
    ONLINE_JSON_SERIALIZE("value", Value);
    END_ONLINE_JSON_SERIALIZER
};

struct FItemIdParams : public FOnlineJsonSerializable
{
    FString ItemId;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("itemId", ItemId);
    END_ONLINE_JSON_SERIALIZER
};

struct FStatParams : public FOnlineJsonSerializable
{
    FString Name;
    int32 Value = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("name", Name);
    ONLINE_JSON_SERIALIZE("value", Value);
    END_ONLINE_JSON_SERIALIZER
};
} // namespace

/** The game's commands, as game code declares them on its own profile class. */
class UIntegrationProfile : public UZorProfile
{
    DECLARE_OBJECT_CLASS(UIntegrationProfile, UZorProfile)

    DECLARE_ZOR_PROFILE_COMMAND(GrantItem, FClientUrlContext, FGrantItemParams)
    DECLARE_ZOR_PROFILE_COMMAND(SetItemQuantity, FClientUrlContext, FItemQuantityParams)
    DECLARE_ZOR_PROFILE_COMMAND(SetItemAttribute, FClientUrlContext, FItemAttributeParams)
    DECLARE_ZOR_PROFILE_COMMAND(RemoveItem, FClientUrlContext, FItemIdParams)
    DECLARE_ZOR_PROFILE_COMMAND(SetStat, FClientUrlContext, FStatParams)
    DECLARE_ZOR_PROFILE_COMMAND(MakeCoffee, FClientUrlContext, FZorNoCommandParams)

    using UZorProfile::GetAllItems;
    using UZorProfile::GetAllStats;
};

IMPLEMENT_OBJECT_CLASS(UIntegrationProfile, "/Script/IntegrationTests", CLASS_None)

namespace
{
FGrantItemParams Grant(const FString& TemplateId, int32 Quantity)
{
    FGrantItemParams Params;
    Params.TemplateId = TemplateId;
    Params.Quantity = Quantity;
    return Params;
}

FItemQuantityParams Quantity(const FString& ItemId, int32 Value)
{
    FItemQuantityParams Params;
    Params.ItemId = ItemId;
    Params.Quantity = Value;
    return Params;
}

FItemIdParams ItemIdOf(const FString& ItemId)
{
    FItemIdParams Params;
    Params.ItemId = ItemId;
    return Params;
}

FStatParams Stat(const FString& Name, int32 Value)
{
    FStatParams Params;
    Params.Name = Name;
    Params.Value = Value;
    return Params;
}

/** The demo player logged in, with rooted profiles of that account and the outcomes of their commands. */
class FProfileIntegrationTest : public FBackendIntegrationTest
{
protected:
    FString ExtraIni() const override
    {
        return R"(
[OnlineSubsystemZor.BaseServiceZor]
ServicePermissions=(Name=DedicatedServer,Id=zordemoserver,Key=zordemoserversecret)
ServicePermissions=(Name=Cheater,Id=zordemoserver,Key=zordemoserversecret)
[OnlineSubsystemZor.GameServiceZor]
ServiceName=game
[OnlineSubsystemZor.ZorProfile]
ZorClientCommandUrl=/api/profile/`accountId/client/`fname?profileId=`profileId
ZorDedicatedServerCommandUrl=/api/profile/`accountId/dedicated_server/`fname?profileId=`profileId
ZorCheatCommandUrl=/api/profile/`accountId/cheat/`fname?profileId=`profileId
)";
    }

    void SetUp() override
    {
        FBackendIntegrationTest::SetUp();
        LoginDemoUser();
        ASSERT_TRUE(LoginResult.Equals("ok")) << *LoginResult;
        Profile = NewProfile();
    }
    void TearDown() override
    {
        for (UIntegrationProfile* Each : Profiles)
        {
            Each->RemoveFromRoot();
        }
        CollectGarbage();
        FBackendIntegrationTest::TearDown();
    }

    UIntegrationProfile* NewProfile(bool bLocal = true)
    {
        UIntegrationProfile* NewOne = NewObject<UIntegrationProfile>();
        NewOne->AddToRoot();
        NewOne->Initialize(Subsystem.Get(), Identity().GetUniquePlayerId(0), bLocal);
        Profiles.Add(NewOne);
        return NewOne;
    }

    FOnZorQueryComplete Collect()
    {
        return FOnZorQueryComplete::CreateLambda([this](const FZorQueryResult& Result)
                                                 { Results.Add(Result); });
    }

    /** The outcome of the next command to finish; a failed one when none finishes in time. */
    FZorQueryResult Next()
    {
        if (!TickUntil([this] { return Results.Num() > Consumed; }))
        {
            ADD_FAILURE() << "no command finished";
            return FZorQueryResult();
        }
        return Results[Consumed++];
    }

    FZorQueryResult Query(UIntegrationProfile& Target)
    {
        EXPECT_TRUE(Target.ForceQueryProfile(Collect()));
        return Next();
    }

    static TSharedPtr<FJsonObject> ParseObject(const std::string& Body)
    {
        TSharedPtr<FJsonObject> Object;
        FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(FString(Body.c_str())), Object);
        return Object ? Object : MakeShared<FJsonObject>().ToSharedPtr();
    }

    /** The demo player's profile revision as the service holds it, asked with the server client. */
    int64 RevisionOnTheService()
    {
        httplib::Client Direct("127.0.0.1", Port);
        const FString Basic = "basic " + FBase64::Encode(FString("zordemoserver:zordemoserversecret"));
        const httplib::Result Token =
            Direct.Post("/account/api/oauth/token", {{"Authorization", *Basic}},
                        "grant_type=client_credentials", "application/x-www-form-urlencoded");
        const FString Bearer =
            "bearer " + ParseObject(Token ? Token->body : "")->GetStringField("access_token");
        const FString Path =
            FString::Printf("/game/api/profile/%s/dedicated_server/QueryProfile?profileId=profile0",
                            *Profile->GetGameAccountId()->ToString());
        const httplib::Result Reply =
            Direct.Post(*Path, {{"Authorization", *Bearer}}, "{}", "application/json");
        return Reply ? static_cast<int64>(ParseObject(Reply->body)->GetNumberField("profileRevision")) : -1;
    }

    UIntegrationProfile* Profile = nullptr;
    TArray<UIntegrationProfile*> Profiles;
    TArray<FZorQueryResult> Results;
    int32 Consumed = 0;
};

TEST_F(FProfileIntegrationTest, CommandsChangeItemsAndStatsAndTheProfileFollows)
{
    TArray<TArray<FString>> InventoryEvents;
    TArray<int64> StatsEvents;
    TArray<FString> Notifications;
    const FDelegateHandle Inventory = Profile->OnInventoryUpdated().AddLambda(
        [&](const TSet<FString>& Types, int64) { InventoryEvents.Add(Types.Array()); });
    const FDelegateHandle Stats =
        Profile->OnStatsUpdated().AddLambda([&](int64 Revision) { StatsEvents.Add(Revision); });
    Profile->OnHandleNotification().BindLambda([&](const FOnlineNotification& Notification)
                                               { Notifications.Add(Notification.TypeStr); });
    const FZorScopedBinding Bound(
        [&]
        {
            Profile->OnInventoryUpdated().Remove(Inventory);
            Profile->OnStatsUpdated().Remove(Stats);
            Profile->OnHandleNotification().Unbind();
        });
    EXPECT_TRUE(Profile->GetPlayerName().Equals("DemoPlayer"));

    const FZorQueryResult Queried = Query(*Profile);
    ASSERT_TRUE(Queried.bSucceeded) << *Queried.ErrorText.ToString();
    EXPECT_EQ(Queried.HttpResponseCode, 200);
    EXPECT_EQ(Profile->GetProfileRevision(), 1);
    EXPECT_EQ(Profile->GetZorRevision(), ZorBackend::ProfileServiceBuild);
    EXPECT_TRUE(Profile->HasValidProfileData());
    EXPECT_EQ(Profile->GetAllItems().Num(), 0);

    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("weapon.sword", 2)));
    const FZorQueryResult Granted = Next();
    ASSERT_TRUE(Granted.bSucceeded) << *Granted.ErrorText.ToString();
    EXPECT_TRUE(Granted.PrimaryNotification.TypeStr.Equals("itemGranted"));
    ASSERT_TRUE(Granted.PrimaryNotification.Payload);
    const TSharedPtr<const FZorItem> Sword = Profile->FindItemByTemplate("weapon.sword");
    ASSERT_TRUE(Sword);
    EXPECT_TRUE(
        Granted.PrimaryNotification.Payload->AsObject()->GetStringField("itemId").Equals(Sword->ItemId));
    EXPECT_EQ(Sword->Quantity, 2);
    EXPECT_EQ(Sword->Revision, 2);
    EXPECT_TRUE(Sword->ItemType.Equals("weapon"));
    EXPECT_EQ(InventoryEvents, (TArray<TArray<FString>>{{"weapon"}}));
    EXPECT_EQ(Notifications, (TArray<FString>{"itemGranted"}));

    const FString SwordId = Sword->ItemId;
    ASSERT_TRUE(Profile->SetItemQuantity(FClientUrlContext(Collect()), Quantity(SwordId, 5)));
    FItemAttributeParams Dye;
    Dye.ItemId = SwordId;
    Dye.Name = "dye";
    Dye.Value = "red";
    ASSERT_TRUE(Profile->SetItemAttribute(FClientUrlContext(Collect()), Dye));
    ASSERT_TRUE(Profile->SetStat(FClientUrlContext(Collect()), Stat("xp", 250)));
    for (int32 Index = 0; Index < 3; ++Index)
    {
        const FZorQueryResult Result = Next();
        EXPECT_TRUE(Result.bSucceeded) << *Result.ErrorText.ToString();
    }
    EXPECT_EQ(Profile->GetItem(SwordId)->Quantity, 5);
    EXPECT_TRUE(Profile->GetItem(SwordId)->Attributes->GetStringField("dye").Equals("red"));
    ASSERT_TRUE(Profile->GetStat("XP"));
    EXPECT_EQ(Profile->GetStat("XP")->AsNumber(), 250.0);
    EXPECT_EQ(StatsEvents, (TArray<int64>{5}));
    EXPECT_EQ(InventoryEvents.Num(), 3);

    // A fresh copy of the same profile, which gets it whole, agrees with the one kept up by deltas.
    UIntegrationProfile* Fresh = NewProfile();
    ASSERT_TRUE(Query(*Fresh).bSucceeded);
    EXPECT_EQ(Fresh->GetProfileRevision(), Profile->GetProfileRevision());
    EXPECT_TRUE(Fresh->ToDebugString().Equals(Profile->ToDebugString())) << *Fresh->ToDebugString();
    EXPECT_TRUE(Fresh->GetItem(SwordId)->Attributes->GetStringField("dye").Equals("red"));

    ASSERT_TRUE(Profile->RemoveItem(FClientUrlContext(Collect()), ItemIdOf(SwordId)));
    EXPECT_TRUE(Next().bSucceeded);
    EXPECT_FALSE(Profile->GetItem(SwordId));
    EXPECT_EQ(Profile->GetProfileRevision(), 6);
    EXPECT_EQ(InventoryEvents.Num(), 4);
}

TEST_F(FProfileIntegrationTest, ProfileBehindTheServiceIsBroughtUpToDateWhole)
{
    UIntegrationProfile* Other = NewProfile();
    ASSERT_TRUE(Query(*Profile).bSucceeded);
    ASSERT_TRUE(Query(*Other).bSucceeded);
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("weapon.sword", 1)));
    ASSERT_TRUE(Next().bSucceeded);

    // Other still holds revision 1, so its own grant comes back as the whole profile with both items.
    TArray<FString> Types;
    const FDelegateHandle Inventory = Other->OnInventoryUpdated().AddLambda(
        [&](const TSet<FString>& Changed, int64) { Types = Changed.Array(); });
    const FZorScopedBinding Bound([&] { Other->OnInventoryUpdated().Remove(Inventory); });
    ASSERT_TRUE(Other->GrantItem(FClientUrlContext(Collect()), Grant("armor.helm", 1)));
    ASSERT_TRUE(Next().bSucceeded);
    EXPECT_EQ(Other->GetProfileRevision(), 3);
    EXPECT_TRUE(Other->FindItemByTemplate("weapon.sword"));
    EXPECT_TRUE(Other->FindItemByTemplate("armor.helm"));
    Types.Sort();
    EXPECT_EQ(Types, (TArray<FString>{"armor", "weapon"}));
}

TEST_F(FProfileIntegrationTest, ServerQueriesAndCheatResetUseTheServerClient)
{
    ASSERT_TRUE(Query(*Profile).bSucceeded);
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("weapon.sword", 1)));
    ASSERT_TRUE(Next().bSucceeded);

    UIntegrationProfile* ServerView = NewProfile(false);
    const FZorQueryResult Server = Query(*ServerView);
    ASSERT_TRUE(Server.bSucceeded) << *Server.ErrorText.ToString();
    EXPECT_TRUE(ServerView->FindItemByTemplate("weapon.sword"));

    const int64 Before = Profile->GetProfileRevision();
    Profile->CheatResetProfile();
    ASSERT_TRUE(TickUntil(
        [&] { return Profile->GetProfileRevision() > Before && Profile->GetAllItems().Num() == 0; }));
    EXPECT_EQ(Profile->GetProfileRevision(), Before + 1);
}

struct FServiceRefusal
{
    bool (*Send)(UIntegrationProfile&, FOnZorQueryComplete);
    int32 Code;
    const char* ErrorCode;
};

const FServiceRefusal ServiceRefusals[] = {
    {[](UIntegrationProfile& Target, FOnZorQueryComplete Done)
     { return Target.MakeCoffee(FClientUrlContext(Done)); },
     404, "errors.zor.profile.operation_not_found"},
    {[](UIntegrationProfile& Target, FOnZorQueryComplete Done)
     { return Target.GrantItem(FClientUrlContext(Done), Grant("gold", 0)); },
     400, "errors.zor.profile.invalid_parameter"},
    {[](UIntegrationProfile& Target, FOnZorQueryComplete Done)
     { return Target.SetItemQuantity(FClientUrlContext(Done), Quantity("no-such-item", 3)); },
     404, "errors.zor.profile.item_not_found"},
};

using FProfileServiceRefusalTest = TZorRows<FProfileIntegrationTest>;

TEST_P(FProfileServiceRefusalTest, RefusalsOfTheServiceReachTheCallbackAndChangeNothing)
{
    const FServiceRefusal& Case = ServiceRefusals[GetParam()];
    ASSERT_TRUE(Query(*Profile).bSucceeded);
    ASSERT_TRUE(Case.Send(*Profile, Collect()));
    const FZorQueryResult Result = Next();
    EXPECT_FALSE(Result.bSucceeded);
    EXPECT_EQ(Result.HttpResponseCode, Case.Code);
    EXPECT_TRUE(Result.ErrorCode.Equals(Case.ErrorCode)) << *Result.ErrorCode;
    EXPECT_FALSE(Result.ErrorText.IsEmpty());
    EXPECT_EQ(Profile->GetProfileRevision(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileServiceRefusalTest,
                         ::testing::Range(size_t{0}, std::size(ServiceRefusals)));

TEST_F(FProfileIntegrationTest, ARevokedTokenReachesTheCallback)
{
    ASSERT_TRUE(Query(*Profile).bSucceeded);

    // A token the service has revoked, while the module still takes it for valid.
    ASSERT_TRUE(Backend.RevokeToken(*DemoAccount()->UserToken.access_token));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    const FZorQueryResult Revoked = Next();
    EXPECT_EQ(Revoked.HttpResponseCode, 401);
    EXPECT_TRUE(Revoked.ErrorCode.Equals("errors.zor.account.oauth.invalid_token")) << *Revoked.ErrorCode;
}

TEST_F(FProfileIntegrationTest, TokenFailureWhileCommandsWaitEndsThemAsConnectionFailures)
{
    ASSERT_TRUE(Query(*Profile).bSucceeded);
    // The revoked token cannot be refreshed: the refresh that its near end starts fails and logs the user
    // out.
    ASSERT_TRUE(Backend.RevokeToken(*DemoAccount()->UserToken.access_token));
    DemoAccount()->UserToken.expires_in = 50.0; // as 7150 s of play leave it
    DemoAccount()->Upkeep.Tick(7150.0);
    ASSERT_TRUE(
        TickUntil([&] { return DemoAccount()->UserToken.TokenState == EAuthTokenState::Refreshing; }));

    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 1)));
    ASSERT_TRUE(Profile->SetStat(FClientUrlContext(Collect()), Stat("xp", 1)));
    ASSERT_TRUE(Profile->GrantItem(FClientUrlContext(Collect()), Grant("gold", 2)));
    EXPECT_EQ(Results.Num(), Consumed); // all three wait for the token
    for (int32 Index = 0; Index < 3; ++Index)
    {
        const FZorQueryResult Result = Next();
        EXPECT_FALSE(Result.bSucceeded);
        EXPECT_EQ(Result.HttpResponseCode, 0);
        EXPECT_TRUE(Result.ErrorCode.Equals("ConnectionFailure")) << *Result.ErrorCode;
    }
    EXPECT_EQ(Identity().GetLoginStatus(0), ELoginStatus::NotLoggedIn);
    EXPECT_EQ(Profile->GetProfileRevision(), 1);
    EXPECT_EQ(Profile->GetAllItems().Num(), 0);

    // None of them reached the service.
    EXPECT_EQ(RevisionOnTheService(), 1);

    // A later command does not wait either.
    ASSERT_TRUE(Profile->SetStat(FClientUrlContext(Collect()), Stat("xp", 2)));
    EXPECT_TRUE(Next().ErrorCode.Equals("ConnectionFailure"));
}
} // namespace
