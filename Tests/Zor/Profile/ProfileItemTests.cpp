#include "ProfileTest.h"

namespace
{
FString ItemsResponse(int64 Revision, const FString& Items)
{
    return FString::Printf(R"({"profileRevision":%lld,"profileChanges":[{"changeType":"fullProfileUpdate",)"
                           R"("profile":{"stats":{"attributes":{"xp":1}},"items":%s}}]})",
                           static_cast<long long>(Revision), *Items);
}

const char* const Armory =
    R"({"s1":{"templateId":"weapon.sword.fire","quantity":1,"attributes":{"level":1}},)"
    R"("s2":{"templateId":"weapon.axe","quantity":2,"attributes":{}},)"
    R"("g1":{"templateId":"gold","quantity":99,"attributes":{}}})";

UTestAwareItem* AwareInstance(const TSharedPtr<const FZorItem>& Item)
{
    return Item ? Cast<UTestAwareItem>(Item->Instance) : nullptr;
}
} // namespace

TEST_F(FProfileTest, LookupsIgnoreLetterCaseAndTypesStopAtTheFirstDot)
{
    Apply(ItemsResponse(1, Armory));
    EXPECT_TRUE(Profile->GetItem("S1"));
    EXPECT_TRUE(Profile->GetItem("s1")->ItemType.Equals("weapon", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Profile->GetItem("g1")->ItemType.Equals("gold", ESearchCase::CaseSensitive));
    EXPECT_EQ(Profile->GetItemsByType("WEAPON").Num(), 2);
    EXPECT_EQ(Profile->FindItemByTemplate("Weapon.Axe"), Profile->GetItem("s2"));
    EXPECT_FALSE(Profile->FindItemByTemplate("weapon"));
    EXPECT_FALSE(Profile->GetItem("missing"));
    EXPECT_EQ(Profile->GetStat("XP")->AsNumber(), 1.0);
    EXPECT_FALSE(Profile->GetStat("level"));
    EXPECT_TRUE(Profile->ToDebugString().Equals("Player One's Stats:\n  xp = 1\nPlayer One's Inventory:\n"
                                                "  1 x weapon.sword.fire [s1]\n  2 x weapon.axe [s2]\n"
                                                "  99 x gold [g1]\n",
                                                ESearchCase::CaseSensitive))
        << *Profile->ToDebugString();
}

TEST_F(FProfileTest, MappedClassesGiveItemsTheirObjects)
{
    Profile->MapClass("gold", nullptr); // refused with an error, in every build
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Error, "InstanceClass"));
    Profile->MapClass("weapon", UTestPlainItem::StaticClass());
    Profile->MapClass("weapon.sword.fire", UTestAwareItem::StaticClass());
    Apply(ItemsResponse(1, Armory));
    // The template's mapping wins over the type's; unmapped items have no object.
    UTestAwareItem* Sword = AwareInstance(Profile->GetItem("s1"));
    ASSERT_TRUE(Sword);
    EXPECT_EQ(Sword->Populated, 1);
    EXPECT_TRUE(Sword->PopulatedTemplate.Equals("weapon.sword.fire"));
    EXPECT_TRUE(Sword->GetOuter() == GetTransientPackage());
    ASSERT_TRUE(Profile->GetItem("s2")->Instance);
    EXPECT_TRUE(Profile->GetItem("s2")->Instance->IsA<UTestPlainItem>());
    EXPECT_FALSE(Profile->GetItem("s2")->Instance->Implements<UZorItemAware>());
    EXPECT_TRUE(Sword->Implements<UZorItemAware>());
    EXPECT_FALSE(Profile->GetItem("g1")->Instance);

    // Objects survive collection while the profile reports them, and persist across full profiles.
    CollectGarbage();
    Apply(ItemsResponse(2, FString(Armory)
                               .Replace(R"("level":1)", R"("level":2)")
                               .Replace(R"("quantity":1,)", R"("quantity":3,)")));
    EXPECT_EQ(AwareInstance(Profile->GetItem("s1")), Sword);
    EXPECT_EQ(Sword->Populated, 2);
    EXPECT_EQ(Sword->Quantities, (TArray<int32>{3}));

    // An object whose class no longer matches the item is replaced.
    Apply(ItemsResponse(3, FString(Armory).Replace("weapon.sword.fire", "weapon.sword.ice")));
    EXPECT_TRUE(Profile->GetItem("s1")->Instance->IsA<UTestPlainItem>());
    EXPECT_EQ(Sword->Removed, 0);
}

