#include <gtest/gtest.h>

#include <cmath>

#include "pal/datetime.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/system.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

constexpr double kSecondOfDay = 1.0 / 86400.0;
// 2004-03-15 13:45.
const double kMarch15 = 38061.0 + 49500.0 / 86400.0;

class VarDate : public testing::DesktopTest {
protected:
    void SetLocale(LCID locale) {
        auto config = CurrentMachine().Config();
        config.locale = locale;
        CurrentMachine().SetConfig(config);
    }
    HRESULT Parse(const char16_t* text, LCID lcid = LOCALE_USER_DEFAULT, ULONG flags = 0) {
        m_date = -1;
        return VarDateFromStr(text, lcid, flags, &m_date);
    }
    DATE m_date = 0;
};

TEST_F(VarDate, TheMailClientsReceivedFormParsesToTheExactDate) {
    ASSERT_EQ(Parse(u"2004/03/15 13:45"), S_OK);
    EXPECT_DOUBLE_EQ(m_date, kMarch15);
    EXPECT_NEAR(m_date, 38061.5729166667, 1e-9);

    // The received-time chain: text → DATE → SYSTEMTIME → FILETIME, no time-zone change.
    SYSTEMTIME fields{};
    ASSERT_TRUE(VariantTimeToSystemTime(m_date, &fields));
    FILETIME time{};
    ASSERT_TRUE(SystemTimeToFileTime(&fields, &time));
    EXPECT_EQ(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime,
              127238319000000000ULL);
}

TEST_F(VarDate, AcceptedForms) {
    struct Case {
        const char16_t* text;
        LCID lcid;
        double expected;
    } cases[] = {
        {u"2004/03/15 13:45:30", 0x0409, kMarch15 + 30 * kSecondOfDay},
        {u"2004/03/15", 0x0409, 38061.0},
        {u"2004/3/5", 0x0409, 38051.0},
        {u"2004-03-15 13:45", 0x0407, kMarch15},
        {u"  2004-03-15   13:45:00 ", 0x0409, kMarch15},
        {u"03/15/2004 13:45", 0x0409, kMarch15},
        {u"03/15/2004", 0x0409, 38061.0},
        {u"15/03/2004 13:45", 0x0809, kMarch15},
        {u"15.03.2004 13:45:30", 0x0407, kMarch15 + 30 * kSecondOfDay},
        {u"15/03/2004", 0x0409, 38061.0},  // a month above 12 is taken as the day
        {u"2000/02/29", 0x0409, 36585.0},
        {u"1899/12/29 06:00", 0x0409, -1.25},
        {u"4501/01/01", 0x0409, 949998.0},
        {u"13:45", 0x0409, 49500.0 / 86400.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Parse(c.text, c.lcid), S_OK) << pal::U8(c.text);
        EXPECT_DOUBLE_EQ(m_date, c.expected) << pal::U8(c.text);
    }
}

TEST_F(VarDate, DayAndMonthFollowTheMachinesLocale) {
    SetLocale(0x0407);
    ASSERT_EQ(Parse(u"03/04/2004"), S_OK);
    EXPECT_DOUBLE_EQ(m_date, 38080.0);  // 3 April
    SetLocale(0x0409);
    ASSERT_EQ(Parse(u"03/04/2004", LOCALE_SYSTEM_DEFAULT), S_OK);
    EXPECT_DOUBLE_EQ(m_date, 38050.0);  // 4 March
}

TEST_F(VarDate, FlagsKeepOnlyTheDateOrTheTime) {
    ASSERT_EQ(Parse(u"2004/03/15 13:45", 0x0409, VAR_DATEVALUEONLY), S_OK);
    EXPECT_DOUBLE_EQ(m_date, 38061.0);
    ASSERT_EQ(Parse(u"2004/03/15 13:45", 0x0409, VAR_TIMEVALUEONLY), S_OK);
    EXPECT_DOUBLE_EQ(m_date, 49500.0 / 86400.0);
}

