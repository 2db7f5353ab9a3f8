#include <gtest/gtest.h>

#include "CoreUObject.h"

namespace
{
/** Holds other objects the way a profile holds its items' objects. */
class UTestHolder : public UObject
{
    DECLARE_OBJECT_CLASS(UTestHolder, UObject)

    static void AddReferencedObjects(UObject* InThis, FReferenceCollector& Collector)
    {
        Super::AddReferencedObjects(InThis, Collector);
        Collector.AddReferencedObjects(static_cast<UTestHolder*>(InThis)->Held);
    }

    TArray<UObject*> Held;
};

class UTestAbstract : public UObject
{
    DECLARE_OBJECT_CLASS(UTestAbstract, UObject)
};
} // namespace

IMPLEMENT_OBJECT_CLASS(UTestHolder, "/Script/ObjectTests", CLASS_None)
IMPLEMENT_OBJECT_CLASS(UTestAbstract, "/Script/ObjectTests", CLASS_Abstract)

TEST(ObjectModel, ClassesAreFoundByNameAndPath)
{
    EXPECT_EQ(UClass::FindClass("TestHolder"), UTestHolder::StaticClass());
    EXPECT_EQ(UClass::FindClass("/script/objecttests.testholder"), UTestHolder::StaticClass());
    EXPECT_EQ(UClass::FindClass("Object"), UObject::StaticClass());
    EXPECT_EQ(UClass::FindClass("Nothing"), nullptr);
    EXPECT_TRUE(UTestHolder::StaticClass()->IsChildOf(UObject::StaticClass()));
    EXPECT_FALSE(UObject::StaticClass()->IsChildOf(UTestHolder::StaticClass()));
}

TEST(ObjectModel, NewObjectRefusesClassesThatDoNotFit)
{
    EXPECT_EQ(NewObject<UObject>(GetTransientPackage(), UTestAbstract::StaticClass()), nullptr);
    EXPECT_EQ(NewObject<UTestHolder>(GetTransientPackage(), UObject::StaticClass()), nullptr);
    EXPECT_EQ(NewObject<UObject>(GetTransientPackage(), nullptr), nullptr);
    UObject* Made = NewObject<UObject>(GetTransientPackage(), UTestHolder::StaticClass(), "Named");
    ASSERT_TRUE(Made);
    EXPECT_TRUE(Made->IsA<UTestHolder>());
    EXPECT_TRUE(Made->GetName().Equals("Named"));
    EXPECT_EQ(Made->GetOuter(), GetTransientPackage());
    CollectGarbage();
}

TEST(ObjectModel, CollectionKeepsWhatRootsReachAndDestroysTheRest)
{
    GetTransientPackage();
    CollectGarbage();
    const int32 Before = GetNumCollectedObjects();
    UTestHolder* Root = NewObject<UTestHolder>();
    Root->AddToRoot();
    UTestHolder* Chain = Root;
    // A long chain is walked without deep recursion.
    for (int32 Index = 0; Index < 10000; ++Index)
    {
        auto* Next = NewObject<UTestHolder>();
        Chain->Held.Add(Next);
        Chain = Next;
    }
    UObject* Inner = NewObject<UObject>(Chain);
    const TWeakObjectPtr<UObject> Outer(Chain);
    const TWeakObjectPtr<UObject> Stray(NewObject<UObject>());

    Root->Held.Empty();
    Root->Held.Add(Inner);
    EXPECT_EQ(CollectGarbage(), 9999 + 1)
        << "all but the chain's last link go, with the stray: an inner keeps its outer";
    EXPECT_TRUE(Outer.IsValid());
    EXPECT_FALSE(Stray.IsValid());

    Root->RemoveFromRoot();
    CollectGarbage();
    EXPECT_FALSE(Outer.IsValid());
    EXPECT_EQ(GetNumCollectedObjects(), Before);
}

TEST(ObjectModel, DelegatesOfDestroyedObjectsAreSkippedAndRunningOnesDelayCollection)
{
    CollectGarbage();
    UTestHolder* Object = NewObject<UTestHolder>();
    int32 Calls = 0;
    int32 Collected = -1;
    const auto Delegate = TDelegate<void()>::CreateWeakLambda(Object,
                                                              [&]
                                                              {
                                                                  ++Calls;
                                                                  Collected = CollectGarbage();
                                                              });
    const TWeakObjectPtr<UTestHolder> Watch(Object);
    Delegate.Execute();
    EXPECT_EQ(Collected, 0) << "kept while its own delegate runs";
    EXPECT_TRUE(Watch.IsValid());
    EXPECT_EQ(CollectGarbage(), 1);
    EXPECT_FALSE(Delegate.IsBound());
    Delegate.Execute();
    EXPECT_EQ(Calls, 1);
}

TEST(ObjectModel, CopiesAndStackObjectsAreNotCollected)
{
    UTestHolder OnStack;
    UTestHolder Copy(OnStack);
    const int32 Before = GetNumCollectedObjects();
    CollectGarbage();
    EXPECT_EQ(GetNumCollectedObjects(), Before);
    EXPECT_FALSE(Copy.IsRooted());
    EXPECT_TRUE(TWeakObjectPtr<UTestHolder>(&Copy).IsValid());
}

TEST(Text, FormatFillsOrderedArguments)
{
    const FText Pattern = NSLOCTEXT("Tests", "Pattern", "{1} of {0}: {2} {5} {x} {");
    const FText Result = FText::Format(Pattern, 7, FString("three"), FText::FromString("done"));
    EXPECT_TRUE(Result.ToString().Equals("three of 7: done {5} {x} {", ESearchCase::CaseSensitive));
    EXPECT_TRUE(Pattern.GetNamespace().Equals("Tests"));
    EXPECT_TRUE(Pattern.GetKey().Equals("Pattern"));
    EXPECT_TRUE(
        FText::Format(NSLOCTEXT("Tests", "Big", "{99999999999}"), 1).ToString().Equals("{99999999999}"));
}
