#include "calendar.h"

namespace pal::calendar {

namespace {

// 1601-01-01 counted from 1970-01-01.
constexpr std::int64_t kEpochFrom1970 = -134774;

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

WORD DayOfWeek(std::int64_t days) {
    // 1970-01-01 was a Thursday.
    return static_cast<WORD>(days >= -4 ? (days + 4) % 7 : (days + 5) % 7 + 6);
}

bool IsLeapYear(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

unsigned DaysInMonth(std::int64_t year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool FieldsValid(const SYSTEMTIME& time) {
    return time.wMonth >= 1 && time.wMonth <= 12 && time.wDay >= 1 &&
           time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 &&
           time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
}

std::int64_t EpochDays(const SYSTEMTIME& time) {
    return DaysFromCivil(time.wYear, time.wMonth, time.wDay) - kEpochFrom1970;
}

SYSTEMTIME FromEpochDays(std::int64_t days, std::int64_t ticksOfDay) {
    const std::int64_t z = days + kEpochFrom1970 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    SYSTEMTIME fields{};
    fields.wYear =
        static_cast<WORD>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2));
    fields.wMonth = static_cast<WORD>(month);
    fields.wDay = static_cast<WORD>(dayOfYear - (153 * mp + 2) / 5 + 1);
    fields.wDayOfWeek = DayOfWeek(days + kEpochFrom1970);
    const std::int64_t seconds = ticksOfDay / kTicksPerSecond;
    fields.wHour = static_cast<WORD>(seconds / 3600);
    fields.wMinute = static_cast<WORD>(seconds / 60 % 60);
    fields.wSecond = static_cast<WORD>(seconds % 60);
    fields.wMilliseconds = static_cast<WORD>(ticksOfDay % kTicksPerSecond / 10'000);
    return fields;
}

std::optional<std::uint64_t> TicksFromFields(const SYSTEMTIME& time) {
    if (time.wYear < 1601 || time.wYear > 30827 || !FieldsValid(time)) return std::nullopt;
    const std::int64_t seconds = time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
    return static_cast<std::uint64_t>(EpochDays(time) * kTicksPerDay + seconds * kTicksPerSecond +
                                      time.wMilliseconds * std::int64_t{10'000});
}

SYSTEMTIME FieldsFromTicks(std::uint64_t ticks) {
    const auto value = static_cast<std::int64_t>(ticks);
    return FromEpochDays(value / kTicksPerDay, value % kTicksPerDay);
}

std::uint64_t ToTicks(const FILETIME& time) {
    return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace pal::calendar
