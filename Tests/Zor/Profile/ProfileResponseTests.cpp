#include "ProfileTest.h"

#include "CaseNamePrinter.h"
#include "ZorRows.h"

namespace
{
/** A response holding one full profile of the given stats and items objects. */
FString FullProfile(int64 Revision, const FString& Stats, const FString& Items,
                    const FString& MoreChanges = "")
{
    return FString::Printf(
        R"({"profileRevision":%lld,"profileChanges":[{"changeType":"fullProfileUpdate","profile":)"
        R"({"version":"v7","stats":{"attributes":%s},"items":%s}}%s]})",
        static_cast<long long>(Revision), *Stats, *Items, *MoreChanges);
}

FString Deltas(int64 Revision, const FString& Changes)
{
    return FString::Printf(R"({"profileRevision":%lld,"profileChanges":[%s]})",
                           static_cast<long long>(Revision), *Changes);
}

const char* const TwoItems = R"({"i1":{"templateId":"weapon.sword","quantity":1,"attributes":{"level":3}},)"
                             R"("i2":{"templateId":"gold","quantity":50,"attributes":{}}})";

class FProfileResponseTest : public FProfileTest
{
protected:
    FProfileResponseTest()
    {
        Profile->OnStatsUpdated().AddLambda([this](int64 Revision) { StatsEvents.Add(Revision); });
        Profile->OnInventoryUpdated().AddLambda(
            [this](const TSet<FString>& Types, int64 Revision)
            {
                TypeEvents.Add(Types.Array());
                InventoryRevisions.Add(Revision);
            });
    }

    /** A profile holding TwoItems and one stat at revision 10, with the events cleared. */
    void StartWithProfile()
    {
        Apply(FullProfile(10, R"({"xp":100})", TwoItems));
        StatsEvents.Empty();
        TypeEvents.Empty();
        InventoryRevisions.Empty();
        Log.Clear();
    }
    bool LastTypesAre(TArray<FString> Expected)
    {
        if (TypeEvents.IsEmpty())
        {
            return false;
        }
        TArray<FString> Actual = TypeEvents.Last();
        Actual.Sort();
        Expected.Sort();
        return Actual == Expected;
    }

    TArray<int64> StatsEvents;
    TArray<TArray<FString>> TypeEvents;
    TArray<int64> InventoryRevisions;
};
} // namespace

TEST_F(FProfileResponseTest, FirstFullProfileSetsEverythingAndSkipsTheDeltasAfterIt)
{
    const FString Response =
        FullProfile(4, R"({"xp":100,"name":"hero"})", TwoItems,
                    R"(,{"changeType":"itemAdded","itemId":"i3","item":{"templateId":"gem","quantity":1}})");
    const FZorQueryResult Result = Apply(Response);
    EXPECT_TRUE(Result.bSucceeded);
    EXPECT_EQ(Profile->GetProfileRevision(), 4);
    EXPECT_EQ(Profile->GetAllItems().Num(), 2);
    EXPECT_FALSE(Profile->GetItem("i3"));
    EXPECT_EQ(Log.Count("Received profile deltas from ZOR before any full profile update."), 1);
    EXPECT_EQ(StatsEvents, (TArray<int64>{4}));
    ASSERT_EQ(TypeEvents.Num(), 1);
    EXPECT_TRUE(LastTypesAre({"weapon", "gold"}));
    EXPECT_EQ(InventoryRevisions, (TArray<int64>{4}));
    // No "gained" lines for a profile that held none before.
    EXPECT_FALSE(Log.Contains("gained"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Display, "HandleFullProfileUpdate Complete:"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Display, "\tDestroyOld: "));

    const auto Sword = Profile->GetItem("I1");
    ASSERT_TRUE(Sword);
    EXPECT_TRUE(Sword->ItemType.Equals("weapon"));
    EXPECT_EQ(Sword->Revision, 4);
    EXPECT_EQ(Sword->Attributes->GetIntegerField("level"), 3);
    EXPECT_TRUE(Profile->GetStat("NAME")->AsString().Equals("hero"));
}

TEST_F(FProfileResponseTest, RepeatedFullProfileChangesNothingAndCapitalTypeIsAccepted)
{
    StartWithProfile();
    const auto Sword = Profile->GetItem("i1");
    Apply(FullProfile(11, R"({"xp":100})", TwoItems).Replace("fullProfileUpdate", "FULLPROFILEUPDATE"));
    EXPECT_EQ(Profile->GetProfileRevision(), 11);
    EXPECT_TRUE(StatsEvents.IsEmpty());
    EXPECT_TRUE(TypeEvents.IsEmpty());
    EXPECT_EQ(Profile->GetItem("i1"), Sword);
    EXPECT_EQ(Sword->Revision, 10) << "unchanged items keep their revision";
}

