#include <gtest/gtest.h>

#include "CaseNamePrinter.h"
#include "FStringPrinter.h"
#include "LogCapture.h"
#include "UserCloud/ZorCloudFileList.h"

namespace
{
using ZorTestCases::PrintTo;

struct FListCase
{
    const char* Name;
    const char* Body;
    bool bParses;
    /** "dlname=filename=size" per header, joined with "|". */
    const char* Expected;
    /** Elements of which none is an entry tell nothing of what the service no longer has. */
    bool bMaySweep = true;
};

FString Describe(const TArray<FCloudFileHeader>& Headers)
{
    TArray<FString> Parts;
    for (const FCloudFileHeader& Header : Headers)
    {
        Parts.Add(Header.DLName + "=" + Header.FileName + "=" + FString::FromInt(Header.FileSize));
    }
    return FString::Join(Parts, "|");
}

const FListCase ListCases[] = {
    {"BareArray", R"([{"hash":"h1","uniqueFilename":"u1","filename":"a.sav","length":3}])", true,
     "u1=a.sav=3"},
    {"SingleObject", R"({"hash":"h1","uniqueFilename":"u1","filename":"a.sav","length":3})", true,
     "u1=a.sav=3"},
    {"LeadingAndTrailingBlanks", " \r\n\t[{\"hash\":\"h\",\"uniqueFilename\":\"u\"}] \n", true, "u=u=0"},
    {"EmptyArray", "[]", true, ""},
    {"MissingFileNameTakesUniqueName", R"([{"hash":"h","uniqueFilename":"u2","filename":""}])", true,
     "u2=u2=0"},
    {"EntriesWithoutHashDropped",
     R"([{"uniqueFilename":"u1"},{"hash":"","uniqueFilename":"u2"},{"hash":"h","uniqueFilename":"u3","length":7}])",
     true, "u3=u3=7"},
    {"OrderKept", R"([{"hash":"h","uniqueFilename":"b"},{"hash":"h","uniqueFilename":"a"}])", true,
     "b=b=0|a=a=0"},
    {"LargeLengthExact", R"([{"hash":"h","uniqueFilename":"u","length":16777217}])", true, "u=u=16777217"},
    {"LengthAtInt32Limit", R"([{"hash":"h","uniqueFilename":"u","length":2147483647}])", true,
     "u=u=2147483647"},
    {"LengthOverInt32", R"([{"hash":"h","uniqueFilename":"u","length":4294967296}])", true, "u=u=0"},
    {"NegativeLength", R"([{"hash":"h","uniqueFilename":"u","length":-5}])", true, "u=u=0"},
    {"FractionalLength", R"([{"hash":"h","uniqueFilename":"u","length":1.5}])", true, "u=u=0"},
    {"HugeLength", R"([{"hash":"h","uniqueFilename":"u","length":1e300}])", true, "u=u=0"},
    {"NotJson", "not json", false, ""},
    {"EmptyBody", " \n", false, ""},
    // A field that is absent, null or not text is not present.
    {"NullAndNumberFileNamesTakeTheUniqueName",
     R"([{"hash":"h","uniqueFilename":"u1","filename":null},{"hash":"h","uniqueFilename":"u2","filename":2}])",
     true, "u1=u1=0|u2=u2=0"},
    {"NonTextHashOrUniqueNameDropped",
     R"([{"hash":1,"uniqueFilename":"u1"},{"hash":"h","uniqueFilename":{"n":"u"}},{"hash":"h"},)"
     R"({"hash":"h","uniqueFilename":""},{"hash":"h","uniqueFilename":"u5"}])",
     true, "u5=u5=0"},
    {"NonObjectElementsSkipped", R"([1,null,"x",[],{"hash":"h","uniqueFilename":"u"}])", true, "u=u=0"},
    {"OnlyInvalidEntriesNeverSweep", R"([{"uniqueFilename":"u1"},{"hash":"h"},null])", true, "", false},
    {"UnclosedArray", "[{\"hash\":\"h\"", false, ""},
};

using CloudFileListRead = ::testing::TestWithParam<FListCase>;
} // namespace

TEST_P(CloudFileListRead, ReadsTheHeadersItShould)
{
    const FListCase& Case = GetParam();
    FZorCloudListReply Reply;
    Reply.Headers.Add(FCloudFileHeader("stale", "stale", 1));
    FString Payload;
    EXPECT_EQ(FZorCloudFileList::Read(Case.Body, Reply, Payload), Case.bParses);
    EXPECT_TRUE(Describe(Reply.Headers).Equals(Case.Expected)) << *Describe(Reply.Headers);
    if (Case.bParses)
    {
        EXPECT_EQ(Reply.bMaySweep, Case.bMaySweep);
    }
}

