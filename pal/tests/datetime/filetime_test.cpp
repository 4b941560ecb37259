#include <gtest/gtest.h>

#include "pal/datetime.h"

namespace {

SYSTEMTIME Fields(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0,
                  WORD ms = 0) {
    SYSTEMTIME time{};
    time.wYear = year, time.wMonth = month, time.wDay = day;
    time.wHour = hour, time.wMinute = minute, time.wSecond = second, time.wMilliseconds = ms;
    return time;
}

ULONGLONG Ticks(const FILETIME& time) {
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME FromTicks(ULONGLONG ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

TEST(FileTime, KnownInstantsConvertBothWays) {
    struct Case {
        SYSTEMTIME fields;
        ULONGLONG ticks;
        WORD dayOfWeek;
    } cases[] = {
        {Fields(1601, 1, 1), 0, 1},                                          // Monday
        {Fields(1970, 1, 1), 116444736000000000ULL, 4},                      // Thursday
        {Fields(2000, 2, 29, 12), 125962992000000000ULL, 2},                 // Tuesday
        {Fields(2004, 3, 15, 13, 45, 30, 250), 127238319302500000ULL, 1},    // Monday
        {Fields(30827, 12, 31, 23, 59, 59, 999), 0x7FFF35F4F06C58F0ULL, 5},  // Friday
    };
    for (const Case& c : cases) {
        FILETIME time{};
        ASSERT_TRUE(SystemTimeToFileTime(&c.fields, &time)) << c.fields.wYear;
        EXPECT_EQ(Ticks(time), c.ticks) << c.fields.wYear;
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(&time, &back));
        EXPECT_EQ(back.wYear, c.fields.wYear);
        EXPECT_EQ(back.wMonth, c.fields.wMonth);
        EXPECT_EQ(back.wDay, c.fields.wDay);
        EXPECT_EQ(back.wHour, c.fields.wHour);
        EXPECT_EQ(back.wMinute, c.fields.wMinute);
        EXPECT_EQ(back.wSecond, c.fields.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.fields.wMilliseconds);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << c.fields.wYear;
    }
}

TEST(FileTime, EveryDayRoundTripsAndWeekdaysFollowEachOther) {
    // Four hundred years from 1900 cover every leap-year rule (1900 no, 2000 yes, 2100 no).
    FILETIME start{};
    SYSTEMTIME first = Fields(1900, 1, 1, 6, 30);
    ASSERT_TRUE(SystemTimeToFileTime(&first, &start));
    const ULONGLONG day = 864000000000ULL;
    WORD previousDay = 0, previousWeekday = 0;
    int leapDays = 0;
    for (ULONGLONG n = 0; n < 146097; ++n) {
        FILETIME time = FromTicks(Ticks(start) + n * day);
        SYSTEMTIME fields{};
        ASSERT_TRUE(FileTimeToSystemTime(&time, &fields));
        if (n > 0) {
            ASSERT_EQ(fields.wDayOfWeek, (previousWeekday + 1) % 7);
            ASSERT_TRUE(fields.wDay == previousDay + 1 || fields.wDay == 1);
        }
        if (fields.wMonth == 2 && fields.wDay == 29) ++leapDays;
        FILETIME again{};
        ASSERT_TRUE(SystemTimeToFileTime(&fields, &again));
        ASSERT_EQ(Ticks(again), Ticks(time));
        previousDay = fields.wDay, previousWeekday = fields.wDayOfWeek;
    }
    EXPECT_EQ(leapDays, 97);
}

TEST(FileTime, OutOfRangeFieldsAreRefused) {
    const SYSTEMTIME bad[] = {
        Fields(2100, 2, 29),
        Fields(2003, 2, 29),
        Fields(1900, 2, 29),
        Fields(2004, 4, 31),
        Fields(2004, 13, 1),
        Fields(2004, 0, 1),
        Fields(2004, 1, 0),
        Fields(2004, 1, 1, 24),
        Fields(2004, 1, 1, 0, 60),
        Fields(2004, 1, 1, 0, 0, 60),
        Fields(2004, 1, 1, 0, 0, 0, 1000),
        Fields(1600, 12, 31),
    };
    for (const SYSTEMTIME& fields : bad) {
        FILETIME time{1, 1};
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&fields, &time))
            << fields.wYear << "-" << fields.wMonth << "-" << fields.wDay << " " << fields.wHour;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(time.dwLowDateTime, 1u);  // untouched
    }
    SYSTEMTIME leap = Fields(2004, 2, 29);
    FILETIME time{};
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &time));

    FILETIME negative{0, 0x80000000};
    SYSTEMTIME out{};
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &out));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FileTime, CompareOrdersOnTheFull64Bits) {
    FILETIME a{0xFFFFFFFF, 1}, b{0, 2}, c{0, 2};
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &a), 1);
    EXPECT_EQ(CompareFileTime(&b, &c), 0);
}

}  // namespace
