#pragma once

#include <compare>

#include "Core/String.h"
#include "Core/Types.h"

/** A span of time in ticks of 100 nanoseconds. */
class FTimespan
{
public:
    static constexpr int64 TicksPerMillisecond = 10000;
    static constexpr int64 TicksPerSecond = 10000000;

    constexpr FTimespan() = default;
    constexpr explicit FTimespan(int64 InTicks) : Ticks(InTicks) {}

    /** Clamped to the representable range; NaN gives zero. */
    static FTimespan FromSeconds(double Seconds);
    static FTimespan FromMilliseconds(double Milliseconds);
    static constexpr FTimespan Zero() { return FTimespan(); }

    constexpr int64 GetTicks() const { return Ticks; }
    double GetTotalSeconds() const { return static_cast<double>(Ticks) / TicksPerSecond; }
    double GetTotalMilliseconds() const { return static_cast<double>(Ticks) / TicksPerMillisecond; }

    constexpr FTimespan operator+(const FTimespan& Other) const { return FTimespan(Ticks + Other.Ticks); }
    constexpr FTimespan operator-(const FTimespan& Other) const { return FTimespan(Ticks - Other.Ticks); }
    constexpr auto operator<=>(const FTimespan&) const = default;

private:
    int64 Ticks = 0;
};

/**
 * A moment in ticks of 100 nanoseconds since 0001-01-01 00:00:00 (proleptic Gregorian calendar), up to
 * 9999-12-31 23:59:59.9999999. Times from the clock and from ISO 8601 text are UTC; Now() is local time.
 */
class FDateTime
{
public:
    constexpr FDateTime() = default;
    constexpr explicit FDateTime(int64 InTicks) : Ticks(InTicks) {}
    /** The fields must form a valid date and time (see Validate); otherwise the value is MinValue(). */
    FDateTime(int32 Year, int32 Month, int32 Day, int32 Hour = 0, int32 Minute = 0, int32 Second = 0,
              int32 Millisecond = 0);

    static FDateTime UtcNow();
    static FDateTime Now();
    static constexpr FDateTime MinValue() { return FDateTime(0); }
    static constexpr FDateTime MaxValue() { return FDateTime(3155378975999999999); }
    static bool Validate(int32 Year, int32 Month, int32 Day, int32 Hour, int32 Minute, int32 Second,
                         int32 Millisecond);
    static int32 DaysInMonth(int32 Year, int32 Month);
    static bool IsLeapYear(int32 Year);

    /**
     * Reads "YYYY-MM-DD", optionally followed by "THH:MM", ":SS", a fraction ".f..." and a zone ("Z",
     * "+HH:MM",
     * "-HHMM" or "+HH"; none means UTC). False, with Out unchanged, for anything else or a result out of
     * range.
     */
    static bool ParseIso8601(const char* Text, FDateTime& Out);
    /** "YYYY-MM-DDTHH:MM:SS.mmmZ". */
    FString ToIso8601() const;
    /** "YYYY.MM.DD-HH.MM.SS". */
    FString ToString() const;

    /** Whole seconds since 1970-01-01 UTC, rounded down. */
    int64 ToUnixTimestamp() const;
    /** Clamped to the representable range. */
    static FDateTime FromUnixTimestamp(int64 UnixTime);

    constexpr int64 GetTicks() const { return Ticks; }
    int32 GetYear() const;
    int32 GetMonth() const;
    int32 GetDay() const;
    int32 GetHour() const { return static_cast<int32>(Ticks / (3600 * FTimespan::TicksPerSecond) % 24); }
    int32 GetMinute() const { return static_cast<int32>(Ticks / (60 * FTimespan::TicksPerSecond) % 60); }
    int32 GetSecond() const { return static_cast<int32>(Ticks / FTimespan::TicksPerSecond % 60); }
    int32 GetMillisecond() const { return static_cast<int32>(Ticks / FTimespan::TicksPerMillisecond % 1000); }

    FTimespan operator-(const FDateTime& Other) const { return FTimespan(Ticks - Other.Ticks); }
    /** Results beyond the range are clamped to MinValue or MaxValue. */
    FDateTime operator+(const FTimespan& Span) const;
    FDateTime operator-(const FTimespan& Span) const;
    FDateTime& operator+=(const FTimespan& Span) { return *this = *this + Span; }
    constexpr auto operator<=>(const FDateTime&) const = default;

private:
    void GetDate(int32& Year, int32& Month, int32& Day) const;

    int64 Ticks = 0;
};