TEST_F(VarDate, TextThatIsNotADateIsATypeMismatch) {
    const char16_t* bad[] = {
        u"",
        u"   ",
        u"hello",
        u"2004/13/01",
        u"2004/02/30",
        u"2003/02/29",
        u"2004/03/15 25:00",
        u"2004/03/15 13:60",
        u"2004/03/15 13:45:61",
        u"2004/03/15x13:45",
        u"2004/03-15",
        u"2004/03/15 13:45 junk",
        u"20040315",
        u"2004/03/15 13",
        u"2004//15",
        u"0099/01/01",
        u"03/15/04",
        u"13:4",
        u"2004/03/015",
    };
    for (const char16_t* text : bad) {
        EXPECT_EQ(Parse(text, 0x0409), DISP_E_TYPEMISMATCH) << pal::U8(text);
        EXPECT_EQ(m_date, -1) << pal::U8(text);
    }
    EXPECT_EQ(VarDateFromStr(nullptr, 0x0409, 0, &m_date), E_INVALIDARG);
    EXPECT_EQ(VarDateFromStr(u"2004/03/15", 0x0409, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(Parse(u"2004/03/15", 0x7777), E_INVALIDARG);
}

TEST(VariantTime, ConvertsWithDayOfWeekAndRoundsToTheSecond) {
    SYSTEMTIME fields{};
    ASSERT_TRUE(VariantTimeToSystemTime(0.0, &fields));
    EXPECT_EQ(fields.wYear, 1899);
    EXPECT_EQ(fields.wMonth, 12);
    EXPECT_EQ(fields.wDay, 30);
    EXPECT_EQ(fields.wDayOfWeek, 6);  // Saturday

    ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &fields));
    EXPECT_EQ(fields.wDay, 29);
    EXPECT_EQ(fields.wHour, 6);

    ASSERT_TRUE(VariantTimeToSystemTime(38061.5 + 0.4 * kSecondOfDay, &fields));
    EXPECT_EQ(fields.wSecond, 0);
    EXPECT_EQ(fields.wMilliseconds, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(38061.5 + 0.6 * kSecondOfDay, &fields));
    EXPECT_EQ(fields.wSecond, 1);
    ASSERT_TRUE(VariantTimeToSystemTime(38061.0 - 0.4 * kSecondOfDay, &fields));  // 23:59:59.6
    EXPECT_EQ(fields.wDay, 15);
    EXPECT_EQ(fields.wHour, 0);
    EXPECT_EQ(fields.wDayOfWeek, 1);

    ASSERT_TRUE(VariantTimeToSystemTime(949998.0, &fields));  // the contacts' "no date"
    EXPECT_EQ(fields.wYear, 4501);
    EXPECT_EQ(fields.wMonth, 1);
    EXPECT_EQ(fields.wDay, 1);

    for (double outside : {2958466.0, 2958465.999999999, -657435.0, std::nan("")})
        EXPECT_FALSE(VariantTimeToSystemTime(outside, &fields)) << outside;
    EXPECT_TRUE(VariantTimeToSystemTime(2958465.5, &fields));
    EXPECT_EQ(fields.wYear, 9999);
    EXPECT_TRUE(VariantTimeToSystemTime(-657434.0, &fields));
    EXPECT_EQ(fields.wYear, 100);
}

TEST(VariantTime, SystemTimesRoundTripToTheSecond) {
    SYSTEMTIME samples[] = {
        {2004, 2, 0, 29, 23, 59, 59, 0},  {1900, 3, 0, 1, 0, 0, 1, 0},
        {1899, 12, 0, 29, 6, 0, 0, 0},    {100, 1, 0, 1, 0, 0, 0, 0},
        {9999, 12, 0, 31, 23, 59, 59, 0}, {4501, 1, 0, 1, 0, 0, 0, 0},
    };
    for (SYSTEMTIME& fields : samples) {
        DATE date = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&fields, &date)) << fields.wYear;
        SYSTEMTIME back{};
        ASSERT_TRUE(VariantTimeToSystemTime(date, &back));
        EXPECT_EQ(back.wYear, fields.wYear);
        EXPECT_EQ(back.wMonth, fields.wMonth);
        EXPECT_EQ(back.wDay, fields.wDay);
        EXPECT_EQ(back.wHour, fields.wHour);
        EXPECT_EQ(back.wMinute, fields.wMinute);
        EXPECT_EQ(back.wSecond, fields.wSecond);
    }
    SYSTEMTIME withMs{2004, 3, 0, 15, 13, 45, 0, 999};
    DATE date = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&withMs, &date));
    EXPECT_DOUBLE_EQ(date, kMarch15);  // milliseconds are not part of a DATE

    SYSTEMTIME invalid[] = {{99, 12, 0, 31, 0, 0, 0, 0},
                            {10000, 1, 0, 1, 0, 0, 0, 0},
                            {2003, 2, 0, 29, 0, 0, 0, 0},
                            {2004, 1, 0, 1, 24, 0, 0, 0}};
    for (SYSTEMTIME& fields : invalid) EXPECT_FALSE(SystemTimeToVariantTime(&fields, &date));
}

}  // namespace
}  // namespace pal