TEST_F(FProfileTest, ItemAwareObjectsFollowTheirItems)
{
    Profile->MapClass("weapon", UTestAwareItem::StaticClass());
    Apply(ItemsResponse(1, Armory));
    UTestAwareItem* Axe = AwareInstance(Profile->GetItem("s2"));
    ASSERT_TRUE(Axe);
    const TWeakObjectPtr<UTestAwareItem> WatchAxe(Axe);

    Apply(R"({"profileRevision":2,"profileChanges":[)"
          R"({"changeType":"itemAttrChanged","itemId":"s2","attributeName":"edge","attributeValue":"keen"},)"
          R"({"changeType":"itemAttrChanged","itemId":"s2","attributeName":"edge","attributeValue":null},)"
          R"({"changeType":"itemQuantityChanged","itemId":"s2","quantity":7}]})");
    EXPECT_EQ(Axe->ChangedAttributes, (TArray<FString>{"edge", "edge"}));
    EXPECT_EQ(Axe->ChangedValuePresent, (TArray<bool>{true, false}));
    EXPECT_EQ(Axe->Quantities, (TArray<int32>{7}));
    EXPECT_EQ(Axe->Populated, 1);

    // An object that cannot take a change is repopulated; one that cannot take that either is dropped.
    UTestAwareItem::bAcceptAttribute = false;
    Apply(
        R"({"profileRevision":3,"profileChanges":[)"
        R"({"changeType":"itemAttrChanged","itemId":"s2","attributeName":"edge","attributeValue":"dull"}]})");
    EXPECT_EQ(Axe->Populated, 2);
    UTestAwareItem::bAcceptPopulate = false;
    Apply(
        R"({"profileRevision":4,"profileChanges":[)"
        R"({"changeType":"itemAttrChanged","itemId":"s2","attributeName":"edge","attributeValue":"rusty"}]})");
    EXPECT_TRUE(Log.Contains(
        ELogVerbosity::Error,
        "Failed to populate item s2 of type weapon.axe which was mapped to class TestAwareItem"));
    EXPECT_FALSE(Profile->GetItem("s2")->Instance);
    CollectGarbage();
    EXPECT_FALSE(WatchAxe.IsValid()) << "a dropped object is no longer kept alive";

    UTestAwareItem::bAcceptPopulate = true;
    UTestAwareItem* Sword = AwareInstance(Profile->GetItem("s1"));
    Apply(R"({"profileRevision":5,"profileChanges":[{"changeType":"itemRemoved","itemId":"s1"}]})");
    EXPECT_EQ(Sword->Removed, 1);
}

TEST_F(FProfileTest, RefusedPopulateLeavesTheItemWithoutAnObject)
{
    UTestAwareItem::bAcceptPopulate = false;
    Profile->MapClass("gold", UTestAwareItem::StaticClass());
    Apply(ItemsResponse(1, Armory));
    EXPECT_FALSE(Profile->GetItem("g1")->Instance);
    EXPECT_EQ(Profile->GetItem("g1")->Quantity, 99);
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Error, "Failed to populate item g1 of type gold which was mapped"));
}

TEST_F(FProfileTest, UnreachableProfileTakesItsItemObjectsWithIt)
{
    Profile->MapClass("weapon", UTestAwareItem::StaticClass());
    Apply(ItemsResponse(1, Armory));
    const TWeakObjectPtr<UObject> Sword(Profile->GetItem("s1")->Instance);
    CollectGarbage();
    EXPECT_TRUE(Sword.IsValid());
    Profile->RemoveFromRoot();
    Profile = nullptr;
    CollectGarbage();
    EXPECT_FALSE(Sword.IsValid());
}

TEST_F(FProfileTest, InitializeLooksUpThePlayerName)
{
    EXPECT_TRUE(Profile->GetPlayerName().Equals("Player One"));
    EXPECT_TRUE(Profile->GetGameAccountId()->ToString().Equals("acct1"));
    UTestProfile* Stranger = NewProfile("stranger");
    EXPECT_TRUE(Stranger->GetPlayerName().Equals("UnknownZORUser"));
    Stranger->RemoveFromRoot();
}

