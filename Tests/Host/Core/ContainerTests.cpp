#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <random>
#include <vector>

#include "Core/TerminalText.h"
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

// Small maps search in order; from a few entries on they switch to a hash index, which must agree.
TEST(CaseInsensitiveMap, LookupsAgreeBelowAndAboveTheIndexThreshold)
{
    TMap<FString, int32> Map;
    for (int32 Index = 0; Index < 40; ++Index)
    {
        Map.Add(FString::Printf("Key%d", Index), Index);
        for (int32 Earlier = 0; Earlier <= Index; ++Earlier)
        {
            const int32* Found = Map.Find(FString::Printf("KEY%d", Earlier));
            ASSERT_NE(Found, nullptr) << Index << " " << Earlier;
            EXPECT_EQ(*Found, Earlier);
        }
    }
    for (int32 Index = 0; Index < 40; Index += 2)
    {
        EXPECT_EQ(Map.Remove(FString::Printf("key%d", Index)), 1);
    }
    EXPECT_EQ(Map.Num(), 20);
    EXPECT_FALSE(Map.Contains("key10"));
    EXPECT_TRUE(Map.Contains("key11"));
    Map.Add("key10", 100);
    EXPECT_EQ(Map.FindRef("Key10"), 100);
    EXPECT_TRUE(Map.Contains("key39"));

    TMap<FString, int32> Copy = Map;
    TMap<FString, int32> Moved = std::move(Copy);
    EXPECT_EQ(Moved.FindRef("KEY39"), 39);
    EXPECT_EQ(Moved.Num(), 21);
}

// The identity tick walks its client map while a handler may add a client.
TEST(CaseInsensitiveMap, AdditionsDuringIterationDoNotDisturbIt)
{
    TMap<FString, int32> Map;
    for (int32 Index = 0; Index < 12; ++Index)
    {
        Map.Add(FString::Printf("Key%d", Index), Index);
    }
    int32 Visited = 0;
    for (auto& Entry : Map)
    {
        ++Visited;
        if (Entry.Value < 12)
        {
            Map.Add(FString::Printf("Added%d", Entry.Value), 100 + Entry.Value);
        }
    }
    EXPECT_EQ(Map.Num(), 24);
    EXPECT_EQ(Visited, 24);
}

// Removal shifts later index entries back and reuses the freed place; a model map checks every lookup, the
// order and that no surviving element ever moves.
TEST(CaseInsensitiveMap, ChurnAgreesWithAModelAndNeverMovesSurvivors)
{
    struct FModelEntry
    {
        int32 Value;
        const int32* Address;
    };
    for (const int32 KeySpace : {6, 40, 3000})
    {
        TMap<FString, int32> Map;
        std::map<int32, FModelEntry> Model;
        std::vector<int32> Order;
        std::mt19937 Random(KeySpace);
        for (int32 Step = 0; Step < 20000; ++Step)
        {
            const int32 Key = static_cast<int32>(Random() % KeySpace);
            const FString Name = FString::Printf(Random() % 2 ? "Item%d" : "ITEM%d", Key);
            if (Random() % 3 == 0)
            {
                EXPECT_EQ(Map.Remove(Name), static_cast<int32>(Model.erase(Key)));
                std::erase(Order, Key);
                continue;
            }
            if (!Model.count(Key))
            {
                Order.push_back(Key);
            }
            Map.Add(Name, Step);
            Model[Key] = FModelEntry{Step, Map.Find(Name)};
        }
        ASSERT_EQ(Map.Num(), static_cast<int32>(Model.size())) << KeySpace;
        for (const auto& [Key, Entry] : Model)
        {
            const int32* Found = Map.Find(FString::Printf("item%d", Key));
            ASSERT_EQ(Found, Entry.Address) << KeySpace << " " << Key;
            EXPECT_EQ(*Found, Entry.Value);
        }
        std::vector<int32> Iterated;
        for (const auto& Entry : Map)
        {
            Iterated.push_back(FCString::Atoi(*Entry.Key.Mid(4)));
        }
        EXPECT_EQ(Iterated, Order) << KeySpace;
    }
}

