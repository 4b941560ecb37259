#include <gtest/gtest.h>

#include "pal/datetime.h"
#include "pal/runtime/machine.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

// 2004-03-15 13:45:30.250 UTC, a Monday.
constexpr ULONGLONG kMonday = 127238319302500000ULL;
constexpr ULONGLONG kSecond = 10000000ULL;

ULONGLONG Ticks(const FILETIME& time) {
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

class Clock : public testing::DesktopTest {
protected:
    void SetBias(Machine& machine, LONG minutes) {
        auto config = machine.Config();
        config.timeZoneBias = minutes;
        machine.SetConfig(config);
    }
};

TEST_F(Clock, AFrozenClockIsSeenByEveryTimeCall) {
    CurrentMachine().FreezeClock(kMonday);
    FILETIME now{}, coNow{};
    GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(CoFileTimeNow(&coNow), S_OK);
    EXPECT_EQ(Ticks(now), kMonday);
    EXPECT_EQ(Ticks(coNow), kMonday);
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    GetLocalTime(&local);
    for (const SYSTEMTIME& t : {utc, local}) {
        EXPECT_EQ(t.wYear, 2004);
        EXPECT_EQ(t.wMonth, 3);
        EXPECT_EQ(t.wDay, 15);
        EXPECT_EQ(t.wDayOfWeek, 1);
        EXPECT_EQ(t.wHour, 13);
        EXPECT_EQ(t.wMinute, 45);
        EXPECT_EQ(t.wSecond, 30);
        EXPECT_EQ(t.wMilliseconds, 250);
    }
}

TEST_F(Clock, LocalTimeIsUtcMinusTheBias) {
    CurrentMachine().FreezeClock(kMonday);
    SetBias(CurrentMachine(), 300);  // five hours west of UTC
    SYSTEMTIME local{};
    GetLocalTime(&local);
    EXPECT_EQ(local.wHour, 8);
    EXPECT_EQ(local.wMinute, 45);
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    EXPECT_EQ(utc.wHour, 13);

    // East of UTC across midnight and the year: 2004-12-31 23:30 UTC is 2005-01-01 00:30 local.
    SYSTEMTIME lastEvening{2004, 12, 0, 31, 23, 30, 0, 0};
    FILETIME evening{};
    ASSERT_TRUE(SystemTimeToFileTime(&lastEvening, &evening));
    CurrentMachine().FreezeClock(Ticks(evening));
    SetBias(CurrentMachine(), -60);
    GetLocalTime(&local);
    EXPECT_EQ(local.wYear, 2005);
    EXPECT_EQ(local.wMonth, 1);
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(local.wDayOfWeek, 6);  // Saturday
    EXPECT_EQ(local.wHour, 0);
    EXPECT_EQ(local.wMinute, 30);
}

TEST_F(Clock, EachMachineHasItsOwnClock) {
    m_world.Desktop().FreezeClock(kMonday);
    m_world.Device().FreezeClock(kMonday + 3600 * kSecond);
    FILETIME desktop{}, device{};
    GetSystemTimeAsFileTime(&desktop);
    Use(m_world.Device());
    GetSystemTimeAsFileTime(&device);
    EXPECT_EQ(Ticks(device) - Ticks(desktop), 3600 * kSecond);
}

TEST_F(Clock, CountersFollowTheClockAndNeverStepBack) {
    Machine& machine = CurrentMachine();
    machine.FreezeClock(kMonday);
    LARGE_INTEGER frequency{}, first{}, second{};
    EXPECT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 10000000);
    EXPECT_TRUE(QueryPerformanceCounter(&first));
    DWORD ticks = GetTickCount();
    QueryPerformanceCounter(&second);
    EXPECT_EQ(second.QuadPart, first.QuadPart);  // frozen

    machine.FreezeClock(kMonday + 15 * kSecond / 10);
    QueryPerformanceCounter(&second);
    EXPECT_EQ(second.QuadPart - first.QuadPart, 15000000);
    EXPECT_EQ(GetTickCount() - ticks, 1500u);

    machine.FreezeClock(kMonday - 3600 * kSecond);  // set back an hour
    LARGE_INTEGER third{};
    QueryPerformanceCounter(&third);
    EXPECT_EQ(third.QuadPart, second.QuadPart);
    machine.FreezeClock(kMonday - 3599 * kSecond);
    QueryPerformanceCounter(&third);
    EXPECT_EQ(third.QuadPart - second.QuadPart, 10000000);
}

TEST_F(Clock, OffsetClockRunsAheadOfRealTime) {
    FILETIME real{};
    GetSystemTimeAsFileTime(&real);
    CurrentMachine().OffsetClock(static_cast<LONGLONG>(86400 * kSecond));
    FILETIME ahead{};
    GetSystemTimeAsFileTime(&ahead);
    EXPECT_GE(Ticks(ahead) - Ticks(real), 86400 * kSecond);
    EXPECT_LT(Ticks(ahead) - Ticks(real), 86400 * kSecond + 600 * kSecond);
}

}  // namespace
}  // namespace pal
