#include "Core/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>

namespace
{
constexpr int64 TicksPerSecond = FTimespan::TicksPerSecond;
constexpr int64 TicksPerDay = 86400 * TicksPerSecond;
constexpr int64 DaysFrom0001To1970 = 719162;
constexpr int64 UnixEpochTicks = DaysFrom0001To1970 * TicksPerDay;

/** Days since 1970-01-01 of a proleptic Gregorian date (March-based era arithmetic). */
int64 DaysFromCivil(int64 Year, int64 Month, int64 Day)
{
    Year -= Month <= 2 ? 1 : 0;
    const int64 Era = (Year >= 0 ? Year : Year - 399) / 400;
    const int64 YearOfEra = Year - Era * 400;
    const int64 DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
    const int64 DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
    return Era * 146097 + DayOfEra - 719468;
}

void CivilFromDays(int64 Days, int32& Year, int32& Month, int32& Day)
{
    Days += 719468;
    const int64 Era = (Days >= 0 ? Days : Days - 146096) / 146097;
    const int64 DayOfEra = Days - Era * 146097;
    const int64 YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
    const int64 DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
    const int64 MonthIndex = (5 * DayOfYear + 2) / 153;
    Day = static_cast<int32>(DayOfYear - (153 * MonthIndex + 2) / 5 + 1);
    Month = static_cast<int32>(MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9);
    Year = static_cast<int32>(YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0));
}

int64 ClampTicks(int64 Ticks)
{
    return std::clamp(Ticks, FDateTime::MinValue().GetTicks(), FDateTime::MaxValue().GetTicks());
}

FDateTime AddClamped(int64 Ticks, int64 Delta)
{
    int64 Sum = 0;
    if (__builtin_add_overflow(Ticks, Delta, &Sum))
    {
        return Delta > 0 ? FDateTime::MaxValue() : FDateTime::MinValue();
    }
    return FDateTime(ClampTicks(Sum));
}

/** Reads exactly Count digits. */
bool ReadDigits(const char*& Cursor, int32 Count, int32& Out)
{
    int32 Value = 0;
    for (int32 Index = 0; Index < Count; ++Index)
    {
        if (Cursor[Index] < '0' || Cursor[Index] > '9')
        {
            return false;
        }
        Value = Value * 10 + (Cursor[Index] - '0');
    }
    Cursor += Count;
    Out = Value;
    return true;
}

bool Expect(const char*& Cursor, char Ch)
{
    if (*Cursor != Ch)
    {
        return false;
    }
    ++Cursor;
    return true;
}

/** Digits after the decimal mark as ticks; digits beyond the tick's precision are read and dropped. */
bool ReadFraction(const char*& Cursor, int64& OutTicks)
{
    if (*Cursor < '0' || *Cursor > '9')
    {
        return false;
    }
    int64 Ticks = 0;
    int64 Scale = TicksPerSecond;
    for (; *Cursor >= '0' && *Cursor <= '9'; ++Cursor)
    {
        Scale /= 10;
        Ticks += (*Cursor - '0') * Scale;
    }
    OutTicks = Ticks;
    return true;
}

/** "Z", "+HH", "+HHMM" or "+HH:MM" (or '-'); an absent zone is UTC. Offset is local minus UTC, in ticks. */
bool ReadZone(const char*& Cursor, int64& OutOffset)
{
    OutOffset = 0;
    if (*Cursor == 'Z' || *Cursor == 'z')
    {
        ++Cursor;
        return true;
    }
    if (*Cursor != '+' && *Cursor != '-')
    {
        return true;
    }
    const int64 Sign = *Cursor++ == '-' ? -1 : 1;
    int32 Hours = 0;
    int32 Minutes = 0;
    if (!ReadDigits(Cursor, 2, Hours))
    {
        return false;
    }
    const bool bColon = Expect(Cursor, ':');
    if ((bColon || *Cursor != '\0') && !ReadDigits(Cursor, 2, Minutes))
    {
        return false;
    }
    if (Hours > 23 || Minutes > 59)
    {
        return false;
    }
    OutOffset = Sign * (Hours * 3600LL + Minutes * 60LL) * TicksPerSecond;
    return true;
}

struct FIsoFields
{
    int32 Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    int64 FractionTicks = 0;
    int64 OffsetTicks = 0;
};

bool ReadTime(const char*& Cursor, FIsoFields& Fields)
{
    if (!ReadDigits(Cursor, 2, Fields.Hour) || !Expect(Cursor, ':') || !ReadDigits(Cursor, 2, Fields.Minute))
    {
        return false;
    }
    if (Expect(Cursor, ':') && !ReadDigits(Cursor, 2, Fields.Second))
    {
        return false;
    }
    if ((Expect(Cursor, '.') || Expect(Cursor, ',')) && !ReadFraction(Cursor, Fields.FractionTicks))
    {
        return false;
    }
    return ReadZone(Cursor, Fields.OffsetTicks);
}

bool ReadIso8601(const char* Cursor, FIsoFields& Fields)
{
    if (!ReadDigits(Cursor, 4, Fields.Year) || !Expect(Cursor, '-') || !ReadDigits(Cursor, 2, Fields.Month) ||
        !Expect(Cursor, '-') || !ReadDigits(Cursor, 2, Fields.Day))
    {
        return false;
    }
    if ((Expect(Cursor, 'T') || Expect(Cursor, 't')) && !ReadTime(Cursor, Fields))
    {
        return false;
    }
    return *Cursor == '\0';
}
} // namespace