TEST(CaseInsensitiveMap, CopiesAreDeepAndMovesLeaveAnEmptyMap)
{
    TMap<FString, FString> Source;
    Source.Reserve(3);
    for (const char* Key : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"})
    {
        Source.Add(Key, FString(Key) + "!");
    }
    TMap<FString, FString> Copy = Source;
    Copy.Add("A", "changed");
    Copy.Remove("j");
    EXPECT_TRUE(Source.Find("a")->Equals("a!"));
    EXPECT_EQ(Source.Num(), 10);
    EXPECT_EQ(Copy.Num(), 9);

    const FString* Held = Source.Find("e");
    TMap<FString, FString> Moved = std::move(Source);
    EXPECT_EQ(Moved.Find("E"), Held);
    EXPECT_TRUE(Source.IsEmpty());
    EXPECT_EQ(Source.begin(), Source.end());
    Source.Add("again", "x");
    EXPECT_EQ(Source.Num(), 1);

    Copy = std::move(Moved);
    EXPECT_EQ(Copy.Find("e"), Held);
    EXPECT_EQ(Copy.Num(), 10);
}

// Reserved room comes in several blocks for a large map; the elements must fill it in order and stay put.
TEST(CaseInsensitiveMap, ReservedRoomHoldsEveryElementInOrder)
{
    for (const int32 Number : {1, 9, 256, 257, 1000})
    {
        TMap<FString, int32> Map;
        Map.Add("first", -1);
        Map.Reserve(Number);
        std::vector<const int32*> Addresses;
        for (int32 Index = 0; Index < Number; ++Index)
        {
            Addresses.push_back(&Map.Add(FString::Printf("k%d", Index), Index));
        }
        Map.Remove("k0");
        Map.Reserve(Number / 2);
        Map.Add("last", Number);
        int32 Expected = 1;
        for (const auto& Entry : Map)
        {
            if (Entry.Key == "first" || Entry.Key == "last")
            {
                continue;
            }
            EXPECT_EQ(Entry.Value, Expected) << Number;
            EXPECT_EQ(&Entry.Value, Addresses[Expected]) << Number;
            ++Expected;
        }
        EXPECT_EQ(Expected, Number) << Number;
        EXPECT_EQ(Map.Num(), Number + 1);
        EXPECT_TRUE(Map.begin()->Key.Equals("first"));
    }
}

// Pointer keys hash to their address, whose low bits are all zero; the index must still find every one.
TEST(CaseInsensitiveMap, PointerKeysAndRemovalOfEveryOther)
{
    std::vector<TSharedPtr<int32>> Keys;
    TMap<TSharedPtr<int32>, int32> Map;
    for (int32 Index = 0; Index < 500; ++Index)
    {
        Keys.push_back(MakeShared<int32>(Index));
        Map.Add(Keys.back(), Index);
    }
    for (int32 Index = 0; Index < 500; Index += 2)
    {
        EXPECT_EQ(Map.Remove(Keys[Index]), 1);
    }
    for (int32 Index = 0; Index < 500; ++Index)
    {
        const int32* Found = Map.Find(Keys[Index]);
        EXPECT_EQ(Found != nullptr, Index % 2 == 1) << Index;
    }
    EXPECT_EQ(Map.Num(), 250);
}

TEST(CaseInsensitiveSet, IgnoresCase)
{
    TSet<FString> Set;
    EXPECT_TRUE(Set.Add("Name"));
    EXPECT_FALSE(Set.Add("NAME"));
    EXPECT_TRUE(Set.Contains("name"));
}

// A log line is one line, whatever the message holds, and drives no terminal.
TEST(LogFormat, LineBreaksAndControlsInsideAMessageAreEscaped)
{
    DECLARE_LOG_CATEGORY_EXTERN(LogFormatTest, Log, All);
    FLogCategoryLogFormatTest Category;
    EXPECT_STREQ(*FLog::FormatLine(Category, ELogVerbosity::Warning, "a\r\nb\nc\x1b]0;x\x07"),
                 "LogFormatTest: Warning: a\\r\\nb\\nc\\x1b]0;x\\x07");
}

// Whatever the host writes passes this one step, so no text from a service or an argument drives the
// terminal.
namespace
{
struct FShownByteCase
{
    std::string Text;
    const char* Shown;
    bool bKeepLineFeed = true;
};

const FShownByteCase ShownByteCases[] = {
    {std::string("a\0b", 3), "a\\x00b"},
    {"\x1f\x20~", "\\x1f ~"},
    {"\t\n", "\t\n"},
    {"\t\na\r\n\x1b", "\t\\x0aa\\x0d\\x0a\\x1b", false},
    {"\r\x1b[31m\x07", "\\x0d\\x1b[31m\\x07"},
    {"\x7f", "\\x7f"},
    {"\xc2\x80|\xc2\x9f|\xc2\xa0", "\\xc2\\x80|\\xc2\\x9f|\xc2\xa0"},
    {"\x9b"
     "2J",
     "\\x9b"
     "2J"},
    {"\xc2", "\\xc2"},
    {"\xe2\x80\xa6\xf0\x9f\x98\x80\xed\xa0\x80", "\xe2\x80\xa6\xf0\x9f\x98\x80\\xed\\xa0\\x80"},
    {"\\x1b", "\\x1b"},
};

using FLogFormatShownByteTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FLogFormatShownByteTest, EachControlAndStrayByteIsShownAsItsNumber)
{
    const FShownByteCase& Case = ShownByteCases[GetParam()];
    if (!Case.bKeepLineFeed)
    {
        EXPECT_EQ(TerminalText::Shown(Case.Text, false), Case.Shown);
        return;
    }
    const FString Shown = FLog::Escape(FString(Case.Text));
    EXPECT_EQ(Shown.ToStdString(), Case.Shown) << Case.Shown;
    EXPECT_EQ(FLog::Escape(Shown).ToStdString(), Case.Shown) << "escaped twice: " << Case.Shown;
}

INSTANTIATE_TEST_SUITE_P(Rows, FLogFormatShownByteTest,
                         ::testing::Range(size_t{0}, std::size(ShownByteCases)));

TEST(LogFormat, AnEscapedTextIsCutOnlyAtAWholeNumber)
{
    FString Cut;
    EXPECT_FALSE(FLog::AppendEscaped(Cut, FString("ab\x01"), 5));
    EXPECT_EQ(Cut.ToStdString(), "ab");
    // A text exactly as long as its room is shown whole.
    FString Whole;
    EXPECT_TRUE(FLog::AppendEscaped(Whole, FString("ab\x01"), 6));
    EXPECT_EQ(Whole.ToStdString(), "ab\\x01");
}

// A JSON object keeps its first fields in room allocated with it. The map must fill that room, overflow into
// blocks of its own, never free the room, and hand its elements over when moved, since the room stays put.
TEST(CaseInsensitiveMap, AdoptedRoomIsUsedButNeverFreedOrStolen)
{
    using FMap = TMap<FString, int32>;
    for (const int32 Room : {1, 3, 20})
    {
        std::vector<std::max_align_t> Memory(FMap::RoomBytes(Room) / sizeof(std::max_align_t) + 1);
        std::vector<int32> Expected;
        FMap Moved;
        {
            FMap Map;
            Map.AdoptRoom(Memory.data(), Room);
            for (int32 Index = 0; Index < Room + 5; ++Index)
            {
                Map.Add(FString::Printf("k%d", Index), Index);
                Expected.push_back(Index);
            }
            const char* const RoomStart = reinterpret_cast<const char*>(Memory.data());
            const char* const First = reinterpret_cast<const char*>(Map.Find("K0"));
            EXPECT_TRUE(First > RoomStart && First < RoomStart + FMap::RoomBytes(Room)) << Room;
            Map.Remove("k1");
            Map.Add("again", 99);
            Expected.erase(Expected.begin() + 1);
            Expected.push_back(99);
            Moved = std::move(Map);
            EXPECT_TRUE(Map.IsEmpty());
            Map.Add("after", 1);
            EXPECT_EQ(Map.FindRef("after"), 1);
        }
        std::vector<int32> Seen;
        for (const auto& Entry : Moved)
        {
            Seen.push_back(Entry.Value);
        }
        EXPECT_EQ(Seen, Expected) << Room;
        EXPECT_EQ(Moved.FindRef("K4"), 4);
        FMap Copy = Moved;
        EXPECT_EQ(Copy.Num(), Moved.Num());
    }
}
