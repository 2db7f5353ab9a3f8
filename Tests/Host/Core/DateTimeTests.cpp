#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <tuple>

#include "Core/DateTime.h"

namespace
{
FDateTime Parse(const char* Text)
{
    FDateTime Result = FDateTime::MaxValue();
    EXPECT_TRUE(FDateTime::ParseIso8601(Text, Result)) << Text;
    return Result;
}
} // namespace

TEST(DateTime, ParsesUtcFractionsAndOffsetsToTheSameMoment)
{
    const FDateTime Moment(2024, 1, 31, 12, 34, 56);
    EXPECT_EQ(Parse("2024-01-31T12:34:56Z"), Moment);
    EXPECT_EQ(Parse("2024-01-31T12:34:56"), Moment);
    EXPECT_EQ(Parse("2024-01-31T14:34:56+02:00"), Moment);
    EXPECT_EQ(Parse("2024-01-31T07:34:56-0500"), Moment);
    EXPECT_EQ(Parse("2024-01-31T13:34:56+01"), Moment);
    EXPECT_EQ(Parse("2024-02-01T00:04:56+11:30"), Moment);
    EXPECT_EQ(Parse("2024-01-31T12:34Z") + FTimespan::FromSeconds(56), Moment);
    EXPECT_EQ(Parse("2024-01-31T12:34:56.123Z").GetTicks(), Moment.GetTicks() + 1230000);
    EXPECT_EQ(Parse("2024-01-31T12:34:56.12345678Z").GetTicks(), Moment.GetTicks() + 1234567);
    EXPECT_EQ(Parse("2024-01-31"), FDateTime(2024, 1, 31));
}

TEST(DateTime, RefusesGarbageAndOutOfRangeFields)
{
    for (const char* Bad : {"",
                            "garbage",
                            "2024-1-31",
                            "2024-01-31T",
                            "2024-01-31T12",
                            "2024-01-31T12:34:56Q",
                            "2024-01-31T12:34:56.",
                            "2024-01-31T12:34:56+2",
                            "2024-01-31T12:34:56+02:",
                            "2024-13-01",
                            "2024-00-10",
                            "2023-02-29",
                            "2024-04-31",
                            "2024-01-31T24:00:00",
                            "2024-01-31T12:60:00",
                            "2024-01-31T12:00:60",
                            "0000-01-01",
                            "2024-01-31T12:00:00+24:00",
                            "0001-01-01T00:00:00+01:00",
                            "9999-12-31T23:59:59-01:00",
                            "2024-01-31 trailing",
                            "2024-01-31Z"})
    {
        FDateTime Result = FDateTime(42);
        EXPECT_FALSE(FDateTime::ParseIso8601(Bad, Result)) << Bad;
        EXPECT_EQ(Result.GetTicks(), 42) << Bad;
    }
    FDateTime Result;
    EXPECT_FALSE(FDateTime::ParseIso8601(nullptr, Result));
    EXPECT_EQ(Parse("2024-02-29"), FDateTime(2024, 2, 29));
    EXPECT_EQ(Parse("0001-01-01T00:00:00Z"), FDateTime::MinValue());
}

TEST(DateTime, Iso8601WriteReadRoundTrip)
{
    const FDateTime Moment(2024, 1, 31, 12, 34, 56, 789);
    EXPECT_TRUE(Moment.ToIso8601().Equals("2024-01-31T12:34:56.789Z"));
    EXPECT_EQ(Parse(*Moment.ToIso8601()), Moment);
    EXPECT_TRUE(FDateTime::MaxValue().ToIso8601().Equals("9999-12-31T23:59:59.999Z"));
    EXPECT_TRUE(FDateTime::MinValue().ToIso8601().Equals("0001-01-01T00:00:00.000Z"));
    EXPECT_TRUE(Moment.ToString().Equals("2024.01.31-12.34.56"));
}

TEST(DateTime, CalendarFieldsAcrossLeapYearsAndCenturies)
{
    for (const auto& [Year, Month, Day] : {std::tuple{1600, 2, 29},
                                           {1900, 2, 28},
                                           {2000, 2, 29},
                                           {1970, 1, 1},
                                           {1, 1, 1},
                                           {9999, 12, 31},
                                           {2024, 12, 31}})
    {
        const FDateTime Date(Year, Month, Day, 23, 59, 58);
        EXPECT_EQ(Date.GetYear(), Year);
        EXPECT_EQ(Date.GetMonth(), Month);
        EXPECT_EQ(Date.GetDay(), Day);
        EXPECT_EQ(Date.GetHour(), 23);
        EXPECT_EQ(Date.GetSecond(), 58);
    }
    EXPECT_EQ(FDateTime(1900, 2, 28, 23, 59, 59) + FTimespan::FromSeconds(1), FDateTime(1900, 3, 1));
    EXPECT_EQ(FDateTime(2000, 2, 28, 23, 59, 59) + FTimespan::FromSeconds(1), FDateTime(2000, 2, 29));
    EXPECT_EQ(FDateTime(1900, 2, 29), FDateTime::MinValue());
}

TEST(DateTime, UnixTimestampsMatchTheEpochAndClamp)
{
    EXPECT_EQ(FDateTime(1970, 1, 1).ToUnixTimestamp(), 0);
    EXPECT_EQ(FDateTime::FromUnixTimestamp(1706704496), FDateTime(2024, 1, 31, 12, 34, 56));
    EXPECT_EQ(FDateTime(2024, 1, 31, 12, 34, 56, 999).ToUnixTimestamp(), 1706704496);
    EXPECT_EQ(FDateTime(1969, 12, 31, 23, 59, 59, 500).ToUnixTimestamp(), -1);
    EXPECT_EQ(FDateTime::FromUnixTimestamp(INT64_MAX), FDateTime::MaxValue());
    EXPECT_EQ(FDateTime::FromUnixTimestamp(INT64_MIN), FDateTime::MinValue());
}

TEST(DateTime, ArithmeticAndComparisons)
{
    const FDateTime Earlier(2024, 1, 31, 23, 0, 0);
    const FDateTime Later = Earlier + FTimespan::FromSeconds(7200.5);
    EXPECT_EQ(Later.GetDay(), 1);
    EXPECT_EQ(Later.GetMonth(), 2);
    EXPECT_DOUBLE_EQ((Later - Earlier).GetTotalSeconds(), 7200.5);
    EXPECT_LT(Earlier, Later);
    EXPECT_EQ(Later - FTimespan::FromSeconds(7200.5), Earlier);
    EXPECT_EQ(FDateTime::MaxValue() + FTimespan::FromSeconds(1e300), FDateTime::MaxValue());
    EXPECT_EQ(FDateTime::MinValue() - FTimespan::FromSeconds(1), FDateTime::MinValue());
    EXPECT_EQ(FTimespan::FromSeconds(std::nan("")).GetTicks(), 0);
}

TEST(DateTime, ClockIsPlausible)
{
    const FDateTime Now = FDateTime::UtcNow();
    EXPECT_GT(Now, FDateTime(2020, 1, 1));
    EXPECT_LT(Now, FDateTime(2200, 1, 1));
    EXPECT_LT((FDateTime::Now() - Now).GetTotalSeconds(), 15 * 3600.0);
}