TEST_F(FProfileTest, CopyFromOtherSharesItemsAndAnnouncesThemOnce)
{
    Profile->MapClass("weapon", UTestAwareItem::StaticClass());
    Profile->SetProfileId("pve");
    Apply(ItemsResponse(6, Armory));
    UTestProfile* Copy = NewProfile("stranger", false);
    TArray<TArray<FString>> Announced;
    int32 StatsEvents = 0;
    const FDelegateHandle Inventory = Copy->OnInventoryUpdated().AddLambda(
        [&](const TSet<FString>& Types, int64) { Announced.Add(Types.Array()); });
    const FDelegateHandle Stats =
        Copy->OnStatsUpdated().AddLambda([&](int64 Revision) { StatsEvents += Revision == 6 ? 1 : 100; });
    const FZorScopedBinding Bound(
        [&]
        {
            Copy->OnInventoryUpdated().Remove(Inventory);
            Copy->OnStatsUpdated().Remove(Stats);
        });

    Copy->CopyFromOther(*Profile);
    EXPECT_TRUE(Copy->GetProfileId().Equals("pve"));
    EXPECT_TRUE(Copy->GetPlayerName().Equals("Player One"));
    EXPECT_EQ(Copy->GetProfileRevision(), 6);
    EXPECT_EQ(Copy->GetZorRevision(), -1);
    EXPECT_EQ(Copy->GetItem("s1"), Profile->GetItem("s1"));
    EXPECT_EQ(StatsEvents, 1);
    ASSERT_EQ(Announced.Num(), 1);
    EXPECT_EQ(Announced[0].Num(), 2);

    // The shared objects outlive the source profile.
    const TWeakObjectPtr<UObject> Sword(Copy->GetItem("s1")->Instance);
    Profile->RemoveFromRoot();
    Profile = nullptr;
    CollectGarbage();
    EXPECT_TRUE(Sword.IsValid());
    Copy->RemoveFromRoot();
}

TEST_F(FProfileTest, ForceQueryProfileChoosesItsContextAndAllowsTwoInFlight)
{
    EXPECT_TRUE(Profile->ForceQueryProfile(Collect()));
    EXPECT_TRUE(Profile->ForceQueryProfile(Collect()));
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    EXPECT_TRUE(Log.Contains(
        ELogVerbosity::Warning,
        "Caught overlapping attempts to query same user's profile, skipping. User Player One [acct1]"));
    EXPECT_EQ(Profile->GetFullProfileQueryQueued(), 2);
    Tick();
    EXPECT_TRUE(
        Record(FindPending())
            .URL.EndsWith("/game/client/acct1/profile0/QueryProfile?rvn=-1", ESearchCase::CaseSensitive));

    // A failed query moves the revision from -1 to -2, and the next command carries it.
    Answer(500, "down", {}, "text/plain");
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_EQ(Profile->GetProfileRevision(), -2);
    EXPECT_TRUE(Profile->HasCompletedProfileQuery());
    EXPECT_FALSE(Profile->HasValidProfileData());
    Tick();
    EXPECT_TRUE(Record(FindPending()).URL.EndsWith("?rvn=-2", ESearchCase::CaseSensitive));
    Answer(200, R"({"profileRevision":8})");
    EXPECT_EQ(Profile->GetFullProfileQueryQueued(), 0);
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Display,
                     "OnQueryProfileComplete for Player One [acct1] bSuccess: 0 Response: NonJsonResponse"));

    UTestProfile* Server = NewProfile("acct1", false);
    EXPECT_TRUE(Server->ForceQueryProfile(Collect()));
    EXPECT_TRUE(Log.Contains("Queuing Zor request for client=serverclient "
                             "url=http://127.0.0.1:8080/game/server/acct1/profile0/QueryProfile?rvn=-1"));
    Server->RemoveFromRoot();
}

TEST_F(FProfileTest, ForceQueryProfileReportsAFailedDispatch)
{
    SetIni(FString(ProfileTestIni).Replace("ZorClientCommandUrl", "Unused"));
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    ASSERT_EQ(Results.Num(), 1);
    EXPECT_TRUE(Results[0].ErrorCode.Equals("InternalError"));
    EXPECT_EQ(Profile->GetFullProfileQueryQueued(), 0);
    EXPECT_EQ(Profile->GetProfileRevision(), -2);
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    EXPECT_FALSE(Profile->ForceQueryProfile(Collect()));
    EXPECT_EQ(Results.Num(), 4) << "never refused as overlapping: nothing is in flight";
    EXPECT_EQ(Profile->GetFullProfileQueryQueued(), 0);

    UTestProfile* Unbound = NewObject<UTestProfile>();
    EXPECT_FALSE(Unbound->ForceQueryProfile(Collect()));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Unable to query profile due to no Zor for  [Invalid]"));
    EXPECT_EQ(Unbound->GetProfileRevision(), 0);
    EXPECT_TRUE(Unbound->HasValidProfileData());
    EXPECT_EQ(Results.Num(), 4);
}

TEST_F(FProfileTest, CheatResetDeletesThenQueriesThroughTheQueue)
{
    Profile->CheatResetProfile();
    EXPECT_EQ(Profile->GetNumPendingRequests(), 2);
    Tick();
    GrantClientToken("cheatclient");
    EXPECT_TRUE(
        Record(FindPending()).URL.Contains("/DeleteProfile?force=true&rvn=-1", ESearchCase::CaseSensitive));
    Answer(200, R"({"profileRevision":0})");
    Tick();
    EXPECT_TRUE(Record(FindPending()).URL.EndsWith("/QueryProfile?rvn=0", ESearchCase::CaseSensitive));
}
