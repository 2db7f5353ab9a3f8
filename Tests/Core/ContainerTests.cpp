#include <gtest/gtest.h>

#include "CoreMinimal.h"

// Ini sections, header names and account ids are looked up through text-keyed maps that must ignore case.
TEST(CaseInsensitiveMap, KeysDifferingInCaseAreOneEntry)
{
    TMap<FString, int32> Map;
    Map.Add("Client", 1);
    Map.Add("CLIENT", 2);
    ASSERT_EQ(Map.Num(), 1);
    ASSERT_NE(Map.Find("client"), nullptr);
    EXPECT_EQ(*Map.Find("client"), 2);
    EXPECT_TRUE(Map.begin()->Key.Equals("Client"));
    EXPECT_EQ(Map.Remove("cLiEnT"), 1);
    EXPECT_TRUE(Map.IsEmpty());
}

TEST(CaseInsensitiveMap, PointersSurviveLaterAdditionsAndOrderIsInsertionOrder)
{
    TMap<FString, FString> Map;
    FString& First = Map.FindOrAdd("b");
    First = "kept";
    for (int32 Index = 0; Index < 100; ++Index)
    {
        Map.Add(FString::Printf("key%d", Index), "x");
    }
    EXPECT_TRUE(First.Equals("kept"));
    EXPECT_TRUE(Map.begin()->Key.Equals("b"));
}

TEST(CaseInsensitiveMap, IteratorRemovesCurrentWithoutSkipping)
{
    TMap<FString, int32> Map;
    for (int32 Index = 0; Index < 6; ++Index)
    {
        Map.Add(FString::Printf("K%d", Index), Index);
    }
    for (auto It = Map.CreateIterator(); It; ++It)
    {
        if (It.Value() % 2 == 0)
        {
            It.RemoveCurrent();
        }
    }
    TArray<int32> Left;
    Map.GenerateValueArray(Left);
    EXPECT_EQ(Left, (TArray<int32>{1, 3, 5}));
    EXPECT_FALSE(Map.Contains("k0"));
}

TEST(CaseInsensitiveSet, IgnoresCase)
{
    TSet<FString> Set;
    EXPECT_TRUE(Set.Add("Name"));
    EXPECT_FALSE(Set.Add("NAME"));
    EXPECT_TRUE(Set.Contains("name"));
}
