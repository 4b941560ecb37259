// The proleptic Gregorian calendar as Windows counts it: FILETIME ticks of 100 ns since
// 1601-01-01 00:00 UTC, and calendar fields in a SYSTEMTIME.
#pragma once

#include <cstdint>
#include <optional>

#include "pal/types.h"

namespace pal::calendar {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;

// Days from 1970-01-01 to a date (negative before it).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
// 0 (Sunday) to 6 (Saturday) for a day count from 1970-01-01.
WORD DayOfWeek(std::int64_t days);
bool IsLeapYear(std::int64_t year);
unsigned DaysInMonth(std::int64_t year, unsigned month);

// True when month, day, hour, minute, second and millisecond are in range (the year is the
// caller's to check).
bool FieldsValid(const SYSTEMTIME& time);
// Days from 1601-01-01 (the FILETIME epoch) of the fields' date.
std::int64_t EpochDays(const SYSTEMTIME& time);
// Calendar fields, day of week included, of a day count from 1601-01-01 and a time of day.
SYSTEMTIME FromEpochDays(std::int64_t days, std::int64_t ticksOfDay);

// FILETIME ticks ⟷ calendar fields; nothing for fields out of range or a year outside
// 1601-30827.
std::optional<std::uint64_t> TicksFromFields(const SYSTEMTIME& time);
SYSTEMTIME FieldsFromTicks(std::uint64_t ticks);

std::uint64_t ToTicks(const FILETIME& time);
FILETIME FromTicks(std::uint64_t ticks);

}  // namespace pal::calendar