FTimespan FTimespan::FromSeconds(double Seconds)
{
    const double Ticks = std::round(Seconds * static_cast<double>(TicksPerSecond));
    // 2^63 is exactly representable; anything at or beyond it would not convert.
    constexpr double Limit = 9223372036854775808.0;
    if (std::isnan(Ticks))
    {
        return FTimespan();
    }
    if (Ticks >= Limit)
    {
        return FTimespan(std::numeric_limits<int64>::max());
    }
    if (Ticks <= -Limit)
    {
        return FTimespan(std::numeric_limits<int64>::min());
    }
    return FTimespan(static_cast<int64>(Ticks));
}

FTimespan FTimespan::FromMilliseconds(double Milliseconds)
{
    return FromSeconds(Milliseconds / 1000.0);
}

FDateTime::FDateTime(int32 Year, int32 Month, int32 Day, int32 Hour, int32 Minute, int32 Second,
                     int32 Millisecond)
{
    if (!Validate(Year, Month, Day, Hour, Minute, Second, Millisecond))
    {
        return;
    }
    const int64 Days = DaysFromCivil(Year, Month, Day) + DaysFrom0001To1970;
    Ticks = Days * TicksPerDay + ((Hour * 60LL + Minute) * 60LL + Second) * TicksPerSecond +
            Millisecond * FTimespan::TicksPerMillisecond;
}

bool FDateTime::IsLeapYear(int32 Year)
{
    return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
}

int32 FDateTime::DaysInMonth(int32 Year, int32 Month)
{
    static constexpr int32 Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12)
    {
        return 0;
    }
    return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

bool FDateTime::Validate(int32 Year, int32 Month, int32 Day, int32 Hour, int32 Minute, int32 Second,
                         int32 Millisecond)
{
    return Year >= 1 && Year <= 9999 && Month >= 1 && Month <= 12 && Day >= 1 &&
           Day <= DaysInMonth(Year, Month) && Hour >= 0 && Hour <= 23 && Minute >= 0 && Minute <= 59 &&
           Second >= 0 && Second <= 59 && Millisecond >= 0 && Millisecond <= 999;
}

FDateTime FDateTime::UtcNow()
{
    const auto SinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const int64 Ticks =
        std::chrono::duration_cast<std::chrono::duration<int64, std::ratio<1, TicksPerSecond>>>(SinceEpoch)
            .count();
    return AddClamped(UnixEpochTicks, Ticks);
}

FDateTime FDateTime::Now()
{
    const std::time_t Seconds = std::time(nullptr);
    std::tm Local{};
    if (!localtime_r(&Seconds, &Local))
    {
        return UtcNow();
    }
    return UtcNow() + FTimespan(Local.tm_gmtoff * TicksPerSecond);
}

bool FDateTime::ParseIso8601(const char* Text, FDateTime& Out)
{
    FIsoFields Fields;
    if (!Text || !ReadIso8601(Text, Fields) ||
        !Validate(Fields.Year, Fields.Month, Fields.Day, Fields.Hour, Fields.Minute, Fields.Second, 0))
    {
        return false;
    }
    const int64 Local =
        FDateTime(Fields.Year, Fields.Month, Fields.Day, Fields.Hour, Fields.Minute, Fields.Second).Ticks +
        Fields.FractionTicks;
    const int64 Utc = Local - Fields.OffsetTicks;
    if (Utc < MinValue().Ticks || Utc > MaxValue().Ticks)
    {
        return false;
    }
    Out = FDateTime(Utc);
    return true;
}

FString FDateTime::ToIso8601() const
{
    int32 Year = 0, Month = 0, Day = 0;
    GetDate(Year, Month, Day);
    return FString::Printf("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", Year, Month, Day, GetHour(), GetMinute(),
                           GetSecond(), GetMillisecond());
}

FString FDateTime::ToString() const
{
    int32 Year = 0, Month = 0, Day = 0;
    GetDate(Year, Month, Day);
    return FString::Printf("%04d.%02d.%02d-%02d.%02d.%02d", Year, Month, Day, GetHour(), GetMinute(),
                           GetSecond());
}

int64 FDateTime::ToUnixTimestamp() const
{
    const int64 Since = Ticks - UnixEpochTicks;
    return Since >= 0 ? Since / TicksPerSecond : -((-Since + TicksPerSecond - 1) / TicksPerSecond);
}

FDateTime FDateTime::FromUnixTimestamp(int64 UnixTime)
{
    int64 Delta = 0;
    if (__builtin_mul_overflow(UnixTime, TicksPerSecond, &Delta))
    {
        return UnixTime > 0 ? MaxValue() : MinValue();
    }
    return AddClamped(UnixEpochTicks, Delta);
}

int32 FDateTime::GetYear() const
{
    int32 Year = 0, Month = 0, Day = 0;
    GetDate(Year, Month, Day);
    return Year;
}

int32 FDateTime::GetMonth() const
{
    int32 Year = 0, Month = 0, Day = 0;
    GetDate(Year, Month, Day);
    return Month;
}

int32 FDateTime::GetDay() const
{
    int32 Year = 0, Month = 0, Day = 0;
    GetDate(Year, Month, Day);
    return Day;
}

FDateTime FDateTime::operator+(const FTimespan& Span) const
{
    return AddClamped(Ticks, Span.GetTicks());
}

FDateTime FDateTime::operator-(const FTimespan& Span) const
{
    int64 Difference = 0;
    if (__builtin_sub_overflow(Ticks, Span.GetTicks(), &Difference))
    {
        return Span.GetTicks() > 0 ? MinValue() : MaxValue();
    }
    return FDateTime(ClampTicks(Difference));
}

void FDateTime::GetDate(int32& Year, int32& Month, int32& Day) const
{
    CivilFromDays(Ticks / TicksPerDay - DaysFrom0001To1970, Year, Month, Day);
}