TEST_F(FProfileResponseTest, FullProfileUpdatesChangedItemsAndRemovesUnlistedOnes)
{
    StartWithProfile();
    Apply(FullProfile(12, R"({"xp":150})",
                      R"({"i1":{"templateId":"WEAPON.SWORD","quantity":4,"attributes":{"level":4}},)"
                      R"("i4":{"templateId":"gem.red","quantity":2,"attributes":{}}})"));
    EXPECT_EQ(StatsEvents, (TArray<int64>{12}));
    EXPECT_TRUE(LastTypesAre({"weapon", "gold", "gem"}));
    EXPECT_FALSE(Profile->GetItem("i2"));
    const auto Sword = Profile->GetItem("i1");
    EXPECT_EQ(Sword->Quantity, 4);
    EXPECT_EQ(Sword->Revision, 12);
    EXPECT_TRUE(Sword->TemplateId.Equals("weapon.sword", ESearchCase::CaseSensitive)) << "same template kept";
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One's weapon.sword attributes were updated."));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One gained 3 x weapon.sword"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One gained 2 x gem.red"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: updated account stats for Player One"));
}

namespace
{
const FString FewerFieldsHeldItems = R"({"i1":{"templateId":"weapon.sword","quantity":1,)"
                                     R"("attributes":{"level":3,"colour":"red"}}})";

struct FFewerFieldsCase
{
    const char* Name;
    FString Stats;
    FString Items;
    bool bStatDropped;
    bool bAttributeDropped;
};

const FFewerFieldsCase FewerFieldsCases[] = {
    {"a stat dropped", R"({"xp":100})", FewerFieldsHeldItems, true, false},
    {"an attribute dropped", R"({"xp":100,"name":"hero"})",
     R"({"i1":{"templateId":"weapon.sword","quantity":1,"attributes":{"level":3}}})", false, true},
};

void PrintTo(const FFewerFieldsCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

using FProfileFewerFieldsTest = TZorRows<FProfileResponseTest, FFewerFieldsCase>;
} // namespace

TEST_P(FProfileFewerFieldsTest, FullProfileWithFewerFieldsDropsTheMissingOnes)
{
    const FFewerFieldsCase& Case = GetParam();
    Apply(FullProfile(21, R"({"xp":100,"name":"hero"})", FewerFieldsHeldItems));
    ASSERT_TRUE(Profile->GetStat("name"));
    StatsEvents.Empty();
    TypeEvents.Empty();

    Apply(FullProfile(22, Case.Stats, Case.Items));
    EXPECT_EQ(!Profile->GetStat("name"), Case.bStatDropped);
    EXPECT_EQ(StatsEvents.Num(), Case.bStatDropped ? 1 : 0);
    const auto Sword = Profile->GetItem("i1");
    ASSERT_TRUE(Sword);
    EXPECT_EQ(!Sword->Attributes->HasField("colour"), Case.bAttributeDropped);
    EXPECT_EQ(TypeEvents.Num(), Case.bAttributeDropped ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FProfileFewerFieldsTest, ::testing::ValuesIn(FewerFieldsCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(FProfileResponseTest, TemplateChangeToAnotherTypeKeepsTheRecordAndReportsBothTypes)
{
    StartWithProfile();
    const auto Sword = Profile->GetItem("i1");
    Apply(FullProfile(11, R"({"xp":100})",
                      R"({"i1":{"templateId":"armor.plate","quantity":1,"attributes":{"level":3}},)"
                      R"("i2":{"templateId":"gold","quantity":50,"attributes":{}}})"));
    EXPECT_EQ(Profile->GetItem("i1"), Sword);
    EXPECT_TRUE(Sword->ItemType.Equals("armor"));
    EXPECT_TRUE(LastTypesAre({"weapon", "armor"}));
    EXPECT_TRUE(Log.Contains(
        ELogVerbosity::Warning,
        "ZOR-Profile: Player One recreated 1 x armor.plate (template change from weapon.sword)"));
}

TEST_F(FProfileResponseTest, ItemDeltasApplyAfterAFullProfile)
{
    StartWithProfile();
    Apply(Deltas(
        11,
        R"({"changeType":"itemAdded","itemId":"i3","item":{"templateId":"gem.blue","quantity":2,"attributes":{}}},)"
        R"({"changeType":"itemRemoved","itemId":"i2"},)"
        R"({"changeType":"itemQuantityChanged","itemId":"i1","quantity":0},)"
        R"({"changeType":"itemAttrChanged","itemId":"i1","attributeName":"level","attributeValue":5},)"
        R"({"changeType":"itemAttrChanged","itemId":"i1","attributeName":"color","attributeValue":null})"));
    EXPECT_EQ(TypeEvents.Num(), 1) << "one event per response";
    EXPECT_TRUE(LastTypesAre({"gem", "gold", "weapon"}));
    EXPECT_EQ(Profile->GetItem("i3")->Revision, 11);
    EXPECT_FALSE(Profile->GetItem("i2"));
    const auto Sword = Profile->GetItem("i1");
    EXPECT_EQ(Sword->Quantity, 0);
    EXPECT_EQ(Sword->Attributes->GetIntegerField("level"), 5);
    EXPECT_FALSE(Sword->Attributes->HasField("color"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One gained 2 x gem.blue [i3]"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One lost 50 x gold"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One lost 1 x weapon.sword"));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One's weapon.sword attribute level changed."));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One's weapon.sword attribute color was removed."));
    EXPECT_TRUE(StatsEvents.IsEmpty());
}

TEST_F(FProfileResponseTest, ReplacingAnItemOfAnotherTypeReportsBothTypes)
{
    StartWithProfile();
    const auto Sword = Profile->GetItem("i1");
    Apply(Deltas(
        11,
        R"({"changeType":"itemAdded","itemId":"i1","item":{"templateId":"shield.small","quantity":1,"attributes":{}}})"));
    EXPECT_EQ(Profile->GetItem("i1"), Sword);
    EXPECT_TRUE(LastTypesAre({"weapon", "shield"}));
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One replaced 1 x shield.small [i1]"));
}

TEST_F(FProfileResponseTest, ChangesToUnknownItemsAreSkippedAndTheRestApplies)
{
    StartWithProfile();
    Apply(Deltas(11,
                 R"({"changeType":"itemRemoved","itemId":"nope"},)"
                 R"({"changeType":"itemQuantityChanged","itemId":"nope","quantity":3},)"
                 R"({"changeType":"itemAttrChanged","itemId":"nope","attributeName":"a","attributeValue":1},)"
                 R"({"changeType":"itemAdded","itemId":"x"},)"
                 R"({"changeType":"teleport"},)"
                 R"({"changeType":"itemQuantityChanged","itemId":"i2","quantity":60})"));
    EXPECT_TRUE(Log.Contains(
        ELogVerbosity::Error,
        "Unable to remove ZOR item nope from Player One because it does not exist in our cache."));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Error, "Unable to adjust quantity on ZOR item nope from Player One"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Error, "ZOR item nope for Player One"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Error, "itemAdded for Player One did not contain an item JSON entry."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Unable to process profile change of type teleport."));
    EXPECT_EQ(Profile->GetItem("i2")->Quantity, 60);
    EXPECT_TRUE(LastTypesAre({"gold"}));
}

TEST_F(FProfileResponseTest, StatChangesFireOnceEvenWhenOneFails)
{
    StartWithProfile();
    Apply(Deltas(13, R"({"changeType":"statModified","name":"xp","value":120},)"
                     R"({"changeType":"statModified","name":"title","value":null},)"
                     R"({"changeType":"statModified","name":"broken"})"));
    EXPECT_EQ(StatsEvents, (TArray<int64>{13}));
    EXPECT_EQ(Profile->GetStat("xp")->AsNumber(), 120.0);
    ASSERT_TRUE(Profile->GetStat("title"));
    EXPECT_TRUE(Profile->GetStat("title")->IsNull());
    EXPECT_FALSE(Profile->GetStat("broken"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning,
                     "ZOR-Profile: Unable to process statModified change to Player One's broken stat."));

    StatsEvents.Empty();
    Apply(Deltas(14, R"({"changeType":"statModified","name":"broken"})"));
    EXPECT_EQ(StatsEvents, (TArray<int64>{14}));
}

TEST_F(FProfileResponseTest, NotificationsReachGameCodeAndTheLastPrimaryWins)
{
    TArray<FOnlineNotification> Seen;
    Profile->OnHandleNotification().BindLambda([&](const FOnlineNotification& Note) { Seen.Add(Note); });
    const FZorScopedBinding Bound([this] { Profile->OnHandleNotification().Unbind(); });
    const FZorQueryResult Result = Apply(R"({"profileRevision":1,"notifications":[)"
                                         R"({"type":"levelUp","primary":true,"payload":{"level":2}},)"
                                         R"({"type":"bare"},"not an object",)"
                                         R"({"type":"reward","primary":true,"payload":[1,2]}]})");
    ASSERT_EQ(Seen.Num(), 3);
    EXPECT_EQ(Seen[0].Payload->AsObject()->GetIntegerField("level"), 2);
    // Without a payload, the whole notification is the payload.
    EXPECT_TRUE(Seen[1].Payload->AsObject()->GetStringField("type").Equals("bare"));
    EXPECT_TRUE(Result.PrimaryNotification.TypeStr.Equals("reward"));
    EXPECT_EQ(Result.PrimaryNotification.Payload->AsArray().Num(), 2);
    EXPECT_EQ(Log.Count("Stomping primary notification of type levelUp with another of type reward"), 1);
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Skipping a notifications element that is not an object."));
}

TEST_F(FProfileResponseTest, ServerTimeSetsTheOffsetOnlyWhenItParses)
{
    const FDateTime Ahead = FDateTime::UtcNow() + FTimespan::FromSeconds(3600.0);
    Apply(FString::Printf(R"({"serverTime":"%s"})", *Ahead.ToIso8601()));
    const double Offset = Profile->GetServerTimeOffset().GetTotalSeconds();
    EXPECT_NEAR(Offset, 3600.0, 5.0);
    EXPECT_EQ(Profile->GetProfileRevision(), 0) << "a missing revision reads as 0";

    Apply(R"({"serverTime":"yesterday","profileRevision":2})");
    EXPECT_EQ(Profile->GetServerTimeOffset().GetTotalSeconds(), Offset);
    const FDateTime Local(2030, 1, 1);
    EXPECT_EQ(Profile->GetClientDateTime(Profile->GetServerDateTime(Local)), Local);
}

TEST_F(FProfileResponseTest, ServiceNumbersSaturate)
{
    Apply(R"({"profileRevision":1e300})");
    EXPECT_EQ(Profile->GetProfileRevision(), INT64_MAX);
    Apply(R"({"profileRevision":-1e300})");
    EXPECT_EQ(Profile->GetProfileRevision(), INT64_MIN);

    Apply(FullProfile(1, "{}", R"({"big":{"templateId":"gold","quantity":-1e20,"attributes":{}}})"));
    EXPECT_EQ(Profile->GetItem("big")->Quantity, INT32_MIN);
    Apply(Deltas(2, R"({"changeType":"itemQuantityChanged","itemId":"big","quantity":5e30})"));
    EXPECT_EQ(Profile->GetItem("big")->Quantity, INT32_MAX);
    EXPECT_TRUE(Log.Contains("ZOR-Profile: Player One gained 4294967295 x gold"));
}

TEST_F(FProfileResponseTest, MalformedProfilesAreSkippedWithWarnings)
{
    StartWithProfile();
    Apply(
        R"({"profileRevision":11,"profileChanges":[7,{"changeType":"fullProfileUpdate","profile":{"version":"x"}}]})");
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Skipping a profileChanges element that is not an object."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "has no stats attributes; stats kept."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "has no items object; items kept."));
    EXPECT_EQ(Profile->GetAllItems().Num(), 2);
    EXPECT_EQ(Profile->GetAllStats().Num(), 1);

    Apply(FullProfile(
        12, R"({"xp":100})",
        R"({"i1":"broken","i2":{"templateId":"gold","quantity":50},"i5":{"templateId":"gem","quantity":1}})"));
    // A malformed entry leaves its held item alone; a missing attributes object reads as empty.
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "Skipping item i1 of Player One, which is not an object."));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Item i5 has no attributes object"));
    EXPECT_TRUE(Profile->GetItem("i1"));
    EXPECT_EQ(Profile->GetItem("i5")->Attributes->Values.Num(), 0);

    Apply(R"({"profileRevision":13,"profileChanges":[{"changeType":"fullProfileUpdate"}]})");
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "ZOR-Profile: Missing profile object in JSON for Player One"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Error,
                     "ZOR-Profile: Received full profile update from ZOR but was unable to apply it."));
    EXPECT_EQ(Profile->GetAllItems().Num(), 3);
}

TEST_F(FProfileResponseTest, SuccessfulCommandAppliesItsResponseBeforeTheCallback)
{
    // Shared: a command still queued when the test stops reports after this frame is gone.
    const TSharedRef<int32> ItemsAtCallback = MakeShared<int32>(-1);
    ASSERT_TRUE(Profile->ForceQueryProfile(
        FOnZorQueryComplete::CreateLambda([this, ItemsAtCallback](const FZorQueryResult&)
                                          { *ItemsAtCallback = Profile->GetAllItems().Num(); })));
    Tick();
    Answer(200, FullProfile(3, "{}", TwoItems));
    EXPECT_EQ(*ItemsAtCallback, 2);
    EXPECT_EQ(Profile->GetProfileRevision(), 3);
}