INSTANTIATE_TEST_SUITE_P(Bodies, CloudFileListRead, ::testing::ValuesIn(ListCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(CloudFileList, FailureQuotesTheTrimmedBracketedBody)
{
    FZorCloudListReply Reply;
    FString Payload;
    EXPECT_FALSE(FZorCloudFileList::Read("  oops \n", Reply, Payload));
    EXPECT_TRUE(Payload.Equals("[oops]"));
    EXPECT_TRUE(FZorCloudFileList::Read(" [] ", Reply, Payload));
    EXPECT_TRUE(Payload.Equals("[]"));
}

TEST(CloudFileList, DroppedEntryAndBadLengthAreWarned)
{
    FLogCapture Log;
    FZorCloudListReply Reply;
    FString Payload;
    FZorCloudFileList::Read(R"([{"uniqueFilename":"u1","filename":"f1"},{"hash":"h","uniqueFilename":"u2",)"
                            R"("length":-1}])",
                            Reply, Payload);
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Invalid file entry hash= dlname=u1 filename=f1"));
    EXPECT_TRUE(Log.Contains(ELogVerbosity::Warning, "Invalid file length=-1 dlname=u2"));
}

namespace
{
struct FMergeCase
{
    const char* Name;
    TArray<FCloudFileHeader> Reply;
    const char* Expected;
    TArray<FCloudFileHeader> Before = {FCloudFileHeader("a", "Unique", 1), FCloudFileHeader("b", "other", 2)};
};

const FMergeCase MergeCases[] = {
    {"ReplacesIgnoringCase", {FCloudFileHeader("renamed", "UNIQUE", 9)}, "UNIQUE=renamed=9|other=b=2"},
    {"AppendsANewName", {FCloudFileHeader("n", "new", 3)}, "Unique=a=1|other=b=2|new=n=3"},
    {"LaterEntryOfAReplyReplacesAnEarlierOne",
     {FCloudFileHeader("n1", "New", 3), FCloudFileHeader("x", "OTHER", 4), FCloudFileHeader("n2", "nEW", 5)},
     "Unique=a=1|OTHER=x=4|nEW=n2=5"},
    {"EmptyReplyKeepsTheList", {}, "Unique=a=1|other=b=2"},
    // Where case counts, each of two names differing only in case keeps its own header.
    {"TheNameGivenLetterForLetterFirst",
     {FCloudFileHeader("n", "other", 9)},
     "OTHER=a=1|other=n=9",
     {FCloudFileHeader("a", "OTHER", 1), FCloudFileHeader("b", "other", 2)}},
};

using FCloudFileMergeTest = ::testing::TestWithParam<FMergeCase>;
} // namespace

TEST_P(FCloudFileMergeTest, MergeReplacesByUniqueNameIgnoringCaseElseAppends)
{
    const FMergeCase& Case = GetParam();
    TArray<FCloudFileHeader> List = Case.Before;
    FZorCloudFileList::Merge(List, Case.Reply);
    EXPECT_EQ(Describe(List), FString(Case.Expected)) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FCloudFileMergeTest, ::testing::ValuesIn(MergeCases),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST(CloudFileList, MergeKeepsTheHashAndFindIgnoresCaseUnlessTwoNamesDifferOnlyInCase)
{
    TArray<FCloudFileHeader> List = {FCloudFileHeader("a", "Unique", 1)};
    FCloudFileHeader Update("renamed", "UNIQUE", 9);
    Update.Hash = "abc";
    FZorCloudFileList::Merge(List, {Update});
    EXPECT_TRUE(List[0].Hash.Equals("abc"));
    EXPECT_EQ(FZorCloudFileList::FindByDLName(List, "unique"), &List[0]);
    EXPECT_EQ(FZorCloudFileList::FindByDLName(List, "renamed"), nullptr);
    List.Add(FCloudFileHeader("b", "unique", 2));
    EXPECT_EQ(FZorCloudFileList::FindByDLName(List, "unique"), &List[1]);
    EXPECT_EQ(FZorCloudFileList::FindByDLName(List, "UNIQUE"), &List[0]);
    // A third spelling finds the first of the two, as a delete of it acts on that header.
    EXPECT_EQ(FZorCloudFileList::FindByDLName(List, "Unique"), &List[0]);
}
